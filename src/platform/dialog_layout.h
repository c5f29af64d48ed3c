// The text dialog's geometry, which every back end draws alike.
#pragma once

namespace platform::dialog_layout {

// The window's outer size, and the controls' places in its client area, in pixels.
constexpr int kWidth = 300;
constexpr int kHeight = 130;
struct Box {
  int x, y, width, height;
};
constexpr Box kPrompt{10, 10, 280, 22};
constexpr Box kField{10, 32, 275, 21};
constexpr Box kOkButton{110, 67, 80, 25};

}  // namespace platform::dialog_layout
