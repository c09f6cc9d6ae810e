// The graphics module: the portable drawing interface the game is written
// against.
//
// It owns the drawing state that lasts between calls (matrix and a 32-deep
// matrix stack, colour, alpha, blend mode, scissor rectangle, current font) in
// the one vl_graphics_GraphicsContext, passes primitives to the graphics
// device (host/graphics_device.h), and provides images: a texture surface cut
// into frames, drawn about a handle.
//
// Depends on the runtime (collected objects, strings, Error) and the host's
// graphics device. Callers keep to these rules: the cls, colour, alpha,
// blend, scissor, drawing and pixel-reading functions run only between
// vl_graphics_BeginRender and vl_graphics_EndRender (the application adapter
// brackets the game's render with them); matrix functions touch only the
// context and work at any time; loading images and setting the font need only
// vl_graphics_device. Matrix changes reach the device lazily, before the next
// thing drawn. Every frame begins white, opaque, alpha-blended, unclipped and
// untransformed.
#pragma once

#include "host/graphics_device.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class vl_graphics_Frame;
class vl_graphics_Image;
class vl_graphics_GraphicsContext;

extern gxtkGraphics* vl_graphics_device;        // set once by the application adapter
extern gxtkGraphics* vl_graphics_renderDevice;  // the device while a frame is drawn
extern vl_graphics_GraphicsContext* vl_graphics_context;

class vl_graphics_GraphicsContext : public Object {
 public:
  static constexpr int kMatrixFloats = 6;
  static constexpr int kStackDepth = 32;  // matrices PushMatrix can save

  vl_graphics_Image* defaultFont = nullptr;
  vl_graphics_Image* font = nullptr;
  int firstChar = 0;
  int stackTop = 0;  // floats in use on matrixStack
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  int transformed = 0;
  int matrixDirty = 0;  // 1 while the device lacks the current matrix
  float red = 0, green = 0, blue = 0;
  float alpha = 0;
  int blend = 0;
  float scissorX = 0, scissorY = 0, scissorWidth = 0, scissorHeight = 0;
  Array<float> matrixStack;

  vl_graphics_GraphicsContext();
  vl_graphics_GraphicsContext* g_new();
  void mark() override;

  // Gives the render device the current matrix if it has changed.
  virtual int m_Validate();
};

class vl_graphics_Frame : public Object {
 public:
  int x = 0, y = 0;  // top-left corner on the surface

  vl_graphics_Frame* g_new(int x, int y);
  vl_graphics_Frame* g_new2();
};

class vl_graphics_Image : public Object {
 public:
  static constexpr int HandleCentre = 1;
  static constexpr int PadX = 2;
  static constexpr int PadY = 4;
  static constexpr int WholeSurface = 65536;  // set by the module only
  static int g_DefaultFlags;

  gxtkSurface* surface = nullptr;
  int width = 0, height = 0;  // one frame
  Array<vl_graphics_Frame*> frames;
  int flags = 0;
  float handleX = 0, handleY = 0;
  vl_graphics_Image* source = nullptr;  // the image a grabbed image was cut from

  vl_graphics_Image();
  vl_graphics_Image* g_new();
  void mark() override;

  virtual int m_SetHandle(float x, float y);
  virtual int m_ApplyFlags(int flags);
  virtual vl_graphics_Image* m_Init(gxtkSurface* surface, int frameCount, int flags);
  virtual vl_graphics_Image* m_Grab(int x, int y, int width, int height, int frameCount, int flags,
                                    vl_graphics_Image* source);
  virtual vl_graphics_Image* m_GrabImage(int x, int y, int width, int height, int frameCount, int flags);
};

int vl_graphics_SetGraphicsDevice(gxtkGraphics* device);
int vl_graphics_BeginRender();
int vl_graphics_EndRender();
int vl_graphics_DeviceWidth();
int vl_graphics_DeviceHeight();
// Frames the device has drawn onto the screen so far; a frame the same as the
// one already shown is not drawn and not counted.
int vl_graphics_FramesDrawn();
vl_graphics_Image* vl_graphics_LoadImage(String path, int frameCount, int flags);
vl_graphics_Image* vl_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags);
int vl_graphics_SetFont(vl_graphics_Image* font, int firstChar);
int vl_graphics_SetColor(float r, float g, float b);
int vl_graphics_SetAlpha(float alpha);
int vl_graphics_SetBlend(int blend);
int vl_graphics_SetScissor(float x, float y, float w, float h);
int vl_graphics_SetMatrix(float a, float b, float c, float d, float tx, float ty);
int vl_graphics_SetMatrix2(Array<float> m);
int vl_graphics_Transform(float a, float b, float c, float d, float tx, float ty);
int vl_graphics_Transform2(Array<float> m);
int vl_graphics_Translate(float x, float y);
int vl_graphics_Scale(float x, float y);
int vl_graphics_Rotate(float degrees);
int vl_graphics_PushMatrix();
int vl_graphics_PopMatrix();
int vl_graphics_Cls(float r, float g, float b);
int vl_graphics_DrawRect(float x, float y, float w, float h);
int vl_graphics_DrawLine(float x1, float y1, float x2, float y2);
int vl_graphics_DrawEllipse(float x, float y, float xRadius, float yRadius);
int vl_graphics_DrawImage(vl_graphics_Image* image, float x, float y, int frame);
int vl_graphics_DrawImage2(vl_graphics_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame);
int vl_graphics_ReadPixels(Array<int> pixels, int x, int y, int width, int height, int offset, int pitch);
