// SPDX-License-Identifier: Apache-2.0
// Form1's keyboard: Tab in the layout table's order, Enter on the Run
// button, its access key, and the progress window's keys.
#include <algorithm>
#include <vector>

#include "window/win32/form1_win32.h"
#include "window/win32/progress_window.h"

namespace telltale::win32 {
namespace {

// The control indices of the Tab stops, in Tab order.
std::vector<std::size_t> TabStops() {
  std::vector<std::size_t> stops;
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    if (form1::kControls.at(index).tab_index != form1::kNoTabStop) {
      stops.push_back(index);
    }
  }
  std::ranges::sort(stops, {}, [](std::size_t i) { return form1::kControls.at(i).tab_index; });
  return stops;
}

}  // namespace

bool Form1::TranslateKeyboard(MSG& message) {
  if (progress_ && progress_->TranslateKeyboard(message)) {
    return true;
  }
  if (window_ == nullptr || (message.hwnd != window_ && IsChild(window_, message.hwnd) == 0)) {
    return false;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
    MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  // The Run button takes Enter while it has the focus; it is never the
  // window's default button.
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
      message.hwnd == Control(form1::IndexOf(form1::kRunButton))) {
    presenter_.OnRunPressed();
    return true;
  }
  // The Run button's access key.
  return IsDialogMessageW(window_, &message) != 0;
}

// Tab follows the table, not the controls' stacking order, which keeps the
// information lines uncovered.
void Form1::MoveFocus(bool backwards) {
  static const std::vector<std::size_t> stops = TabStops();
  const HWND focus = GetFocus();
  const auto at = std::ranges::find_if(stops, [&](std::size_t i) { return Control(i) == focus; });
  std::size_t next = 0;
  if (at != stops.end()) {
    const auto place = static_cast<std::size_t>(at - stops.begin());
    next = backwards ? (place + stops.size() - 1) % stops.size() : (place + 1) % stops.size();
  }
  const std::size_t index = stops.at(next);
  SetFocus(Control(index));
  if (form1::kControls.at(index).kind == form1::ControlKind::kInfoLine) {
    SendMessageW(Control(index), EM_SETSEL, 0, -1);
  }
}

}  // namespace telltale::win32
