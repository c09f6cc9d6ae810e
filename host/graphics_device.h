// The graphics device: a 2-D renderer on fixed-function OpenGL 1.x, and the
// texture surfaces it draws.
//
// gxtkGraphics draws points, lines, rectangles, ovals, convex polygons and
// textured quads in top-left-origin pixels under a colour, alpha, blend mode,
// scissor rectangle and 2-D affine matrix. Primitives of one kind and texture
// are collected in one vertex array and drawn with one OpenGL call; every
// vertex carries its own premultiplied colour and is transformed on the CPU,
// so colour and matrix changes never break a batch. gxtkSurface is a texture
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

#include "host/image_file.h"
#include "host/object.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class gxtkSurface;

// One vertex of the batch as OpenGL reads it: position, texture coordinate,
// then the colour bytes R, G, B, A in memory order.
struct gxtkVertex {
  float x, y, u, v;
  std::uint32_t color;
};
static_assert(sizeof(gxtkVertex) == 20, "OpenGL reads vertices with a 20-byte stride");

class gxtkGraphics : public gxtkObject {
 public:
  static constexpr int kMaxVertices = 1024;  // one batch; also the polygon limit
  static constexpr int kMaxQuads = kMaxVertices / 4;

  // Batch kinds (values of primType).
  static constexpr int kPoints = 1;
  static constexpr int kLines = 2;
  static constexpr int kQuads = 4;
  static constexpr int kPolygon = 5;  // a triangle fan, drawn at once

  int mode;
  int width, height;    // framebuffer pixels, refreshed by Validate
  std::uint32_t color;  // premultiplied, R in the lowest byte
  float red, green, blue;
  float alpha;
  float a, b, c, d, tx, ty;  // x' = a*x + c*y + tx, y' = b*x + d*y + ty
  bool transformed;
  gxtkVertex vertices[kMaxVertices];
  std::uint16_t quadIndices[kMaxQuads * 6];
  int primType;
  int primCount;
  gxtkSurface* primSurf;  // texture of the batch; not traced (see above)

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
  virtual int DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy,
                           int srcw, int srch);
  virtual int ReadPixels(Array<int> pixels, int x, int y, int width, int height, int offset,
                         int pitch);
  virtual int WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int width,
                           int height, int offset, int pitch);

  void BeginRender();
  void EndRender();
  void Flush();
  bool Validate();

 private:
  void UpdateColor();
  gxtkVertex* Reserve(int kind, gxtkSurface* surface, int vertexCount);
  void PutVertex(gxtkVertex* vertex, float x, float y, float u, float v) const;
  void DrawFan(int vertexCount);
};

class gxtkSurface : public gxtkObject {
 public:
  unsigned char* data;  // decoded pixels until uploaded, else null
  int width, height;
  int depth;  // bytes per pixel, 1 to 4
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

// Test seams, used only by tests and benchmarks; the program never sets them.
namespace graphics_seams {
extern long drawCalls;       // OpenGL draw calls issued by Flush so far
extern int lastDrawMode;     // GL primitive mode of the latest draw call
extern int lastDrawCount;    // vertex (or index) count of the latest draw call
extern bool refuseNonPow2;   // treat every non-power-of-two texture size as refused
}  // namespace graphics_seams
