#include "framework/app.h"

#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "host/graphics_device.h"
#include "host/replay_tap.h"

vl_app_AppDevice* vl_app_device = nullptr;

namespace {
// A null font selects the default font; its first character is fixed.
constexpr int kDefaultFontFirstChar = 32;
}  // namespace

vl_app_App* vl_app_App::g_new() {
  gc_assign(vl_app_device, (new vl_app_AppDevice())->g_new(this));
  return this;
}

int vl_app_App::m_OnCreate() { return 0; }
int vl_app_App::m_OnUpdate() { return 0; }
int vl_app_App::m_OnSuspend() { return 0; }
int vl_app_App::m_OnResume() { return 0; }
int vl_app_App::m_OnRender() { return 0; }
int vl_app_App::m_OnLoading() { return 0; }
int vl_app_App::m_OnClose() { return 0; }

vl_app_AppDevice* vl_app_AppDevice::g_new(vl_app_App* application) {
  gc_assign(app, application);
  gc_assign(vl_graphics_device, GraphicsDevice());
  gc_assign(vl_input_device, InputDevice());
  gc_assign(vl_audio_device, AudioDevice());
  return this;
}

vl_app_AppDevice* vl_app_AppDevice::g_new2() { return this; }

void vl_app_AppDevice::mark() {
  gxtkApp::mark();
  gc_enqueue(app);
}

int vl_app_AppDevice::SetUpdateRate(int hertz) {
  gxtkApp::SetUpdateRate(hertz);
  rateSetting = hertz;
  return 0;
}

// The default font is ready before the application's own creation code runs.
int vl_app_AppDevice::OnCreate() {
  vl_graphics_SetFont(nullptr, kDefaultFontFirstChar);
  return app->m_OnCreate();
}

int vl_app_AppDevice::OnSuspend() { return app->m_OnSuspend(); }
int vl_app_AppDevice::OnResume() { return app->m_OnResume(); }
int vl_app_AppDevice::OnUpdate() { return app->m_OnUpdate(); }
int vl_app_AppDevice::OnRender() { return RenderFrame(&vl_app_App::m_OnRender); }
int vl_app_AppDevice::OnLoading() { return RenderFrame(&vl_app_App::m_OnLoading); }
int vl_app_AppDevice::OnClose() { return app->m_OnClose(); }

// The graphics module's drawing operations work only inside this bracket.
int vl_app_AppDevice::RenderFrame(int (vl_app_App::*draw)()) {
  if (GraphicsDevice()->Mode() != 0) vl_graphics_BeginRender();
  (app->*draw)();
  vl_graphics_EndRender();
  return 0;
}

int vl_app_SetUpdateRate(int hertz) {
  vl_app_device->SetUpdateRate(hertz);
  return 0;
}

int vl_app_Millisecs() { return vl_app_device->MilliSecs(); }
int vl_app_ReducedMotion() { return vl_app_device->ReducedMotion() ? 1 : 0; }
String vl_app_LoadState() { return vl_app_device->LoadState(); }
int vl_app_SaveState(String state) { return vl_app_device->SaveState(state); }
int vl_app_UpdateState(const StateMerge& merge) { return vl_app_device->UpdateState(merge); }
String vl_app_WorldRankLine() { return String(replay::AnswerRankLine().c_str()); }
