// SPDX-License-Identifier: Apache-2.0
// JSON strings are escaped correctly, and names that are not UTF-8 keep
// their readable part and come with their exact bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_in_process.h"
#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

std::string FindingObject(const std::string& path_members) {
  return R"({"type":"finding",)" + path_members +
         R"(,"tool":"JPHide","position":1,"offset":0)"
         R"(,"context":"not a recognised format","explained":false})"
         "\n";
}

// The finding records of a JSON run on `name` in `dir`, in this process.
std::string JsonFindings(const TempDir& dir, const std::string& name) {
  return Records(RunBatch({"--json", name}, dir.path().string()).out, {"finding"});
}

TEST(JsonEscaping, QuotesBackslashesAndControlCharacters) {
  const TempDir dir;
  struct Case {
    std::string name;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"back\\slash", R"("back\\slash")"},
      {"line\nbreak\ttab", R"("line\u000abreak\u0009tab")"},
      {"bell\x07"
       "del\x7F"
       "esc\x1B",
       R"("bell\u0007del\u007fesc\u001b")"},
      // C1 controls in UTF-8, which some terminals act on as on ESC
      // sequences (CSI, OSC, ST), from U+0080 to U+009F; U+00A0 is kept.
      {"x\xC2\x9B"
       "2J\xC2\x9D"
       "0;pwned\xC2\x9C \xC2\x80\xC2\x9F\xC2\xA0",
       "\"x\\u009b2J\\u009d0;pwned\\u009c \\u0080\\u009f\xC2\xA0\""},
      // Line and paragraph separators end lines for some JSON readers.
      {"line\xE2\x80\xA8para\xE2\x80\xA9", R"("line\u2028para\u2029")"},
      {"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x93\xB7", "\"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x93\xB7\""},
  };
  for (const Case& c : cases) {
    dir.Write(c.name, "\xFF\xDB");
    EXPECT_EQ(JsonFindings(dir, c.name), FindingObject("\"path\":" + c.json)) << c.json;
  }
}

TEST(JsonEscaping, NamesThatAreNotUtf8KeepTheReadablePartAndTheirBytes) {
  const TempDir dir;
  struct Case {
    std::string name;
    std::string shown;
    std::string hex;
  };
  const std::vector<Case> cases = {
      {"latin1-\xE9.jpg", "latin1-\\ufffd.jpg", "6c6174696e312de92e6a7067"},
      {"cut-\xC3", "cut-\\ufffd", "6375742dc3"},
      {"overlong-\xC0\xAF", "overlong-\\ufffd\\ufffd", "6f7665726c6f6e672dc0af"},
      {"surrogate-\xED\xA0\x80", R"(surrogate-\ufffd\ufffd\ufffd)", "737572726f676174652deda080"},
      {"\xF4\x90\x80\x80 \xC3\xA9", "\\ufffd\\ufffd\\ufffd\\ufffd \xC3\xA9", "f490808020c3a9"},
  };
  for (const Case& c : cases) {
    dir.Write(c.name, "\xFF\xDB");
    EXPECT_EQ(JsonFindings(dir, c.name),
              FindingObject("\"path\":\"" + c.shown + "\",\"path_hex\":\"" + c.hex + "\""))
        << c.hex;
  }
}

TEST(JsonEscaping, FailureObjectsAreEscapedToo) {
  const TempDir dir;
  const BatchRun run = RunBatch({"--json", "no \"such\"\n\xFF"}, dir.path().string());
  EXPECT_EQ(
      Records(run.out, {"error"}),
      R"({"type":"error","path":"no \"such\"\u000a\ufffd","path_hex":"6e6f202273756368220aff",)"
      R"("error":"No such file or directory","errno":2})"
      "\n");
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
