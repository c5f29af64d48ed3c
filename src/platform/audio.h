// Audio output: the default playback device and sound buffers played once on it.
//
// The layer offers what the completion sound needs and no more: open the
// default output, hand it a buffer of PCM samples, play that buffer once from
// its start without waiting, report the buffer's size, format and frequency,
// and release it. Playback runs at full volume, centre pan and the format's
// own sample rate; nothing here changes them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

/// A PCM wave format, field for field as a RIFF "fmt " chunk holds it.
struct AudioFormat {
  std::uint16_t formatTag = 0;  // 1 = integer PCM
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSecond = 0;
  std::uint32_t averageBytesPerSecond = 0;
  std::uint16_t blockAlign = 0;  // bytes per frame
  std::uint16_t bitsPerSample = 0;
};

/// One buffer of samples held by the audio output.
struct AudioBuffer;

/// Opens the default audio output. False when there is none: the audio
/// library is missing, or no device can be opened. After one success further
/// calls return true at once.
bool OpenAudioDevice();

/// Releases every buffer still held, closes the output and unloads the audio
/// library. Nothing happens when the output is not open.
void CloseAudioDevice();

/// Creates a buffer holding a copy of `byteCount` sample bytes in `format`.
/// Null when the output is not open or refuses the format. The output plays
/// one buffer at a time: creating a buffer stops one that is playing.
AudioBuffer* CreateAudioBuffer(const AudioFormat& format, const void* samples,
                               std::size_t byteCount);

/// Plays the buffer once from its start and returns at once; whatever the
/// output was playing stops first. False when playback cannot start.
bool PlayAudioBuffer(AudioBuffer* buffer);

/// The buffer's size in bytes, its format and the frequency it plays at.
/// False for a null buffer.
bool QueryAudioBuffer(const AudioBuffer* buffer, std::size_t& byteCount, AudioFormat& format,
                      std::uint32_t& frequency);

/// Frees the buffer; playback of it that has not ended yet is cut off.
/// Nothing happens for null.
void ReleaseAudioBuffer(AudioBuffer* buffer);

}  // namespace platform
