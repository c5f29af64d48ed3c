// What the fuzz targets share: a check that always aborts, and reading texts
// and numbers out of the fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

using Text = std::u16string;

// Unlike assert, stays on in release builds; the abort is what the fuzzer
// records as a finding.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace fuzz {

/// Bytes as UTF-16 text: every byte but 0xFF is the unit of the same value
/// (so seeds stay readable ASCII), and 0xFF followed by two bytes is the unit
/// they give, low byte first, so that every unit can be reached.
inline Text TextFromBytes(const std::uint8_t* data, std::size_t size) {
  Text text;
  text.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != 0xFF) {
      text += static_cast<char16_t>(data[i]);
    } else if (i + 2 < size) {
      text += static_cast<char16_t>(data[i + 1] | data[i + 2] << 8);
      i += 2;
    } else {
      break;  // an escape cut short by the end
    }
  }
  return text;
}

/// The input as a row of parts separated by NUL bytes, read one by one;
/// missing parts read as empty.
class Parts {
 public:
  Parts(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  /// The next part's raw bytes.
  std::string NextBytes() {
    std::string bytes;
    while (at_ < size_ && data_[at_] != 0) bytes += static_cast<char>(data_[at_++]);
    if (at_ < size_) ++at_;  // the separator
    return bytes;
  }

  /// The next part as text (see TextFromBytes).
  Text NextText() {
    const std::string bytes = NextBytes();
    return TextFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }

  /// The next part as a decimal number with an optional minus sign, held at the
  /// limits of 64 bits; anything from the first non-digit on is ignored.
  std::int64_t NextNumber() {
    const std::string bytes = NextBytes();
    std::size_t i = 0;
    const bool negative = i < bytes.size() && bytes[i] == '-';
    if (negative) ++i;
    // Accumulated as a negative number, which reaches the lowest value too.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
      const int digit = bytes[i] - '0';
      if (value < (kMin + digit) / 10) {
        value = kMin;
        break;
      }
      value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
  }

  /// The next part as a 32-bit number, held at the limits.
  int NextInt() {
    const std::int64_t value = NextNumber();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
  }

  /// The next part as a flag: set unless empty or beginning with '0'.
  bool NextFlag() {
    const std::string bytes = NextBytes();
    return !bytes.empty() && bytes[0] != '0';
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

/// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values
/// beyond U+10FFFF). Written apart from the converters it checks.
inline bool IsValidUtf8(const std::string& bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    std::size_t length;
    std::uint32_t c;
    if (b0 < 0x80) {
      ++i;
      continue;
    } else if ((b0 & 0xE0) == 0xC0) {
      length = 2;
      c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      length = 3;
      c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      length = 4;
      c = b0 & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      c = c << 6 | (b & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace fuzz
