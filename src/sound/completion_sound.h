// The completion sound: played once after a successful backup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/audio.h"

/// Plays the embedded sound and waits until it has finished; does nothing
/// when no audio output can be opened.
void PlayCompletionSound();

/// Releases the audio output (the end of the run).
void CloseAudioOutput();

/// The embedded RIFF/WAVE image of the completion sound, with its length.
std::span<const std::uint8_t> CompletionSoundImage();

/// What the chunk walk finds in a RIFF/WAVE image.
struct WaveImage {
  platform::AudioFormat format;           // the first 16 bytes of the "fmt " chunk's body
  std::span<const std::uint8_t> samples;  // the "data" chunk's body, inside the image
};

/// Walks the chunks of a RIFF image: the first "fmt " chunk, then the first
/// "data" chunk after it. False when the image does not begin with "RIFF",
/// lacks either chunk, has a format body under 16 bytes, or has a size field
/// that runs past its end. Never reads outside `image`.
bool ParseWaveImage(std::span<const std::uint8_t> image, WaveImage& wave);

/// The two "WAV Header Info" lines, each ended by a line feed.
std::string WaveHeaderInfo(const WaveImage& wave);

/// Length in milliseconds of `byteCount` sample bytes: whole frames times
/// 1000 over the frequency, each division truncating. -1 when a divisor is 0.
std::int64_t SoundDurationMilliseconds(std::uint64_t byteCount, unsigned bitsPerSample,
                                       unsigned channels, std::uint32_t frequency);

/// Opens the audio output and the table of sounds; true when open.
bool OpenAudioOutput();

/// Loads the sound in a RIFF image under `number` (a sound held there is
/// released first) and writes the two header lines to standard output.
bool LoadWaveFromMemory(int number, std::span<const std::uint8_t> image);

/// Plays sound `number` once from its start, without waiting.
bool StartSound(int number);

/// The length of sound `number` in milliseconds; -1 when there is none.
std::int64_t GetSoundDuration(int number);

/// Sleeps the calling thread.
void WaitMilliseconds(std::uint32_t milliseconds);

/// Frees sound `number`; nothing happens when there is none.
void ReleaseSound(int number);
