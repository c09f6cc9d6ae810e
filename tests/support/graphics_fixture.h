// A graphics device on the shared GL test window: renderer tests derive their
// fixtures from GraphicsFixture and start frames with BeginFrame, the way the
// graphics module does, instead of repeating that state in every test.
// Needs an X display (tests using it carry the `window` label) and links the
// host layer.
#pragma once

#include "host/graphics_device.h"
#include "tests/support/gl_window.h"
#include "tests/support/temp_folder.h"

namespace gltest {

class GraphicsFixture : public GlWindowTest {
 protected:
  void SetUp() override {
    GlWindowTest::SetUp();
    if (IsSkipped()) return;
    g = new gxtkGraphics();
  }

  // Begins a frame with the state the graphics module gives every frame:
  // white, opaque, alpha blending, the whole window, no transform. False when
  // the device cannot draw (no frame was begun).
  bool BeginFrame() {
    if (!g->Validate()) return false;
    g->BeginRender();
    g->SetColor(255, 255, 255);
    g->SetAlpha(1);
    g->SetBlend(0);
    g->SetScissor(0, 0, g->Width(), g->Height());
    g->SetMatrix(1, 0, 0, 1, 0, 0);
    return true;
  }

  gxtkGraphics* g = nullptr;
  testsupport::TempFolder dir{"gfx"};
};

}  // namespace gltest
