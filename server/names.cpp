#include "server/names.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace server {
namespace {

constexpr char32_t kMaxCodePoint = 0x10ffff;
constexpr char32_t kSurrogateFirst = 0xd800, kSurrogateLast = 0xdfff;

// The next code point of strict UTF-8 (no overlong forms, no surrogates);
// false on any malformed sequence.
bool nextCodePoint(const std::string& text, std::size_t* pos, char32_t* out) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(*pos);
  int extra = 0;
  char32_t value = 0, least = 0;
  if (lead < 0x80) {
    value = lead;
  } else if ((lead & 0xe0) == 0xc0) {
    extra = 1, value = lead & 0x1f, least = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    extra = 2, value = lead & 0x0f, least = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    extra = 3, value = lead & 0x07, least = 0x10000;
  } else {
    return false;
  }
  if (extra > 0 && *pos + extra >= text.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    if ((byte(*pos + i) & 0xc0) != 0x80) return false;
    value = (value << 6) | (byte(*pos + i) & 0x3f);
  }
  if (value < least || value > kMaxCodePoint || (value >= kSurrogateFirst && value <= kSurrogateLast)) return false;
  *pos += 1 + extra;
  *out = value;
  return true;
}

// The Unicode tables of glibc's C.UTF-8 locale, loaded once and used
// without touching the process's locale.
locale_t unicodeTables() {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return unicode;
}

bool letterOrDigit(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  return unicodeTables() && iswalnum_l(static_cast<wint_t>(c), unicodeTables());
}

// A combining mark (a vowel sign, a virama, an accent): part of the letter
// before it in many scripts, so it may follow a letter or digit.
bool combiningMark(char32_t c) {
  static const wctype_t combining = unicodeTables() ? wctype_l("combining", unicodeTables()) : 0;
  return combining && iswctype_l(static_cast<wint_t>(c), combining, unicodeTables());
}

bool punctuationAllowed(char32_t c) { return c == ' ' || c == '-' || c == '_' || c == '.'; }

}  // namespace

std::string NameProblem(const std::string& name) {
  if (name.empty()) return "a name is needed: 1 to 24 letters, digits, spaces, '-', '_' or '.'";
  std::size_t pos = 0, chars = 0;
  bool anyVisible = false, afterLetter = false;
  while (pos < name.size()) {
    char32_t c = 0;
    if (!nextCodePoint(name, &pos, &c)) return "the name is not valid UTF-8";
    if (++chars > kMaxNameChars) return "the name is longer than 24 characters";
    if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) return "the name holds a control character";
    const bool letter = letterOrDigit(c) || (afterLetter && combiningMark(c));
    if (!letter && !punctuationAllowed(c)) return "the name may hold only letters, digits, spaces, '-', '_' and '.'";
    afterLetter = letter;
    anyVisible = anyVisible || c != ' ';
  }
  if (!anyVisible) return "the name is only spaces";
  if (name.front() == ' ' || name.back() == ' ') return "the name starts or ends with a space";
  return "";
}

bool ValidToken(const std::string& token) {
  if (token.size() < kMinTokenChars || token.size() > kMaxTokenChars) return false;
  for (const char c : token) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.' || c == '~';
    if (!ok) return false;
  }
  return true;
}

}  // namespace server
