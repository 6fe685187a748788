// SPDX-License-Identifier: Apache-2.0
// Scan throughput on 256 MiB buffers of several shapes, with glibc's memchr
// over the random buffer as the yardstick; then, on a 1 GiB file in the page
// cache, a bare read loop, the streamed scan at several chunk sizes, the
// same with the structure walk, and a whole Run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "internal/find_kernel.h"
#include "telltale/telltale.h"

namespace telltale {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 20;

// A byte value no random buffer holds, for memchr to look for in vain.
constexpr unsigned char kAbsent = 0x01;

// A buffer in transparent huge pages where the system has them, which makes
// filling and scanning it several times faster than with 4 KiB pages.
class BenchBuffer {
 public:
  BenchBuffer() = default;
  explicit BenchBuffer(std::size_t size)
      : data_(static_cast<unsigned char*>(std::aligned_alloc(kHugePage, size))), size_(size) {
    if (data_ == nullptr) {
      std::abort();
    }
    ::madvise(data_.get(), size, MADV_HUGEPAGE);
  }
  [[nodiscard]] unsigned char* data() const { return data_.get(); }
  [[nodiscard]] std::size_t size() const { return size_; }
  // NOLINTNEXTLINE(google-explicit-constructor): a buffer is its bytes
  operator Bytes() const { return {data_.get(), size_}; }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  struct Free {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  std::unique_ptr<unsigned char, Free> data_;
  std::size_t size_ = 0;
};

enum class Shape { kRandom, kAllFF, kLowerCD, kUpperCD, kJpegLike, kDenseFFDB };

void FillRandom(unsigned char* data, std::size_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint64_t word = random();
    std::memcpy(data + i, &word, 8);
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == kAbsent) {
      data[i] = kAbsent + 1;
    }
  }
}

void FillPattern(unsigned char* data, std::size_t size, std::string_view unit) {
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<unsigned char>(unit[i % unit.size()]);
  }
}

// Entropy-coded image data: random bytes where every FF is followed by 00,
// with a marker segment (FF DB, FF C4, ...) and some ASCII every 64 KiB.
void FillJpegLike(unsigned char* data, std::size_t size) {
  FillRandom(data, size, 7);
  for (std::size_t i = 0; i + 1 < size; ++i) {
    if (data[i] == 0xFF) {
      data[++i] = 0x00;
    }
  }
  const std::string_view segment = "\xFF\xDB\x00\x43\x00 Exif cdn JFIF \xFF\xC4\x00\x1F";
  for (std::size_t i = 0; i + segment.size() < size; i += 65536) {
    std::memcpy(data + i, segment.data(), segment.size());
  }
}

const BenchBuffer& Buffer(Shape shape) {
  static BenchBuffer buffers[6];
  BenchBuffer& buffer = buffers[static_cast<int>(shape)];
  if (buffer.size() == 0) {
    buffer = BenchBuffer(kBufferSize);
    switch (shape) {
      case Shape::kRandom:
        FillRandom(buffer.data(), kBufferSize, 1);
        break;
      case Shape::kAllFF:
        std::memset(buffer.data(), 0xFF, kBufferSize);
        break;
      case Shape::kLowerCD:
        FillPattern(buffer.data(), kBufferSize, "cd");
        break;
      case Shape::kUpperCD:
        FillPattern(buffer.data(), kBufferSize, "CD");
        break;
      case Shape::kJpegLike:
        FillJpegLike(buffer.data(), kBufferSize);
        break;
      case Shape::kDenseFFDB:
        FillPattern(buffer.data(), kBufferSize, "\xFF\xDB");
        break;
    }
  }
  return buffer;
}

void BM_ScanContent(benchmark::State& state, Shape shape) {
  const BenchBuffer& buffer = Buffer(shape);
  std::uint64_t findings = 0;
  for (auto _ : state) {
    findings = 0;
    ScanContent(buffer, [&findings](const ScanFinding&) { ++findings; });
    benchmark::DoNotOptimize(findings);
  }
  state.counters["findings"] = static_cast<double>(findings);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

void BM_Memchr(benchmark::State& state) {
  const BenchBuffer& buffer = Buffer(Shape::kRandom);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memchr(buffer.data(), kAbsent, buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

// One pass of a search kernel over the random buffer: the first marker
// reported, the second watched, as the whole-content scan does it.
void BM_Kernel(benchmark::State& state, simd::FindKernel find, bool watching) {
  const BenchBuffer& buffer = Buffer(Shape::kRandom);
  const MarkerPattern jphide = MakeMarkerPattern("\xFF\xDB", Comparison::kExact);
  const MarkerPattern hiderman = MakeMarkerPattern("CDN", Comparison::kIgnoreCase);
  const std::size_t stop = buffer.size() - 2;
  for (auto _ : state) {
    bool watched = false;
    for (std::size_t p = 0; p < stop; ++p) {
      p = find(buffer.data(), p, stop, jphide, watching ? &hiderman : nullptr, &watched);
    }
    benchmark::DoNotOptimize(watched);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

// A 1 GiB file of random bytes, written once and read from the page cache by
// every benchmark below; removed at exit.
class RandomFile {
 public:
  static constexpr std::size_t kSize = std::size_t{1} << 30;

  static const std::string& Path() {
    static const RandomFile file;
    return file.path_;
  }

 private:
  RandomFile()
      : path_((std::filesystem::temp_directory_path() /
               ("telltale-bench-" + std::to_string(::getpid())))
                  .string()) {
    const BenchBuffer bytes(kSize);
    FillRandom(bytes.data(), kSize, 3);
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), kSize);
  }
  ~RandomFile() { std::filesystem::remove(path_); }

  std::string path_;
};

// The yardstick: reading the file in chunks of `chunk` bytes into a buffer
// that starts `misalign` bytes past a 64-byte boundary, and nothing else.
void BM_ReadLoop(benchmark::State& state) {
  const auto chunk = static_cast<std::size_t>(state.range(0));
  const auto misalign = static_cast<std::size_t>(state.range(1));
  const int fd = ::open(RandomFile::Path().c_str(), O_RDONLY | O_CLOEXEC);
  const BenchBuffer buffer(chunk + 64);
  for (auto _ : state) {
    for (off_t offset = 0;;) {
      const ssize_t got = ::pread(fd, buffer.data() + misalign, chunk, offset);
      if (got <= 0) {
        break;
      }
      offset += got;
    }
  }
  ::close(fd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RandomFile::kSize));
}

// The streamed scan of the file in report order, as telltale-scan runs it.
void BM_ScanInput(benchmark::State& state) {
  const ScanSizes sizes{static_cast<std::size_t>(state.range(0))};
  std::uint64_t findings = 0;
  for (auto _ : state) {
    InputFile file(RandomFile::Path());
    findings = 0;
    ScanInput(
        file, FindingOrder::kReport, [&findings](const ScanFinding&) { ++findings; }, {}, sizes);
  }
  state.counters["findings"] = static_cast<double>(findings);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RandomFile::kSize));
}

// The same with the structure walk beside it, as telltale-scan --json runs
// it: on bytes of no known format the walk gives up at once.
void BM_ScanInputPlaced(benchmark::State& state) {
  std::uint64_t findings = 0;
  for (auto _ : state) {
    InputFile file(RandomFile::Path());
    findings = 0;
    WalkOutcome outcome;
    ScanInputPlaced(
        file, FindingOrder::kReport,
        [&findings](const ScanFinding&, const FindingPlace&) { ++findings; }, outcome);
  }
  state.counters["findings"] = static_cast<double>(findings);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RandomFile::kSize));
}

void BM_RunScan(benchmark::State& state) {
  LastTextSink sink;
  for (auto _ : state) {
    RunScan(RandomFile::Path(), sink);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RandomFile::kSize));
}

BENCHMARK(BM_Memchr)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, random, Shape::kRandom)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, all_ff, Shape::kAllFF)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, cdcd, Shape::kLowerCD)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, CDCD, Shape::kUpperCD)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, jpeg_like, Shape::kJpegLike)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_ScanContent, dense_ffdb, Shape::kDenseFFDB)->Unit(benchmark::kMillisecond);
#if defined(__x86_64__)
BENCHMARK_CAPTURE(BM_Kernel, sse2, simd::FindSse2, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kernel, avx2, simd::FindAvx2, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Kernel, avx2_find_only, simd::FindAvx2, false)->Unit(benchmark::kMillisecond);
#endif
// Wall-clock time: the scan of a file runs on two threads.
BENCHMARK(BM_ReadLoop)
    ->ArgsProduct({{256 << 10}, {0, 2, 16, 64}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_ScanInput)
    ->Arg(128 << 10)
    ->Arg(256 << 10)
    ->Arg(512 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_ScanInputPlaced)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RunScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace telltale

BENCHMARK_MAIN();
