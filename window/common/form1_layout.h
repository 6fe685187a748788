// SPDX-License-Identifier: Apache-2.0
// Form1's controls as data: what each one is, where it sits, what it reads
// and where the Tab key takes the focus. The Qt window and the Win32 window
// both build their controls from this table, so the two cannot differ.
//
// The title "Form1", the spelling "interogate" and the "2.0" banner are kept
// on purpose, as are the other oddities listed in kept_on_purpose.md beside this file,
// each with the test that pins it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace telltale::form1 {

// What sort of control an entry is; each front end maps a kind to its own
// widget or window class.
enum class ControlKind {
  kLabel,       // wrapped static text
  kPushButton,  // the Run button
  kResultsBox,  // multi-line, word-wrapped, vertical scroll bar, framed
  kInfoLine,    // one frameless line of editable text, aligned to its top
  kPicture,     // the logo at its own size
};

// The layout is given in twips, 1440 to the inch; at the screen's default
// of 96 dots per inch a pixel is 15 twips.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kDefaultDpi;

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct ControlEntry {
  std::string_view name;  // the control's name, as tests find it
  ControlKind kind = ControlKind::kLabel;
  TwipsRect bounds;
  // The initial text, UTF-8. For the button, '&' marks its access key.
  std::string_view text;
  // Where the control comes in the Tab order, from 0; kNoTabStop when Tab
  // passes it by.
  int tab_index = 0;
  std::string_view spoken;     // the name a screen reader announces
  std::string_view described;  // what a screen reader adds, may be empty
};

inline constexpr int kNoTabStop = -1;

struct FormLayout {
  std::string_view name;
  std::string_view title;
  int client_width = 0;   // twips
  int client_height = 0;  // twips
  std::string_view spoken;
  std::string_view described;
  // The layout was drawn for 8-point text; larger text would not fit its
  // boxes, so a larger system font is brought down to this.
  int largest_point_size = 0;
};

inline constexpr FormLayout kForm{
    .name = "Form1",
    .title = "Form1",
    .client_width = 9165,
    .client_height = 7020,
    .spoken = "Telltale",
    .described = "Checks a file for traces of the steganography tools JPHide and Hiderman",
    .largest_point_size = 8,
};

// The names the window's code looks controls up by.
inline constexpr std::string_view kRunButton = "cmdTest";
inline constexpr std::string_view kResultsBox = "txtResults";
inline constexpr std::string_view kLogoNotice = "Text3";

// In the order the controls are created, which is also their stacking order:
// each later control lies over the ones before it. The three information
// lines are stacked closer than their own heights, each over the bottom of
// the one above, which keeps every line's text uncovered.
inline constexpr std::array kControls{
    ControlEntry{
        .name = "Label1",
        .kind = ControlKind::kLabel,
        .bounds = {720, 360, 2175, 975},
        .text = "Choose a file to interogate. Run will allow you to choose your file and identify "
                "a hidden message.",
        .tab_index = kNoTabStop,
        .spoken = "Instructions",
        .described = "",
    },
    ControlEntry{
        .name = kRunButton,
        .kind = ControlKind::kPushButton,
        .bounds = {3600, 360, 1095, 855},
        .text = "&Run",
        .tab_index = 0,
        .spoken = "Run",
        .described = "Choose a file and check it for traces of JPHide and Hiderman",
    },
    ControlEntry{
        .name = kResultsBox,
        .kind = ControlKind::kResultsBox,
        .bounds = {840, 1920, 3855, 2295},
        .text = "",
        .tab_index = 3,
        .spoken = "Results",
        .described = "The file chosen, or where a marker was found and for which tool",
    },
    ControlEntry{
        .name = "Text1",
        .kind = ControlKind::kInfoLine,
        .bounds = {1800, 4920, 3015, 375},
        .text = "Telltale 2.0 \xC2\xA9 2026 Telltale authors",
        .tab_index = 1,
        .spoken = "Product",
        .described = "",
    },
    ControlEntry{
        .name = kLogoNotice,
        .kind = ControlKind::kInfoLine,
        .bounds = {1800, 5160, 3015, 255},
        .text = "Logo \xC2\xA9 2026 Telltale authors",
        .tab_index = 4,
        .spoken = "Logo notice",
        .described = "",
    },
    ControlEntry{
        .name = "Text2",
        .kind = ControlKind::kInfoLine,
        .bounds = {1800, 5400, 2775, 375},
        // The maker and the web address, short enough for the box at 8 points.
        .text = "Telltale, telltale.example.org",
        .tab_index = 2,
        .spoken = "Credit",
        .described = "",
    },
    ControlEntry{
        .name = "Image1",
        .kind = ControlKind::kPicture,
        .bounds = {360, 4920, 1185, 1710},
        .text = "",
        .tab_index = kNoTabStop,
        .spoken = "Logo",
        .described = "A magnifying glass that shows a hidden pattern in a picture",
    },
};

// Twips as whole pixels at 96 dots per inch; OnPixelGrid() below makes sure
// that no division leaves a remainder.
constexpr int Pixels(int twips) { return twips / kTwipsPerPixel; }

// Twips as pixels at `dpi` dots per inch, to the nearest pixel with halves
// rounded away from zero, as the system's MulDiv rounds; at 96 the same as
// Pixels(). The product is taken in 64 bits, so that it cannot overflow.
constexpr int PixelsAt(int twips, int dpi) {
  const long long product = static_cast<long long>(twips) * dpi;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>((product < 0 ? product - half : product + half) / kTwipsPerInch);
}

// Where the control named `name` is in kControls; a name not in the table
// does not compile.
consteval std::size_t IndexOf(std::string_view name) {
  for (std::size_t index = 0; index < kControls.size(); ++index) {
    if (kControls[index].name == name) {
      return index;
    }
  }
  throw "no such control";
}

// The tab stops number 0, 1, 2... without gaps or repeats.
consteval bool TabOrderIsComplete() {
  int stops = 0;
  for (const ControlEntry& control : kControls) {
    stops += control.tab_index == kNoTabStop ? 0 : 1;
  }
  for (int index = 0; index < stops; ++index) {
    int holders = 0;
    for (const ControlEntry& control : kControls) {
      holders += control.tab_index == index ? 1 : 0;
    }
    if (holders != 1) {
      return false;
    }
  }
  return true;
}
static_assert(TabOrderIsComplete());

// Every rectangle on whole pixels, checked where the table is written.
consteval bool OnPixelGrid() {
  for (const ControlEntry& control : kControls) {
    const TwipsRect& r = control.bounds;
    for (const int twips : {r.left, r.top, r.width, r.height}) {
      if (twips % kTwipsPerPixel != 0) {
        return false;
      }
    }
  }
  return kForm.client_width % kTwipsPerPixel == 0 && kForm.client_height % kTwipsPerPixel == 0;
}
static_assert(OnPixelGrid());

}  // namespace telltale::form1
