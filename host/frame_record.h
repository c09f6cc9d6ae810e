// FrameRecord: what one frame of the graphics device draws, held back from
// OpenGL until the frame ends, and the choice of whether it has to reach the
// screen at all.
//
// The graphics device records its clears, blend and scissor changes and
// finished batches (with their vertices) here instead of calling OpenGL.
// At the end of the frame, Finish compares the record with the one last
// shown: when the commands, their vertices, the window size and every texture
// are the same and nothing has disturbed the window's picture since, the
// frame would put the same pixels on screen, so it is neither drawn nor
// swapped and the window keeps showing the last drawn frame. Otherwise the
// record is replayed into OpenGL and the caller swaps the buffers. A still
// screen thus costs the application's own update and render submission, and
// no rasterising or buffer copy.
//
// Rules for callers: Begin starts each frame; Execute replays what is
// recorded so far whenever OpenGL must already hold it (pixels read back
// mid-frame, a texture about to change or go away); MarkScreenStale is
// called whenever the window's picture may have been lost or changed
// outside the record (an expose or refresh event, a restored window).
// Textures report every change through TexturesChanged, so that a record
// naming the same texture as before never hides a changed picture. Depends on
// OpenGL only; main thread, with the window's context current.
#pragma once

#include <cstdint>
#include <vector>

// One vertex as OpenGL reads it: position, texture coordinate, then the
// colour bytes R, G, B, A in memory order.
struct gxtkVertex {
  float x, y, u, v;
  std::uint32_t color;
};
static_assert(sizeof(gxtkVertex) == 20, "OpenGL reads vertices with a 20-byte stride");

class FrameRecord {
 public:
  FrameRecord();
  ~FrameRecord();
  FrameRecord(const FrameRecord&) = delete;
  FrameRecord& operator=(const FrameRecord&) = delete;

  // Starts recording a frame for a framebuffer of the given size.
  void Begin(int width, int height);

  void Clear(float red, float green, float blue);  // 0..1 per channel
  void Blend(bool additive);
  // `enabled` false: no scissor. Otherwise OpenGL's bottom-left rectangle.
  void Scissor(bool enabled, int x, int y, int width, int height);
  // One OpenGL draw call: `glMode` a primitive mode, `indexed` for quads
  // drawn as index triangles (`count` indices), texture 0 for none.
  void Draw(unsigned glMode, bool indexed, unsigned texture, const gxtkVertex* vertices, int vertexCount, int count);

  // Replays into OpenGL what this frame recorded and has not replayed yet;
  // such a frame is always shown.
  void Execute();

  // Ends the frame: true if it was replayed and must be swapped onto the
  // screen, false if the screen already shows exactly this picture.
  bool Finish();

  // Whether the frame recorded so far would show the same picture as the
  // screen does: the skip rule, asked by Finish.
  bool MatchesScreen() const;

  // The window's picture may no longer be the last drawn frame.
  void MarkScreenStale();

  // Frames replayed and shown since this record was made.
  long FramesDrawn() const { return framesDrawn; }

  // Every texture creation, upload, pixel write and deletion calls this
  // before it touches OpenGL. It replays the frame in progress first, so
  // that earlier draws see the texture as it was.
  static void TexturesChanged();

  // Quad index list the replay uses for indexed draws; set by the device.
  void SetQuadIndices(const std::uint16_t* indices) { quadIndices = indices; }

 private:
  struct Command {
    std::uint32_t kind;
    std::uint32_t glMode;
    std::uint32_t texture;
    std::int32_t first;                // first vertex in the vertex store
    std::int32_t count;                // vertices, or indices when indexed
    std::int32_t x, y, width, height;  // scissor rectangle
    float red, green, blue;            // clear colour
  };

  struct Frame {
    std::vector<Command> commands;
    std::vector<gxtkVertex> vertices;
    int width = 0, height = 0;
    std::uint64_t textureGeneration = 0;  // texture changes counted at Begin
  };

  void Push(const Command& command);
  void SetUpOpenGl() const;
  void ReplayRest();
  void Replay(const Command& command) const;

  Frame recording;
  Frame shown;
  bool shownValid = false;   // `shown` is what the window displays
  bool executedAny = false;  // part of `recording` already reached OpenGL
  std::size_t executed = 0;  // commands of `recording` replayed so far
  const std::uint16_t* quadIndices = nullptr;
  long framesDrawn = 0;
};
