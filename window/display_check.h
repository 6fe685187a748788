// Ending the program with one clear line when there is no display to show
// the window on, instead of the windowing library's abort.
#pragma once

namespace telltale {

// From construction until Passed(), a fatal message of the windowing library
// (it cannot reach a display) ends the program with status 2 and
// "telltale: no display: REASON" on standard error. The constructor already
// ends it so when no display is named at all.
class DisplayCheck {
 public:
  DisplayCheck();
  ~DisplayCheck();
  DisplayCheck(const DisplayCheck&) = delete;
  DisplayCheck& operator=(const DisplayCheck&) = delete;

  // The display has been reached: messages go where they went before.
  void Passed();
};

}  // namespace telltale
