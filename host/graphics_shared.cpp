// The parts of gxtkGraphics and gxtkSurface that the windowed device
// (host/graphics_device.cpp) and the headless one (host/headless_graphics.cpp)
// share: the device's size and matrix, surfaces made from image files or
// empty, and the surface's plain fields. What a surface becomes once its
// pixels are in (OnUnsafeLoadComplete) and how it is let go (Discard) are
// each device's own.
#include "host/graphics_device.h"
#include "host/image_file.h"
#include "runtime/gc.h"

bool PixelRangeFits(int length, int width, int height, int offset, int pitch) {
  if (width <= 0 || height <= 0 || offset < 0) return false;
  const long long first = offset;
  const long long lastRow = first + static_cast<long long>(height - 1) * pitch;
  return lastRow >= 0 && first + width <= length && lastRow + width <= length;
}

int gxtkGraphics::Mode() { return mode; }
int gxtkGraphics::Width() { return width; }
int gxtkGraphics::Height() { return height; }

int gxtkGraphics::SetMatrix(float ma, float mb, float mc, float md, float mtx, float mty) {
  a = ma;
  b = mb;
  c = mc;
  d = md;
  tx = mtx;
  ty = mty;
  transformed = !(a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0);
  return 0;
}

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
  return surface->OnUnsafeLoadComplete() ? surface : nullptr;
}

gxtkSurface::gxtkSurface() : data(nullptr), width(0), height(0), depth(0), texture(0), uscale(0), vscale(0) {}

gxtkSurface::~gxtkSurface() { Discard(); }

int gxtkSurface::Width() { return width; }
int gxtkSurface::Height() { return height; }
int gxtkSurface::Loaded() { return 1; }

void gxtkSurface::SetData(unsigned char* pixels, int w, int h, int bytesPerPixel) {
  data = pixels;
  width = w;
  height = h;
  depth = bytesPerPixel;
}
