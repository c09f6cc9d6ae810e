#include "host/replay_tap.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "host/input_device.h"

namespace replay {

namespace {

static_assert(gxtkInput::kKeyCount == kInputKeys && gxtkInput::kCharQueueSize == kInputChars &&
                  gxtkInput::kJoyAxisCount == kJoyAxes,
              "the replay stream holds the input table as it is");

enum class Mode { kOff, kRecording, kPlaying };
Mode mode = Mode::kOff;

// Input table, pointer and window size as last recorded or played.
struct InputCopy {
  int keys[kInputKeys] = {};
  int chars[kInputChars] = {};
  int charCount = 0;
  std::uint32_t mouse[2] = {};
  std::uint32_t joy[kJoyAxes] = {};
  int width = 0, height = 0;
};

// Shared by both directions: what the game told the tap.
int rulesVersion = 0;
std::uint64_t (*stateHasher)() = nullptr;
bool quitSeen = false;
Result latest;
RankSource rankSource;
std::string rankLine;  // as the game sees it

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float floatOf(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// ---------------------------------------------------------------- recording

struct Recorder {
  StreamWriter out;
  Sink sink;
  InputCopy input;
  int clock = 0;
  long drawn = 0;
  std::uint32_t updates = 0;
  std::vector<std::vector<int>> pixelAnswers;
  bool endPending = false;
  Result pending;
};
Recorder* recorder = nullptr;

// A clock reading: steps of 0-127 ms are the op byte itself.
void recordClock(long step) {
  if (step >= 0 && step <= kOpClockNear) {
    recorder->out.Byte(static_cast<std::uint8_t>(step));
  } else {
    recorder->out.Byte(kOpClockFar);
    recorder->out.Signed(step);
  }
}

void recordDrawn(long step) {
  if (step == 0 || step == 1) {
    recorder->out.Byte(step == 0 ? kOpDrawnSame : kOpDrawnNext);
  } else {
    recorder->out.Byte(kOpDrawnFar);
    recorder->out.Signed(step);
  }
}

bool wholePixels(const float* position) {
  constexpr float kExact = 1 << 24;  // floats hold every whole number below this
  for (int i = 0; i < 2; ++i) {
    if (position[i] != std::floor(position[i]) || std::fabs(position[i]) >= kExact) return false;
  }
  return true;
}

// The pointer, as whole-pixel steps when it moved between whole pixels.
void recordPointer(const float* position, InputCopy& copy) {
  float previous[2];
  for (int i = 0; i < 2; ++i) previous[i] = floatOf(copy.mouse[i]);
  StreamWriter& out = recorder->out;
  if (wholePixels(previous) && wholePixels(position)) {
    out.Byte(kOpPointerStep);
    for (int i = 0; i < 2; ++i)
      out.Signed(static_cast<std::int64_t>(position[i]) - static_cast<std::int64_t>(previous[i]));
  } else {
    out.Byte(kOpMouse);
    for (int i = 0; i < 2; ++i) out.Word(bitsOf(position[i]));
  }
  for (int i = 0; i < 2; ++i) copy.mouse[i] = bitsOf(position[i]);
}

void recordSize(int width, int height) {
  InputCopy& copy = recorder->input;
  if (width == copy.width && height == copy.height) return;
  copy.width = width;
  copy.height = height;
  recorder->out.Byte(kOpSize);
  recorder->out.Unsigned(static_cast<std::uint64_t>(width));
  recorder->out.Unsigned(static_cast<std::uint64_t>(height));
}

void recordInput(gxtkInput& input) {
  InputCopy& copy = recorder->input;
  StreamWriter& out = recorder->out;
  for (int key = 1; key < kInputKeys; ++key) {
    if (input.keyStates[key] == copy.keys[key]) continue;
    copy.keys[key] = input.keyStates[key];
    out.Byte(kOpKey);
    out.Unsigned(static_cast<std::uint64_t>(key));
    out.Unsigned(static_cast<std::uint64_t>(input.keyStates[key]));
  }
  if (input.charPut > 0) {
    out.Byte(kOpChars);
    out.Unsigned(static_cast<std::uint64_t>(input.charPut));
    for (int i = 0; i < input.charPut; ++i) out.Unsigned(static_cast<std::uint64_t>(input.charQueue[i]));
  }
  // The pointer as the device answers it (a device may place it itself).
  const float pointer[2] = {input.MouseX(), input.MouseY()};
  if (bitsOf(pointer[0]) != copy.mouse[0] || bitsOf(pointer[1]) != copy.mouse[1]) recordPointer(pointer, copy);
  std::uint32_t joy[kJoyAxes];
  for (int i = 0; i < kJoyAxes; ++i) joy[i] = bitsOf(input.joyAxes[i]);
  if (std::memcmp(joy, copy.joy, sizeof joy) != 0) {
    std::memcpy(copy.joy, joy, sizeof joy);
    out.Byte(kOpJoy);
    for (std::uint32_t bits : joy) out.Word(bits);
  }
}

void recordPixels(const std::vector<int>& pixels) {
  std::vector<std::vector<int>>& seen = recorder->pixelAnswers;
  StreamWriter& out = recorder->out;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    if (seen[i] != pixels) continue;
    out.Byte(kOpPixelsAgain);
    out.Unsigned(i);
    return;
  }
  out.Byte(kOpPixels);
  out.Unsigned(pixels.size());
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t run = 1;
    while (i + run < pixels.size() && pixels[i + run] == pixels[i]) ++run;
    out.Unsigned(run);
    out.Word(static_cast<std::uint32_t>(pixels[i]));
    i += run;
  }
  seen.push_back(pixels);
}

// The live rank line, when it changed and the stream can hold it, becomes
// the game's (and is recorded when recording).
void takeRankLine() {
  if (!rankSource) return;
  const std::string live = rankSource();
  if (live == rankLine || !FitsRankLine(live)) return;
  rankLine = live;
  if (mode != Mode::kRecording) return;
  recorder->out.Byte(kOpRankLine);
  recorder->out.Unsigned(live.size());
  for (char c : live) recorder->out.Byte(static_cast<std::uint8_t>(c));
}

// The stream so far, closed, as the file of the game that just ended.
void finishGame() {
  recorder->endPending = false;
  Header header;
  header.rulesVersion = static_cast<std::uint16_t>(rulesVersion);
  header.difficulty = recorder->pending.difficulty;
  header.ending = recorder->pending.ending;
  header.total = static_cast<std::uint32_t>(recorder->pending.total);
  header.rounds = static_cast<std::uint32_t>(recorder->pending.rounds);
  header.updates = recorder->updates;
  std::vector<std::uint8_t> stream = recorder->out.Bytes();
  stream.push_back(kOpEnd);
  if (recorder->sink) recorder->sink(header, WriteReplay(header, stream));
}

// A session longer than a replay may be is no longer recorded: its later
// games are played and scored as ever, without replays.
void stopWhenFull() {
  if (recorder->updates < kMaxUpdates && recorder->out.Size() < kMaxBodyBytes / 2) return;
  delete recorder;
  recorder = nullptr;
  mode = Mode::kOff;
}

// ---------------------------------------------------------------- playing

struct Player {
  Replay replay;
  StreamReader in{nullptr, 0};
  InputCopy input;
  int clock = 0;
  long drawn = 0;
  std::uint64_t updates = 0;
  std::vector<std::size_t> pixelsAt;  // stream positions of the read-backs' counts
};
Player* player = nullptr;

[[noreturn]] void diverged(const std::string& what) {
  throw Failure{kExitDiverged,
                "the re-run left the recording at update " + std::to_string(player->updates) + ": " + what};
}

[[noreturn]] void damaged() {
  throw Failure{kExitBadReplay, "the stream is damaged at update " + std::to_string(player->updates)};
}

std::uint8_t nextOp() {
  std::uint8_t op = 0;
  if (!player->in.Byte(&op)) damaged();
  return op;
}

std::uint64_t nextUnsigned() {
  std::uint64_t value = 0;
  if (!player->in.Unsigned(&value)) damaged();
  return value;
}

std::int64_t nextSigned() {
  std::int64_t value = 0;
  if (!player->in.Signed(&value)) damaged();
  return value;
}

std::uint32_t nextWord() {
  std::uint32_t value = 0;
  if (!player->in.Word(&value)) damaged();
  return value;
}

std::string opName(std::uint8_t op) {
  static const char* const kNames[] = {
      "a far clock reading", "an update",     "a render",     "a frame count", "a frame count",
      "a frame count",       "a window size", "a suspend",    "a resume",      "the start",
      "the saved state",     "a read-back",   "a read-back",  "a key",         "typed characters",
      "the pointer",         "the stick",     "a state hash", "the end",       "the pointer",
      "the world rank line", "a save"};
  if (op <= kOpClockNear) return "a clock reading";
  if (op > kOpLast) return "an unknown op";
  return kNames[op - kOpClockFar];
}

[[noreturn]] void unexpected(const char* wanted, std::uint8_t op) {
  diverged(std::string("the game asked for ") + wanted + " where the recording holds " + opName(op));
}

void playChars() {
  InputCopy& copy = player->input;
  copy.charCount = static_cast<int>(nextUnsigned());
  for (int i = 0; i < copy.charCount; ++i) copy.chars[i] = static_cast<int>(nextUnsigned());
}

void playRankLine() {
  const std::uint64_t length = nextUnsigned();
  rankLine.clear();
  for (std::uint64_t i = 0; i < length; ++i) {
    std::uint8_t byte = 0;
    if (!player->in.Byte(&byte)) damaged();
    rankLine.push_back(static_cast<char>(byte));
  }
}

void playCheck() {
  const std::uint32_t recorded = nextWord();
  if (stateHasher && static_cast<std::uint32_t>(stateHasher()) != recorded) diverged("the game's state differs");
}

// Takes up one op that comes before a call into the game; false for a call.
bool playInputOp(std::uint8_t op) {
  InputCopy& copy = player->input;
  switch (op) {
    case kOpSize:
      copy.width = static_cast<int>(nextUnsigned());
      copy.height = static_cast<int>(nextUnsigned());
      return true;
    case kOpKey: {
      const std::uint64_t key = nextUnsigned();
      copy.keys[key] = static_cast<int>(nextUnsigned());
      return true;
    }
    case kOpChars: playChars(); return true;
    case kOpMouse:
      for (std::uint32_t& bits : copy.mouse) bits = nextWord();
      return true;
    case kOpPointerStep:
      for (std::uint32_t& bits : copy.mouse) bits = bitsOf(floatOf(bits) + static_cast<float>(nextSigned()));
      return true;
    case kOpJoy:
      for (std::uint32_t& bits : copy.joy) bits = nextWord();
      return true;
    case kOpCheck: playCheck(); return true;
    case kOpRankLine: playRankLine(); return true;
    default: return false;
  }
}

void fillPixels(StreamReader in, std::vector<int>& pixels) {
  std::uint64_t count = 0;
  in.Unsigned(&count);
  if (count != pixels.size()) diverged("a read-back of another size");
  for (std::size_t done = 0; done < count;) {
    std::uint64_t run = 0;
    std::uint32_t pixel = 0;
    if (!in.Unsigned(&run) || !in.Word(&pixel) || run > count - done) damaged();
    for (std::uint64_t i = 0; i < run; ++i) pixels[done++] = static_cast<int>(pixel);
  }
}

void skipPixels() {
  const std::uint64_t count = nextUnsigned();
  for (std::uint64_t done = 0; done < count;) {
    done += nextUnsigned();
    nextWord();
  }
}

}  // namespace

bool Recording() { return mode == Mode::kRecording; }
bool Playing() { return mode == Mode::kPlaying; }

void StartRecording(Sink sink) {
  recorder = new Recorder();
  recorder->sink = std::move(sink);
  rankLine.clear();
  mode = Mode::kRecording;
}

std::size_t RecordedBytes() { return recorder ? recorder->out.Size() : 0; }

void StartPlaying(Replay replay) {
  player = new Player();
  player->replay = std::move(replay);
  player->in = StreamReader(player->replay.stream.data(), player->replay.stream.size());
  rankLine.clear();  // a recording starts at program start, before any answer
  mode = Mode::kPlaying;
}

std::uint64_t UpdatesRun() { return player ? player->updates : 0; }
void Diverged(const std::string& what) { diverged(what); }
const Header& PlayedHeader() { return player->replay.header; }

Step NextStep() {
  for (;;) {
    const std::uint8_t op = nextOp();
    if (playInputOp(op)) continue;
    switch (op) {
      case kOpUpdate: return Step::kUpdate;
      case kOpRender: return Step::kRender;
      case kOpSuspend: return Step::kSuspend;
      case kOpResume: return Step::kResume;
      case kOpCreate: return Step::kCreate;
      case kOpEnd: return Step::kEnd;
      default: diverged("the recording holds " + opName(op) + " that the game did not ask for");
    }
  }
}

int AnswerClock(int liveMs) {
  if (mode == Mode::kRecording) {
    recordClock(static_cast<long>(liveMs) - recorder->clock);
    recorder->clock = liveMs;
    return liveMs;
  }
  if (mode != Mode::kPlaying) return liveMs;
  const std::uint8_t op = nextOp();
  if (op <= kOpClockNear) {
    player->clock += op;
  } else if (op == kOpClockFar) {
    player->clock = static_cast<int>(player->clock + nextSigned());
  } else {
    unexpected("the clock", op);
  }
  return player->clock;
}

long AnswerFramesDrawn(long live) {
  if (mode == Mode::kRecording) {
    recordDrawn(live - recorder->drawn);
    recorder->drawn = live;
    return live;
  }
  if (mode != Mode::kPlaying) return live;
  const std::uint8_t op = nextOp();
  if (op == kOpDrawnNext) {
    player->drawn += 1;
  } else if (op == kOpDrawnFar) {
    player->drawn += static_cast<long>(nextSigned());
  } else if (op != kOpDrawnSame) {
    unexpected("the frame count", op);
  }
  return player->drawn;
}

String AnswerState(const std::function<String()>& load) {
  if (mode != Mode::kPlaying) {
    String state = load();
    if (mode == Mode::kRecording) {
      recorder->out.Byte(kOpState);
      recorder->out.Unsigned(static_cast<std::uint64_t>(state.Length()));
      for (int i = 0; i < state.Length(); ++i) recorder->out.Unsigned(state[i]);
    }
    return state;
  }
  const std::uint8_t op = nextOp();
  if (op != kOpState) unexpected("the saved state", op);
  const int units = static_cast<int>(nextUnsigned());
  String::Rep* text = String::Rep::alloc(units);
  String state(text);  // owns the block from here on, whatever is thrown below
  for (int i = 0; i < units; ++i) text->data()[i] = static_cast<std::uint16_t>(nextUnsigned());
  return state;
}

int AnswerSave(const std::function<int()>& save) {
  if (mode != Mode::kPlaying) {
    const int result = save();
    if (mode == Mode::kRecording) {
      recorder->out.Byte(kOpSaveResult);
      recorder->out.Unsigned(static_cast<std::uint64_t>(-result));
    }
    return result;
  }
  if (player->replay.header.formatVersion < kSaveResultsFrom) return 0;  // every save succeeded then
  const std::uint8_t op = nextOp();
  if (op != kOpSaveResult) unexpected("a save", op);
  return -static_cast<int>(nextUnsigned());
}

bool AnswerReducedMotion(bool live) {
  if (mode != Mode::kPlaying) {
    if (mode == Mode::kRecording) {
      recorder->out.Byte(kOpReducedMotion);
      recorder->out.Unsigned(live ? 1 : 0);
    }
    return live;
  }
  if (player->replay.header.formatVersion < kSaveResultsFrom) return false;  // full motion then
  const std::uint8_t op = nextOp();
  if (op != kOpReducedMotion) unexpected("the reduced-motion answer", op);
  return nextUnsigned() != 0;
}

void AnswerPixels(std::vector<int>& pixels) {
  if (mode == Mode::kRecording) recordPixels(pixels);
  if (mode != Mode::kPlaying) return;
  const std::uint8_t op = nextOp();
  if (op == kOpPixels) {
    player->pixelsAt.push_back(player->in.Position());
    fillPixels(player->in, pixels);
    skipPixels();
  } else if (op == kOpPixelsAgain) {
    const std::uint64_t index = nextUnsigned();
    if (index >= player->pixelsAt.size()) damaged();
    const std::vector<std::uint8_t>& stream = player->replay.stream;
    const std::size_t at = player->pixelsAt[index];
    fillPixels(StreamReader(stream.data() + at, stream.size() - at), pixels);
  } else {
    unexpected("pixels", op);
  }
}

void PlayedSize(int* width, int* height) {
  *width = player->input.width;
  *height = player->input.height;
}

void SetRankSource(RankSource source) { rankSource = std::move(source); }
const std::string& AnswerRankLine() { return rankLine; }

void OnCreate() {
  if (mode == Mode::kRecording) recorder->out.Byte(kOpCreate);
}

void OnUpdate(gxtkInput& input, int width, int height) {
  if (mode != Mode::kPlaying) takeRankLine();
  if (mode == Mode::kRecording) {
    recordSize(width, height);
    recordInput(input);
    recorder->out.Byte(kOpUpdate);
    return;
  }
  if (mode != Mode::kPlaying) return;
  const InputCopy& copy = player->input;
  std::memcpy(input.keyStates, copy.keys, sizeof copy.keys);
  std::memcpy(input.charQueue, copy.chars, sizeof copy.chars);
  input.charPut = copy.charCount;
  input.charGet = 0;
  input.mouseX = floatOf(copy.mouse[0]);
  input.mouseY = floatOf(copy.mouse[1]);
  for (int i = 0; i < kJoyAxes; ++i) input.joyAxes[i] = floatOf(copy.joy[i]);
  player->input.charCount = 0;
}

void AfterUpdate() {
  if (mode == Mode::kPlaying) {
    ++player->updates;
    return;
  }
  if (mode != Mode::kRecording) return;
  if (++recorder->updates % kCheckpointUpdates == 0 && stateHasher) {
    recorder->out.Byte(kOpCheck);
    recorder->out.Word(static_cast<std::uint32_t>(stateHasher()));
  }
  if (recorder->endPending) finishGame();
  stopWhenFull();
}

void OnRender(int width, int height) {
  if (mode != Mode::kRecording) return;
  recordSize(width, height);
  recorder->out.Byte(kOpRender);
}

void OnSuspend() {
  if (mode == Mode::kRecording) recorder->out.Byte(kOpSuspend);
}

void OnResume() {
  if (mode == Mode::kRecording) recorder->out.Byte(kOpResume);
}

void SetRules(int version, std::uint64_t (*stateHash)()) {
  rulesVersion = version;
  stateHasher = stateHash;
  const int recorded = player ? player->replay.header.rulesVersion : version;
  if (recorded != version) {
    throw Failure{kExitBadReplay, "the replay was recorded under rules version " + std::to_string(recorded) +
                                      "; this build plays rules version " + std::to_string(version) +
                                      " and cannot re-run it"};
  }
}

int RulesVersion() { return rulesVersion; }
std::uint64_t StateHash() { return stateHasher ? stateHasher() : 0; }

void GameBegins() { quitSeen = false; }
void GameQuit() { quitSeen = true; }

void GameEnds(int difficulty, int total, int rounds) {
  latest = Result{true, difficulty, total, rounds, quitSeen ? Ending::kQuit : Ending::kTime};
  if (mode != Mode::kRecording) return;
  recorder->endPending = true;
  recorder->pending = latest;
}

Result LastResult() { return latest; }

}  // namespace replay
