// Lossless conversion between the layer's UTF-16 texts and POSIX byte strings.
#include "platform/posix/native_text.h"

#include <cstdint>

#include "platform/utf8.h"

namespace platform::posix {
namespace {

constexpr char32_t kMappedBase = 0xF000;
constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kStrayByteBase = 0xDC00;

enum class Target { Native, Display, Archive };


// Returns false only for the native target when the text holds U+0000.
bool Encode(const std::u16string& text, Target target, std::string& out) {
  out.reserve(text.size() + text.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      if (target == Target::Native && unit >= 0xDC80 && unit <= 0xDCFF)
        out += static_cast<char>(unit - kStrayByteBase);
      else
        AppendUtf8(out, kReplacement);
      continue;
    }
    if (target == Target::Native) {
      if (unit == 0) return false;
      if (unit == u'\\' || unit == u'/') {
        out += '/';
        continue;
      }
    }
    if (unit >= kMappedBase && unit < kMappedBase + 0x80 && IsMappedAscii(unit - kMappedBase) &&
        !(target == Target::Archive && unit == kMappedBase + '\\')) {
      out += static_cast<char>(unit - kMappedBase);
      continue;
    }
    AppendUtf8(out, unit);
  }
  return true;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// Length of the well-formed UTF-8 sequence at `at` and its code point, or 0
// when the bytes there do not form one (overlongs, surrogates and values
// beyond U+10FFFF included).
std::size_t DecodeOne(std::string_view bytes, std::size_t at, char32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(k);
    if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  return length;
}

std::u16string Decode(std::string_view bytes, bool mapAscii) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    char32_t c;
    const std::size_t length = DecodeOne(bytes, at, c);
    if (length == 0) {
      out += static_cast<char16_t>(kStrayByteBase + static_cast<unsigned char>(bytes[at]));
      ++at;
      continue;
    }
    if (c >= kMappedBase && c < kMappedBase + 0x80 && IsMappedAscii(c - kMappedBase)) {
      // A real U+F0xx would read as a mapped character; keep its bytes instead.
      for (std::size_t k = 0; k < length; ++k)
        out += static_cast<char16_t>(kStrayByteBase + static_cast<unsigned char>(bytes[at + k]));
    } else if (mapAscii && IsMappedAscii(c)) {
      out += static_cast<char16_t>(kMappedBase + c);
    } else {
      AppendUtf16(out, c);
    }
    at += length;
  }
  return out;
}

}  // namespace

bool IsMappedAscii(char32_t c) {
  switch (c) {
    case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

std::string NativePath(const std::u16string& path) {
  std::string out;
  if (!Encode(path, Target::Native, out)) return {};
  return out;
}

std::u16string NameFromNative(std::string_view bytes) { return Decode(bytes, true); }

std::u16string PathFromNative(std::string_view bytes) {
  std::u16string out;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = bytes.find('/', start);
    out += NameFromNative(bytes.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (slash == std::string_view::npos) break;
    out += u'\\';
    start = slash + 1;
  }
  return out;
}

std::u16string TextFromUtf8(std::string_view bytes) { return Decode(bytes, false); }

std::string DisplayUtf8(const std::u16string& text) {
  std::string out;
  Encode(text, Target::Display, out);
  return out;
}

std::string ArchiveUtf8(const std::u16string& text) {
  std::string out;
  Encode(text, Target::Archive, out);
  return out;
}

}  // namespace platform::posix
