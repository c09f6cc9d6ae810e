// The batched OpenGL renderer and its texture surfaces (see graphics_device.h).
#include "host/graphics_device.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "host/replay_tap.h"
#include "host/window.h"

namespace graphics_seams {
long drawCalls = 0;
int lastDrawMode = 0;
int lastDrawCount = 0;
bool refuseNonPow2 = false;
}  // namespace graphics_seams

namespace {

// Primitives per batch: each capacity fills the 1024 vertices.
constexpr int kPointCapacity = gxtkGraphics::kMaxVertices;
constexpr int kLineCapacity = gxtkGraphics::kMaxVertices / 2;
constexpr int kQuadCapacity = gxtkGraphics::kMaxQuads;

constexpr float kTwoPi = 6.2831855f;  // single precision, as the segment angles use
constexpr int kMinOvalSegments = 12;  // keeps tiny and zero-size ovals round-ish
constexpr int kMaxOvalSegments = gxtkGraphics::kMaxVertices;

constexpr int kAdditiveBlend = 1;

int capacityOf(int kind) {
  switch (kind) {
    case gxtkGraphics::kPoints: return kPointCapacity;
    case gxtkGraphics::kLines: return kLineCapacity;
    default: return kQuadCapacity;
  }
}

int verticesPer(int kind) {
  switch (kind) {
    case gxtkGraphics::kPoints: return 1;
    case gxtkGraphics::kLines: return 2;
    default: return 4;
  }
}

// A colour byte: trunc(value), kept within 0..255 so that out-of-range input
// saturates instead of spilling into the neighbouring channel.
std::uint32_t colorByte(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<std::uint32_t>(value);
}

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

void countDrawCall(GLenum drawMode, int count) {
  ++graphics_seams::drawCalls;
  graphics_seams::lastDrawMode = static_cast<int>(drawMode);
  graphics_seams::lastDrawCount = count;
}

void drainGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

// Allocates level 0 of the bound texture; answers whether OpenGL took it.
bool allocateTexture(GLenum format, int width, int height) {
  drainGlErrors();
  glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
  return glGetError() == GL_NO_ERROR;
}

// Premultiplies 0xAARRGGBB source pixels into RGBA bytes. Pixels cross into
// and out of OpenGL as RGBA, the one byte order that WebGL also accepts.
void premultiplyArgbRow(const int* source, int count, unsigned char* out) {
  for (int i = 0; i < count; ++i) {
    const std::uint32_t argb = static_cast<std::uint32_t>(source[i]);
    const std::uint32_t alphaByte = argb >> 24;
    out[4 * i + 0] = static_cast<unsigned char>(((argb >> 16) & 0xff) * alphaByte / 255);
    out[4 * i + 1] = static_cast<unsigned char>(((argb >> 8) & 0xff) * alphaByte / 255);
    out[4 * i + 2] = static_cast<unsigned char>((argb & 0xff) * alphaByte / 255);
    out[4 * i + 3] = static_cast<unsigned char>(alphaByte);
  }
}

// Reads a block of the frame buffer (bottom-left origin) as 0xAARRGGBB
// pixels, top row first.
void readFrameBuffer(int x, int y, int w, int h, int* out) {
  std::vector<unsigned char> block(static_cast<size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, block.data());
  // OpenGL's rows run bottom-up; row 0 of the result is the top row.
  for (int row = 0; row < h; ++row) {
    const unsigned char* source = &block[static_cast<size_t>(h - 1 - row) * w * 4];
    int* target = out + static_cast<size_t>(row) * w;
    for (int i = 0; i < w; ++i) {
      const unsigned char* px = source + 4 * i;
      target[i] = static_cast<int>(static_cast<std::uint32_t>(px[2]) | px[1] << 8 | px[0] << 16 |
                                   static_cast<std::uint32_t>(px[3]) << 24);
    }
  }
}

}  // namespace

int Pow2Size(int n) {
  int size = 1;
  while (size < n && size < (1 << 30)) size *= 2;
  return size;
}

// ---------------------------------------------------------------------------
// gxtkGraphics

gxtkGraphics::gxtkGraphics() {
  for (int q = 0; q < kMaxQuads; ++q) {
    const auto first = static_cast<std::uint16_t>(4 * q);
    std::uint16_t* index = &quadIndices[6 * q];
    index[0] = first;
    index[1] = static_cast<std::uint16_t>(first + 1);
    index[2] = static_cast<std::uint16_t>(first + 2);
    index[3] = first;
    index[4] = static_cast<std::uint16_t>(first + 2);
    index[5] = static_cast<std::uint16_t>(first + 3);
  }
  frame.SetQuadIndices(quadIndices);
}

bool gxtkGraphics::Validate() {
  width = height = 0;
  if (replay::Playing()) {  // a replay is drawn at the size it was recorded at
    replay::PlayedSize(&width, &height);
    return width > 0 && height > 0;
  }
  GLFWwindow* window = glfwGetCurrentContext();
  if (window == hostwin::Handle()) {
    hostwin::GetSize(&width, &height);  // the program's window: kept current by its events
  } else if (window) {
    glfwGetFramebufferSize(window, &width, &height);
  }
  return width > 0 && height > 0;
}

// The frame's OpenGL set-up (viewport, projection, arrays, blending) is part
// of the record's replay: a frame that is not drawn touches no OpenGL state.
void gxtkGraphics::BeginRender() {
  if (!mode) return;
  frame.Begin(width, height);
  primCount = 0;
}

bool gxtkGraphics::EndRender() {
  if (mode && primCount > 0) EndBatch();
  if (!frame.Finish()) return false;
  if (GLFWwindow* window = glfwGetCurrentContext()) glfwSwapBuffers(window);
  return true;
}

void gxtkGraphics::Flush() {
  EndBatch();
  frame.Execute();
}

void gxtkGraphics::MarkScreenStale() { frame.MarkScreenStale(); }

long gxtkGraphics::FramesDrawn() const { return replay::AnswerFramesDrawn(frame.FramesDrawn()); }

// Hands the pending batch to the frame record as one draw call.
void gxtkGraphics::EndBatch() {
  if (primCount <= 0) return;
  const unsigned texture = primSurf ? primSurf->texture : 0;
  switch (primType) {
    case kPoints:
      frame.Draw(GL_POINTS, false, texture, vertices, primCount, primCount);
      countDrawCall(GL_POINTS, primCount);
      break;
    case kLines:
      frame.Draw(GL_LINES, false, texture, vertices, 2 * primCount, 2 * primCount);
      countDrawCall(GL_LINES, 2 * primCount);
      break;
    case kQuads:
      frame.Draw(GL_TRIANGLES, true, texture, vertices, 4 * primCount, 6 * primCount);
      countDrawCall(GL_TRIANGLES, 6 * primCount);
      break;
    case kPolygon:
      frame.Draw(GL_TRIANGLE_FAN, false, texture, vertices, primCount, primCount);
      countDrawCall(GL_TRIANGLE_FAN, primCount);
      break;
  }
  primCount = 0;
}

void gxtkGraphics::UpdateColor() {
  color = colorByte(red * alpha) | colorByte(green * alpha) << 8 | colorByte(blue * alpha) << 16 |
          colorByte(255.0f * alpha) << 24;
}

int gxtkGraphics::SetColor(float r, float g, float b) {
  red = r;
  green = g;
  blue = b;
  UpdateColor();
  return 0;
}

int gxtkGraphics::SetAlpha(float newAlpha) {
  alpha = newAlpha;
  UpdateColor();
  return 0;
}

int gxtkGraphics::SetBlend(int blend) {
  EndBatch();
  frame.Blend(blend == kAdditiveBlend);
  return 0;
}

int gxtkGraphics::SetScissor(int x, int y, int w, int h) {
  EndBatch();
  const bool whole = x == 0 && y == 0 && w == Width() && h == Height();
  frame.Scissor(!whole, x, Height() - y - h, w, h);
  return 0;
}

int gxtkGraphics::Cls(float r, float g, float b) {
  primCount = 0;  // whatever was still batched never reaches the screen
  frame.Clear(r / 255.0f, g / 255.0f, b / 255.0f);
  return 0;
}

// Makes room for one primitive of `kind` with `surface`, flushing first when
// the batch holds another kind or texture or is full; answers where its
// vertices go.
gxtkVertex* gxtkGraphics::Reserve(int kind, gxtkSurface* surface, int vertexCount) {
  if (primType != kind || primSurf != surface || primCount >= capacityOf(kind)) {
    if (primCount > 0) EndBatch();
    primType = kind;
    primSurf = surface;
  }
  gxtkVertex* first = &vertices[primCount * vertexCount];
  ++primCount;
  return first;
}

void gxtkGraphics::PutVertex(gxtkVertex* vertex, float x, float y, float u, float v) const {
  if (transformed) {
    vertex->x = a * x + c * y + tx;
    vertex->y = b * x + d * y + ty;
  } else {
    vertex->x = x;
    vertex->y = y;
  }
  vertex->u = u;
  vertex->v = v;
  vertex->color = color;
}

int gxtkGraphics::DrawPoint(float x, float y) {
  PutVertex(Reserve(kPoints, nullptr, verticesPer(kPoints)), x, y, 0, 0);
  return 0;
}

int gxtkGraphics::DrawLine(float x1, float y1, float x2, float y2) {
  gxtkVertex* v = Reserve(kLines, nullptr, verticesPer(kLines));
  PutVertex(v, x1, y1, 0, 0);
  PutVertex(v + 1, x2, y2, 0, 0);
  return 0;
}

int gxtkGraphics::DrawRect(float x, float y, float w, float h) {
  gxtkVertex* v = Reserve(kQuads, nullptr, verticesPer(kQuads));
  PutVertex(v, x, y, 0, 0);
  PutVertex(v + 1, x + w, y, 0, 0);
  PutVertex(v + 2, x + w, y + h, 0, 0);
  PutVertex(v + 3, x, y + h, 0, 0);
  return 0;
}

int gxtkGraphics::DrawSurface(gxtkSurface* surface, float x, float y) {
  const float w = static_cast<float>(surface->Width());
  const float h = static_cast<float>(surface->Height());
  const float u = w * surface->uscale;
  const float v = h * surface->vscale;
  gxtkVertex* out = Reserve(kQuads, surface, verticesPer(kQuads));
  PutVertex(out, x, y, 0, 0);
  PutVertex(out + 1, x + w, y, u, 0);
  PutVertex(out + 2, x + w, y + h, u, v);
  PutVertex(out + 3, x, y + h, 0, v);
  return 0;
}

int gxtkGraphics::DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch) {
  const float uLeft = srcx * surface->uscale;
  const float uRight = (srcx + srcw) * surface->uscale;
  const float vTop = srcy * surface->vscale;
  const float vBottom = (srcy + srch) * surface->vscale;
  const float w = static_cast<float>(srcw);
  const float h = static_cast<float>(srch);
  gxtkVertex* out = Reserve(kQuads, surface, verticesPer(kQuads));
  PutVertex(out, x, y, uLeft, vTop);
  PutVertex(out + 1, x + w, y, uRight, vTop);
  PutVertex(out + 2, x + w, y + h, uRight, vBottom);
  PutVertex(out + 3, x, y + h, uLeft, vBottom);
  return 0;
}

// Polygons and ovals are drawn at once from the start of the vertex array,
// never sharing a batch.
void gxtkGraphics::DrawFan(int vertexCount) {
  primType = kPolygon;
  primSurf = nullptr;
  primCount = vertexCount;
  EndBatch();
}

int gxtkGraphics::DrawPoly(Array<float> verts) {
  const int n = verts.Length() / 2;
  if (n < 3 || n > kMaxVertices) return 0;
  if (primCount > 0) EndBatch();
  for (int i = 0; i < n; ++i) PutVertex(&vertices[i], verts[2 * i], verts[2 * i + 1], 0, 0);
  DrawFan(n);
  return 0;
}

int gxtkGraphics::DrawOval(float x, float y, float w, float h) {
  if (primCount > 0) EndBatch();
  const float xr = w * 0.5f;
  const float yr = h * 0.5f;

  // Segments follow the on-screen size of the radii. Worked out in float and
  // clamped before converting, so that huge or non-finite sizes stay defined.
  float segments;
  if (transformed) {
    segments = std::fabs(xr) * std::sqrt(a * a + b * b) + std::fabs(yr) * std::sqrt(c * c + d * d);
  } else {
    segments = std::fabs(std::trunc(xr)) + std::fabs(std::trunc(yr));
  }
  int n;
  if (!(segments >= kMinOvalSegments)) {
    n = kMinOvalSegments;
  } else if (segments > kMaxOvalSegments) {
    n = kMaxOvalSegments;
  } else {
    n = static_cast<int>(segments) & ~3;
  }

  const float cx = x + xr;
  const float cy = y + yr;
  for (int i = 0; i < n; ++i) {
    const float angle = static_cast<float>(i) * kTwoPi / static_cast<float>(n);
    PutVertex(&vertices[i], xr * std::cos(angle) + cx, cy - yr * std::sin(angle), 0, 0);
  }
  DrawFan(n);
  return 0;
}

int gxtkGraphics::ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch) {
  Flush();
  if (!PixelRangeFits(pixels.Length(), w, h, offset, pitch)) return 0;
  // What a GPU reads back is the host's answer: a replay keeps it.
  std::vector<int> answer(static_cast<size_t>(w) * h);
  if (!replay::Playing()) readFrameBuffer(x, Height() - y - h, w, h, answer.data());
  replay::AnswerPixels(answer);
  for (int row = 0; row < h; ++row) {
    std::copy(&answer[static_cast<size_t>(row) * w], &answer[static_cast<size_t>(row + 1) * w],
              &pixels[offset + row * pitch]);
  }
  return 0;
}

int gxtkGraphics::WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h, int offset,
                               int pitch) {
  Flush();
  if (!surface || !surface->texture) return 0;
  if (!PixelRangeFits(pixels.Length(), w, h, offset, pitch)) return 0;
  FrameRecord::TexturesChanged();
  std::vector<unsigned char> block(static_cast<size_t>(w) * h * 4);
  for (int row = 0; row < h; ++row) {
    premultiplyArgbRow(&pixels[offset + row * pitch], w, &block[static_cast<size_t>(row) * w * 4]);
  }
  glBindTexture(GL_TEXTURE_2D, surface->texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, block.data());
  return 0;
}

// ---------------------------------------------------------------------------
// gxtkSurface

int gxtkSurface::Discard() {
  if (texture) {
    FrameRecord::TexturesChanged();
    const GLuint name = texture;
    glDeleteTextures(1, &name);
    texture = 0;
  }
  if (data) {
    unloadImage(data);
    data = nullptr;
  }
  return 0;
}

bool gxtkSurface::OnUnsafeLoadComplete() {
  GLenum format;
  switch (depth) {
    case 1: format = GL_LUMINANCE; break;
    case 2: format = GL_LUMINANCE_ALPHA; break;
    case 3: format = GL_RGB; break;
    case 4: format = GL_RGBA; break;
    default: std::exit(-1);  // no decoder yields this: a broken caller
  }
  if (data) PremultiplyPixels(data, width, height, depth);

  FrameRecord::TexturesChanged();
  GLuint name = 0;
  glGenTextures(1, &name);
  texture = name;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  // The exact size first; drivers without non-power-of-two textures refuse
  // it, and then the image goes into the top-left corner of a larger one.
  int textureWidth = width, textureHeight = height;
  const bool exactRefused = graphics_seams::refuseNonPow2 && !(isPowerOfTwo(width) && isPowerOfTwo(height));
  if (exactRefused || !allocateTexture(format, width, height)) {
    textureWidth = Pow2Size(width);
    textureHeight = Pow2Size(height);
    if (!allocateTexture(format, textureWidth, textureHeight)) {
      Discard();
      return false;
    }
  }
  if (data) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, data);
    unloadImage(data);
    data = nullptr;
  }
  uscale = 1.0f / static_cast<float>(textureWidth);
  vscale = 1.0f / static_cast<float>(textureHeight);
  return true;
}
