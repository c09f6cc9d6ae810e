// The graphics module (see graphics.h).
#include "framework/graphics.h"

#include <cmath>

#include "framework/data.h"
#include "runtime/errors.h"

gxtkGraphics* vl_graphics_device = nullptr;
gxtkGraphics* vl_graphics_renderDevice = nullptr;
vl_graphics_GraphicsContext* vl_graphics_context = nullptr;

int vl_graphics_Image::g_DefaultFlags = 0;

namespace {

const char* const kFrameOutsideSurface = "Image frame outside surface";
const char* const kDefaultFontFile = "kiri_font.png";
constexpr int kDefaultFontFrames = 96;
constexpr int kDefaultFontFirstChar = 32;

constexpr float D2R = 0.017453292f;  // degrees to radians

bool isIdentity(float a, float b, float c, float d, float tx, float ty) {
  return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0;
}

void storeMatrix(vl_graphics_GraphicsContext* context, float a, float b, float c, float d, float tx, float ty) {
  context->a = a;
  context->b = b;
  context->c = c;
  context->d = d;
  context->tx = tx;
  context->ty = ty;
  context->transformed = isIdentity(a, b, c, d, tx, ty) ? 0 : 1;
  context->matrixDirty = 1;
}

vl_graphics_Frame* newFrame(int x, int y) { return (new vl_graphics_Frame())->g_new(x, y); }

// The frame `index` of `image`, or null when the image has no such frame.
vl_graphics_Frame* frameAt(vl_graphics_Image* image, int index) {
  if (index < 0 || index >= image->frames.Length()) return nullptr;
  return image->frames[index];
}

// Draws `frame` of `image` with its top-left corner at (x, y) under the
// device's current matrix.
void drawFrameAt(vl_graphics_Image* image, vl_graphics_Frame* frame, float x, float y) {
  if (image->flags & vl_graphics_Image::WholeSurface) {
    vl_graphics_renderDevice->DrawSurface(image->surface, x, y);
  } else {
    vl_graphics_renderDevice->DrawSurface2(image->surface, x, y, frame->x, frame->y, image->width, image->height);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Context

vl_graphics_GraphicsContext::vl_graphics_GraphicsContext() {
  gc_assign(matrixStack, Array<float>(kMatrixFloats * kStackDepth));
}

vl_graphics_GraphicsContext* vl_graphics_GraphicsContext::g_new() { return this; }

void vl_graphics_GraphicsContext::mark() {
  gc_enqueue(defaultFont);
  gc_enqueue(font);
  gc_enqueue(matrixStack);
}

int vl_graphics_GraphicsContext::m_Validate() {
  if (matrixDirty) {
    vl_graphics_renderDevice->SetMatrix(a, b, c, d, tx, ty);
    matrixDirty = 0;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Frames and images

vl_graphics_Frame* vl_graphics_Frame::g_new(int frameX, int frameY) {
  x = frameX;
  y = frameY;
  return this;
}

vl_graphics_Frame* vl_graphics_Frame::g_new2() { return this; }

vl_graphics_Image::vl_graphics_Image() : frames(Array<vl_graphics_Frame*>(0)) {}

vl_graphics_Image* vl_graphics_Image::g_new() { return this; }

void vl_graphics_Image::mark() {
  gc_enqueue(surface);
  gc_enqueue(frames);
  gc_enqueue(source);
}

int vl_graphics_Image::m_SetHandle(float x, float y) {
  handleX = x;
  handleY = y;
  flags &= ~HandleCentre;
  return 0;
}

int vl_graphics_Image::m_ApplyFlags(int newFlags) {
  flags = newFlags;
  const int frameCount = frames.Length();
  if (flags & PadX) {
    for (int i = 0; i < frameCount; ++i) frames[i]->x += 1;
    width -= 2;
  }
  if (flags & PadY) {
    for (int i = 0; i < frameCount; ++i) frames[i]->y += 1;
    height -= 2;
  }
  if (flags & HandleCentre) m_SetHandle(width * 0.5f, height * 0.5f);
  if (frameCount == 1 && frames[0]->x == 0 && frames[0]->y == 0 && width == surface->Width() &&
      height == surface->Height()) {
    flags |= WholeSurface;
  }
  return 0;
}

vl_graphics_Image* vl_graphics_Image::m_Init(gxtkSurface* newSurface, int frameCount, int newFlags) {
  gc_assign(surface, newSurface);
  // A non-positive count would divide by zero or size a negative array: such
  // an image gets no frames and the whole surface as its size.
  const int count = frameCount > 0 ? frameCount : 0;
  width = count > 0 ? surface->Width() / count : surface->Width();
  height = surface->Height();
  gc_assign(frames, Array<vl_graphics_Frame*>(count));
  for (int i = 0; i < count; ++i) gc_assign(frames[i], newFrame(i * width, 0));
  m_ApplyFlags(newFlags);
  return this;
}

vl_graphics_Image* vl_graphics_Image::m_Grab(int x, int y, int frameWidth, int frameHeight, int frameCount,
                                             int newFlags, vl_graphics_Image* from) {
  gc_assign(source, from);
  gc_assign(surface, from->surface);
  width = frameWidth;
  height = frameHeight;
  const int count = frameCount > 0 ? frameCount : 0;
  gc_assign(frames, Array<vl_graphics_Frame*>(count));
  // Frames are placed relative to the source's own first frame.
  const vl_graphics_Frame* origin = frameAt(from, 0);
  const int originX = origin ? origin->x : 0;
  const int originY = origin ? origin->y : 0;
  int cx = x, cy = y;
  for (int i = 0; i < count; ++i) {
    if (cx + width > from->width) {
      if (width > from->width) Error(String(kFrameOutsideSurface));
      cx = 0;
      cy += height;
    }
    if (cy + height > from->height) Error(String(kFrameOutsideSurface));
    gc_assign(frames[i], newFrame(cx + originX, cy + originY));
    cx += width;
  }
  m_ApplyFlags(newFlags);
  return this;
}

vl_graphics_Image* vl_graphics_Image::m_GrabImage(int x, int y, int frameWidth, int frameHeight, int frameCount,
                                                  int newFlags) {
  if (frames.Length() != 1) return nullptr;
  return (new vl_graphics_Image())->g_new()->m_Grab(x, y, frameWidth, frameHeight, frameCount, newFlags, this);
}

// ---------------------------------------------------------------------------
// Device, frame and state

int vl_graphics_SetGraphicsDevice(gxtkGraphics* device) {
  gc_assign(vl_graphics_device, device);
  return 0;
}

int vl_graphics_BeginRender() {
  if (!vl_graphics_device->Mode()) return 0;
  gc_assign(vl_graphics_renderDevice, vl_graphics_device);
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  context->stackTop = 0;
  storeMatrix(context, 1, 0, 0, 1, 0, 0);
  vl_graphics_SetColor(255, 255, 255);
  vl_graphics_SetAlpha(1);
  vl_graphics_SetBlend(0);
  vl_graphics_SetScissor(0, 0, static_cast<float>(vl_graphics_DeviceWidth()),
                         static_cast<float>(vl_graphics_DeviceHeight()));
  return 0;
}

int vl_graphics_EndRender() {
  vl_graphics_renderDevice = nullptr;
  return 0;
}

int vl_graphics_DeviceWidth() { return vl_graphics_device->Width(); }
int vl_graphics_DeviceHeight() { return vl_graphics_device->Height(); }
int vl_graphics_FramesDrawn() { return static_cast<int>(vl_graphics_device->FramesDrawn()); }

vl_graphics_Image* vl_graphics_LoadImage(String path, int frameCount, int flags) {
  gxtkSurface* surface = vl_graphics_device->LoadSurface(vl_data_FixDataPath(path));
  if (!surface) return nullptr;
  return (new vl_graphics_Image())->g_new()->m_Init(surface, frameCount, flags);
}

vl_graphics_Image* vl_graphics_LoadImage2(String path, int frameWidth, int frameHeight, int frameCount, int flags) {
  vl_graphics_Image* whole = vl_graphics_LoadImage(path, 1, 0);
  if (!whole) return nullptr;
  return whole->m_GrabImage(0, 0, frameWidth, frameHeight, frameCount, flags);
}

int vl_graphics_SetFont(vl_graphics_Image* font, int firstChar) {
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  if (!font) {
    if (!context->defaultFont) {
      gc_assign(context->defaultFont,
                vl_graphics_LoadImage(String(kDefaultFontFile), kDefaultFontFrames, vl_graphics_Image::PadX));
    }
    font = context->defaultFont;
    firstChar = kDefaultFontFirstChar;
  }
  gc_assign(context->font, font);
  context->firstChar = firstChar;
  return 0;
}

int vl_graphics_SetColor(float r, float g, float b) {
  vl_graphics_context->red = r;
  vl_graphics_context->green = g;
  vl_graphics_context->blue = b;
  vl_graphics_renderDevice->SetColor(r, g, b);
  return 0;
}

int vl_graphics_SetAlpha(float alpha) {
  vl_graphics_context->alpha = alpha;
  vl_graphics_renderDevice->SetAlpha(alpha);
  return 0;
}

int vl_graphics_SetBlend(int blend) {
  vl_graphics_context->blend = blend;
  vl_graphics_renderDevice->SetBlend(blend);
  return 0;
}

int vl_graphics_SetScissor(float x, float y, float w, float h) {
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  context->scissorX = x;
  context->scissorY = y;
  context->scissorWidth = w;
  context->scissorHeight = h;
  vl_graphics_renderDevice->SetScissor(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                                       static_cast<int>(h));
  return 0;
}

// ---------------------------------------------------------------------------
// Matrix

int vl_graphics_SetMatrix(float a, float b, float c, float d, float tx, float ty) {
  storeMatrix(vl_graphics_context, a, b, c, d, tx, ty);
  return 0;
}

int vl_graphics_SetMatrix2(Array<float> m) { return vl_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]); }

int vl_graphics_Transform(float ia, float ib, float ic, float id, float itx, float ity) {
  const vl_graphics_GraphicsContext* m = vl_graphics_context;
  storeMatrix(vl_graphics_context, m->a * ia + m->c * ib, m->b * ia + m->d * ib, m->a * ic + m->c * id,
              m->b * ic + m->d * id, m->a * itx + m->c * ity + m->tx, m->b * itx + m->d * ity + m->ty);
  return 0;
}

int vl_graphics_Transform2(Array<float> m) { return vl_graphics_Transform(m[0], m[1], m[2], m[3], m[4], m[5]); }

int vl_graphics_Translate(float x, float y) { return vl_graphics_Transform(1, 0, 0, 1, x, y); }

int vl_graphics_Scale(float x, float y) { return vl_graphics_Transform(x, 0, 0, y, 0, 0); }

int vl_graphics_Rotate(float degrees) {
  const double radians = degrees * D2R;
  const float cosine = static_cast<float>(std::cos(radians));
  const float sine = static_cast<float>(std::sin(radians));
  return vl_graphics_Transform(cosine, -sine, sine, cosine, 0, 0);
}

// The stack is bounded: a push beyond 32 saved matrices or a pop of an empty
// stack does nothing rather than touching memory outside the stack.
int vl_graphics_PushMatrix() {
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  const int top = context->stackTop;
  if (top + vl_graphics_GraphicsContext::kMatrixFloats > context->matrixStack.Length()) return 0;
  Array<float>& stack = context->matrixStack;
  stack[top + 0] = context->a;
  stack[top + 1] = context->b;
  stack[top + 2] = context->c;
  stack[top + 3] = context->d;
  stack[top + 4] = context->tx;
  stack[top + 5] = context->ty;
  context->stackTop = top + vl_graphics_GraphicsContext::kMatrixFloats;
  return 0;
}

int vl_graphics_PopMatrix() {
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  const int top = context->stackTop - vl_graphics_GraphicsContext::kMatrixFloats;
  if (top < 0) return 0;
  const Array<float>& stack = context->matrixStack;
  context->stackTop = top;
  storeMatrix(context, stack[top + 0], stack[top + 1], stack[top + 2], stack[top + 3], stack[top + 4], stack[top + 5]);
  return 0;
}

// ---------------------------------------------------------------------------
// Drawing

int vl_graphics_Cls(float r, float g, float b) {
  vl_graphics_renderDevice->Cls(r, g, b);
  return 0;
}

int vl_graphics_DrawRect(float x, float y, float w, float h) {
  vl_graphics_context->m_Validate();
  vl_graphics_renderDevice->DrawRect(x, y, w, h);
  return 0;
}

int vl_graphics_DrawLine(float x1, float y1, float x2, float y2) {
  vl_graphics_context->m_Validate();
  vl_graphics_renderDevice->DrawLine(x1, y1, x2, y2);
  return 0;
}

int vl_graphics_DrawEllipse(float x, float y, float xRadius, float yRadius) {
  vl_graphics_context->m_Validate();
  vl_graphics_renderDevice->DrawOval(x - xRadius, y - yRadius, 2 * xRadius, 2 * yRadius);
  return 0;
}

int vl_graphics_DrawImage(vl_graphics_Image* image, float x, float y, int frame) {
  vl_graphics_Frame* f = frameAt(image, frame);
  if (!f) return 0;
  vl_graphics_GraphicsContext* context = vl_graphics_context;
  if (context->transformed) {
    vl_graphics_PushMatrix();
    vl_graphics_Transform(1, 0, 0, 1, x - image->handleX, y - image->handleY);
    context->m_Validate();
    drawFrameAt(image, f, 0, 0);
    vl_graphics_PopMatrix();
  } else {
    context->m_Validate();
    drawFrameAt(image, f, x - image->handleX, y - image->handleY);
  }
  return 0;
}

int vl_graphics_DrawImage2(vl_graphics_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                           int frame) {
  vl_graphics_Frame* f = frameAt(image, frame);
  if (!f) return 0;
  vl_graphics_PushMatrix();
  vl_graphics_Transform(1, 0, 0, 1, x, y);
  vl_graphics_Rotate(rotation);
  vl_graphics_Transform(scaleX, 0, 0, scaleY, 0, 0);
  vl_graphics_Transform(1, 0, 0, 1, -image->handleX, -image->handleY);
  vl_graphics_context->m_Validate();
  drawFrameAt(image, f, 0, 0);
  vl_graphics_PopMatrix();
  return 0;
}

int vl_graphics_ReadPixels(Array<int> pixels, int x, int y, int width, int height, int offset, int pitch) {
  vl_graphics_renderDevice->ReadPixels(pixels, x, y, width, height, offset, pitch != 0 ? pitch : width);
  return 0;
}
