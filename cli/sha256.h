// SPDX-License-Identifier: Apache-2.0
// SHA-256 of a byte stream given in pieces, through the system's library for
// it: OpenSSL's libcrypto, or CNG (bcrypt) on Windows.
#pragma once

#include <memory>
#include <span>
#include <string>

namespace telltale::cli {

class Sha256 {
 public:
  // Throws std::system_error when the library cannot give a SHA-256 state.
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;

  void Update(std::span<const unsigned char> bytes);
  // The digest of everything given, as 64 lower-case hexadecimal digits.
  // Ends the digest: nothing may be given after it.
  std::string HexDigest();

 private:
  struct State;  // the library's, defined beside the calls that use it
  std::unique_ptr<State> state_;
};

}  // namespace telltale::cli
