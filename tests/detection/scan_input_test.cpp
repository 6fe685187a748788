// SPDX-License-Identifier: Apache-2.0
// The streamed scan must find exactly what the plain scan finds, in the order
// asked, wherever chunks and blocks are cut and whatever kind of input it is.
#include "telltale/scan_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "memory_source.h"
#include "reference_scan.h"
#include "telltale/input_file.h"
#include "telltale/scan_error.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::Describe;
using testing::MemorySource;
using Strings = std::vector<std::string>;

Strings Reference(std::string_view content) {
  std::vector<ScanFinding> found;
  ScanContentReference(AsBytes(content), [&](const ScanFinding& f) { found.push_back(f); });
  return Describe(found);
}

// The findings of ScanInput, put into report order when they came as found
// (each rule's are in position order either way).
Strings Streamed(ScanSource& source, FindingOrder order, const ScanSizes& sizes,
                 const ScanControl& control = {}) {
  std::vector<ScanFinding> found;
  const FindingCounts counts = ScanInput(
      source, order, [&](const ScanFinding& f) { found.push_back(f); }, control, sizes);
  EXPECT_EQ(counts[0] + counts[1], found.size());
  if (order == FindingOrder::kAsFound) {
    std::stable_sort(found.begin(), found.end(),
                     [](const ScanFinding& a, const ScanFinding& b) { return a.rule < b.rule; });
  }
  return Describe(found);
}

// Also checks that every byte is passed on for a digest once, in order.
Strings Streamed(std::string_view content, bool can_read_again, FindingOrder order,
                 const ScanSizes& sizes) {
  MemorySource source(content, can_read_again);
  std::string passed;
  ScanControl control;
  control.on_data = [&](std::span<const unsigned char> bytes) {
    passed.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  Strings found = Streamed(source, order, sizes, control);
  EXPECT_EQ(passed, content) << "the bytes passed on for a digest";
  return found;
}

TEST(ScanInput, AgreesWithThePlainScanForEveryChunkBlockSourceAndOrder) {
  std::uint32_t seed = 100;
  for (const std::string_view alphabet : {"cdnCDN\xFF\xDB", "\xFF\xDB", "CcDdNn"}) {
    for (const std::size_t size : {0, 1, 2, 3, 200, 20000}) {
      const std::string content = testing::RandomText(size, alphabet, seed++);
      const Strings want = Reference(content);
      for (const std::size_t chunk : {1, 2, 3, 5, 64, 1000}) {
        for (const std::size_t block : {1, 3, 16, 4096}) {
          for (const bool file : {true, false}) {
            for (const FindingOrder order : {FindingOrder::kReport, FindingOrder::kAsFound}) {
              // Two workers hand findings on chunk by chunk: not with the
              // tiniest chunks, which would only test the hand-over's speed.
              const std::size_t workers = chunk >= 64 ? 2 : 1;
              ASSERT_EQ(Streamed(content, file, order, {chunk, block, 16, workers}), want)
                  << "seed " << seed - 1 << " chunk " << chunk << " block " << block
                  << (file ? " file" : " pipe") << " order " << static_cast<int>(order);
            }
          }
        }
      }
    }
  }
}

TEST(ScanInput, MarkersSplitAtEveryOffsetOfAChunkBoundary) {
  for (std::size_t chunk = 1; chunk <= 8; ++chunk) {
    for (std::size_t shift = 0; shift < 2 * chunk + 3; ++shift) {
      const std::string content =
          std::string(shift, '.') + "\xFF\xDB" + "cDn" + "\xFF\xDB" + "CDN" + "cdn" + "..";
      for (const bool file : {true, false}) {
        EXPECT_EQ(Streamed(content, file, FindingOrder::kReport, {chunk, 4, 16, 2}),
                  Reference(content))
            << "chunk " << chunk << " shift " << shift;
      }
    }
  }
}

TEST(ScanInput, FirstMatchIgnoresCaseThenLaterOnesAreExactAcrossChunks) {
  // JPHide markers early; the first Hiderman candidate only in a late chunk,
  // in lower case; a lower-case one in the next chunk that later searches
  // must not take; an exact one further on.
  std::string content(64 * 1024, '.');
  content.replace(100, 2, "\xFF\xDB");
  content.replace(40000, 3, "cdn");
  content.replace(44100, 3, "cdn");
  content.replace(60000, 3, "CDN");
  for (const bool file : {true, false}) {
    EXPECT_EQ(Streamed(content, file, FindingOrder::kReport, {4096, 1024, 16}),
              (Strings{"JPHide@101", "Hiderman@40001", "Hiderman@60001"}));
  }
}

std::uint64_t BytesRead(const MemorySource& source) {
  std::uint64_t total = 0;
  for (const MemorySource::ReadNote& read : source.reads) {
    total += read.got;
  }
  return total;
}

TEST(ScanInput, ReadsAgainOnlyTheBlocksThatMayHoldTheSecondMarker) {
  std::string content(1 << 20, '.');
  content.replace(700001, 3, "CDN");
  MemorySource source(content, true);
  EXPECT_EQ(Streamed(source, FindingOrder::kReport, {65536, 4096, 16}), Strings{"Hiderman@700002"});
  // The whole file with the two bytes after each of its 16 chunks but the
  // last, then one block and the two bytes after it.
  EXPECT_EQ(BytesRead(source), content.size() + 15 * 2 + 4096 + 2);
}

TEST(ScanInput, EveryReadLandsOnA64ByteBoundary) {
  const std::string content = testing::RandomText(300000, "cdnCDN\xFF\xDB.", 5);
  for (const bool file : {true, false}) {
    MemorySource source(content, file);
    EXPECT_EQ(Streamed(source, FindingOrder::kReport, {65536, 4096, 64}), Reference(content));
    ASSERT_GE(source.reads.size(), 5U);
    for (const MemorySource::ReadNote& read : source.reads) {
      EXPECT_EQ(read.destination % 64, 0U) << "read at offset " << read.offset;
    }
  }
}

TEST(ScanInput, ProgressEndsWithAllThatWasToBeRead) {
  // Without a second pass the total is the file's size; with one it grows by
  // what is read again. Either way the bytes done end at the total.
  for (const std::string_view tail : {"....", "CDN."}) {
    MemorySource source(std::string(100000, '.') + std::string(tail), true);
    ScanProgress last;
    ScanControl control;
    control.on_progress = [&](const ScanProgress& p) { last = p; };
    Streamed(source, FindingOrder::kReport, {4096, 1024, 16, 2}, control);
    EXPECT_EQ(last.done, last.total) << tail;
    EXPECT_EQ(last.total, tail == "...." ? 100004U : 100004U + 100004 % 1024) << tail;
  }
}

TEST(ScanInput, AStopRequestEndsTheScanBeforeItsNextRead) {
  MemorySource source(std::string(100000, 'x'), true);
  std::stop_source stop;
  ScanControl control;
  control.stop = stop.get_token();
  control.on_progress = [&](const ScanProgress&) { stop.request_stop(); };
  try {
    Streamed(source, FindingOrder::kReport, {1000, 100, 16, 1}, control);
    FAIL() << "the scan went on after a stop was requested";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::operation_canceled);
    EXPECT_STREQ(e.what(), "memory: Operation canceled");
  }
  EXPECT_EQ(source.reads.size(), 1U);
}

// What a slow on_data (a digest) gets, and the findings after it.
struct SlowlyPassed {
  std::string bytes;
  std::vector<ScanFinding> found;
};

// Scans `source` with an on_data that is slow, much slower than reading: it
// sleeps long at its first call, while the workers read ahead as far as they
// may, and briefly now and then after. Every finding must come after the
// bytes it starts in (positions count from 1). `fault(calls)` runs at the start of every on_data
// call.
SlowlyPassed ScanWithSlowOnData(ScanSource& source, FindingOrder order, const ScanSizes& sizes,
                                const std::function<void(std::size_t)>& fault = {},
                                std::stop_token stop = {}) {
  SlowlyPassed passed;
  std::size_t calls = 0;
  ScanControl control;
  control.stop = std::move(stop);
  control.on_data_is_slow = true;
  control.on_data = [&](std::span<const unsigned char> bytes) {
    if (fault) {
      fault(calls);
    }
    if (calls++ % 16 == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(calls == 1 ? 20 : 1));
    }
    passed.bytes.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  ScanInput(
      source, order,
      [&](const ScanFinding& f) {
        EXPECT_LE(f.position, passed.bytes.size()) << "a finding before its bytes were passed on";
        passed.found.push_back(f);
      },
      control, sizes);
  return passed;
}

TEST(ScanInput, ASlowOnDataGetsEveryByteOnceInOrderBeforeTheFindingsInThem) {
  const std::string content = testing::RandomText(40000, "cdnCDN\xFF\xDB....", 11);
  std::vector<ScanFinding> want;
  ScanContentReference(AsBytes(content), [&](const ScanFinding& f) { want.push_back(f); });
  // One chunk takes the ordinary pass; the others keep the workers ahead.
  for (const std::size_t chunk : {64, 1000, 4096, 40000}) {
    for (const std::size_t workers : {1, 2, 3}) {
      for (const FindingOrder order : {FindingOrder::kReport, FindingOrder::kAsFound}) {
        MemorySource source(content, true);
        SlowlyPassed passed = ScanWithSlowOnData(source, order, {chunk, 512, 16, workers});
        EXPECT_EQ(passed.bytes, content) << "chunk " << chunk << " workers " << workers;
        if (order == FindingOrder::kAsFound) {
          std::stable_sort(
              passed.found.begin(), passed.found.end(),
              [](const ScanFinding& a, const ScanFinding& b) { return a.rule < b.rule; });
        }
        ASSERT_EQ(Describe(passed.found), Describe(want))
            << "chunk " << chunk << " workers " << workers << " order " << static_cast<int>(order);
      }
    }
  }
}

// A file whose reads from `bad` on fail with EIO.
class FailingFile final : public ScanSource {
 public:
  FailingFile(std::string_view content, std::uint64_t bad) : content_(content, true), bad_(bad) {}
  [[nodiscard]] const std::string& name() const override { return content_.name(); }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return content_.size(); }
  [[nodiscard]] bool CanReadAgain() const override { return true; }
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override {
    if (offset + buffer.size() > bad_) {
      throw std::system_error(EIO, std::generic_category(), "memory");
    }
    return content_.Read(offset, buffer);
  }

 private:
  MemorySource content_;
  std::uint64_t bad_;
};

// A failure with chunks read ahead of a slow on_data must end the scan with
// that failure, every thread joined: a worker waiting for room, or the
// caller waiting for a chunk that will never come, would hang here.
TEST(ScanInput, AFailureWhileChunksAreInFlightEndsTheScanWithIt) {
  const std::string content = testing::RandomText(100000, "cdnCDN\xFF\xDB.", 12);
  for (const std::size_t workers : {1, 2, 3}) {
    {
      FailingFile source(content, 30000);
      try {
        ScanWithSlowOnData(source, FindingOrder::kReport, {1000, 512, 16, workers});
        ADD_FAILURE() << "a failed read went unreported, workers " << workers;
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::io_error);
      }
    }
    {
      MemorySource source(content, true);
      std::stop_source stop;
      try {
        ScanWithSlowOnData(
            source, FindingOrder::kReport, {1000, 512, 16, workers},
            [&](std::size_t) { stop.request_stop(); }, stop.get_token());
        ADD_FAILURE() << "the scan went on after a stop was requested, workers " << workers;
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::operation_canceled);
      }
    }
    {
      MemorySource source(content, true);
      try {
        ScanWithSlowOnData(source, FindingOrder::kReport, {1000, 512, 16, workers},
                           [](std::size_t calls) {
                             if (calls == 3) {
                               throw std::system_error(ENOSPC, std::generic_category(), "digest");
                             }
                           });
        ADD_FAILURE() << "on_data's failure went unreported, workers " << workers;
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_space_on_device);
      }
    }
  }
}

// Pipes through a real descriptor, written by another thread.
class PipeInput : public ::testing::Test {
 protected:
  static Strings ScanThroughPipe(const std::string& content, const ScanSizes& sizes) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    std::thread writer([&, fd = fds[1]] {
      std::string_view rest = content;
      while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n <= 0) {
          break;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
      }
      ::close(fd);
    });
    StreamSource source(fds[0], "(standard input)");
    Strings found;
    try {
      found = Streamed(source, FindingOrder::kReport, sizes);
    } catch (...) {
      ::close(fds[0]);
      writer.join();
      throw;
    }
    ::close(fds[0]);
    writer.join();
    return found;
  }
};

TEST_F(PipeInput, HeldPositionsBeyondMemoryKeepTheirOrder) {
  // About 40,000 Hiderman positions, with far more than 64 bytes of them:
  // most go through the temporary file, in distances of every size.
  std::string content;
  std::mt19937 random(3);
  while (content.size() < 400000) {
    content += "\xFF\xDB";
    content += random() % 2 == 0 ? "CDN" : "cdn";
    content.append(random() % (random() % 8 == 0 ? 3000 : 4), '.');
  }
  EXPECT_EQ(ScanThroughPipe(content, {4096, 1024, 64}), Reference(content));
}

TEST_F(PipeInput, ATemporaryFileThatCannotBeMadeIsAnErrorNamingTheInput) {
  const char* old = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  const std::string saved = old != nullptr ? old : "";
  ASSERT_EQ(::setenv("TMPDIR", "/nonexistent/telltale", 1), 0);
  try {
    std::string many;
    for (int i = 0; i < 100; ++i) {
      many += "CDN";
    }
    ScanThroughPipe(many, {1024, 1024, 16});
    ADD_FAILURE() << "positions beyond memory were dropped or kept without a file";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_STREQ(e.what(),
                 "(standard input): temporary file for held findings: No such file or directory");
  }
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

// A file changed between the first pass and the second must not have the
// second rule's findings taken from its new version.
TEST(ScanInput, AFileChangedBetweenThePassesFails) {
  const testing::TempDir dir;
  for (const bool same_size : {true, false}) {
    const std::string path = dir.Write("changing", "\xFF\xDB....CDN....");
    InputFile file(path);
    Strings found;
    ScanControl control;
    control.on_progress = [&](const ScanProgress&) {
      if (same_size) {
        const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
      } else {
        dir.Write("changing", "\xFF\xDB....CDN....more");
      }
    };
    try {
      ScanInput(
          file, FindingOrder::kReport,
          [&](const ScanFinding& f) { found.push_back(Describe({f})[0]); }, control);
      ADD_FAILURE() << "the second pass read a changed file";
    } catch (const std::system_error& e) {
      EXPECT_EQ(e.code(), make_error_code(ScanErrc::kFileChanged));
      EXPECT_EQ(std::string(e.what()), path + ": File changed while it was being read");
    }
    EXPECT_EQ(found, Strings{"JPHide@1"});
  }
}

}  // namespace
}  // namespace telltale
