// Recording, comparing and replaying one frame (see frame_record.h).
#include "host/frame_record.h"

#include <GLFW/glfw3.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace {

enum CommandKind : std::uint32_t { kClear = 1, kBlend, kScissor, kDraw, kDrawIndexed };

// Counts texture changes over the program's life; a frame records the count
// it started with, so a changed texture never matches an older frame.
std::uint64_t textureGeneration = 0;

// The record of the frame in progress, if any: texture changes replay it
// before they happen.
FrameRecord* active = nullptr;

// Commands are plain 32-bit fields without padding, so comparing their bytes
// compares every parameter.
template <typename T>
bool sameBytes(const std::vector<T>& left, const std::vector<T>& right) {
  return left.size() == right.size() &&
         (left.empty() || std::memcmp(left.data(), right.data(), left.size() * sizeof(T)) == 0);
}

}  // namespace

FrameRecord::FrameRecord() = default;

FrameRecord::~FrameRecord() {
  if (active == this) active = nullptr;
}

void FrameRecord::Begin(int width, int height) {
  recording.commands.clear();
  recording.vertices.clear();
  recording.width = width;
  recording.height = height;
  recording.textureGeneration = textureGeneration;
  executed = 0;
  executedAny = false;
  active = this;
}

void FrameRecord::Push(const Command& command) { recording.commands.push_back(command); }

void FrameRecord::Clear(float red, float green, float blue) {
  Command command{};
  command.kind = kClear;
  command.red = red;
  command.green = green;
  command.blue = blue;
  Push(command);
}

void FrameRecord::Blend(bool additive) {
  Command command{};
  command.kind = kBlend;
  command.glMode = additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA;
  Push(command);
}

void FrameRecord::Scissor(bool enabled, int x, int y, int width, int height) {
  Command command{};
  command.kind = kScissor;
  command.glMode = enabled ? 1 : 0;
  if (enabled) {
    command.x = x;
    command.y = y;
    command.width = width;
    command.height = height;
  }
  Push(command);
}

void FrameRecord::Draw(unsigned glMode, bool indexed, unsigned texture, const gxtkVertex* vertices, int vertexCount,
                       int count) {
  Command command{};
  command.kind = indexed ? kDrawIndexed : kDraw;
  command.glMode = glMode;
  command.texture = texture;
  command.first = static_cast<std::int32_t>(recording.vertices.size());
  command.count = count;
  recording.vertices.insert(recording.vertices.end(), vertices, vertices + vertexCount);
  Push(command);
}

// The fixed state every frame starts from; the commands change only blend,
// scissor and texturing from here.
void FrameRecord::SetUpOpenGl() const {
  glViewport(0, 0, recording.width, recording.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, recording.width, recording.height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_SCISSOR_TEST);
}

void FrameRecord::Replay(const Command& command) const {
  switch (command.kind) {
    case kClear:
      glClearColor(command.red, command.green, command.blue, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      return;
    case kBlend: glBlendFunc(GL_ONE, command.glMode); return;
    case kScissor:
      if (command.glMode == 0) {
        glDisable(GL_SCISSOR_TEST);
      } else {
        glEnable(GL_SCISSOR_TEST);
        glScissor(command.x, command.y, command.width, command.height);
      }
      return;
    default: break;
  }
  // The vertex store may have moved since an earlier draw: point the arrays
  // at this draw's own vertices.
  const char* base = reinterpret_cast<const char*>(&recording.vertices[command.first]);
  glVertexPointer(2, GL_FLOAT, sizeof(gxtkVertex), base + offsetof(gxtkVertex, x));
  glTexCoordPointer(2, GL_FLOAT, sizeof(gxtkVertex), base + offsetof(gxtkVertex, u));
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(gxtkVertex), base + offsetof(gxtkVertex, color));
  if (command.texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, command.texture);
  }
  if (command.kind == kDrawIndexed) {
    glDrawElements(command.glMode, command.count, GL_UNSIGNED_SHORT, quadIndices);
  } else {
    glDrawArrays(command.glMode, 0, command.count);
  }
  if (command.texture) glDisable(GL_TEXTURE_2D);
}

void FrameRecord::ReplayRest() {
  if (!executedAny) SetUpOpenGl();
  executedAny = true;
  for (; executed < recording.commands.size(); ++executed) Replay(recording.commands[executed]);
}

void FrameRecord::Execute() {
  if (executed < recording.commands.size()) ReplayRest();
}

bool FrameRecord::MatchesScreen() const {
  return shownValid && recording.width == shown.width && recording.height == shown.height &&
         recording.textureGeneration == textureGeneration && shown.textureGeneration == textureGeneration &&
         sameBytes(recording.commands, shown.commands) && sameBytes(recording.vertices, shown.vertices);
}

bool FrameRecord::Finish() {
  if (active == this) active = nullptr;
  if (!executedAny && MatchesScreen()) return false;
  ReplayRest();
  std::swap(recording, shown);  // both keep their capacity: no allocation once warm
  shownValid = true;
  ++framesDrawn;
  return true;
}

void FrameRecord::MarkScreenStale() { shownValid = false; }

void FrameRecord::TexturesChanged() {
  if (active) active->Execute();
  ++textureGeneration;
}
