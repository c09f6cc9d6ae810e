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

namespace {

bool pixelRangeFits(int length, int width, int height, int offset, int pitch) {
  if (width <= 0 || height <= 0 || offset < 0) return false;
  const long long first = offset;
  const long long lastRow = first + static_cast<long long>(height - 1) * pitch;
  return lastRow >= 0 && first + width <= length && lastRow + width <= length;
}

}  // namespace

FrameRecord::FrameRecord() = default;
FrameRecord::~FrameRecord() = default;

gxtkGraphics::gxtkGraphics()
    : mode(1),
      width(0),
      height(0),
      color(0xffffffffu),
      red(255),
      green(255),
      blue(255),
      alpha(1),
      a(1),
      b(0),
      c(0),
      d(1),
      tx(0),
      ty(0),
      transformed(false),
      vertices(),
      quadIndices(),
      primType(0),
      primCount(0),
      primSurf(nullptr) {}

int gxtkGraphics::Mode() { return mode; }
int gxtkGraphics::Width() { return width; }
int gxtkGraphics::Height() { return height; }

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

int gxtkGraphics::SetMatrix(float ma, float mb, float mc, float md, float mtx, float mty) {
  a = ma;
  b = mb;
  c = mc;
  d = md;
  tx = mtx;
  ty = mty;
  return 0;
}

int gxtkGraphics::DrawPoint(float, float) { return 0; }
int gxtkGraphics::DrawRect(float, float, float, float) { return 0; }
int gxtkGraphics::DrawLine(float, float, float, float) { return 0; }
int gxtkGraphics::DrawOval(float, float, float, float) { return 0; }
int gxtkGraphics::DrawPoly(Array<float>) { return 0; }
int gxtkGraphics::DrawSurface(gxtkSurface*, float, float) { return 0; }
int gxtkGraphics::DrawSurface2(gxtkSurface*, float, float, int, int, int, int) { return 0; }

int gxtkGraphics::ReadPixels(Array<int> pixels, int, int, int w, int h, int offset, int pitch) {
  if (!pixelRangeFits(pixels.Length(), w, h, offset, pitch)) return 0;
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

gxtkSurface* gxtkGraphics::LoadSurface(String path) {
  gxtkSurface* surface = new gxtkSurface();
  if (!LoadSurface__UNSAFE__(surface, path)) return nullptr;
  return surface->OnUnsafeLoadComplete() ? surface : nullptr;
}

gxtkSurface* gxtkGraphics::LoadSurface__UNSAFE__(gxtkSurface* surface, String path) {
  int w = 0, h = 0, depth = 0;
  unsigned char* pixels = loadImage(path, &w, &h, &depth);
  if (!pixels) return nullptr;
  surface->SetData(pixels, w, h, depth);
  gc_force_sweep = 1;  // the pixels are large: let a discarded surface go soon
  return surface;
}

gxtkSurface* gxtkGraphics::CreateSurface(int w, int h) {
  if (w <= 0 || h <= 0) return nullptr;
  gxtkSurface* surface = new gxtkSurface();
  surface->SetData(nullptr, w, h, 4);
  return surface;
}

gxtkSurface::gxtkSurface() : data(nullptr), width(0), height(0), depth(0), texture(0), uscale(0), vscale(0) {}
gxtkSurface::~gxtkSurface() { Discard(); }

int gxtkSurface::Discard() {
  if (data) {
    unloadImage(data);
    data = nullptr;
  }
  return 0;
}

int gxtkSurface::Width() { return width; }
int gxtkSurface::Height() { return height; }
int gxtkSurface::Loaded() { return 1; }

void gxtkSurface::SetData(unsigned char* pixels, int w, int h, int bytesPerPixel) {
  data = pixels;
  width = w;
  height = h;
  depth = bytesPerPixel;
}

// Nothing reads a surface's pixels back, so they stay as decoded.
bool gxtkSurface::OnUnsafeLoadComplete() {
  uscale = 1.0f / static_cast<float>(width);
  vscale = 1.0f / static_cast<float>(height);
  return true;
}
