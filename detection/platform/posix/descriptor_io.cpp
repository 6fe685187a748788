// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/descriptor_io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "telltale/platform/system_error.h"

namespace telltale {
namespace {

// Waits until `fd` is ready for `events`; a signal only ends the wait early.
void WaitUntilReady(int fd, short events, const std::string& name) {
  pollfd ready{.fd = fd, .events = events, .revents = 0};
  if (::poll(&ready, 1, -1) < 0 && errno != EINTR) {
    ThrowErrno(errno, name);
  }
}

// What a transfer that would block does: waits until it would not, or takes
// it as the end.
enum class WouldBlock { kWait, kEnd };

// Calls `once()` until it moves something or returns 0, and returns what it
// returned: a signal is no failure, nor a descriptor not ready, which is
// waited for or, with WouldBlock::kEnd, taken as the end (0).
template <typename Once>
std::size_t TransferOnce(int fd, short events, const std::string& name, Once once,
                         WouldBlock would_block = WouldBlock::kWait) {
  for (;;) {
    const ssize_t moved = once();
    if (moved >= 0) {
      return static_cast<std::size_t>(moved);
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (would_block == WouldBlock::kEnd) {
        return 0;
      }
      WaitUntilReady(fd, events, name);
    } else if (errno != EINTR) {
      ThrowErrno(errno, name);
    }
  }
}

// The one transfer loop: calls `once(done)` until `count` bytes have moved or
// it returns 0, and returns the bytes moved.
template <typename Once>
std::size_t TransferAll(int fd, short events, std::size_t count, const std::string& name, Once once,
                        WouldBlock would_block = WouldBlock::kWait) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t moved = TransferOnce(
        fd, events, name, [&] { return once(done); }, would_block);
    if (moved == 0) {
      break;
    }
    done += moved;
  }
  return done;
}

}  // namespace

std::size_t ReadFully(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return TransferAll(fd, POLLIN, buffer.size(), name, [&](std::size_t done) {
    return ::read(fd, buffer.data() + done, buffer.size() - done);
  });
}

std::size_t ReadAvailable(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return TransferAll(
      fd, POLLIN, buffer.size(), name,
      [&](std::size_t done) { return ::read(fd, buffer.data() + done, buffer.size() - done); },
      WouldBlock::kEnd);
}

std::size_t ReadFullyAt(int fd, std::uint64_t offset, std::span<unsigned char> buffer,
                        const std::string& name) {
  return TransferAll(fd, POLLIN, buffer.size(), name, [&](std::size_t done) {
    return ::pread(fd, buffer.data() + done, buffer.size() - done,
                   static_cast<off_t>(offset + done));
  });
}

std::size_t ReadSome(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return TransferOnce(fd, POLLIN, name, [&] { return ::read(fd, buffer.data(), buffer.size()); });
}

void WriteFully(int fd, std::string_view text, const std::string& name) {
  const std::size_t written = TransferAll(fd, POLLOUT, text.size(), name, [&](std::size_t done) {
    return ::write(fd, text.data() + done, text.size() - done);
  });
  if (written < text.size()) {
    ThrowErrno(EIO, name);  // write() returning 0 for a non-empty text
  }
}

}  // namespace telltale
