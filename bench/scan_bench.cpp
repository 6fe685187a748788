// Scan throughput on 256 MiB buffers of several shapes, with glibc's memchr
// over the random buffer as the yardstick, and a whole Run on a 1 GiB file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "detection/file_content.h"
#include "detection/file_reading.h"
#include "detection/last_text_sink.h"
#include "detection/marker_pattern.h"
#include "detection/run_scan.h"
#include "detection/scan_content.h"

namespace telltale {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 20;

// A byte value no random buffer holds, for memchr to look for in vain.
constexpr unsigned char kAbsent = 0x01;

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

const FileContent& Buffer(Shape shape) {
  static FileContent buffers[6];
  FileContent& buffer = buffers[static_cast<int>(shape)];
  if (buffer.size() == 0) {
    buffer = FileContent(kBufferSize);
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
  const FileContent& buffer = Buffer(shape);
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
  const FileContent& buffer = Buffer(Shape::kRandom);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memchr(buffer.data(), kAbsent, buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

// One pass of a search kernel over the random buffer: the first marker
// reported, the second watched, as the whole-content scan does it.
void BM_Kernel(benchmark::State& state, simd::FindKernel find, bool watching) {
  const FileContent& buffer = Buffer(Shape::kRandom);
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

void BM_RunScan(benchmark::State& state) {
  constexpr std::size_t kFileSize = std::size_t{1} << 30;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("telltale-bench-" + std::to_string(::getpid())))
          .string();
  {
    FileContent bytes(kFileSize);
    FillRandom(bytes.data(), kFileSize, 3);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), kFileSize);
  }
  LastTextSink sink;
  for (auto _ : state) {
    RunScan(path, sink);
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
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
BENCHMARK(BM_RunScan)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace telltale

BENCHMARK_MAIN();
