// Display names and tokens as the requests carry them.
//
// A name is 1-24 characters (code points) of well-formed UTF-8: letters and
// digits of any script (as the C library's Unicode tables class them, with
// the combining marks that write them), space, '-', '_' and '.'; not only
// spaces, and no space at either end. A token is 16-128 characters of
// A-Z a-z 0-9 '-' '_' '.' '~' (what a client's random secret encodes to).
#pragma once

#include <string>

namespace server {

constexpr std::size_t kMaxNameChars = 24;
constexpr std::size_t kMinTokenChars = 16;
constexpr std::size_t kMaxTokenChars = 128;

// Empty when the name is good, else the reason, for the player to read.
std::string NameProblem(const std::string& name);

bool ValidToken(const std::string& token);

}  // namespace server
