// SPDX-License-Identifier: Apache-2.0
// SHA-256 through OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <array>
#include <system_error>

#include "cli/json_text.h"
#include "cli/sha256.h"

namespace telltale::cli {
namespace {

// libcrypto reports failures in its own error queue, whose codes mean
// nothing to the user; a context that cannot be made or used is a lack of
// memory or a SHA-256 that this build of the library does not offer.
[[noreturn]] void ThrowDigestError() {
  throw std::system_error(std::make_error_code(std::errc::not_supported), "SHA-256 from libcrypto");
}

}  // namespace

struct Sha256::State {
  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!state_->context) {
    throw std::system_error(std::make_error_code(std::errc::not_enough_memory),
                            "SHA-256 from libcrypto");
  }
  if (EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1) {
    ThrowDigestError();
  }
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(std::span<const unsigned char> bytes) {
  if (EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size()) != 1) {
    ThrowDigestError();
  }
}

std::string Sha256::HexDigest() {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length) != 1) {
    ThrowDigestError();
  }
  std::string hex;
  AppendHex(hex, {reinterpret_cast<const char*>(digest.data()), length});
  return hex;
}

}  // namespace telltale::cli
