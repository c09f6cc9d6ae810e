// The headless host's graphics device: the same gxtkGraphics and gxtkSurface
// as host/graphics_device.h, without OpenGL. Surfaces keep their decoded
// pixels in memory, so every image the game loads has the size and frames it
// has in a window; drawing changes nothing the game can see and is dropped.
// The window size, the frame counter and pixels read back are answered from
// the replay being re-run (host/replay_tap.h).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/graphics_device.h"
#include "host/replay_tap.h"

FrameRecord::FrameRecord() = default;
FrameRecord::~FrameRecord() = default;

gxtkGraphics::gxtkGraphics() = default;

bool gxtkGraphics::Validate() {
  replay::PlayedSize(&width, &height);
  return width > 0 && height > 0;
}

void gxtkGraphics::BeginRender() {}
bool gxtkGraphics::EndRender() { return true; }
void gxtkGraphics::Flush() {}
void gxtkGraphics::MarkScreenStale() {}
long gxtkGraphics::FramesDrawn() const { return replay::AnswerFramesDrawn(0); }

int gxtkGraphics::Cls(float, float, float) { return 0; }

int gxtkGraphics::SetAlpha(float newAlpha) {
  alpha = newAlpha;
  return 0;
}

int gxtkGraphics::SetColor(float r, float g, float bl) {
  red = r;
  green = g;
  blue = bl;
  return 0;
}

int gxtkGraphics::SetBlend(int) { return 0; }
int gxtkGraphics::SetScissor(int, int, int, int) { return 0; }

int gxtkGraphics::DrawPoint(float, float) { return 0; }
int gxtkGraphics::DrawRect(float, float, float, float) { return 0; }
int gxtkGraphics::DrawLine(float, float, float, float) { return 0; }
int gxtkGraphics::DrawOval(float, float, float, float) { return 0; }
int gxtkGraphics::DrawPoly(Array<float>) { return 0; }
int gxtkGraphics::DrawSurface(gxtkSurface*, float, float) { return 0; }
int gxtkGraphics::DrawSurface2(gxtkSurface*, float, float, int, int, int, int) { return 0; }

int gxtkGraphics::ReadPixels(Array<int> pixels, int, int, int w, int h, int offset, int pitch) {
  if (!PixelRangeFits(pixels.Length(), w, h, offset, pitch)) return 0;
  std::vector<int> answer(static_cast<size_t>(w) * h);
  replay::AnswerPixels(answer);
  for (int row = 0; row < h; ++row) {
    std::copy(&answer[static_cast<size_t>(row) * w], &answer[static_cast<size_t>(row + 1) * w],
              &pixels[offset + row * pitch]);
  }
  return 0;
}

// What a surface shows is never read back from it; only its size counts.
int gxtkGraphics::WritePixels2(gxtkSurface*, Array<int>, int, int, int, int, int, int) { return 0; }

int gxtkSurface::Discard() {
  if (data) {
    unloadImage(data);
    data = nullptr;
  }
  return 0;
}

// Nothing reads a surface's pixels back, so they stay as decoded.
bool gxtkSurface::OnUnsafeLoadComplete() {
  uscale = 1.0f / static_cast<float>(width);
  vscale = 1.0f / static_cast<float>(height);
  return true;
}
