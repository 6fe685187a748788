// SPDX-License-Identifier: Apache-2.0
// The texts of the results box, byte for byte.
#include "telltale/reports.h"

#include <gtest/gtest.h>

namespace telltale {
namespace {

TEST(Reports, FindingReportIsTwoLinesAfterAnEmptyOne) {
  EXPECT_EQ(FormatFindingReport({kSignatureTable.data(), 1}),
            "\r\nSteganography found at marker position 1\r\nJPHide program detected!");
  EXPECT_EQ(FormatFindingReport({&kSignatureTable[1], 1234567}),
            "\r\nSteganography found at marker position 1234567\r\nHiderman program detected!");
}

TEST(Reports, PositionsPastFourGigabytesArePrintedInFull) {
  EXPECT_EQ(FormatFindingReport({kSignatureTable.data(), 4294967297ULL}),
            "\r\nSteganography found at marker position 4294967297\r\nJPHide program detected!");
  EXPECT_EQ(FormatFindingReport({&kSignatureTable[1], 18446744073709551615ULL}),
            "\r\nSteganography found at marker position 18446744073709551615\r\n"
            "Hiderman program detected!");
}

TEST(Reports, SelectionReportPutsThePathBetweenSingleSpaces) {
  EXPECT_EQ(FormatSelectionReport("/home/ann/a b.jpg"),
            "You Selected /home/ann/a b.jpg to be opened. Sorry no Steg found.");
  EXPECT_EQ(FormatSelectionReport(""), "You Selected  to be opened. Sorry no Steg found.");
  // A name is bytes: not UTF-8, or holding a NUL, it is kept as it is.
  const std::string odd("/tmp/\xE9t\xE9\0x", 9);
  EXPECT_EQ(FormatSelectionReport(odd),
            "You Selected " + odd + " to be opened. Sorry no Steg found.");
}

}  // namespace
}  // namespace telltale
