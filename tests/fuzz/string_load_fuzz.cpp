// String::Load of arbitrary bytes: never reads outside the buffer (the
// sanitizers watch the exact-size input) and always returns a string that
// covers exactly those bytes: the UTF-16 units after a mark, the UTF-8
// decoding, or one Latin-1 unit per byte when the UTF-8 is invalid. Checked
// against a second, table-free decoder, and by saving and loading again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/string.h"

namespace {

using Units = std::vector<uint16_t>;

// Expected units of a UTF-8 decoding, or false when the bytes are invalid.
bool reference_utf8(const uint8_t* p, size_t n, Units* out) {
  size_t i = 0;
  while (i < n) {
    uint8_t lead = p[i];
    size_t extra = lead < 0x80 ? 0 : lead >= 0xC0 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2 : 99;
    if (extra == 99 || extra >= n - i) return false;  // the sequence must fit
    uint32_t value = extra == 0 ? lead : extra == 1 ? lead & 0x1F : lead & 0x0F;
    for (size_t k = 1; k <= extra; ++k) {
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
      value = value << 6 | (p[i + k] & 0x3F);
    }
    out->push_back(static_cast<uint16_t>(value));
    i += extra + 1;
  }
  return true;
}

Units expected(const uint8_t* p, size_t n) {
  Units units;
  if (n >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE))) {
    bool big = p[0] == 0xFE;
    for (size_t i = 2; i + 1 < n; i += 2)
      units.push_back(static_cast<uint16_t>(big ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]));
    return units;
  }
  size_t skip = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF ? 3 : 0;
  if (reference_utf8(p + skip, n - skip, &units)) return units;
  return Units(p, p + n);
}

Units units_of(const String& s) { return Units(s.Data(), s.Data() + s.Length()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Invalid input prints a line per call; keep the fuzzer's output readable.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  String loaded = String::Load(data, static_cast<int>(size));
  if (units_of(loaded) != expected(data, size)) std::abort();
  if (loaded.Length() == 0 && loaded.rep != String().rep) std::abort();

  // Saving gives UTF-8 that loads back to the same units, unless the text
  // begins with a mark character (which a load would skip).
  if (loaded.Length() > 0 && loaded[0] != 0xFEFF) {
    std::vector<unsigned char> saved;
    loaded.Save(saved);
    String again = String::Load(saved.data(), static_cast<int>(saved.size()));
    if (!(again == loaded)) std::abort();
  }
  return 0;
}
