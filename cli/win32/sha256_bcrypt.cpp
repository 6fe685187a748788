// SPDX-License-Identifier: Apache-2.0
// SHA-256 through Windows' CNG (bcrypt), the system's own hashing: Debian
// offers no libcrypto built for Windows.
#include <windows.h>
// After windows.h, which defines what it needs.
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <system_error>

#include "cli/json_text.h"
#include "cli/sha256.h"

namespace telltale::cli {
namespace {

constexpr std::size_t kDigestBytes = 32;

// CNG answers with an NTSTATUS, not an error the user could act on: a hash
// that cannot be made or fed is SHA-256 this system does not offer.
void Check(NTSTATUS status) {
  if (status < 0) {
    throw std::system_error(std::make_error_code(std::errc::not_supported), "SHA-256 from CNG");
  }
}

}  // namespace

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash != nullptr) {
      ::BCryptDestroyHash(hash);
    }
    if (algorithm != nullptr) {
      ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
  }
  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  Check(::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  Check(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(std::span<const unsigned char> bytes) {
  // One call takes at most 4 GiB less a byte.
  constexpr std::size_t kMostPerCall = 1U << 30U;
  while (!bytes.empty()) {
    const std::size_t part = std::min(bytes.size(), kMostPerCall);
    Check(::BCryptHashData(state_->hash, const_cast<unsigned char*>(bytes.data()),
                           static_cast<ULONG>(part), 0));
    bytes = bytes.subspan(part);
  }
}

std::string Sha256::HexDigest() {
  std::array<unsigned char, kDigestBytes> digest{};
  Check(::BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  std::string hex;
  AppendHex(hex, {reinterpret_cast<const char*>(digest.data()), digest.size()});
  return hex;
}

}  // namespace telltale::cli
