// gxtkApp: the native application host. It owns the graphics, input and audio
// devices and runs the host loop that calls the application's create, update,
// render, suspend and resume operations at the update rate the application
// sets, with one collector step after each call.
//
// The On... operations here do nothing; the framework's adapter derives from
// gxtkApp and overrides them. The host loop runs on the main thread until the
// window is closed; window events reach the input device only inside the
// loop's event polls. Collected objects therefore live in locals only within
// one call into the application (the collector never scans the stack).
// A render whose frame is the same as the one on screen is neither drawn nor
// swapped (host/frame_record.h): a still screen costs only its updates. Window
// refresh events and a resume make the next frame be drawn regardless.
//
// Two loops drive the same operations: the desktop one sleeps until an update
// is due (host/desktop_loop.cpp); the browser one runs a pass per animation
// frame and never blocks (host/web_loop.cpp). Both keep one rule: updates at
// the set rate, at most seven in a row to catch up, then one render.
//
// Depends on host/window.h (the window and clock), the three devices, the
// state file (host/state_file.h) and runtime/gc.h.
#pragma once

#include "host/object.h"
#include "host/state_file.h"
#include "runtime/string.h"

class gxtkGraphics;
class gxtkInput;
class gxtkAudio;

class gxtkApp : public gxtkObject {
 public:
  gxtkGraphics* graphics;
  gxtkInput* input;
  gxtkAudio* audio;
  int updateRate;       // updates per second; 0: no timed updates
  double nextUpdate;    // clock time at which the next update is due
  double updatePeriod;  // seconds between updates
  bool suspended;

  gxtkApp();
  void mark() override;

  virtual gxtkGraphics* GraphicsDevice();
  virtual gxtkInput* InputDevice();
  virtual gxtkAudio* AudioDevice();
  virtual String AppTitle();
  virtual String LoadState();
  virtual int SaveState(String state);
  // Saves what `merge` makes of the state on disk, with no other copy of the
  // program saving in between (host/state_file.h); results as SaveState.
  virtual int UpdateState(const StateMerge& merge);
  virtual String LoadString(String path);
  virtual int SetUpdateRate(int hertz);
  virtual int MilliSecs();
  // Whether the player asked the system for less motion (the browser's
  // prefers-reduced-motion); the desktop has no such setting: false.
  bool ReducedMotion();
  virtual int Loading();
  virtual int OnCreate();
  virtual int OnSuspend();
  virtual int OnResume();
  virtual int OnUpdate();
  virtual int OnRender();
  virtual int OnLoading();
  // The window was closed or the program was asked to end (SIGTERM, SIGINT,
  // SIGHUP): the application's last call, after its last update.
  virtual int OnClose();

  // The host loop. On the desktop it returns once the window has been
  // closed; in the browser it hands RunPass to the page's animation frames.
  int Run();
  // One pass of the loop: on the desktop after each sleep or event wait, in
  // the browser once per animation frame.
  void RunPass();

  void InvokeOnCreate();
  void InvokeOnUpdate();
  void InvokeOnRender();
  void InvokeOnSuspend();
  void InvokeOnResume();
  void InvokeOnClose();

 private:
  // Shared by both hosts' loops (host/desktop_loop.cpp, host/web_loop.cpp).
  void InstallCallbacks();
  void Start();         // create, then one first frame before any update
  int RunDueUpdates();  // up to seven updates, dropping a longer backlog; how many ran

  bool WaitForDrawableWindow();  // desktop: blocks until the window has a size
  bool created = false;          // the application has been created
  bool closed = false;           // the application's close has run
};

// The one host object, set by its constructor; the window callbacks reach the
// input device through it.
extern gxtkApp* app;

// Null until a gxtkApp exists, then RunApp: what the program entry calls to
// run the host loop.
extern int (*runner)();
int RunApp();

// Window callbacks, registered by Run.
void OnKey(int key, int action);
void OnChar(int chr, int action);
void OnMouseButton(int button, int action);
void OnWindowSize(int width, int height);
void OnWindowRefresh();
