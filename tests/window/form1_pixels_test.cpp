// SPDX-License-Identifier: Apache-2.0
// The layout's twips as pixels at the screen's DPI.
#include <gtest/gtest.h>

#include "window/common/form1_layout.h"

namespace telltale::form1 {
namespace {

// At 96 DPI the window must be exactly as drawn: every rectangle of the
// table the same whether scaled or counted in 15-twip pixels.
TEST(PixelsAtTest, At96DotsPerInchEveryRectangleIsAsDrawn) {
  EXPECT_EQ(PixelsAt(kForm.client_width, kDefaultDpi), Pixels(kForm.client_width));
  EXPECT_EQ(PixelsAt(kForm.client_height, kDefaultDpi), Pixels(kForm.client_height));
  for (const ControlEntry& control : kControls) {
    const TwipsRect& r = control.bounds;
    for (const int twips : {r.left, r.top, r.width, r.height}) {
      EXPECT_EQ(PixelsAt(twips, kDefaultDpi), Pixels(twips)) << control.name << " " << twips;
    }
  }
}

// An inch is the DPI in pixels, whatever the DPI: a factor of 96/1440 or
// 1/15 taken as the scale would show here.
TEST(PixelsAtTest, AnInchIsTheDpi) {
  for (const int dpi : {96, 120, 144, 168, 192, 288}) {
    EXPECT_EQ(PixelsAt(kTwipsPerInch, dpi), dpi);
    EXPECT_EQ(PixelsAt(3 * kTwipsPerInch, dpi), 3 * dpi);
  }
}

// MulDiv's rounding: to the nearest pixel, halves away from zero. Truncation
// would give 1 for the 1.5 and 916 for the window's 916.5.
TEST(PixelsAtTest, RoundsToTheNearestPixelAsMulDivDoes) {
  EXPECT_EQ(PixelsAt(15, 144), 2);                    // 1.5
  EXPECT_EQ(PixelsAt(kForm.client_width, 144), 917);  // 916.5
  EXPECT_EQ(PixelsAt(15, 120), 1);                    // 1.25
  EXPECT_EQ(PixelsAt(27, 120), 2);                    // 2.25
  EXPECT_EQ(PixelsAt(21, 96), 1);                     // 1.4
  EXPECT_EQ(PixelsAt(23, 96), 2);                     // 1.53
  EXPECT_EQ(PixelsAt(-15, 144), -2);                  // -1.5, away from zero
  EXPECT_EQ(PixelsAt(0, 144), 0);
}

// A product past 2^31, as twips times a large DPI can be.
TEST(PixelsAtTest, ALargeProductDoesNotOverflow) {
  EXPECT_EQ(PixelsAt(10'000'000, 480), 3'333'333);
}

}  // namespace
}  // namespace telltale::form1
