// SHA-256 of a byte stream given in pieces, through OpenSSL's libcrypto.
#pragma once

#include <memory>
#include <span>
#include <string>

struct evp_md_ctx_st;

namespace telltale::cli {

class Sha256 {
 public:
  // Throws std::system_error when libcrypto cannot give a SHA-256 context.
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;

  void Update(std::span<const unsigned char> bytes);
  // The digest of everything given, as 64 lower-case hexadecimal digits.
  // Ends the digest: nothing may be given after it.
  std::string HexDigest();

 private:
  struct Free {
    void operator()(evp_md_ctx_st* context) const;
  };
  std::unique_ptr<evp_md_ctx_st, Free> context_;
};

}  // namespace telltale::cli
