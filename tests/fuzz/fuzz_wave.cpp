// Fuzz target: the sound loader's walk over the chunks of a RIFF/WAVE image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "fuzz_support.h"
#include "sound/completion_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The fuzzer hands over a buffer of exactly `size` bytes, so any read past
  // the image is caught by AddressSanitizer.
  const std::span<const std::uint8_t> image(data, size);
  WaveImage wave;
  if (!ParseWaveImage(image, wave)) return 0;

  FUZZ_CHECK(size >= 4 && std::memcmp(data, "RIFF", 4) == 0);
  // The samples lie inside the image, right behind a "data" header that
  // gives their length.
  const std::uint8_t* samples = wave.samples.data();
  FUZZ_CHECK(samples >= data + 8 && samples + wave.samples.size() <= data + size);
  FUZZ_CHECK(std::memcmp(samples - 8, "data", 4) == 0);
  const std::uint32_t length =
      static_cast<std::uint32_t>(samples[-4]) | static_cast<std::uint32_t>(samples[-3]) << 8 |
      static_cast<std::uint32_t>(samples[-2]) << 16 | static_cast<std::uint32_t>(samples[-1]) << 24;
  FUZZ_CHECK(length == wave.samples.size());

  // What the loader does next with the fields must not go wrong either.
  const std::string info = WaveHeaderInfo(wave);
  FUZZ_CHECK(!info.empty() && info.back() == '\n');
  const std::int64_t duration =
      SoundDurationMilliseconds(wave.samples.size(), wave.format.bitsPerSample,
                                wave.format.channels, wave.format.samplesPerSecond);
  FUZZ_CHECK(duration >= -1);
  return 0;
}
