// Audio output on Windows: DirectSound, loaded at run time, with static buffers it plays by itself.
//
// DSOUND.DLL is loaded by name when the output is first opened, never
// linked, so that the program starts and backs up on a machine without it.
// DirectSound wants a window for its cooperative level; the program has none
// at that moment and makes a hidden one.
#include "platform/audio.h"

#include <windows.h>
// This builds on the types that windows.h declares.
#include <dsound.h>

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace platform {

struct AudioBuffer {
  IDirectSoundBuffer* buffer;
};

namespace {

using DirectSoundCreateFunction = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

// Buffer descriptions go by their full size (36 bytes in the 32-bit program,
// with the 3D algorithm's GUID), capability records by their 20 bytes.
static_assert(sizeof(DSBUFFERDESC) == (sizeof(void*) == 4 ? 36 : 40));
static_assert(sizeof(DSBCAPS) == 20);
static_assert(sizeof(WAVEFORMATEX) == 18);

// Static (played from its own memory), volume, pan and frequency under
// control, audible whichever window has the focus, precise play cursor.
constexpr DWORD kSecondaryBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                        DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                                        DSBCAPS_GETCURRENTPOSITION2;
static_assert(kSecondaryBufferFlags == 0x180E2);

constexpr wchar_t kWindowClass[] = L"MultimediaBase Class";

struct Output {
  HWND window = nullptr;
  HMODULE library = nullptr;
  IDirectSound* device = nullptr;
  IDirectSoundBuffer* primary = nullptr;
  bool open = false;
  std::vector<AudioBuffer*> buffers;
};

Output g_output;

// Never shown; only the messages of its creation reach it, since the main
// thread pumps no messages afterwards.
LRESULT CALLBACK AudioWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_ACTIVATE:
    case WM_KEYUP:
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool CreateAudioWindow(Output& out) {
  if (out.window != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = AudioWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return false;
  out.window = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               instance, nullptr);
  return out.window != nullptr;
}

// Only one buffer plays at a time, as on every other output of this layer.
void StopOthers(const Output& out, const AudioBuffer* keep) {
  for (const AudioBuffer* held : out.buffers) {
    if (held != keep) held->buffer->Stop();
  }
}

}  // namespace

bool OpenAudioDevice() {
  Output& out = g_output;
  if (out.open) return true;
  if (!CreateAudioWindow(out)) return false;
  // An earlier attempt that got a device and then failed is not retried.
  if (out.device != nullptr) return false;

  // A library loaded by a failed attempt stays loaded and serves again.
  if (out.library == nullptr) out.library = LoadLibraryW(L"DSOUND.DLL");
  if (out.library == nullptr) return false;
  const auto create = reinterpret_cast<DirectSoundCreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(out.library, "DirectSoundCreate")));
  if (create == nullptr) return false;
  IDirectSound* device = nullptr;
  if (create(nullptr, &device, nullptr) != DS_OK || device == nullptr) return false;
  out.device = device;

  if (device->SetCooperativeLevel(out.window, DSSCL_PRIORITY) != DS_OK) return false;
  // The primary buffer keeps its format; holding it keeps the device's mixer running.
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  if (device->CreateSoundBuffer(&description, &primary, nullptr) != DS_OK || primary == nullptr) {
    return false;
  }
  out.primary = primary;
  out.open = true;
  return true;
}

void CloseAudioDevice() {
  Output& out = g_output;
  if (!out.open) return;
  for (AudioBuffer* held : out.buffers) {
    held->buffer->Release();
    delete held;
  }
  out.buffers.clear();
  // Everything DirectSound made goes before its library does.
  out.primary->Release();
  out.primary = nullptr;
  out.device->Release();
  out.device = nullptr;
  FreeLibrary(out.library);
  out.library = nullptr;
  out.open = false;
}

AudioBuffer* CreateAudioBuffer(const AudioFormat& format, const void* samples,
                               std::size_t byteCount) {
  Output& out = g_output;
  if (!out.open || byteCount > std::numeric_limits<DWORD>::max()) return nullptr;
  StopOthers(out, nullptr);

  WAVEFORMATEX wave{};
  wave.wFormatTag = format.formatTag;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.samplesPerSecond;
  wave.nAvgBytesPerSec = format.averageBytesPerSecond;
  wave.nBlockAlign = format.blockAlign;
  wave.wBitsPerSample = format.bitsPerSample;
  wave.cbSize = 0;
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = kSecondaryBufferFlags;
  description.dwBufferBytes = static_cast<DWORD>(byteCount);
  description.lpwfxFormat = &wave;
  IDirectSoundBuffer* buffer = nullptr;
  if (out.device->CreateSoundBuffer(&description, &buffer, nullptr) != DS_OK || buffer == nullptr) {
    return nullptr;
  }

  void* first = nullptr;
  DWORD firstSize = 0;
  void* second = nullptr;
  DWORD secondSize = 0;
  if (buffer->Lock(0, static_cast<DWORD>(byteCount), &first, &firstSize, &second, &secondSize, 0) !=
      DS_OK) {
    buffer->Release();
    return nullptr;
  }
  // From offset 0 over the whole size the region does not wrap, so the
  // second part stays empty; it is filled all the same should it not.
  const auto* bytes = static_cast<const std::uint8_t*>(samples);
  const std::size_t inFirst = std::min<std::size_t>(firstSize, byteCount);
  if (first != nullptr) std::copy_n(bytes, inFirst, static_cast<std::uint8_t*>(first));
  if (second != nullptr) {
    std::copy_n(bytes + inFirst, std::min<std::size_t>(secondSize, byteCount - inFirst),
                static_cast<std::uint8_t*>(second));
  }
  buffer->Unlock(first, firstSize, second, secondSize);

  auto* held = new (std::nothrow) AudioBuffer{buffer};
  if (held == nullptr) {
    buffer->Release();
    return nullptr;
  }
  try {
    out.buffers.push_back(held);
  } catch (const std::bad_alloc&) {
    delete held;
    buffer->Release();
    return nullptr;
  }
  return held;
}

bool PlayAudioBuffer(AudioBuffer* buffer) {
  if (buffer == nullptr || !g_output.open) return false;
  StopOthers(g_output, buffer);
  IDirectSoundBuffer* sound = buffer->buffer;
  sound->Stop();
  sound->SetCurrentPosition(0);
  return sound->Play(0, 0, 0) == DS_OK;
}

bool QueryAudioBuffer(const AudioBuffer* buffer, std::size_t& byteCount, AudioFormat& format,
                      std::uint32_t& frequency) {
  if (buffer == nullptr) return false;
  IDirectSoundBuffer* sound = buffer->buffer;
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  WAVEFORMATEX wave{};
  DWORD waveSize = 0;
  DWORD rate = 0;
  if (sound->GetCaps(&caps) != DS_OK || sound->GetFormat(&wave, sizeof wave, &waveSize) != DS_OK ||
      sound->GetFrequency(&rate) != DS_OK) {
    return false;
  }
  byteCount = caps.dwBufferBytes;
  format.formatTag = wave.wFormatTag;
  format.channels = wave.nChannels;
  format.samplesPerSecond = wave.nSamplesPerSec;
  format.averageBytesPerSecond = wave.nAvgBytesPerSec;
  format.blockAlign = wave.nBlockAlign;
  format.bitsPerSample = wave.wBitsPerSample;
  frequency = rate;
  return true;
}

void ReleaseAudioBuffer(AudioBuffer* buffer) {
  if (buffer == nullptr) return;
  // Not stopped first: releasing the last reference ends its playback.
  buffer->buffer->Release();
  std::erase(g_output.buffers, buffer);
  delete buffer;
}

}  // namespace platform
