#include "window/win32/form1_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <system_error>
#include <utility>
#include <vector>

#include "detection/telltale.h"
#include "detection/win32/wide_text.h"
#include "window/common/run_thread.h"
#include "window/win32/progress_window.h"

namespace telltale::win32 {
namespace {

// Posted by the Run's thread as its last act.
constexpr UINT kRunFinished = WM_APP + 1;
// Looks at the Run's progress: shows the progress window, then moves its bar.
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 100;
// A Run that ends sooner shows no progress window.
constexpr auto kShowProgressAfter = std::chrono::milliseconds(500);
// Long enough for any path the system takes.
constexpr DWORD kLongestPath = 32768;

constexpr std::size_t kRunIndex = form1::IndexOf(form1::kRunButton);
constexpr std::size_t kResultsIndex = form1::IndexOf(form1::kResultsBox);
constexpr std::size_t kNoticeIndex = form1::IndexOf(form1::kLogoNotice);

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

// The system's message font, brought down to the size the layout was drawn
// for; the classic dialog font where the system will not tell.
HFONT MakeFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0) {
    font = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const LONG largest = MulDiv(form1::kForm.largest_point_size, dpi, 72);
  if (std::abs(font.lfHeight) > largest) {
    font.lfHeight = -largest;
  }
  HFONT made = CreateFontIndirectW(&font);
  if (made == nullptr) {
    ThrowLastError("cannot create the window's font");
  }
  return made;
}

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
      return {WC_STATICW, SS_BITMAP, 0};
  }
  return {WC_STATICW, 0, 0};
}

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

std::wstring UserFolder() {
  std::wstring folder(kLongestPath, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", folder.data(), kLongestPath);
  folder.resize(length < kLongestPath ? length : 0);
  return folder;
}

// The description of a failure without the line end and stop some system
// messages carry.
std::wstring Description(const std::error_code& code) {
  std::wstring text = WideForDisplay(code.message());
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' ||
                           text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

// Built when a Run starts and destroyed when it ends, in the reverse order of
// its members: the Run's thread is stopped and joined, then the progress
// window goes.
struct Form1::ActiveRun {
  std::wstring shown;    // the path as the user is shown it
  HWND focus = nullptr;  // where the focus goes back to
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::unique_ptr<ProgressWindow> progress;
  // Written by the Run's thread; read by the window's thread only after the
  // Run's thread has been joined.
  LastTextSink sink;
  // Last, so that the thread is joined before the sink it writes goes.
  RunThread thread;
};

Form1::Form1(HINSTANCE instance) : instance_(instance), dialog_folder_(UserFolder()) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &Form1::WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, L"IDI_ICON1");
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // The window takes the colour text boxes have, as the Qt window does.
  window_class.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  window_class.lpszClassName = kForm1ClassName;
  if (RegisterClassExW(&window_class) == 0) {
    ThrowLastError("cannot register the window class");
  }

  font_ = MakeFont();
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, form1::Pixels(form1::kForm.client_width),
             form1::Pixels(form1::kForm.client_height)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_ACCEPTFILES);
  const std::wstring title = WideForDisplay(form1::kForm.title);
  window_ = CreateWindowExW(WS_EX_ACCEPTFILES, kForm1ClassName, title.c_str(), kStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) {
    ThrowLastError("cannot create the window");
  }
  CreateControls();
  DragAcceptFiles(window_, TRUE);
  ready_ = true;
}

Form1::~Form1() {
  StopRun();
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
  if (logo_ != nullptr) {
    DeleteObject(logo_);
  }
  DeleteObject(font_);
  UnregisterClassW(kForm1ClassName, instance_);
}

void Form1::CreateControls() {
  for (std::size_t index = 0; index < form1::kControls.size(); ++index) {
    const form1::ControlEntry& entry = form1::kControls.at(index);
    const ControlClass control_class = ClassOf(entry.kind);
    const std::wstring text = WideForDisplay(entry.text);
    HWND control = CreateWindowExW(
        control_class.extended_style, control_class.name, text.c_str(),
        WS_CHILD | WS_VISIBLE | control_class.style, form1::Pixels(entry.bounds.left),
        form1::Pixels(entry.bounds.top), form1::Pixels(entry.bounds.width),
        form1::Pixels(entry.bounds.height), window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(index))), instance_, nullptr);
    if (control == nullptr) {
      ThrowLastError("cannot create the window's controls");
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (entry.kind == form1::ControlKind::kInfoLine) {
      // No margins: the boxes were sized for their texts with little room to
      // spare, and the system's default margins cut the longest under Wine.
      SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    }
    if (entry.kind == form1::ControlKind::kPicture) {
      logo_ = static_cast<HBITMAP>(LoadImageW(instance_, L"LOGO", IMAGE_BITMAP, 0, 0, 0));
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_));
    }
    controls_.at(index) = control;
  }
  SetFocus(Control(kRunIndex));
}

void Form1::Show(int show_command) {
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  SetFocus(Control(kRunIndex));
}

bool Form1::TranslateKeyboard(MSG& message) {
  if (run_ && run_->progress && run_->progress->TranslateKeyboard(message)) {
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
      message.hwnd == Control(kRunIndex)) {
    OnRunClicked();
    return true;
  }
  // The Run button's access key.
  return IsDialogMessageW(window_, &message) != 0;
}

void Form1::RethrowFailure() const {
  if (failure_) {
    std::rethrow_exception(failure_);
  }
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
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kPollTimer) {
        OnTimer();
      }
      return 0;
    case kRunFinished:
      OnRunFinished();
      return 0;
    case WM_SETCURSOR:
      if (run_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // Closing the window stops the Run; it ends before its next read.
      StopRun();
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
    OnRunClicked();
  } else if (id == ControlId(kNoticeIndex) && code == EN_CHANGE) {
    OnLogoNoticeChanged();
  }
}

void Form1::OnRunClicked() {
  // The window is disabled during a Run; this holds should a click get
  // through anyway.
  if (run_) {
    return;
  }
  std::wstring file(kLongestPath, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kLongestPath;
  dialog.lpstrInitialDir = dialog_folder_.empty() ? nullptr : dialog_folder_.c_str();
  dialog.lpstrTitle = L"Choose a file to check";
  // The program writes no file: no recent-documents entry either.
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  if (GetOpenFileNameW(&dialog) == 0) {
    return;  // cancelled
  }
  file.resize(std::wcslen(file.c_str()));
  StartRun(Utf8FromWide(file));
}

void Form1::StartRun(const std::string& path) {
  if (run_) {
    return;
  }
  auto run = std::make_unique<ActiveRun>();
  run->shown = WideForDisplay(path);
  std::error_code unknown;
  const std::filesystem::path absolute = std::filesystem::absolute(run->shown, unknown);
  if (!unknown) {
    dialog_folder_ = absolute.parent_path().wstring();
  }
  run->focus = GetFocus();
  ActiveRun* active = run.get();
  run_ = std::move(run);
  // A disabled window repaints but takes no input; the progress window,
  // which it owns, still does.
  EnableWindow(window_, FALSE);
  SetTimer(window_, kPollTimer, kPollMs, nullptr);
  const HWND window = window_;
  active->thread.Start(path, active->sink, [window] { PostMessageW(window, kRunFinished, 0, 0); });
}

void Form1::OnTimer() {
  if (!run_) {
    KillTimer(window_, kPollTimer);
    return;
  }
  if (!run_->progress && std::chrono::steady_clock::now() - run_->started >= kShowProgressAfter) {
    run_->progress = std::make_unique<ProgressWindow>(window_, font_, run_->shown, [this] {
      if (run_) {
        run_->thread.RequestStop();
      }
    });
  }
  if (run_->progress) {
    run_->progress->Update(run_->thread.Progress());
  }
}

void Form1::OnRunFinished() {
  // Already ended when the window was closed.
  if (!run_) {
    return;
  }
  KillTimer(window_, kPollTimer);
  std::optional<std::wstring> results_text;
  std::optional<std::wstring> report;
  try {
    run_->thread.JoinAndRethrow();
    // Only the last text reaches the box: each setting of it costs a redraw.
    if (run_->sink.texts_set() > 0) {
      results_text = WideForDisplay(run_->sink.text());
    }
  } catch (const std::system_error& e) {
    const std::wstring description = Description(e.code());
    results_text = L"Could not scan " + run_->shown + L": " + description;
    // The user ended it: the results box says so, and that is all.
    if (e.code() != std::errc::operation_canceled) {
      report = L"Could not scan " + run_->shown + L".\r\n\r\nError " +
               std::to_wstring(e.code().value()) + L": " + description + L".";
    }
  }
  const HWND focus = run_->focus;
  // Enabled before the progress window goes, so that the activation comes
  // back here rather than to another program.
  EnableWindow(window_, TRUE);
  run_.reset();
  if (focus != nullptr && IsWindow(focus) != 0) {
    SetFocus(focus);
  }
  if (results_text) {
    SetWindowTextW(Control(kResultsIndex), results_text->c_str());
  }
  if (report) {
    MessageBoxW(window_, report->c_str(), L"Telltale", MB_OK | MB_ICONERROR);
  }
}

void Form1::StopRun() {
  if (!run_) {
    return;
  }
  run_->thread.RequestStop();
  KillTimer(window_, kPollTimer);
  EnableWindow(window_, TRUE);
  run_.reset();
}

void Form1::OnDropFiles(HDROP drop) {
  std::optional<std::wstring> file;
  // One file, not a folder; anything else is not taken, nor is any drop
  // during a Run.
  if (!run_ && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    if (DragQueryFileW(drop, 0, name.data(), length + 1) == length) {
      name.resize(length);
      const DWORD attributes = GetFileAttributesW(name.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        file = std::move(name);
      }
    }
  }
  DragFinish(drop);
  if (file) {
    StartRun(Utf8FromWide(*file));
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
