// The graphics device: a 2-D renderer on fixed-function OpenGL 1.x, and the
// texture surfaces it draws.
//
// gxtkGraphics draws points, lines, rectangles, ovals, convex polygons and
// textured quads in top-left-origin pixels under a colour, alpha, blend mode,
// scissor rectangle and 2-D affine matrix. Primitives of one kind and texture
// are collected in one vertex array and become one OpenGL call; every vertex
// carries its own premultiplied colour and is transformed on the CPU, so
// colour and matrix changes never break a batch. A frame's batches, clears and
// state changes go to its FrameRecord (host/frame_record.h) and reach OpenGL
// at EndRender, and only when the frame differs from the one on screen. gxtkSurface is a texture
// made from an image file (host/image_file.h) or created empty; its pixels
// are premultiplied by alpha on upload.
//
// Depends on runtime/ (collected objects, strings), host/image_file.h
// (decoding), OpenGL and GLFW. Callers keep to these rules: everything runs
// on the main thread while the window's OpenGL context is current (the device
// draws into, and measures, the window whose context is current); drawing
// happens between BeginRender and EndRender; the collector runs only after
// EndRender, so no pending batch ever refers to a freed surface. The test
// seams at the end are for tests and benchmarks only.
#pragma once

#include <cstdint>

#include "host/frame_record.h"
#include "host/image_file.h"
#include "host/object.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class gxtkSurface;

class gxtkGraphics : public gxtkObject {
 public:
  static constexpr int kMaxVertices = 1024;  // one batch; also the polygon limit
  static constexpr int kMaxQuads = kMaxVertices / 4;

  // Batch kinds (values of primType).
  static constexpr int kPoints = 1;
  static constexpr int kLines = 2;
  static constexpr int kQuads = 4;
  static constexpr int kPolygon = 5;  // a triangle fan, drawn at once

  int mode = 1;
  int width = 0, height = 0;          // framebuffer pixels, refreshed by Validate
  std::uint32_t color = 0xffffffffu;  // premultiplied, R in the lowest byte
  float red = 255, green = 255, blue = 255;
  float alpha = 1;
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;  // x' = a*x + c*y + tx, y' = b*x + d*y + ty
  bool transformed = false;
  gxtkVertex vertices[kMaxVertices] = {};
  std::uint16_t quadIndices[kMaxQuads * 6] = {};
  int primType = 0;
  int primCount = 0;
  gxtkSurface* primSurf = nullptr;  // texture of the batch; not traced (see above)
  FrameRecord frame;                // this frame's drawing, replayed at its end if it changed

  gxtkGraphics();

  virtual int Mode();
  virtual int Width();
  virtual int Height();
  virtual gxtkSurface* LoadSurface(String path);
  virtual gxtkSurface* LoadSurface__UNSAFE__(gxtkSurface* surface, String path);
  virtual gxtkSurface* CreateSurface(int width, int height);
  virtual int Cls(float r, float g, float b);
  virtual int SetAlpha(float alpha);
  virtual int SetColor(float r, float g, float b);
  virtual int SetBlend(int blend);
  virtual int SetScissor(int x, int y, int width, int height);
  virtual int SetMatrix(float a, float b, float c, float d, float tx, float ty);
  virtual int DrawPoint(float x, float y);
  virtual int DrawRect(float x, float y, float w, float h);
  virtual int DrawLine(float x1, float y1, float x2, float y2);
  virtual int DrawOval(float x, float y, float w, float h);
  virtual int DrawPoly(Array<float> verts);
  virtual int DrawSurface(gxtkSurface* surface, float x, float y);
  virtual int DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch);
  virtual int ReadPixels(Array<int> pixels, int x, int y, int width, int height, int offset, int pitch);
  virtual int WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int width, int height, int offset,
                           int pitch);

  void BeginRender();
  // Ends the frame; answers whether it was drawn and swapped onto the screen
  // (false: the screen already shows exactly this frame).
  bool EndRender();
  // Draws the pending batch and everything else this frame holds so far.
  void Flush();
  bool Validate();

  // The window's picture may have been lost (exposed, restored): the next
  // frame is drawn whatever it holds.
  void MarkScreenStale();
  long FramesDrawn() const;  // frames drawn and swapped so far

 private:
  void EndBatch();
  void UpdateColor();
  gxtkVertex* Reserve(int kind, gxtkSurface* surface, int vertexCount);
  void PutVertex(gxtkVertex* vertex, float x, float y, float u, float v) const;
  void DrawFan(int vertexCount);
};

class gxtkSurface : public gxtkObject {
 public:
  unsigned char* data;  // decoded pixels until uploaded, else null
  int width, height;
  int depth;             // bytes per pixel, 1 to 4
  unsigned int texture;  // OpenGL texture name, 0 when none
  float uscale, vscale;  // 1 / texture width, 1 / texture height

  gxtkSurface();
  ~gxtkSurface() override;

  virtual int Discard();
  virtual int Width();
  virtual int Height();
  virtual int Loaded();
  virtual bool OnUnsafeLoadComplete();

  void SetData(unsigned char* data, int width, int height, int depth);
};

// The smallest power of two that is at least n; 1 for n <= 1.
int Pow2Size(int n);

// Whether rows [offset + r * pitch, + width) for r < height lie in an array of
// `length` elements. Pixel reads and writes check it, so that a wrong caller
// gets nothing instead of memory written or read outside the array.
bool PixelRangeFits(int length, int width, int height, int offset, int pitch);

// Test seams, used only by tests and benchmarks; the program never sets them.
namespace graphics_seams {
// Batches ended so far; each is one OpenGL draw call when its frame is drawn.
extern long drawCalls;
extern int lastDrawMode;    // GL primitive mode of the latest batch
extern int lastDrawCount;   // vertex (or index) count of the latest batch
extern bool refuseNonPow2;  // treat every non-power-of-two texture size as refused
}  // namespace graphics_seams
