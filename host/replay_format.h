// The replay file: what the host answered a game, in order, from program
// start to the end of the game the file is kept for.
//
// A file is a 36-byte header (magic "KVRP", format version, the game's rules
// version, the result the recording game saw, the number of updates, the
// body's sizes and checksum), then the body: a stream of steps and answers,
// packed by a small LZ coder. The stream holds everything that can steer an
// update: each call into the game (create, update, render, suspend, resume),
// each clock reading, the input table and window size before each update or
// render, the saved state read at start-up, the frame counter the renderer
// reports, the pixels read back from the frame buffer (the song is decoded
// from a picture drawn and read back, and what a GPU returns is the host's
// answer) and the world rank line of the score server's latest answer. A state hash every few hundred updates lets a
// re-run find the update where it leaves the recording.
//
// ReadReplay checks a whole file before anything runs: sizes, counts,
// checksum, every op and every value's range. Uses only the standard
// library; safe on any bytes (fuzzed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace replay {

// The format written; files of the oldest version on are read. Version 2
// added the outcome of each save (kOpSaveResult), the world rank line
// (kOpRankLine) and the reduced-motion answer (kOpReducedMotion); a
// version-1 recording saw every save succeed, no rank line and full motion.
constexpr std::uint16_t kFormatVersion = 2;
constexpr std::uint16_t kOldestFormatVersion = 1;
constexpr std::uint16_t kSaveResultsFrom = 2;     // and the reduced-motion answers
constexpr std::size_t kMaxFileBytes = 16u << 20;  // 16 MiB: larger files are refused unread
constexpr std::size_t kMaxBodyBytes = 64u << 20;  // unpacked stream
// Four hours of updates at 60 Hz: a stream claiming more is refused, so that
// no file can keep a re-run busy for long.
constexpr std::uint32_t kMaxUpdates = 4u * 60u * 60u * 60u;
constexpr std::uint32_t kCheckpointUpdates = 300;  // updates between state hashes
constexpr int kMaxWindowSide = 1 << 15;            // pixels
constexpr int kInputKeys = 512;                    // entries of the input table
constexpr int kInputChars = 32;                    // typed characters per update
constexpr int kJoyAxes = 6;
constexpr std::uint32_t kMaxPixelsPerRead = 1u << 20;

// How the recorded game ended.
enum class Ending : std::uint8_t { kQuit = 0, kTime = 1 };

struct Header {
  std::uint16_t formatVersion = kFormatVersion;
  std::uint16_t rulesVersion = 0;
  int difficulty = 0;  // 1-3
  Ending ending = Ending::kQuit;
  std::uint32_t total = 0;  // the score saved for the game
  std::uint32_t rounds = 0;
  std::uint32_t updates = 0;  // in the whole stream
};

// Op codes of the stream. Bytes 0x00-0x7f are clock readings that advance
// by that many milliseconds: the common case costs one byte.
enum Op : std::uint8_t {
  kOpClockNear = 0x7f,  // the largest one-byte clock step
  kOpClockFar = 0x80,   // signed step follows
  kOpUpdate,
  kOpRender,
  kOpDrawnSame,  // frame counter unchanged
  kOpDrawnNext,  // frame counter + 1
  kOpDrawnFar,   // signed step follows
  kOpSize,       // framebuffer width, height
  kOpSuspend,
  kOpResume,
  kOpCreate,
  kOpState,        // saved state text: length, UTF-16 units
  kOpPixels,       // a new read-back: count, runs of (length, pixel)
  kOpPixelsAgain,  // the same as an earlier read-back: its index
  kOpKey,          // input table entry: key code, value
  kOpChars,        // typed characters of this update: count, characters
  kOpMouse,        // pointer: x, y as float bits
  kOpJoy,          // six stick axes as float bits
  kOpCheck,        // state hash after the update before it
  kOpEnd,
  // The pointer moved by whole pixels from a position of whole pixels: the
  // steps along x and y follow as signed varints (the common case; kOpMouse
  // carries any other position).
  kOpPointerStep,
  // The host's world rank line changed before this update (text follows as
  // a length and bytes; empty: no line).
  kOpRankLine,
  // The outcome of a save the game asked for, as the state file gave it:
  // 0 saved, 1 not created, 2 not written (the negated result).
  kOpSaveResult,
  // Whether the player asked for reduced motion, each time the game asks
  // (a flag follows).
  kOpReducedMotion,
  kOpLast = kOpReducedMotion
};

// Limits on values within ops, checked by ReadReplay and by the recorder.
constexpr int kMaxKeyValue = 0x1ff;  // down flag and a hit count
constexpr int kMaxChar = 0x10ffff + 0x10000;
constexpr float kMaxPointer = 1e6f;  // pixels
constexpr std::uint32_t kMaxStateUnits = 1u << 20;
constexpr int kMaxSaveFailure = 2;        // kOpSaveResult's largest code
constexpr std::size_t kMaxRankLine = 64;  // bytes of printable ASCII

// A line the stream can hold as the world rank line.
bool FitsRankLine(const std::string& line);

// Appends ops to an unpacked stream.
class StreamWriter {
 public:
  void Byte(std::uint8_t value) { bytes_.push_back(value); }
  void Unsigned(std::uint64_t value);
  void Signed(std::int64_t value);
  void Word(std::uint32_t value);  // 4 bytes, little-endian
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads an unpacked stream; each read reports false at the end or on a value
// that does not fit.
class StreamReader {
 public:
  StreamReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  std::size_t Position() const { return pos_; }
  bool Byte(std::uint8_t* value);
  bool Unsigned(std::uint64_t* value);
  bool Signed(std::int64_t* value);
  bool Word(std::uint32_t* value);

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A whole file from a header and an unpacked stream.
std::vector<std::uint8_t> WriteReplay(const Header& header, const std::vector<std::uint8_t>& stream);

// A checked file: its header and unpacked stream, or a message that says what
// is wrong with it.
struct Replay {
  Header header;
  std::vector<std::uint8_t> stream;
};
// kAnyRules leaves the rules version to be checked once the game has said
// which it plays (replay::SetRules).
constexpr std::uint16_t kAnyRules = 0;
bool ReadReplay(const std::uint8_t* bytes, std::size_t size, std::uint16_t rulesVersion, Replay* out,
                std::string* error);

// Where each op of a checked stream starts, in order (tests and tools use it
// to find ops); empty for a stream ReadReplay would refuse.
std::vector<std::size_t> OpStarts(const std::vector<std::uint8_t>& stream);

// The LZ coder of the body, exposed for tests: Unpack refuses anything that
// does not give exactly `rawSize` bytes.
std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& raw);
bool Unpack(const std::uint8_t* packed, std::size_t size, std::size_t rawSize, std::vector<std::uint8_t>* out);

// 32-bit FNV-1a, the body's checksum.
std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t size);

}  // namespace replay
