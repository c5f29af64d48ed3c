// Audio output on POSIX systems: ALSA's default playback device, loaded at run time.
//
// libasound is opened by name when the output is first opened, never linked,
// so that the program starts and backs up on a machine without it. A buffer
// is played by a feeder thread that writes its frames to the device and then
// drains it; the caller's thread returns at once, as with a static buffer
// that the device plays by itself.
#include "platform/audio.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

struct AudioBuffer {
  AudioFormat format;
  std::vector<std::uint8_t> samples;
};

namespace {

// The few ALSA names used, declared here rather than taken from
// <alsa/asoundlib.h> so that building needs no ALSA headers. They are part of
// libasound.so.2's stable interface; enumerations pass as int.
struct AlsaPcm;
constexpr int kStreamPlayback = 0;       // SND_PCM_STREAM_PLAYBACK
constexpr int kOpenNonBlocking = 1;      // SND_PCM_NONBLOCK
constexpr int kFormatU8 = 1;             // SND_PCM_FORMAT_U8
constexpr int kFormatS16Le = 2;          // SND_PCM_FORMAT_S16_LE
constexpr int kAccessRwInterleaved = 3;  // SND_PCM_ACCESS_RW_INTERLEAVED

using ErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                              const char* format, ...);

struct AlsaFunctions {
  int (*pcmOpen)(AlsaPcm** pcm, const char* name, int stream, int mode);
  int (*pcmNonblock)(AlsaPcm* pcm, int nonblock);
  int (*pcmSetParams)(AlsaPcm* pcm, int format, int access, unsigned channels, unsigned rate,
                      int softResample, unsigned latencyMicroseconds);
  int (*pcmPrepare)(AlsaPcm* pcm);
  long (*pcmWritei)(AlsaPcm* pcm, const void* buffer, unsigned long frames);
  int (*pcmRecover)(AlsaPcm* pcm, int err, int silent);
  int (*pcmDrain)(AlsaPcm* pcm);
  int (*pcmDrop)(AlsaPcm* pcm);
  int (*pcmClose)(AlsaPcm* pcm);
  int (*setErrorHandler)(ErrorHandler handler);
  int (*freeGlobalConfig)();
};

// The device's own buffer; a quarter of it is written at a time. Long enough
// to ride out a busy machine, short enough that stopping is quick.
constexpr unsigned kLatencyMicroseconds = 200000;
constexpr unsigned long kFramesPerWrite = 2048;

struct Output {
  void* library = nullptr;
  AlsaFunctions alsa{};
  AlsaPcm* pcm = nullptr;
  bool configured = false;
  AudioFormat configuredFormat;
  std::vector<AudioBuffer*> buffers;
  AudioBuffer* playing = nullptr;
  std::thread feeder;
  std::atomic<bool> stopFeeding{false};
};

// Never destroyed: a feeder still running when the process exits must not
// meet a destructor of its thread object.
Output& TheOutput() {
  static Output* const output = new Output;
  return *output;
}

// alsa-lib reports failures on standard error by default; the output is
// optional and fails silently.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

bool LoadAlsa(Output& out) {
  void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  AlsaFunctions& a = out.alsa;
  bool resolved = Resolve(library, "snd_pcm_open", a.pcmOpen) &&
                  Resolve(library, "snd_pcm_nonblock", a.pcmNonblock) &&
                  Resolve(library, "snd_pcm_set_params", a.pcmSetParams) &&
                  Resolve(library, "snd_pcm_prepare", a.pcmPrepare) &&
                  Resolve(library, "snd_pcm_writei", a.pcmWritei) &&
                  Resolve(library, "snd_pcm_recover", a.pcmRecover) &&
                  Resolve(library, "snd_pcm_drain", a.pcmDrain) &&
                  Resolve(library, "snd_pcm_drop", a.pcmDrop) &&
                  Resolve(library, "snd_pcm_close", a.pcmClose) &&
                  Resolve(library, "snd_lib_error_set_handler", a.setErrorHandler) &&
                  Resolve(library, "snd_config_update_free_global", a.freeGlobalConfig);
  if (!resolved) {
    dlclose(library);
    out.alsa = {};
    return false;
  }
  out.library = library;
  out.alsa.setErrorHandler(IgnoreAlsaError);
  return true;
}

bool SameFormat(const AudioFormat& a, const AudioFormat& b) {
  return a.formatTag == b.formatTag && a.channels == b.channels &&
         a.samplesPerSecond == b.samplesPerSecond && a.blockAlign == b.blockAlign &&
         a.bitsPerSample == b.bitsPerSample;
}

// Integer PCM of 8 or 16 bits with a consistent frame size, as the device
// takes it directly; ALSA's own plug layer adapts channels and rate to the
// hardware where needed.
bool IsPlayableFormat(const AudioFormat& f) {
  return f.formatTag == 1 && (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 &&
         f.channels <= 8 && f.samplesPerSecond > 0 &&
         f.blockAlign == f.channels * f.bitsPerSample / 8;
}

bool Configure(Output& out, const AudioFormat& format) {
  if (out.configured && SameFormat(out.configuredFormat, format)) return true;
  int sampleFormat = format.bitsPerSample == 8 ? kFormatU8 : kFormatS16Le;
  out.configured =
      out.alsa.pcmSetParams(out.pcm, sampleFormat, kAccessRwInterleaved, format.channels,
                            format.samplesPerSecond, 1, kLatencyMicroseconds) >= 0;
  if (out.configured) out.configuredFormat = format;
  return out.configured;
}

// Runs on the feeder thread, which alone touches the device while it runs.
void Feed(Output& out, const AudioBuffer& buffer) {
  const std::uint8_t* next = buffer.samples.data();
  unsigned long frames = buffer.samples.size() / buffer.format.blockAlign;
  while (frames > 0 && !out.stopFeeding.load()) {
    long written = out.alsa.pcmWritei(out.pcm, next, std::min(frames, kFramesPerWrite));
    if (written < 0) {
      // An underrun (-EPIPE) or a suspend is recovered and the write retried;
      // anything else ends this playback.
      if (out.alsa.pcmRecover(out.pcm, static_cast<int>(written), 1) < 0) break;
      continue;
    }
    next += static_cast<std::size_t>(written) * buffer.format.blockAlign;
    frames -= static_cast<unsigned long>(written);
  }
  if (out.stopFeeding.load()) {
    out.alsa.pcmDrop(out.pcm);
  } else {
    out.alsa.pcmDrain(out.pcm);
  }
}

void StopFeeder(Output& out) {
  if (out.feeder.joinable()) {
    out.stopFeeding.store(true);
    out.feeder.join();
  }
  out.playing = nullptr;
}

}  // namespace

bool OpenAudioDevice() {
  Output& out = TheOutput();
  if (out.pcm != nullptr) return true;
  if (out.library == nullptr && !LoadAlsa(out)) return false;
  // Opened without blocking, so that a device held by another program fails
  // the open instead of stalling the run; writes then block as usual.
  AlsaPcm* pcm = nullptr;
  if (out.alsa.pcmOpen(&pcm, "default", kStreamPlayback, kOpenNonBlocking) < 0) return false;
  if (out.alsa.pcmNonblock(pcm, 0) < 0) {
    out.alsa.pcmClose(pcm);
    return false;
  }
  out.pcm = pcm;
  out.configured = false;
  return true;
}

void CloseAudioDevice() {
  Output& out = TheOutput();
  if (out.pcm == nullptr) return;
  StopFeeder(out);
  for (AudioBuffer* buffer : out.buffers) delete buffer;
  out.buffers.clear();
  out.alsa.pcmClose(out.pcm);
  out.pcm = nullptr;
  out.configured = false;
  // The configuration alsa-lib cached would otherwise be lost with the library.
  out.alsa.freeGlobalConfig();
  dlclose(out.library);
  out.library = nullptr;
  out.alsa = {};
}

AudioBuffer* CreateAudioBuffer(const AudioFormat& format, const void* samples,
                               std::size_t byteCount) {
  Output& out = TheOutput();
  if (out.pcm == nullptr || !IsPlayableFormat(format) || byteCount < format.blockAlign) {
    return nullptr;
  }
  StopFeeder(out);
  if (!Configure(out, format)) return nullptr;
  auto* buffer = new (std::nothrow) AudioBuffer;
  if (buffer == nullptr) return nullptr;
  try {
    const auto* bytes = static_cast<const std::uint8_t*>(samples);
    buffer->samples.assign(bytes, bytes + byteCount);
    out.buffers.push_back(buffer);
  } catch (const std::bad_alloc&) {
    delete buffer;
    return nullptr;
  }
  buffer->format = format;
  return buffer;
}

bool PlayAudioBuffer(AudioBuffer* buffer) {
  Output& out = TheOutput();
  if (buffer == nullptr || out.pcm == nullptr) return false;
  StopFeeder(out);
  if (!Configure(out, buffer->format) || out.alsa.pcmPrepare(out.pcm) < 0) return false;
  out.stopFeeding.store(false);
  try {
    out.feeder = std::thread(Feed, std::ref(out), std::cref(*buffer));
  } catch (const std::system_error&) {
    return false;
  }
  out.playing = buffer;
  return true;
}

bool QueryAudioBuffer(const AudioBuffer* buffer, std::size_t& byteCount, AudioFormat& format,
                      std::uint32_t& frequency) {
  if (buffer == nullptr) return false;
  byteCount = buffer->samples.size();
  format = buffer->format;
  frequency = buffer->format.samplesPerSecond;
  return true;
}

void ReleaseAudioBuffer(AudioBuffer* buffer) {
  if (buffer == nullptr) return;
  Output& out = TheOutput();
  if (out.playing == buffer) StopFeeder(out);
  std::erase(out.buffers, buffer);
  delete buffer;
}

}  // namespace platform
