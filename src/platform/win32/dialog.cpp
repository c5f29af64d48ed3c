// The text-input dialog on Windows: a small window of system controls with its own message loop.
#include "platform/dialog.h"

#include <windows.h>
// These build on the types that windows.h declares.
#include <commctrl.h>
#include <objbase.h>

#include <mutex>
#include <optional>
#include <vector>

#include "platform/dialog_layout.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

constexpr wchar_t kClassName[] = L"Quillfort Text Dialog";

using namespace dialog_layout;

constexpr int kFieldId = 10;
constexpr WORD kOkCommand = 1000;
constexpr WORD kCancelCommand = 1001;

// A top-level window that SuspendWindows touched. The list is process-wide,
// so each record says which thread owns the window, and a thread suspends
// and resumes only its own.
struct SuspendedWindow {
  DWORD threadId;
  HWND window;
  bool wasTopmost;
  bool disabledByDialog;
};

std::mutex g_suspendedLock;
std::vector<SuspendedWindow> g_suspended;

// One dialog at a time per process.
HWND g_field = nullptr;
bool g_finished = false;
HWND g_owner = nullptr;
bool g_ownerDisabled = false;
HFONT g_font = nullptr;

using ResultSlot = std::optional<std::u16string>;

BOOL CALLBACK SuspendOne(HWND window, LPARAM) {
  DWORD processId = 0;
  if (GetWindowThreadProcessId(window, &processId) != GetCurrentThreadId()) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;
  SuspendedWindow record{GetCurrentThreadId(), window,
                         (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, false};
  if (window != GetForegroundWindow() && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    record.disabledByDialog = true;
  }
  std::lock_guard<std::mutex> guard(g_suspendedLock);
  g_suspended.push_back(record);
  return TRUE;
}

std::vector<SuspendedWindow> TakeRecordsOfThisThread() {
  const DWORD thread = GetCurrentThreadId();
  std::vector<SuspendedWindow> mine;
  std::lock_guard<std::mutex> guard(g_suspendedLock);
  std::erase_if(g_suspended, [&](const SuspendedWindow& record) {
    if (record.threadId != thread) return false;
    mine.push_back(record);
    return true;
  });
  return mine;
}

void SuspendWindows() {
  EnumWindows(SuspendOne, 0);
  const DWORD thread = GetCurrentThreadId();
  std::vector<HWND> topmost;
  {
    std::lock_guard<std::mutex> guard(g_suspendedLock);
    for (const SuspendedWindow& record : g_suspended) {
      if (record.threadId == thread && record.wasTopmost) topmost.push_back(record.window);
    }
  }
  // Outside the lock: moving a window in the order sends it messages. Without
  // SWP_NOACTIVATE the move would also activate it, taking the foreground
  // from the window that is to own the dialog.
  for (HWND window : topmost) {
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void ResumeWindows() {
  if (g_ownerDisabled) {
    EnableWindow(g_owner, TRUE);
    g_ownerDisabled = false;
  }
  for (const SuspendedWindow& record : TakeRecordsOfThisThread()) {
    if (record.disabledByDialog) EnableWindow(record.window, TRUE);
    if (record.wasTopmost) {
      SetWindowPos(record.window, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

// The foreground window when it belongs to this process, else none.
HWND ForegroundWindowOfProcess() {
  const HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return nullptr;
  DWORD processId = 0;
  GetWindowThreadProcessId(foreground, &processId);
  return processId == GetCurrentProcessId() ? foreground : nullptr;
}

std::u16string FieldText() {
  const int length = GetWindowTextLengthW(g_field);
  if (length <= 0) return std::u16string();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int got = GetWindowTextW(g_field, buffer.data(), length + 1);
  return win32::FromWide(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void Close(HWND window, bool confirmed) {
  if (confirmed) {
    auto* slot = reinterpret_cast<ResultSlot*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (slot != nullptr) *slot = FieldText();
  }
  // Resumed first, so the owner is enabled again while the dialog still
  // exists and the system hands the activation back to it.
  ResumeWindows();
  DestroyWindow(window);
}

LRESULT CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Anything else here is the field's notifications, of no interest.
      if (LOWORD(wParam) == kOkCommand) Close(window, true);
      if (LOWORD(wParam) == kCancelCommand) Close(window, false);
      return 0;
    case WM_CLOSE:
      Close(window, false);
      return 0;
    case WM_DESTROY:
      // Fails while this window still exists; the next registration then
      // finds the class in place, which serves as well.
      UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
      g_finished = true;
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void RegisterDialogClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DialogProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  // A failure (the class still registered from an earlier dialog) is harmless.
  RegisterClassExW(&windowClass);
}

HWND CreateControl(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                   const Box& box, HWND parent, int id, HINSTANCE instance) {
  const HWND control = CreateWindowExW(
      exStyle, className, text, WS_CHILD | WS_VISIBLE | style, box.x, box.y, box.width, box.height,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (control != nullptr) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), TRUE);
  }
  return control;
}

}  // namespace

void PrepareDialogServices() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                   ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
  CoInitialize(nullptr);
}

bool ShowTextDialog(const std::u16string& titleIn, const std::u16string& promptIn,
                    const std::u16string& defaultTextIn, std::u16string& result) {
  const std::u16string title = titleIn;
  const std::u16string prompt = promptIn;
  const std::u16string defaultText = defaultTextIn;
  ResultSlot slot;

  if (g_font == nullptr) g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterDialogClass(instance);

  g_finished = false;
  SuspendWindows();
  g_owner = ForegroundWindowOfProcess();
  g_ownerDisabled = false;
  if (g_owner != nullptr && IsWindowEnabled(g_owner)) {
    EnableWindow(g_owner, FALSE);
    g_ownerDisabled = true;
  }

  const HWND window =
      CreateWindowExW(0, kClassName, win32::Wide(title), WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                      GetSystemMetrics(SM_CXSCREEN) / 2 - kWidth / 2,
                      GetSystemMetrics(SM_CYSCREEN) / 2 - kHeight / 2, kWidth, kHeight,
                      ForegroundWindowOfProcess(), nullptr, instance, nullptr);
  if (window == nullptr) {
    ResumeWindows();
    return false;
  }
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&slot));

  CreateControl(0, L"STATIC", win32::Wide(prompt), SS_SIMPLE, kPrompt, window, 0, instance);
  g_field = CreateControl(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kField,
                          window, kFieldId, instance);
  SetFocus(g_field);
  if (!defaultText.empty()) {
    SendMessageW(g_field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win32::Wide(defaultText)));
    // The caret after the last character, nothing selected: typing appends.
    const auto end = static_cast<WPARAM>(defaultText.size());
    SendMessageW(g_field, EM_SETSEL, end, static_cast<LPARAM>(end));
  }
  CreateControl(0, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, kOkButton, window, kOkCommand,
                instance);

  ACCEL keys[2] = {{FVIRTKEY, VK_RETURN, kOkCommand}, {FVIRTKEY, VK_ESCAPE, kCancelCommand}};
  const HACCEL accelerators = CreateAcceleratorTableW(keys, 2);
  SetForegroundWindow(window);
  BringWindowToTop(window);

  MSG message;
  while (!g_finished) {
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    if (accelerators != nullptr && TranslateAcceleratorW(window, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (accelerators != nullptr) DestroyAcceleratorTable(accelerators);

  // Left by a quit message with the window still up: it must not outlive the
  // slot it writes to.
  if (!g_finished && IsWindow(window)) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ResumeWindows();
    DestroyWindow(window);
  }
  g_field = nullptr;

  if (!slot) return false;
  result = *slot;
  return true;
}

}  // namespace platform
