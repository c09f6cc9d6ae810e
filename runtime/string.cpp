// String representations, operations and the text-file codecs.
#include "runtime/string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "runtime/gc.h"

namespace {

constexpr const char* kFloatFormat = "%.17lg";
constexpr const char* kInvalidUtf8 = "Invalid UTF-8!";
constexpr const char* kOutOfMemory = "Out of memory: a string of %lld units could not be allocated\n";
constexpr int kNumberText = 64;               // bytes; longest "%.17lg" text is 24
constexpr int kReadBlock = 4096;              // bytes per read of Load(FILE*)
constexpr long long kMostUnits = 0x7fffffff;  // the length field is an int

[[noreturn]] void out_of_memory(long long units) { gc_out_of_memory(kOutOfMemory, units); }

// Takes the representation out of s, keeping its count for the new holder.
String::Rep* detach(String&& s) {
  String::Rep* rep = s.rep;
  s.rep = String::Rep::alloc(0);
  return rep;
}

// A new string of n units copied from p (n > 0).
template <class Unit>
String make(const Unit* p, int n, uint16_t (*convert)(Unit)) {
  String::Rep* rep = String::Rep::alloc(n);
  uint16_t* out = rep->data();
  for (int i = 0; i < n; ++i) out[i] = convert(p[i]);
  return String(rep);
}

String units(const uint16_t* p, int n) {
  if (n <= 0) return String();
  String::Rep* rep = String::Rep::alloc(n);
  std::memcpy(rep->data(), p, sizeof(uint16_t) * static_cast<size_t>(n));
  return String(rep);
}

String narrowText(const char* text) {
  return make<char>(text, static_cast<int>(std::strlen(text)),
                    [](char c) { return static_cast<uint16_t>(static_cast<signed char>(c)); });
}

bool sameUnits(const uint16_t* a, const uint16_t* b, int n) {
  return std::memcmp(a, b, sizeof(uint16_t) * static_cast<size_t>(n)) == 0;
}

// Number of 16-bit units the n wide characters at p need (surrogate pairs for
// code points above U+FFFF).
int wideUnits(const wchar_t* p, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i)
    count += static_cast<uint32_t>(p[i]) > 0xFFFF && static_cast<uint32_t>(p[i]) <= 0x10FFFF ? 2 : 1;
  return count;
}

String fromWide(const wchar_t* p, int n) {
  if (n <= 0) return String();
  String::Rep* rep = String::Rep::alloc(wideUnits(p, n));
  uint16_t* out = rep->data();
  for (int i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint32_t>(p[i]);
    if (c > 0xFFFF && c <= 0x10FFFF) {
      c -= 0x10000;
      *out++ = static_cast<uint16_t>(0xD800 | (c >> 10));
      *out++ = static_cast<uint16_t>(0xDC00 | (c & 0x3FF));
    } else {
      *out++ = static_cast<uint16_t>(c);
    }
  }
  return String(rep);
}

// --- decoding ----------------------------------------------------------------

String decodeUtf16(const unsigned char* p, int n, bool big_endian) {
  int count = (n - 2) / 2;
  if (count <= 0) return String();
  String::Rep* rep = String::Rep::alloc(count);
  uint16_t* out = rep->data();
  const unsigned char* in = p + 2;
  for (int i = 0; i < count; ++i, in += 2) {
    out[i] = big_endian ? static_cast<uint16_t>(in[0] << 8 | in[1]) : static_cast<uint16_t>(in[1] << 8 | in[0]);
  }
  return String(rep);
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes UTF-8 into out (room for n units); the unit count, or -1 when the
// bytes are not valid UTF-8.
int decodeUtf8(const unsigned char* p, int n, uint16_t* out) {
  int count = 0;
  int i = 0;
  while (i < n) {
    unsigned char b0 = p[i];
    if (b0 < 0x80) {
      out[count++] = b0;
      i += 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      if (n - i < 2 || !is_continuation(p[i + 1])) return -1;
      out[count++] = static_cast<uint16_t>((b0 & 0x1F) << 6 | (p[i + 1] & 0x3F));
      i += 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      if (n - i < 3 || !is_continuation(p[i + 1]) || !is_continuation(p[i + 2])) return -1;
      out[count++] = static_cast<uint16_t>(b0 << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
      i += 3;
    } else {
      return -1;
    }
  }
  return count;
}

String latin1(const unsigned char* p, int n) {
  return make<unsigned char>(p, n, [](unsigned char c) { return static_cast<uint16_t>(c); });
}

// --- scanning ----------------------------------------------------------------

// Start positions of the non-overlapping occurrences of `find` (not empty).
std::vector<int> occurrences(const String& text, const String& find) {
  std::vector<int> found;
  for (int at = text.Find(find); at >= 0; at = text.Find(find, at + find.Length())) found.push_back(at);
  return found;
}

void appendUtf8(std::vector<unsigned char>& out, uint16_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<unsigned char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<unsigned char>(0xC0 | u >> 6));
    out.push_back(static_cast<unsigned char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<unsigned char>(0xE0 | u >> 12));
    out.push_back(static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<unsigned char>(0x80 | (u & 0x3F)));
  }
}

}  // namespace

// --- representations -------------------------------------------------------------

namespace {
// The shared empty representation (constant-initialised, so usable from any
// static initialiser).
String::Rep null = {1, 0};
}  // namespace

String::Rep* String::Rep::alloc(int n) {
  if (n <= 0) return &null;
  Rep* rep = static_cast<Rep*>(std::malloc(sizeof(Rep) + sizeof(uint16_t) * static_cast<size_t>(n)));
  if (!rep) out_of_memory(n);
  rep->refcount = 1;
  rep->length = n;
  return rep;
}

void String::Rep::release() {
  if (this == &null) return;
  if (--refcount == 0) std::free(this);
}

// --- construction ----------------------------------------------------------------

// The "%i" text, written without the formatter: numbers are turned into text
// every update for the score lines.
String::String(int n) : rep(nullptr) {
  char text[kNumberText];
  char* const end = text + sizeof text;
  char* first = end;
  unsigned magnitude = n < 0 ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (n < 0) *--first = '-';
  rep = Rep::alloc(static_cast<int>(end - first));
  for (int i = 0; i < rep->length; ++i) rep->data()[i] = static_cast<uint16_t>(first[i]);
}

String::String(float x) : rep(nullptr) {
  char text[kNumberText];
  std::snprintf(text, sizeof text - 2, kFloatFormat, static_cast<double>(x));
  if (!std::strpbrk(text, ".e")) std::strcat(text, ".0");
  rep = detach(narrowText(text));
}

String::String(const char* s) : rep(detach(narrowText(s ? s : ""))) {}

String::String(const unsigned char* p, int n) : rep(detach(n > 0 ? latin1(p, n) : String())) {}

String::String(const wchar_t* s) : rep(detach(s ? fromWide(s, static_cast<int>(std::wcslen(s))) : String())) {}

String::String(const wchar_t* p, int n) : rep(detach(fromWide(p, n))) {}

// --- queries ---------------------------------------------------------------------

bool String::operator==(const String& s) const {
  return rep == s.rep || (Length() == s.Length() && sameUnits(Data(), s.Data(), Length()));
}

int String::Compare(const String& s) const {
  int n = Length() < s.Length() ? Length() : s.Length();
  for (int i = 0; i < n; ++i) {
    if (Data()[i] != s.Data()[i]) return Data()[i] - s.Data()[i];
  }
  return Length() - s.Length();
}

String String::operator+(const String& s) const {
  if (Length() == 0) return s;
  if (s.Length() == 0) return *this;
  // A length beyond what an int counts would wrap negative and hand back the
  // shared empty representation to copy into.
  const long long total = static_cast<long long>(Length()) + s.Length();
  if (total > kMostUnits) out_of_memory(total);
  Rep* joined = Rep::alloc(static_cast<int>(total));
  std::memcpy(joined->data(), Data(), sizeof(uint16_t) * static_cast<size_t>(Length()));
  std::memcpy(joined->data() + Length(), s.Data(), sizeof(uint16_t) * static_cast<size_t>(s.Length()));
  return String(joined);
}

bool String::StartsWith(const String& s) const {
  return s.Length() <= Length() && sameUnits(Data(), s.Data(), s.Length());
}

bool String::EndsWith(const String& s) const {
  return s.Length() <= Length() && sameUnits(Data() + Length() - s.Length(), s.Data(), s.Length());
}

int String::Find(const String& s, int start) const {
  if (start < 0) start = 0;
  for (int p = start; p + s.Length() <= Length(); ++p) {
    if (sameUnits(Data() + p, s.Data(), s.Length())) return p;
  }
  return -1;
}

int String::FindLast(const String& s) const {
  for (int p = Length() - s.Length(); p >= 0; --p) {
    if (sameUnits(Data() + p, s.Data(), s.Length())) return p;
  }
  return -1;
}

String String::Slice(int from, int to) const {
  int length = Length();
  if (from < 0) {
    from += length;
    if (from < 0) from = 0;
  } else if (from > length) {
    from = length;
  }
  if (to < 0) {
    to += length;
  } else if (to > length) {
    to = length;
  }
  if (to <= from) return String();
  if (from == 0 && to == length) return *this;
  return units(Data() + from, to - from);
}

Array<String> String::Split(const String& sep) const {
  if (sep.Length() == 0) {
    Array<String> pieces(Length());
    for (int i = 0; i < Length(); ++i) pieces[i] = units(Data() + i, 1);
    return pieces;
  }
  std::vector<int> found = occurrences(*this, sep);
  Array<String> pieces(static_cast<int>(found.size()) + 1);
  if (found.empty()) {
    pieces[0] = *this;
    return pieces;
  }
  int begin = 0;
  for (size_t k = 0; k < found.size(); ++k) {
    pieces[static_cast<int>(k)] = units(Data() + begin, found[k] - begin);
    begin = found[k] + sep.Length();
  }
  pieces[static_cast<int>(found.size())] = units(Data() + begin, Length() - begin);
  return pieces;
}

String String::Replace(const String& find, const String& with) const {
  if (find.Length() == 0) return *this;
  std::vector<int> found = occurrences(*this, find);
  if (found.empty()) return *this;
  long long total = Length() + static_cast<long long>(found.size()) * (with.Length() - find.Length());
  if (total <= 0) return String();
  if (total > kMostUnits) out_of_memory(total);
  Rep* result = Rep::alloc(static_cast<int>(total));
  uint16_t* out = result->data();
  int begin = 0;
  for (int at : found) {
    out = std::copy(Data() + begin, Data() + at, out);
    out = std::copy(with.Data(), with.Data() + with.Length(), out);
    begin = at + find.Length();
  }
  std::copy(Data() + begin, Data() + Length(), out);
  return String(result);
}

String String::ToLower() const {
  for (int i = 0; i < Length(); ++i) {
    if (Data()[i] >= 'A' && Data()[i] <= 'Z') {
      Rep* lowered = Rep::alloc(Length());
      for (int k = 0; k < Length(); ++k) {
        uint16_t u = Data()[k];
        lowered->data()[k] = u >= 'A' && u <= 'Z' ? static_cast<uint16_t>(u + ('a' - 'A')) : u;
      }
      return String(lowered);
    }
  }
  return *this;
}

template <>
char* String::ToCString<char>() const {
  Array<char> text(Length() + 1);
  for (int i = 0; i < Length(); ++i) text[i] = static_cast<char>(Data()[i] & 0xFF);
  return text.Data();
}

template <>
wchar_t* String::ToCString<wchar_t>() const {
  Array<wchar_t> text(Length() + 1);
  for (int i = 0; i < Length(); ++i) text[i] = static_cast<wchar_t>(Data()[i]);
  return text.Data();
}

int String::ToInt() const {
  std::vector<char> text(static_cast<size_t>(Length()) + 1, '\0');
  for (int i = 0; i < Length(); ++i) text[static_cast<size_t>(i)] = static_cast<char>(Data()[i] & 0xFF);
  return std::atoi(text.data());
}

// --- text files ------------------------------------------------------------------

String String::Load(const unsigned char* p, int n) {
  if (!p || n <= 0) return String();
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return decodeUtf16(p, n, true);
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return decodeUtf16(p, n, false);
  int skip = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
  if (skip == n) return String();
  Rep* rep = Rep::alloc(n - skip);
  int count = decodeUtf8(p + skip, n - skip, rep->data());
  if (count < 0) {
    std::free(rep);
    std::puts(kInvalidUtf8);
    std::fflush(stdout);
    return latin1(p, n);  // every byte of the buffer, the mark included
  }
  if (count == 0) {
    std::free(rep);
    return String();
  }
  rep->length = count;
  return String(rep);
}

String String::Load(FILE* f) {
  std::vector<unsigned char> bytes;
  for (;;) {
    size_t have = bytes.size();
    bytes.resize(have + kReadBlock);
    size_t got = std::fread(bytes.data() + have, 1, kReadBlock, f);
    bytes.resize(have + got);
    if (got < static_cast<size_t>(kReadBlock)) break;
    if (bytes.size() > 0x7fffffff - static_cast<size_t>(kReadBlock))
      out_of_memory(static_cast<long long>(bytes.size()));
  }
  return Load(bytes.data(), static_cast<int>(bytes.size()));
}

void String::Save(std::vector<unsigned char>& out) const {
  out.clear();
  out.reserve(static_cast<size_t>(Length()) * 3);
  for (int i = 0; i < Length(); ++i) appendUtf8(out, Data()[i]);
}

bool String::Save(FILE* f) const {
  std::vector<unsigned char> bytes;
  Save(bytes);
  if (bytes.empty()) return true;
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

// --- string arrays -----------------------------------------------------------------

void t_create(int n, String* p) {
  String::Rep* empty = String::Rep::alloc(0);
  for (int i = 0; i < n; ++i) new (&p[i]) String(empty);
}

void t_create(int n, String* dst, const String* src) {
  for (int i = 0; i < n; ++i) new (&dst[i]) String(src[i]);
}

void t_destroy(int n, String* p) {
  for (int i = 0; i < n; ++i) p[i].~String();
}
