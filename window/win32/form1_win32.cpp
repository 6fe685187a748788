// SPDX-License-Identifier: Apache-2.0
#include "window/win32/form1_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "telltale/platform/win32/wide_text.h"
#include "window/win32/accessible_texts.h"
#include "window/win32/dropped_file_win32.h"
#include "window/win32/form1_messages.h"
#include "window/win32/last_error.h"
#include "window/win32/logo_bitmap.h"
#include "window/win32/progress_window.h"
#include "window/win32/window_dpi.h"

namespace telltale::win32 {
namespace {

constexpr std::size_t kRunIndex = form1::IndexOf(form1::kRunButton);
constexpr std::size_t kNoticeIndex = form1::IndexOf(form1::kLogoNotice);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExtendedStyle = WS_EX_ACCEPTFILES;

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extended_style;
};

ControlClass ClassOf(form1::ControlKind kind) {
  switch (kind) {
    case form1::ControlKind::kLabel:
      return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case form1::ControlKind::kPushButton:
      return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case form1::ControlKind::kResultsBox:
      // Without ES_AUTOHSCROLL the lines wrap at the box's width.
      return {WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
              WS_EX_CLIENTEDGE};
    case form1::ControlKind::kInfoLine:
      return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, 0};
    case form1::ControlKind::kPicture:
      // Centred in its box, which is larger than the logo at a DPI that is
      // not a whole multiple of 96; and not resized to the logo.
      return {WC_STATICW, SS_BITMAP | SS_CENTERIMAGE, 0};
  }
  return {WC_STATICW, 0, 0};
}

// The user's folder, where the Open dialog first starts; empty when unset.
std::string UserFolder() {
  // Long enough for any path the system takes.
  constexpr DWORD kLongestPath = 32768;
  std::wstring folder(kLongestPath, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", folder.data(), kLongestPath);
  folder.resize(length < kLongestPath ? length : 0);
  return Utf8FromWide(folder);
}

}  // namespace

Form1::Form1(HINSTANCE instance) : instance_(instance), presenter_(*this, UserFolder()) {
  RegisterForm1Class(instance, &Form1::WindowProc);
  try {
    // Created at its size at 96 DPI, then laid out at the DPI of the monitor
    // the system placed it on, which is known only once the window exists.
    const SIZE initial = FrameSize(form1::kDefaultDpi);
    const std::wstring title = WideForDisplay(form1::kForm.title);
    window_ =
        CreateWindowExW(kExtendedStyle, kForm1ClassName, title.c_str(), kStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, initial.cx, initial.cy, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
      ThrowLastError("cannot create the window");
    }
    SetAccessibleTexts(window_, form1::kForm.spoken, form1::kForm.described);
    CreateControls();
    ApplyDpi(WindowDpi(window_));
    const SIZE frame = FrameSize(dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DragAcceptFiles(window_, TRUE);
  } catch (...) {
    // No destructor runs for an object whose constructor failed: the half-made
    // window must go now, before any message of its own reaches this object,
    // and the class must be free for the next window.
    if (window_ != nullptr) {
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      DestroyWindow(window_);
    }
    ReleaseResources();
    throw;
  }
  ready_ = true;
}

Form1::~Form1() {
  // While the window the Run's end is posted to still exists.
  presenter_.OnWindowClosing();
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
  ReleaseResources();
}

void Form1::ReleaseResources() {
  if (logo_ != nullptr) {
    DeleteObject(logo_);
  }
  if (font_ != nullptr) {
    DeleteObject(font_);
  }
  UnregisterClassW(kForm1ClassName, instance_);
}

void Form1::CreateControls() {
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    const form1::ControlEntry& entry = form1::kControls.at(index);
    const ControlClass control_class = ClassOf(entry.kind);
    const std::wstring text = WideForDisplay(entry.text);
    // Placed by ApplyDpi().
    HWND control = CreateWindowExW(control_class.extended_style, control_class.name, text.c_str(),
                                   WS_CHILD | WS_VISIBLE | control_class.style, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(index))),
                                   instance_, nullptr);
    if (control == nullptr) {
      ThrowLastError("cannot create the window's controls");
    }
    SetAccessibleTexts(control, entry.spoken, entry.described);
    controls_.at(index) = control;
  }
  SetFocus(Control(kRunIndex));
}

void Form1::ApplyDpi(int dpi) {
  HFONT font = MakeLayoutFont(dpi);
  HBITMAP logo = nullptr;
  try {
    logo = LoadLogo(instance_, dpi);
  } catch (...) {
    DeleteObject(font);
    throw;
  }
  const bool redraw = dpi_ != 0;
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    const form1::ControlEntry& entry = form1::kControls.at(index);
    HWND control = Control(index);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
    if (entry.kind == form1::ControlKind::kInfoLine) {
      // No margins: the boxes were sized for their texts with little room to
      // spare, and the system's default margins cut the longest under Wine.
      // A new font brings the default margins back.
      SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    }
    if (entry.kind == form1::ControlKind::kPicture) {
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
    }
    MoveWindow(control, form1::PixelsAt(entry.bounds.left, dpi),
               form1::PixelsAt(entry.bounds.top, dpi), form1::PixelsAt(entry.bounds.width, dpi),
               form1::PixelsAt(entry.bounds.height, dpi), redraw ? TRUE : FALSE);
  }
  if (progress_) {
    progress_->SetFont(font);
  }
  // The controls no longer use the old ones.
  if (font_ != nullptr) {
    DeleteObject(font_);
  }
  if (logo_ != nullptr) {
    DeleteObject(logo_);
  }
  font_ = font;
  logo_ = logo;
  dpi_ = dpi;
}

SIZE Form1::FrameSize(int dpi) {
  const RECT frame = FrameAtDpi({0, 0, form1::PixelsAt(form1::kForm.client_width, dpi),
                                 form1::PixelsAt(form1::kForm.client_height, dpi)},
                                kStyle, kExtendedStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form1::Show(int show_command) {
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  SetFocus(Control(kRunIndex));
}

void Form1::StartRun(const std::string& path) { presenter_.StartRun(path); }

void Form1::RethrowFailure() const {
  if (failure_) {
    std::rethrow_exception(failure_);
  }
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  // No exception may cross the system's frames: it ends the message loop
  // and is thrown again from RethrowFailure().
  try {
    return self->Handle(message, wparam, lparam);
  } catch (...) {
    self->failure_ = std::current_exception();
    PostQuitMessage(1);
    return 0;
  }
}

LRESULT Form1::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The labels and the logo on the window's own colour.
      auto* context = reinterpret_cast<HDC>(wparam);
      SetBkColor(context, GetSysColor(COLOR_WINDOW));
      SetTextColor(context, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_GETDPISCALEDSIZE: {
      // The exact size at the new DPI, so that the rectangle WM_DPICHANGED
      // suggests holds the layout's client area to the pixel.
      *reinterpret_cast<SIZE*>(lparam) = FrameSize(static_cast<int>(LOWORD(wparam)));
      return TRUE;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI, or the monitor's changed.
      ApplyDpi(static_cast<int>(LOWORD(wparam)));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        if (const HWND focus = GetFocus(); focus != nullptr && IsChild(window_, focus) != 0) {
          last_focus_ = focus;
        }
      }
      break;
    case WM_SETFOCUS:
      // The window hands the focus on to the control that had it last, as a
      // dialog does.
      SetFocus(last_focus_ != nullptr && IsWindow(last_focus_) != 0 ? last_focus_
                                                                    : Control(kRunIndex));
      return 0;
    case WM_DROPFILES:
      // One file, not a folder, and none during a Run.
      if (const std::optional<std::string> file =
              TakeDroppedFile(reinterpret_cast<HDROP>(wparam))) {
        presenter_.OnFileDropped(*file);
      }
      return 0;
    case WM_TIMER:
      if (wparam == kPollTimer) {
        presenter_.OnTick();
      }
      return 0;
    case kRunFinished:
      presenter_.OnRunFinished();
      return 0;
    case WM_SETCURSOR:
      if (presenter_.Busy()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // Closing the window stops the Run; it ends before its next read.
      presenter_.OnWindowClosing();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

void Form1::OnCommand(int id, int code) {
  if (id == ControlId(kRunIndex) && code == BN_CLICKED) {
    presenter_.OnRunPressed();
  } else if (id == ControlId(kNoticeIndex) && code == EN_CHANGE) {
    OnLogoNoticeChanged();
  }
}

void Form1::OnLogoNoticeChanged() {
  // Wine reports a change even when an empty box is emptied again: without
  // this test the emptying would go on for ever.
  if (ready_ && GetWindowTextLengthW(Control(kNoticeIndex)) > 0) {
    SetWindowTextW(Control(kNoticeIndex), L"");
  }
}

}  // namespace telltale::win32
