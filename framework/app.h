// The application module: the portable interface through which the game is
// driven and reaches the host's clock, update rate, saved state and world
// rank line.
//
// vl_app_App is the base of every application; the game derives from it and
// overrides the m_On... operations. vl_app_AppDevice is the concrete host
// application: it derives from gxtkApp, holds the vl_app_App, and turns every
// call of the host loop into a call of the application, bracketing renders
// with the graphics module's begin and end of frame.
//
// The module global vl_app_device is a collector root; through it the
// application object stays alive. The module functions may only be called
// once the application exists (vl_app_App::g_new has run). Main thread only.
// Depends on host/app.h, host/replay_tap.h (the rank line),
// framework/graphics.h (frames and the default font) and the runtime.
#pragma once

#include "host/app.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class vl_app_App : public Object {
 public:
  // Creates the adapter for this application and publishes it in
  // vl_app_device; called once, on the freshly built application.
  vl_app_App* g_new();

  virtual int m_OnCreate();
  virtual int m_OnUpdate();
  virtual int m_OnSuspend();
  virtual int m_OnResume();
  virtual int m_OnRender();
  virtual int m_OnLoading();
  // The window is closing or the program was asked to end: the last call.
  virtual int m_OnClose();
};

class vl_app_AppDevice : public gxtkApp {
 public:
  vl_app_App* app = nullptr;  // the application that receives the calls
  int rateSetting = 0;        // the last rate set through this device

  // Stores the application and publishes the devices in the framework's
  // graphics, input and audio device globals.
  vl_app_AppDevice* g_new(vl_app_App* application);
  vl_app_AppDevice* g_new2();
  void mark() override;

  int SetUpdateRate(int hertz) override;
  int OnCreate() override;
  int OnSuspend() override;
  int OnResume() override;
  int OnUpdate() override;
  int OnRender() override;
  int OnLoading() override;
  int OnClose() override;

 private:
  int RenderFrame(int (vl_app_App::*draw)());
};

extern vl_app_AppDevice* vl_app_device;

int vl_app_SetUpdateRate(int hertz);
int vl_app_Millisecs();
// 1 when the player asked the system for less motion (in the browser:
// prefers-reduced-motion), else 0; always 0 on the desktop.
int vl_app_ReducedMotion();
String vl_app_LoadState();
int vl_app_SaveState(String state);
// Saves what `merge` makes of the state on disk, with no other copy of the
// program saving in between; results as vl_app_SaveState.
int vl_app_UpdateState(const StateMerge& merge);
// The world score server's latest answer as one line ("World rank 12 of
// 3,400 (Normal)"); empty until an answer is in. A host answer like the
// clock: recorded in replays and played back from them.
String vl_app_WorldRankLine();
