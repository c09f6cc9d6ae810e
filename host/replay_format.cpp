#include "host/replay_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace replay {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'R', 'P'};
constexpr std::size_t kHeaderBytes = 36;
constexpr int kMaxVarintBytes = 10;
constexpr std::int64_t kMaxStep = std::int64_t(1) << 32;  // clock and frame-counter steps
// Calls into the game a stream may hold: every update may come with a
// render, and a few more renders, suspends and resumes.
constexpr std::uint64_t kMaxSteps = 3ull * kMaxUpdates;
constexpr float kMaxJoyAxis = 1.0f;

// The LZ coder: a token byte below 0x80 is a run of token + 1 literal bytes;
// from 0x80 it is a copy of (token & 0x7f) + kMinMatch bytes from an offset
// back in the output (a varint follows).
constexpr int kMinMatch = 4;
constexpr int kMaxMatch = 0x7f + kMinMatch;
constexpr int kMaxLiteralRun = 0x80;
constexpr int kHashBits = 16;
constexpr std::size_t kWindow = 1u << 20;  // farthest copy back, bytes
constexpr int kCandidates = 32;            // earlier places tried per position: packing stays fast

const char kTooLarge[] = "the file is larger than 16 MiB";
const char kTruncated[] = "the file is truncated";
const char kNotReplay[] = "not a replay file (no KVRP mark)";
const char kDamaged[] = "the file is damaged (its checksum does not match)";
const char kBadBody[] = "the file is damaged (its stream cannot be unpacked)";

void putWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getWord(const std::uint8_t* at) {
  return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

std::uint16_t getHalf(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

float floatOf(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::uint32_t hash4(const std::uint8_t* at) { return (getWord(at) * 2654435761u) >> (32 - kHashBits); }

void flushLiterals(std::vector<std::uint8_t>& out, const std::uint8_t* from, std::size_t count) {
  while (count > 0) {
    const std::size_t run = count < std::size_t(kMaxLiteralRun) ? count : kMaxLiteralRun;
    out.push_back(static_cast<std::uint8_t>(run - 1));
    out.insert(out.end(), from, from + run);
    from += run;
    count -= run;
  }
}

void putVarint(std::vector<std::uint8_t>& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

// ---------------------------------------------------------------- stream checks

struct StreamCheck {
  StreamCheck(const std::vector<std::uint8_t>& stream, std::uint16_t formatVersion)
      : in(stream.data(), stream.size()), version(formatVersion) {}
  StreamReader in;
  std::uint16_t version;
  std::uint64_t updates = 0;
  std::uint64_t steps = 0;
  std::uint64_t pixelAnswers = 0;
  std::string error;
  std::vector<std::size_t>* starts = nullptr;  // when wanted, where each op starts
  double pointer[2] = {0, 0};                  // as the ops so far placed it

  bool Fail(const std::string& what) {
    error = "bad stream at byte " + std::to_string(in.Position()) + ": " + what;
    return false;
  }
  bool Ranged(std::uint64_t limit, const char* what) {
    std::uint64_t value = 0;
    if (!in.Unsigned(&value)) return Fail(std::string("truncated ") + what);
    if (value > limit) return Fail(std::string(what) + " out of range");
    return true;
  }
  bool Step(std::int64_t limit, const char* what) {
    std::int64_t value = 0;
    if (!in.Signed(&value)) return Fail(std::string("truncated ") + what);
    if (value > limit || value < -limit) return Fail(std::string(what) + " out of range");
    return true;
  }
  bool Floats(int count, float limit, const char* what, double* kept = nullptr) {
    for (int i = 0; i < count; ++i) {
      std::uint32_t bits = 0;
      if (!in.Word(&bits)) return Fail(std::string("truncated ") + what);
      const float value = floatOf(bits);
      if (!std::isfinite(value) || std::fabs(value) > limit) return Fail(std::string(what) + " out of range");
      if (kept) kept[i] = value;
    }
    return true;
  }
  bool PointerStep() {
    for (double& coordinate : pointer) {
      std::int64_t step = 0;
      if (!in.Signed(&step)) return Fail("truncated pointer step");
      if (coordinate != std::floor(coordinate)) return Fail("a pointer step from a fraction of a pixel");
      coordinate += static_cast<double>(step);
      if (std::fabs(coordinate) > kMaxPointer) return Fail("pointer out of range");
    }
    return true;
  }
  bool Pixels() {
    std::uint64_t count = 0;
    if (!in.Unsigned(&count) || count == 0 || count > kMaxPixelsPerRead) return Fail("bad pixel count");
    for (std::uint64_t done = 0; done < count;) {
      std::uint64_t run = 0;
      std::uint32_t pixel = 0;
      if (!in.Unsigned(&run) || run == 0 || run > count - done || !in.Word(&pixel)) return Fail("bad pixel run");
      done += run;
    }
    ++pixelAnswers;
    return true;
  }
  bool Chars() {
    std::uint64_t count = 0;
    if (!in.Unsigned(&count) || count > std::uint64_t(kInputChars)) return Fail("bad character count");
    for (std::uint64_t i = 0; i < count; ++i) {
      if (!Ranged(kMaxChar, "character")) return false;
    }
    return true;
  }
  bool State() {
    std::uint64_t units = 0;
    if (!in.Unsigned(&units) || units > kMaxStateUnits) return Fail("bad state length");
    for (std::uint64_t i = 0; i < units; ++i) {
      if (!Ranged(0xffff, "state text")) return false;
    }
    return true;
  }
  bool RankLine() {
    if (version < 2) return Fail("a world rank line in a stream of format version 1");
    std::uint64_t length = 0;
    if (!in.Unsigned(&length) || length > kMaxRankLine) return Fail("bad rank line length");
    std::string line;
    for (std::uint64_t i = 0; i < length; ++i) {
      std::uint8_t byte = 0;
      if (!in.Byte(&byte)) return Fail("truncated rank line");
      line.push_back(static_cast<char>(byte));
    }
    return FitsRankLine(line) || Fail("a rank line of other than printable ASCII");
  }
  bool CountStep() {
    if (++steps > kMaxSteps) return Fail("too many calls into the game");
    return true;
  }
  bool Key() {
    std::uint64_t code = 0;
    if (!in.Unsigned(&code) || code < 1 || code >= std::uint64_t(kInputKeys)) return Fail("key code out of range");
    return Ranged(kMaxKeyValue, "key state");
  }
  bool One(std::uint8_t op);
  bool All();
};

bool StreamCheck::One(std::uint8_t op) {
  if (op <= kOpClockNear) return true;
  switch (op) {
    case kOpClockFar: return Step(kMaxStep, "clock step");
    case kOpUpdate:
      if (++updates > kMaxUpdates) return Fail("more than four hours of updates");
      return CountStep();
    case kOpRender:
    case kOpSuspend:
    case kOpResume:
    case kOpCreate: return CountStep();
    case kOpDrawnSame:
    case kOpDrawnNext: return true;
    case kOpDrawnFar: return Step(kMaxStep, "frame counter step");
    case kOpSize: return Ranged(kMaxWindowSide, "window width") && Ranged(kMaxWindowSide, "window height");
    case kOpState: return State();
    case kOpPixels: return Pixels();
    case kOpPixelsAgain:
      if (pixelAnswers == 0) return Fail("a repeated read-back with none before it");
      return Ranged(pixelAnswers - 1, "earlier read-back");
    case kOpKey: return Key();
    case kOpChars: return Chars();
    case kOpMouse: return Floats(2, kMaxPointer, "pointer", pointer);
    case kOpPointerStep: return PointerStep();
    case kOpSaveResult: return Ranged(kMaxSaveFailure, "save result");
    case kOpReducedMotion: return Ranged(1, "reduced motion");
    case kOpRankLine: return RankLine();
    case kOpJoy: return Floats(kJoyAxes, kMaxJoyAxis, "stick axis");
    case kOpCheck: {
      std::uint32_t hash = 0;
      return in.Word(&hash) || Fail("truncated state hash");
    }
    default: return Fail("unknown op " + std::to_string(op));
  }
}

bool StreamCheck::All() {
  std::uint8_t op = 0;
  for (std::size_t at = in.Position(); in.Byte(&op); at = in.Position()) {
    if (starts) starts->push_back(at);
    if (op == kOpEnd) return in.AtEnd() || Fail("bytes after the end");
    if (!One(op)) return false;
  }
  return Fail("the stream has no end mark");
}

bool checkHeader(const std::uint8_t* bytes, std::uint16_t rulesVersion, Header* header, std::string* error) {
  header->formatVersion = getHalf(bytes + 4);
  header->rulesVersion = getHalf(bytes + 6);
  if (header->formatVersion < kOldestFormatVersion || header->formatVersion > kFormatVersion) {
    *error = "replay format version " + std::to_string(header->formatVersion) + " is not one this build reads (" +
             std::to_string(kOldestFormatVersion) + " to " + std::to_string(kFormatVersion) + ")";
    return false;
  }
  if (rulesVersion != kAnyRules && header->rulesVersion != rulesVersion) {
    *error = "the replay was recorded under rules version " + std::to_string(header->rulesVersion) +
             "; this build plays rules version " + std::to_string(rulesVersion) + " and cannot re-run it";
    return false;
  }
  header->difficulty = bytes[8];
  header->total = getWord(bytes + 12);
  header->rounds = getWord(bytes + 16);
  header->updates = getWord(bytes + 20);
  if (header->difficulty < 1 || header->difficulty > 3 || bytes[9] > 1 || bytes[10] != 0 || bytes[11] != 0) {
    *error = "the header's result is out of range";
    return false;
  }
  header->ending = static_cast<Ending>(bytes[9]);
  if (header->updates > kMaxUpdates || header->rounds > header->updates) {
    *error = "the header claims " + std::to_string(header->updates) + " updates and " + std::to_string(header->rounds) +
             " rounds: out of range";
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- varints

void StreamWriter::Unsigned(std::uint64_t value) { putVarint(bytes_, value); }

void StreamWriter::Signed(std::int64_t value) {
  Unsigned((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
}

void StreamWriter::Word(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool StreamReader::Byte(std::uint8_t* value) {
  if (pos_ >= size_) return false;
  *value = data_[pos_++];
  return true;
}

bool StreamReader::Unsigned(std::uint64_t* value) {
  std::uint64_t result = 0;
  for (int i = 0; i < kMaxVarintBytes; ++i) {
    std::uint8_t byte = 0;
    if (!Byte(&byte)) return false;
    result |= std::uint64_t(byte & 0x7f) << (7 * i);
    if (!(byte & 0x80)) {
      *value = result;
      return true;
    }
  }
  return false;
}

bool StreamReader::Signed(std::int64_t* value) {
  std::uint64_t raw = 0;
  if (!Unsigned(&raw)) return false;
  *value = static_cast<std::int64_t>(raw >> 1) ^ -static_cast<std::int64_t>(raw & 1);
  return true;
}

bool StreamReader::Word(std::uint32_t* value) {
  if (size_ - pos_ < 4 || pos_ > size_) return false;
  *value = getWord(data_ + pos_);
  pos_ += 4;
  return true;
}

// ---------------------------------------------------------------- packing

std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

// The longest match for `pos` among the earlier places with the same hash
// (`chain` links each place, + 1, to the one before it).
std::size_t longestMatch(const std::vector<std::uint8_t>& raw, std::size_t pos, std::uint32_t candidate,
                         const std::vector<std::uint32_t>& chain, std::size_t* from) {
  std::size_t best = 0;
  for (int tries = 0; candidate != 0 && tries < kCandidates && pos - (candidate - 1) <= kWindow; ++tries) {
    const std::size_t start = candidate - 1;
    std::size_t length = 0;
    while (pos + length < raw.size() && length < std::size_t(kMaxMatch) && raw[start + length] == raw[pos + length]) {
      ++length;
    }
    if (length > best) {
      best = length;
      *from = start;
    }
    candidate = chain[start];
  }
  return best;
}

std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint32_t> last(std::size_t(1) << kHashBits, 0);  // position + 1 of the latest 4 bytes seen
  std::vector<std::uint32_t> chain(raw.size(), 0);
  std::size_t literalStart = 0, pos = 0;
  auto remember = [&](std::size_t at) {
    const std::uint32_t h = hash4(&raw[at]);
    chain[at] = last[h];
    last[h] = static_cast<std::uint32_t>(at + 1);
  };
  while (pos + kMinMatch <= raw.size()) {
    std::size_t from = 0;
    const std::size_t length = longestMatch(raw, pos, last[hash4(&raw[pos])], chain, &from);
    if (length < std::size_t(kMinMatch)) {
      remember(pos++);
      continue;
    }
    flushLiterals(out, &raw[literalStart], pos - literalStart);
    out.push_back(static_cast<std::uint8_t>(0x80 | (length - kMinMatch)));
    putVarint(out, pos - from);
    const std::size_t end = pos + length;
    for (; pos < end; ++pos) {
      if (pos + kMinMatch <= raw.size()) remember(pos);
    }
    literalStart = pos;
  }
  flushLiterals(out, raw.data() + literalStart, raw.size() - literalStart);
  return out;
}

bool Unpack(const std::uint8_t* packed, std::size_t size, std::size_t rawSize, std::vector<std::uint8_t>* out) {
  out->clear();
  // A copy of at most kMaxMatch bytes takes two bytes or more: no stream
  // unpacks to more than this, whatever its header claims.
  out->reserve(std::min(rawSize, size * (kMaxMatch / 2 + 1)));
  StreamReader in(packed, size);
  std::uint8_t token = 0;
  while (in.Byte(&token)) {
    if (token < 0x80) {
      const std::size_t run = std::size_t(token) + 1;
      if (size - in.Position() < run || out->size() + run > rawSize) return false;
      out->insert(out->end(), packed + in.Position(), packed + in.Position() + run);
      for (std::size_t i = 0; i < run; ++i) in.Byte(&token);
      continue;
    }
    const std::size_t length = std::size_t(token & 0x7f) + kMinMatch;
    std::uint64_t offset = 0;
    if (!in.Unsigned(&offset) || offset == 0 || offset > out->size() || out->size() + length > rawSize) return false;
    const std::size_t from = out->size() - offset;
    for (std::size_t i = 0; i < length; ++i) out->push_back((*out)[from + i]);
  }
  return out->size() == rawSize;
}

std::vector<std::size_t> OpStarts(const std::vector<std::uint8_t>& stream) {
  std::vector<std::size_t> starts;
  StreamCheck check(stream, kFormatVersion);
  check.starts = &starts;
  if (!check.All()) starts.clear();
  return starts;
}

bool FitsRankLine(const std::string& line) {
  constexpr char kFirstPrintable = 0x20, kLastPrintable = 0x7e;
  if (line.size() > kMaxRankLine) return false;
  for (char c : line) {
    if (c < kFirstPrintable || c > kLastPrintable) return false;
  }
  return true;
}

// ---------------------------------------------------------------- files

std::vector<std::uint8_t> WriteReplay(const Header& header, const std::vector<std::uint8_t>& stream) {
  const std::vector<std::uint8_t> body = Pack(stream);
  std::vector<std::uint8_t> file(kHeaderBytes + body.size(), 0);
  std::memcpy(file.data(), kMagic, sizeof kMagic);
  file[4] = static_cast<std::uint8_t>(header.formatVersion);
  file[5] = static_cast<std::uint8_t>(header.formatVersion >> 8);
  file[6] = static_cast<std::uint8_t>(header.rulesVersion);
  file[7] = static_cast<std::uint8_t>(header.rulesVersion >> 8);
  file[8] = static_cast<std::uint8_t>(header.difficulty);
  file[9] = static_cast<std::uint8_t>(header.ending);
  putWord(file, 12, header.total);
  putWord(file, 16, header.rounds);
  putWord(file, 20, header.updates);
  putWord(file, 24, static_cast<std::uint32_t>(stream.size()));
  putWord(file, 28, static_cast<std::uint32_t>(body.size()));
  putWord(file, 32, Checksum(body.data(), body.size()));
  if (!body.empty()) std::memcpy(&file[kHeaderBytes], body.data(), body.size());
  return file;
}

bool ReadReplay(const std::uint8_t* bytes, std::size_t size, std::uint16_t rulesVersion, Replay* out,
                std::string* error) {
  if (size > kMaxFileBytes) return (*error = kTooLarge), false;
  if (size < sizeof kMagic || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return (*error = kNotReplay), false;
  if (size < kHeaderBytes) return (*error = kTruncated), false;
  if (!checkHeader(bytes, rulesVersion, &out->header, error)) return false;
  const std::uint32_t rawSize = getWord(bytes + 24);
  const std::uint32_t packedSize = getWord(bytes + 28);
  if (rawSize > kMaxBodyBytes) return (*error = "the stream claims more than 64 MiB"), false;
  if (packedSize > size - kHeaderBytes) return (*error = kTruncated), false;
  if (packedSize < size - kHeaderBytes) return (*error = "the file has bytes after its stream"), false;
  const std::uint8_t* body = bytes + kHeaderBytes;
  if (Checksum(body, packedSize) != getWord(bytes + 32)) return (*error = kDamaged), false;
  if (!Unpack(body, packedSize, rawSize, &out->stream)) return (*error = kBadBody), false;
  StreamCheck check(out->stream, out->header.formatVersion);
  if (!check.All()) return (*error = check.error), false;
  if (check.updates != out->header.updates) {
    *error = "the header counts " + std::to_string(out->header.updates) + " updates, the stream holds " +
             std::to_string(check.updates);
    return false;
  }
  return true;
}

}  // namespace replay
