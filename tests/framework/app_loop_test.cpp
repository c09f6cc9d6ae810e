// The host loop driving an application through the framework's adapter, in a
// real window (under Xvfb) with OpenAL's null output: update timing, the
// catch-up bound, rendering on demand, suspension and resumption, still
// frames left on screen instead of drawn again, and the window callbacks
// reaching the input device.
//
// Each test runs the program's own start-up (StartHost, vl_std_main, runner,
// StopHost) in its own process; the application records every call with the
// clock time, and hooks let a test act from inside the calls.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "framework/std_main.h"
#include "host/entry.h"
#include "host/input_device.h"
#include "host/window.h"
#include "runtime/gc.h"
#include "tests/support/private_display.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr double kPeriod60 = 1.0 / 60;

struct Call {
  char kind;  // C create, U update, R render, S suspend, P resume (pick up)
  double time;
};

std::vector<Call> calls;
int updateCount = 0;
std::function<void()> onCreate, onUpdate, onRender, onSuspend;

void Record(char kind) { calls.push_back({kind, hostwin::Time()}); }

class RecordingApp : public vl_app_App {
 public:
  int m_OnCreate() override {
    Record('C');
    if (onCreate) onCreate();
    return 0;
  }
  int m_OnUpdate() override {
    Record('U');
    ++updateCount;
    if (onUpdate) onUpdate();
    return 0;
  }
  int m_OnRender() override {
    Record('R');
    if (onRender) onRender();
    return 0;
  }
  int m_OnSuspend() override {
    Record('S');
    if (onSuspend) onSuspend();
    return 0;
  }
  int m_OnResume() override {
    Record('P');
    return 0;
  }
};

void CloseWindow() { glfwSetWindowShouldClose(hostwin::Handle(), GLFW_TRUE); }

double CreateTime() {
  for (const Call& call : calls) {
    if (call.kind == 'C') return call.time;
  }
  return 0;
}

void StartProgram() {
  StartHost();
  static const char* args[] = {"app_loop_test", nullptr};
  vl_std_main(1, args);
}

// Closes the window after a time limit, so that a loop stuck waiting (for
// example suspended with no way back) fails its test instead of hanging it.
class Watchdog {
 public:
  explicit Watchdog(double seconds)
      : thread_([this, seconds] {
          auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
          while (!stopped_ && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          if (!stopped_) {
            CloseWindow();
            glfwPostEmptyEvent();
          }
        }) {}
  void Stop() {
    stopped_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stopped_{false};
  std::thread thread_;
};

constexpr double kRunLimitSeconds = 15;

// Runs the program from start-up to the closed window.
void RunProgram() {
  StartProgram();
  ASSERT_NE(runner, nullptr);
  Watchdog watchdog(kRunLimitSeconds);
  runner();
  watchdog.Stop();
  StopHost();
}

std::string Kinds() {
  std::string kinds;
  for (const Call& call : calls) kinds += call.kind;
  return kinds;
}

int Count(const std::string& kinds, char kind) {
  return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
}

int CountIn(char kind, double from, double to) {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& call) {
    return call.kind == kind && call.time >= from && call.time < to;
  }));
}

// The n-th update after a rate is set is due n periods later, and the loop
// may run late but never early. Checks every update recorded after `start`.
void ExpectNoUpdateEarly(double start, int count) {
  int n = 0;
  for (const Call& call : calls) {
    if (call.kind != 'U' || n == count) continue;
    ++n;
    EXPECT_GE(call.time - start, n * kPeriod60 - 0.001) << "update " << n << " came early";
  }
  EXPECT_EQ(n, count);
}

// Wakes the loop with empty events every 50 ms while it waits for events,
// and closes the window after `seconds`.
std::thread WakeThenClose(double seconds) {
  return std::thread([seconds] {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      glfwPostEmptyEvent();
    }
    CloseWindow();
    glfwPostEmptyEvent();
  });
}

// Types into the program's window from outside, as a user would: waits until
// the window is on the display (xdotool polls for it, at most 10 s), gives it
// the focus, runs `script` (shell commands driving xdotool) and closes the
// window.
std::thread TypeIntoTheWindow(const std::string& script) {
  return std::thread([script] {
    const std::string command =
        "timeout 10 xdotool search --sync --onlyvisible --name '^Korvane$' windowfocus --sync "
        ">/dev/null 2>&1;" +
        script;
    int status = std::system(command.c_str());
    (void)status;
    CloseWindow();
  });
}

}  // namespace

int vlInit() {
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  return 0;
}

int vlMain() {
  (new RecordingApp())->g_new();
  return 0;
}

namespace {

TEST(AppLoopTest, HoldsSixtyUpdatesPerSecondWithARenderAfterEachBatch) {
  double rateSet = 0;
  onCreate = [&] {
    vl_app_SetUpdateRate(60);
    rateSet = hostwin::Time();
  };
  onUpdate = [] {
    if (hostwin::Time() - CreateTime() > 3.0) CloseWindow();
  };
  RunProgram();
  double start = CreateTime();
  ASSERT_EQ(Kinds().substr(0, 2), "CR");  // create, then one frame before any update
  // Two seconds after a settling second: 120 updates due. Generous bounds for
  // a loaded machine; running fast (no sleep) or slow (sleeping too long)
  // both fall outside.
  int updates = CountIn('U', start + 1.0, start + 3.0);
  EXPECT_GE(updates, 100);
  EXPECT_LE(updates, 125);
  EXPECT_GE(CountIn('R', start + 1.0, start + 3.0), 50);
  ExpectNoUpdateEarly(rateSet, 100);
}

TEST(AppLoopTest, SlowUpdatesCatchUpAtMostSevenTimesThenRenderOnce) {
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onUpdate = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // six periods
    if (updateCount == 21) CloseWindow();
  };
  RunProgram();
  EXPECT_EQ(Kinds(),
            "CR"
            "UUUUUUUR"
            "UUUUUUUR"
            "UUUUUUUR");
}

TEST(AppLoopTest, RateZeroRendersAfterEventsAndNeverUpdates) {
  std::thread waker;
  onCreate = [&] { waker = WakeThenClose(0.6); };  // no rate set: 0
  RunProgram();
  waker.join();
  std::string kinds = Kinds();
  EXPECT_EQ(Count(kinds, 'U'), 0);
  EXPECT_GE(Count(kinds, 'R'), 4) << kinds;
}

TEST(AppLoopTest, RateZeroSetInsideAnUpdateDropsTheRestOfTheCatchUp) {
  std::thread waker;
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onUpdate = [&] {
    if (updateCount == 3) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (updateCount == 4) {
      vl_app_SetUpdateRate(0);  // five updates of backlog are due in this pass
      EXPECT_EQ(vl_app_device->rateSetting, 0);
      waker = WakeThenClose(0.4);
    }
  };
  RunProgram();
  waker.join();
  std::string kinds = Kinds();
  EXPECT_EQ(Count(kinds, 'U'), 4) << kinds;
  size_t lastUpdate = kinds.rfind('U');
  ASSERT_NE(lastUpdate, std::string::npos);
  EXPECT_EQ(kinds.substr(lastUpdate, 2), "UR");  // rendered straight after
  EXPECT_GE(kinds.size() - lastUpdate - 1, 3u) << "renders go on at rate 0: " << kinds;
}

TEST(AppLoopTest, MinimisingSuspendsOnceAndRestoringResumesOnePeriodLater) {
  PrivateDisplay display(/*withWindowManager=*/true);
  if (!display.ready()) GTEST_SKIP() << "Xvfb with openbox could not be started here";
  std::thread restorer;
  int suspendRate = 0;
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onUpdate = [] {
    if (updateCount == 10) glfwIconifyWindow(hostwin::Handle());
    if (updateCount == 30) CloseWindow();
  };
  onSuspend = [&] {
    suspendRate = vl_app_device->updateRate;
    // Restored from outside, as a user would, while the loop waits for events.
    restorer = std::thread([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      int status = std::system("xdotool search --name '^Korvane$' windowactivate >/dev/null 2>&1");
      (void)status;
    });
  };
  RunProgram();
  if (restorer.joinable()) restorer.join();
  std::string kinds = Kinds();
  ASSERT_EQ(Count(kinds, 'S'), 1) << kinds;
  ASSERT_EQ(Count(kinds, 'P'), 1) << kinds;
  size_t suspend = kinds.find('S'), resume = kinds.find('P');
  ASSERT_LT(suspend, resume);
  EXPECT_EQ(resume, suspend + 1) << "no update or render while suspended: " << kinds;
  EXPECT_EQ(suspendRate, 60);
  EXPECT_EQ(vl_app_device->updateRate, 60);  // the rate survived the suspension
  size_t firstUpdate = kinds.find('U', resume);
  ASSERT_NE(firstUpdate, std::string::npos) << kinds;
  EXPECT_GE(calls[firstUpdate].time - calls[resume].time, kPeriod60 - 0.002);
  EXPECT_GE(calls[resume].time - calls[suspend].time, 0.25);
}

// An X window cannot be 0 pixels high, so the test takes the size away the
// way the graphics device sees it: with no current OpenGL context there is
// no window to measure.
TEST(AppLoopTest, WindowWithoutASizeSkipsUpdatesAndRenders) {
  onCreate = [] { vl_app_SetUpdateRate(60); };
  StartProgram();
  vl_app_device->InvokeOnCreate();
  vl_app_device->InvokeOnUpdate();
  vl_app_device->InvokeOnRender();
  EXPECT_EQ(Kinds(), "CUR");

  glfwMakeContextCurrent(nullptr);
  vl_app_device->InvokeOnUpdate();
  vl_app_device->InvokeOnRender();
  EXPECT_EQ(Kinds(), "CUR");
  EXPECT_EQ(vl_app_device->updateRate, 60);  // timing is untouched

  glfwMakeContextCurrent(hostwin::Handle());
  vl_app_device->InvokeOnUpdate();
  vl_app_device->InvokeOnRender();
  EXPECT_EQ(Kinds(), "CURUR");
  StopHost();
}

// After twelve days of uptime single-precision seconds are coarser than a
// frame (1/16 s): a schedule kept with them would run updates early.
TEST(AppLoopTest, LongUptimeKeepsUpdatesOnSchedule) {
  constexpr double kTwelveDays = 1.0e6;  // seconds
  double rateSet = 0;
  onCreate = [&] {
    glfwSetTime(kTwelveDays);
    vl_app_SetUpdateRate(60);
    rateSet = hostwin::Time();
  };
  onUpdate = [] {
    if (updateCount == 90) CloseWindow();
  };
  RunProgram();
  ExpectNoUpdateEarly(rateSet, 90);
}

TEST(AppLoopTest, KeysCharactersAndButtonsReachTheInputDevice) {
  // A display of its own: other tests' windows would take the keyboard focus.
  PrivateDisplay display(/*withWindowManager=*/false);
  if (!display.ready()) GTEST_SKIP() << "a private Xvfb could not be started here";
  std::thread typist;
  std::vector<int> hits, chars;
  onCreate = [&] {
    vl_app_SetUpdateRate(60);
    typist = TypeIntoTheWindow(
        "xdotool keydown a; sleep 0.1; xdotool keyup a; sleep 0.1;"
        "xdotool key Escape; sleep 0.1;"
        "xdotool search --name '^Korvane$' mousemove --window %1 100 100 >/dev/null 2>&1;"
        "xdotool mousedown 3; sleep 0.1; xdotool mouseup 3; sleep 0.2");
  };
  onUpdate = [&] {
    gxtkInput* input = vl_app_device->InputDevice();
    for (int key : {65, 27, 2}) {
      if (input->KeyHit(key)) hits.push_back(key);
    }
    while (int chr = input->GetChar()) chars.push_back(chr);
  };
  RunProgram();
  typist.join();
  EXPECT_EQ(hits, (std::vector<int>{65, 27, 2}));
  EXPECT_EQ(chars, (std::vector<int>{'a', 27}));
}

// Held keys repeat their presses (the X server's auto-repeat, on by
// default): a held backspace queues its character again and again, though
// the key counts as one hit while it stays down.
TEST(AppLoopTest, HeldKeyRepeatsItsCharacter) {
  PrivateDisplay display(/*withWindowManager=*/false);
  if (!display.ready()) GTEST_SKIP() << "a private Xvfb could not be started here";
  std::thread typist;
  int backspaces = 0, hits = 0;
  onCreate = [&] {
    vl_app_SetUpdateRate(60);
    typist = TypeIntoTheWindow("xdotool keydown BackSpace; sleep 1; xdotool keyup BackSpace; sleep 0.1");
  };
  onUpdate = [&] {
    gxtkInput* input = vl_app_device->InputDevice();
    hits += input->KeyHit(8);
    while (int chr = input->GetChar()) backspaces += chr == 8;
  };
  RunProgram();
  typist.join();
  EXPECT_EQ(hits, 1);
  EXPECT_GE(backspaces, 5);
}

// Focus moving to another window, without minimising, keeps the application
// running.
TEST(AppLoopTest, LosingTheFocusAloneDoesNotSuspend) {
  PrivateDisplay display(/*withWindowManager=*/false);
  if (!display.ready()) GTEST_SKIP() << "a private Xvfb could not be started here";
  GLFWwindow* other = nullptr;
  bool activeAfterSwitch = true;
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onUpdate = [&] {
    if (updateCount == 5) {
      other = glfwCreateWindow(200, 100, "other", nullptr, nullptr);
      glfwFocusWindow(other);
    }
    if (updateCount == 30) activeAfterSwitch = hostwin::IsActive();
    if (updateCount == 40) CloseWindow();
  };
  RunProgram();
  EXPECT_FALSE(activeAfterSwitch) << "the focus never left the window";
  std::string kinds = Kinds();
  EXPECT_EQ(Count(kinds, 'S'), 0) << kinds;
  EXPECT_EQ(Count(kinds, 'U'), 40);
}

TEST(AppLoopTest, SettingTheSameRateAgainRestartsTheSchedule) {
  double restart = 0;
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onUpdate = [&] {
    if (updateCount == 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // three periods due
      vl_app_SetUpdateRate(60);
      restart = hostwin::Time();
    }
    if (updateCount == 15) CloseWindow();
  };
  RunProgram();
  std::string kinds = Kinds();
  size_t tenth = 0;
  for (int n = 0; n < 10; ++n) tenth = kinds.find('U', tenth) + 1;
  size_t eleventh = kinds.find('U', tenth);
  ASSERT_NE(eleventh, std::string::npos) << kinds;
  EXPECT_GE(calls[eleventh].time - restart, kPeriod60 - 0.001) << "the backlog was run: " << kinds;
}

TEST(AppLoopTest, AdapterInstallsTheDefaultFontAndBracketsEveryRender) {
  int firstCharAtCreate = -1;
  bool renderDeviceAtCreate = true, bracketed = true;
  onCreate = [&] {
    firstCharAtCreate = vl_graphics_context->firstChar;
    renderDeviceAtCreate = vl_graphics_renderDevice != nullptr;
    vl_app_SetUpdateRate(60);
  };
  onRender = [&] {
    bracketed = bracketed && vl_graphics_renderDevice == vl_graphics_device &&
                vl_graphics_device == vl_app_device->GraphicsDevice();
  };
  onUpdate = [&] {
    if (vl_graphics_renderDevice != nullptr) bracketed = false;
    if (updateCount == 5) CloseWindow();
  };
  RunProgram();
  EXPECT_EQ(firstCharAtCreate, 32);
  EXPECT_FALSE(renderDeviceAtCreate);
  EXPECT_TRUE(bracketed);
  EXPECT_EQ(vl_graphics_renderDevice, nullptr);
  EXPECT_EQ(vl_input_device, vl_app_device->InputDevice());
  EXPECT_EQ(vl_audio_device, vl_app_device->AudioDevice());
}

// The colour the X server shows at (x, y) of the screen as 0xRRGGBB, or -1
// when it cannot be read: what a screenshot of the window would show.
long ScreenPixel(int x, int y) {
  const std::string command =
      "import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) + " -depth 8 txt:- 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char block[256];
  while (std::fgets(block, sizeof block, pipe)) text += block;
  pclose(pipe);
  const size_t hash = text.find(" #");
  return hash == std::string::npos ? -1 : std::stol(text.substr(hash + 2, 6), nullptr, 16);
}

// A still picture is drawn once and stays on screen; a change, an expose
// (another window uncovering it) and a resize each draw it again. Each step
// waits for what it expects for at most kStepUpdates updates: the X server
// and a loaded machine take their time.
TEST(AppLoopTest, StillScreenIsDrawnOnlyWhenChangedExposedOrResized) {
  PrivateDisplay display(/*withWindowManager=*/false);
  if (!display.ready()) GTEST_SKIP() << "a private Xvfb could not be started here";
  if (std::system("command -v import >/dev/null") != 0) GTEST_SKIP() << "ImageMagick's import is missing";
  constexpr int kGreen = 200 << 8, kDarkGreen = 100 << 8;
  constexpr int kStepUpdates = 120;
  float shade = 200;
  int step = 0, stepStart = 0, x = 0, y = 0, firstDrawn = 0, stillDrawn = 0, changeDrawn = 0;
  int exposedDrawn = 0, resizeDrawn = 0;
  bool stillShown = false, changeShown = false, exposeShown = false;
  GLFWwindow* cover = nullptr;
  auto next = [&] {
    ++step;
    stepStart = updateCount;
  };
  auto timedOut = [&] { return updateCount - stepStart > kStepUpdates; };
  onCreate = [] { vl_app_SetUpdateRate(60); };
  onRender = [&] {
    vl_graphics_SetColor(0, shade, 0);
    vl_graphics_DrawRect(0, 0, 640, 480);
  };
  onUpdate = [&] {
    const int drawn = vl_graphics_FramesDrawn();
    const auto shows = [&](int colour) { return ScreenPixel(x + 100, y + 100) == colour; };
    switch (step) {
      case 0:  // the first frame, and its redraw when the window was mapped
        if (updateCount < 20) return;
        firstDrawn = drawn;
        glfwGetWindowPos(hostwin::Handle(), &x, &y);
        return next();
      case 1:  // twenty renders of the same frame later, the picture is still there
        if (updateCount - stepStart < 20) return;
        stillShown = shows(kGreen);
        if (!stillShown && !timedOut()) return;
        stillDrawn = drawn;
        shade = 100;
        return next();
      case 2:
        changeShown = shows(kDarkGreen);
        if (!changeShown && !timedOut()) return;
        changeDrawn = drawn;
        glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
        cover = glfwCreateWindow(300, 300, "cover", nullptr, nullptr);
        glfwDefaultWindowHints();
        if (cover) glfwSetWindowPos(cover, x, y);
        return next();
      case 3:  // covered for a while, then uncovered
        if (updateCount - stepStart < 10) return;
        if (cover) glfwDestroyWindow(cover);
        return next();
      case 4:
        exposeShown = drawn > changeDrawn && shows(kDarkGreen);
        if (!exposeShown && !timedOut()) return;
        exposedDrawn = drawn;
        glfwSetWindowSize(hostwin::Handle(), 320, 240);
        return next();
      case 5:
        if (drawn == exposedDrawn && !timedOut()) return;
        resizeDrawn = drawn;
        CloseWindow();
        return next();
      default: return;
    }
  };
  RunProgram();
  ASSERT_EQ(step, 6) << "the program ended early";
  EXPECT_LE(firstDrawn, 3);
  EXPECT_EQ(stillDrawn, firstDrawn) << "the same frame was drawn again";
  EXPECT_TRUE(stillShown) << "the still frame is no longer on screen";
  EXPECT_EQ(changeDrawn, stillDrawn + 1) << "a change is drawn once";
  EXPECT_TRUE(changeShown);
  ASSERT_NE(cover, nullptr);
  EXPECT_GT(exposedDrawn, changeDrawn) << "the uncovered window was not drawn again";
  EXPECT_TRUE(exposeShown) << "the uncovered window does not show its picture";
  EXPECT_GT(resizeDrawn, exposedDrawn) << "the resized window was not drawn again";
}

TEST(AppLoopTest, StateAndClockReachTheHostThroughTheModule) {
  testsupport::WorkingFolder dir;
  StartProgram();
  EXPECT_EQ(vl_app_LoadState(), String());
  const wchar_t text[] = L"98 numbers;caf\u00e9";
  EXPECT_EQ(vl_app_SaveState(String(text)), 0);
  EXPECT_EQ(vl_app_LoadState(), String(text));
  int before = vl_app_Millisecs();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(vl_app_Millisecs() - before, 30);
  StopHost();
}

}  // namespace
