#include "detection/file_content.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

namespace telltale {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Below this a huge page would mostly hold nothing.
constexpr std::size_t kHugePageThreshold = 2 * kHugePage;

[[noreturn]] void ThrowNoMemory() {
  throw std::system_error(ENOMEM, std::generic_category(), "cannot hold the file in memory");
}

std::size_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) {
    return SIZE_MAX;
  }
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size);
}

}  // namespace

FileContent::FileContent(std::size_t size) : size_(size) {
  if (size == 0) {
    return;
  }
  // Refused at once rather than left to the kernel, which may grant the
  // mapping and kill the program once the pages are filled.
  if (size > PhysicalMemory()) {
    ThrowNoMemory();
  }
  const bool huge = size >= kHugePageThreshold;
  // Over-map by one huge page so that the buffer can start on a huge-page
  // boundary; the kernel only backs huge pages that are aligned.
  const std::size_t slack = huge ? kHugePage : 0;
  if (size > SIZE_MAX - slack) {
    ThrowNoMemory();
  }
  void* mapping =
      ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    ThrowNoMemory();
  }
  auto* start = static_cast<unsigned char*>(mapping);
  mapped_ = size + slack;
  if (huge) {
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = (kHugePage - address % kHugePage) % kHugePage;
    if (head > 0) {
      ::munmap(start, head);
    }
    const std::size_t tail = slack - head;
    if (tail > 0) {
      ::munmap(start + head + size, tail);
    }
    start += head;
    mapped_ = size;
    // Only advice: without transparent huge pages the buffer still works.
    ::madvise(start, size, MADV_HUGEPAGE);
  }
  data_ = start;
}

FileContent::~FileContent() {
  if (data_ != nullptr) {
    ::munmap(data_, mapped_);
  }
}

FileContent::FileContent(FileContent&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

FileContent& FileContent::operator=(FileContent&& other) noexcept {
  if (this != &other) {
    FileContent old(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

}  // namespace telltale
