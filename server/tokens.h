// SHA-256, through the C library of Debian's OpenSSL: the stored form of a
// player's token (the server never keeps the token itself) and a game's
// identity.
#pragma once

#include <cstddef>
#include <string>

namespace server {

// 64 lowercase hex digits.
std::string Sha256Hex(const void* bytes, std::size_t size);
inline std::string Sha256Hex(const std::string& text) { return Sha256Hex(text.data(), text.size()); }

}  // namespace server
