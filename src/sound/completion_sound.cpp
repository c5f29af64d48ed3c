// The completion sound: the RIFF loader, the table of loaded sounds and the play-and-wait step.
#include "sound/completion_sound.h"

#include <cstring>
#include <map>
#include <optional>

#include "platform/clock.h"
#include "platform/console.h"

namespace {

// The table of loaded sounds exists only while the audio output is open; its
// existence is what "open" means.
std::optional<std::map<int, platform::AudioBuffer*>> soundTable;

std::uint16_t ReadU16(std::span<const std::uint8_t> image, std::uint64_t at) {
  return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> image, std::uint64_t at) {
  return static_cast<std::uint32_t>(image[at]) | static_cast<std::uint32_t>(image[at + 1]) << 8 |
         static_cast<std::uint32_t>(image[at + 2]) << 16 |
         static_cast<std::uint32_t>(image[at + 3]) << 24;
}

// Moves `at` from one chunk header to the next until one with the identifier
// `id` is found; false once no whole 8-byte header is left in the image.
// Offsets are 64-bit, so no 32-bit size field can wrap them around.
//
// The pad byte that RIFF puts after a chunk of odd size is honoured: writers
// that follow RIFF place it, and for chunks of even size, the embedded
// image's included, it changes nothing.
bool FindChunk(std::span<const std::uint8_t> image, std::uint64_t& at, const char* id) {
  while (at + 8 <= image.size()) {
    if (std::memcmp(image.data() + at, id, 4) == 0) return true;
    const std::uint64_t size = ReadU32(image, at + 4);
    at += 8 + size + (size & 1);
  }
  return false;
}

platform::AudioBuffer* FindSound(int number) {
  if (!soundTable) return nullptr;
  auto found = soundTable->find(number);
  return found == soundTable->end() ? nullptr : found->second;
}

}  // namespace

bool ParseWaveImage(std::span<const std::uint8_t> image, WaveImage& wave) {
  // Only the "RIFF" tag is checked; the RIFF size and the form type are not
  // needed to find the two chunks.
  if (image.size() < 4 || std::memcmp(image.data(), "RIFF", 4) != 0) return false;
  std::uint64_t at = 12;
  if (!FindChunk(image, at, "fmt ")) return false;
  const std::uint64_t formatSize = ReadU32(image, at + 4);
  if (formatSize < 16 || at + 8 + formatSize > image.size()) return false;
  const std::uint64_t body = at + 8;
  platform::AudioFormat& f = wave.format;
  f.formatTag = ReadU16(image, body);
  f.channels = ReadU16(image, body + 2);
  f.samplesPerSecond = ReadU32(image, body + 4);
  f.averageBytesPerSecond = ReadU32(image, body + 8);
  f.blockAlign = ReadU16(image, body + 12);
  f.bitsPerSample = ReadU16(image, body + 14);

  // "data" must follow "fmt "; whatever comes after "data" is never read.
  at = body + formatSize + (formatSize & 1);
  if (!FindChunk(image, at, "data")) return false;
  const std::uint64_t dataSize = ReadU32(image, at + 4);
  if (at + 8 + dataSize > image.size()) return false;
  wave.samples = image.subspan(at + 8, dataSize);
  return true;
}

std::string WaveHeaderInfo(const WaveImage& wave) {
  const platform::AudioFormat& f = wave.format;
  return "WAV Header Info: NbChannels " + std::to_string(f.channels) +
         ", BitsPerSamples: " + std::to_string(f.bitsPerSample) + ", NbBlockAlign " +
         std::to_string(f.blockAlign) + "\n" + "WAV Header Info: SamplePerSec " +
         std::to_string(f.samplesPerSecond) +
         ", nAvgBytesPerSec: " + std::to_string(f.averageBytesPerSecond) + ", WavSize " +
         std::to_string(wave.samples.size()) + "\n";
}

std::int64_t SoundDurationMilliseconds(std::uint64_t byteCount, unsigned bitsPerSample,
                                       unsigned channels, std::uint32_t frequency) {
  const unsigned bytesPerSample = bitsPerSample / 8;
  if (bytesPerSample == 0 || channels == 0 || frequency == 0) return -1;
  const std::uint64_t frames = byteCount / bytesPerSample / channels;
  return static_cast<std::int64_t>(frames * 1000 / frequency);
}

bool OpenAudioOutput() {
  if (soundTable) return true;
  if (!platform::OpenAudioDevice()) return false;
  soundTable.emplace();
  return true;
}

bool LoadWaveFromMemory(int number, std::span<const std::uint8_t> image) {
  if (!soundTable || number < 0) return false;
  WaveImage wave;
  if (!ParseWaveImage(image, wave)) return false;
  // Written before the device sees the format, so they appear even when it is refused.
  const std::string info = WaveHeaderInfo(wave);
  platform::WriteStandardOutput(info.data(), info.size());

  platform::AudioBuffer* buffer =
      platform::CreateAudioBuffer(wave.format, wave.samples.data(), wave.samples.size());
  if (buffer == nullptr) return false;
  ReleaseSound(number);
  (*soundTable)[number] = buffer;
  return true;
}

bool StartSound(int number) {
  platform::AudioBuffer* buffer = FindSound(number);
  return buffer != nullptr && platform::PlayAudioBuffer(buffer);
}

std::int64_t GetSoundDuration(int number) {
  std::size_t byteCount = 0;
  platform::AudioFormat format;
  std::uint32_t frequency = 0;
  if (!platform::QueryAudioBuffer(FindSound(number), byteCount, format, frequency)) return -1;
  return SoundDurationMilliseconds(byteCount, format.bitsPerSample, format.channels, frequency);
}

void WaitMilliseconds(std::uint32_t milliseconds) {
  // POSIX sleeps are already precise to well under a millisecond; there is no
  // timer resolution to raise first.
  platform::SleepMilliseconds(milliseconds);
}

void ReleaseSound(int number) {
  platform::AudioBuffer* buffer = FindSound(number);
  if (buffer == nullptr) return;
  platform::ReleaseAudioBuffer(buffer);
  soundTable->erase(number);
}

void PlayCompletionSound() {
  if (!OpenAudioOutput()) return;
  if (!LoadWaveFromMemory(0, CompletionSoundImage())) return;
  StartSound(0);  // A failed start still waits, in silence.
  const std::int64_t length = GetSoundDuration(0);
  // Added in 64 bits; the low 32 bits are the wait.
  WaitMilliseconds(static_cast<std::uint32_t>(length + 256));
  ReleaseSound(0);
}

void CloseAudioOutput() {
  if (!soundTable) return;
  for (const auto& [number, buffer] : *soundTable) platform::ReleaseAudioBuffer(buffer);
  soundTable.reset();
  platform::CloseAudioDevice();
}
