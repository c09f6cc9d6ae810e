// String: the language's immutable text of 16-bit code units (UTF-16 without
// surrogate handling), and the text-file encodings.
//
// A String is one pointer to a reference-counted representation from the
// system allocator (not a collected object). Copies share it; operations whose
// result equals the receiver or an argument return that representation shared.
// The empty string is one shared representation that is never allocated and
// never freed. Counts are plain ints: a string may be shared only within one
// thread.
//
// Text files are read as UTF-16 with a byte-order mark (either order) or as
// UTF-8 with or without one, falling back to Latin-1 for invalid UTF-8; they
// are written as UTF-8 without a mark.
//
// wchar_t is 32 bits on this platform: the wchar_t constructors split a code
// point above U+FFFF into a surrogate pair, and ToCString<wchar_t>() gives one
// wchar_t per 16-bit unit.
//
// Depends on the C++ library and, for results held in collected arrays
// (Split, ToCString), on runtime/gc.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

template <class T>
class Array;

class String {
 public:
  // `refcount` values share this block of 8 + 2 * length bytes; the code
  // units follow the header inline, without a terminator.
  struct Rep {
    int refcount;
    int length;

    uint16_t* data() { return reinterpret_cast<uint16_t*>(this + 1); }
    // Count 1, length n, contents unset; n <= 0 gives the shared empty one.
    static Rep* alloc(int n);
    void retain() {
      if (length != 0) ++refcount;
    }
    // Frees the block when the last holder lets go; the empty representation
    // is never freed (some holders point at it without counting).
    void release();
  };

  Rep* rep;

  String() : rep(Rep::alloc(0)) {}
  String(const String& s) : rep(s.rep) { rep->retain(); }
  String& operator=(const String& s) {
    s.rep->retain();
    rep->release();
    rep = s.rep;
    return *this;
  }
  ~String() { rep->release(); }

  // Decimal text ("%i").
  String(int n);
  // "%.17lg" of the widened value, with ".0" appended when the text has
  // neither a point nor an exponent (1 gives "1.0").
  String(float x);
  // One unit per byte, sign-extended (0x80 and above give 0xFF80 and above).
  String(const char* s);
  // n units, each byte zero-extended (Latin-1).
  String(const unsigned char* p, int n);
  // The units up to the terminating 0.
  String(const wchar_t* s);
  // The units of n wchar_t values.
  String(const wchar_t* p, int n);
  // Takes over a representation (its count is not raised).
  explicit String(Rep* r) : rep(r) {}

  int Length() const { return rep->length; }
  const uint16_t* Data() const { return rep->data(); }
  // Code unit i (0 <= i < Length()).
  int operator[](int i) const { return rep->data()[i]; }

  bool operator==(const String& s) const;
  bool operator!=(const String& s) const { return !(*this == s); }
  // Orders by code units; a prefix comes first.
  int Compare(const String& s) const;
  bool operator<(const String& s) const { return Compare(s) < 0; }

  String operator+(const String& s) const;
  String operator+(const char* s) const { return *this + String(s); }
  String& operator+=(const String& s) { return *this = *this + s; }

  bool StartsWith(const String& s) const;
  bool EndsWith(const String& s) const;
  // First position >= start (negative start counts as 0) or -1.
  int Find(const String& s, int start = 0) const;
  // Last position or -1; an empty s is found at Length().
  int FindLast(const String& s) const;
  bool Contains(const String& s) const { return Find(s) >= 0; }
  // Units [from, to); negative indexes count from the end.
  String Slice(int from, int to) const;
  String Slice(int from) const { return Slice(from, Length()); }
  // The pieces between non-overlapping occurrences of sep; an empty sep gives
  // one string per unit.
  Array<String> Split(const String& sep) const;
  // Every non-overlapping occurrence of find replaced by with; an empty find
  // changes nothing.
  String Replace(const String& find, const String& with) const;
  // A-Z lowered; other units unchanged.
  String ToLower() const;

  // A NUL-terminated copy held in a new collected array: char gives each
  // unit's low byte, wchar_t each full unit. Valid until the collector's next
  // sweep, that is for the rest of the current call into the application.
  template <class C>
  C* ToCString() const;

  // Leading blanks, an optional sign and decimal digits; 0 without digits.
  int ToInt() const;
  explicit operator int() const { return ToInt(); }

  // Decodes a whole text file (see the top of this header). Never reads
  // outside [p, p + n).
  static String Load(const unsigned char* p, int n);
  // Reads the stream from its position to the end and decodes it.
  static String Load(FILE* f);
  // Encodes as UTF-8 and writes it with one write; true when all was written.
  bool Save(FILE* f) const;
  // Replaces the contents of `out` with the UTF-8 encoding.
  void Save(std::vector<unsigned char>& out) const;
};

template <>
char* String::ToCString<char>() const;
template <>
wchar_t* String::ToCString<wchar_t>() const;

inline String operator+(const char* a, const String& b) { return String(a) + b; }

// Literal helpers.
inline String T(const char* s) { return String(s); }
inline String T(const wchar_t* s) { return String(s); }

// String arrays: t_create sets n strings to the empty string without counting
// it; the copying form copies n strings, counting each; t_destroy releases n.
void t_create(int n, String* p);
void t_create(int n, String* dst, const String* src);
void t_destroy(int n, String* p);
