// Real X input reaching the input device: a GLFW window under the test
// display, the host's window callbacks, and key and mouse events sent with
// xdotool, read back through KeyDown, KeyHit, GetChar and the pointer.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "host/app.h"
#include "host/input_device.h"
#include "host/window.h"

namespace {

constexpr auto kEventWait = std::chrono::seconds(5);  // generous: X delivery, not speed, is tested

std::string g_windowId;  // X window id as xdotool prints it

std::string runOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, pipe)) out += buf;
    pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Sends events to the test's own window, so that tests running in parallel
// on the same display cannot take them away by taking the focus.
void xdotool(const std::string& command, const std::string& args) {
  std::string line = "xdotool " + command + " --window " + g_windowId + " " + args;
  ASSERT_EQ(std::system(line.c_str()), 0) << line;
}

// Handles window events until `done` holds.
bool pollUntil(const std::function<bool()>& done) {
  auto until = std::chrono::steady_clock::now() + kEventWait;
  for (;;) {
    hostwin::PollEvents();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Lets events still in flight arrive, for checks that something did not happen.
void settle() {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
  while (std::chrono::steady_clock::now() < until) {
    hostwin::PollEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class InputWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null") != 0) return;
    if (!hostwin::Init() || !hostwin::Open(640, 480)) return;
    std::string title = "KorvaneInputTest" + std::to_string(getpid());
    hostwin::SetTitle(title.c_str());
    hostwin::SetPos(100, 100);
    new gxtkApp();  // sets app and creates the devices
    hostwin::SetKeyCallback(OnKey);
    hostwin::SetCharCallback(OnChar);
    hostwin::SetMouseButtonCallback(OnMouseButton);
    pollUntil([&] {
      g_windowId = runOutput("xdotool search --name '^" + title + "$' 2>/dev/null | head -n1");
      return !g_windowId.empty();
    });
    settle();
  }

  static void TearDownTestSuite() {
    if (hostwin::Handle()) hostwin::Terminate();
  }

  void SetUp() override {
    if (g_windowId.empty()) GTEST_SKIP() << "needs an X display with xdotool (the test command starts Xvfb)";
    input = app->input;
    input->EndUpdate();
  }

  gxtkInput* input = nullptr;
};

TEST_F(InputWindow, KeyPressReachesKeyDownKeyHitAndGetChar) {
  xdotool("keydown", "a");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(65) == 1; }));
  ASSERT_TRUE(pollUntil([&] { return input->charPut > 0; })) << "no character event";
  EXPECT_EQ(input->KeyHit(65), 1);
  EXPECT_EQ(input->GetChar(), 'a');
  EXPECT_EQ(input->GetChar(), 0);
  input->EndUpdate();
  xdotool("keyup", "a");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(65) == 0; }));
  EXPECT_EQ(input->KeyHit(65), 0) << "the release adds no hit";

  xdotool("key", "Escape Left");
  ASSERT_TRUE(pollUntil([&] { return input->KeyHit(37) == 1; }));
  EXPECT_EQ(input->KeyHit(27), 1);
  EXPECT_EQ(input->KeyDown(27), 0);
  EXPECT_EQ(input->GetChar(), 27);
  EXPECT_EQ(input->GetChar(), 37 + 0x10000);
  EXPECT_EQ(input->GetChar(), 0);
}

TEST_F(InputWindow, ShiftPairFromTheKeyboard) {
  xdotool("keydown", "Shift_L");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(160) == 1; }));
  EXPECT_EQ(input->KeyDown(16), 1);
  xdotool("keydown", "Shift_R");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(161) == 1; }));
  EXPECT_EQ(input->KeyHit(16), 1);
  xdotool("keyup", "Shift_L");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(160) == 0; }));
  EXPECT_EQ(input->KeyDown(16), 1);
  xdotool("keyup", "Shift_R");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(16) == 0; }));
}

TEST_F(InputWindow, TypingMoreThan32CharactersInOneUpdateKeepsTheFirst32) {
  const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789";  // 36 characters
  xdotool("type", "--delay 1 " + text);
  ASSERT_TRUE(pollUntil([&] { return input->KeyHit(57) == 1; })) << "the last key, 9";
  settle();
  std::string got;
  while (int c = input->GetChar()) got += char(c);
  EXPECT_EQ(got, text.substr(0, 32));
}

TEST_F(InputWindow, MouseButtonsAndPointerInWindowPixels) {
  xdotool("mousemove", "100 200");
  ASSERT_TRUE(pollUntil([&] {
    input->BeginUpdate();
    return input->MouseX() == 100 && input->MouseY() == 200;
  })) << "pointer at "
      << input->MouseX() << "," << input->MouseY();
  EXPECT_EQ(input->TouchX(0), 100);

  xdotool("mousedown", "1");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(1) == 1; }));
  EXPECT_EQ(input->KeyDown(384), 1) << "the first touch is the left button";
  xdotool("mouseup", "1");
  ASSERT_TRUE(pollUntil([&] { return input->KeyDown(1) == 0; }));
  EXPECT_EQ(input->KeyHit(1), 1);

  xdotool("click", "3");
  xdotool("click", "2");
  ASSERT_TRUE(pollUntil([&] { return input->KeyHit(3) == 1; }));
  EXPECT_EQ(input->KeyHit(2), 1) << "right button";
  EXPECT_EQ(input->KeyHit(3), 1) << "middle button";
  EXPECT_EQ(input->GetChar(), 0) << "buttons queue no characters";
}

// The host's callbacks called as the window layer calls them: GLFW 3 key
// numbers, action 1 for presses and repeats, 0 for releases.
TEST_F(InputWindow, HostCallbacksTranslateKeysAndIgnoreWhatHasNoCode) {
  OnKey(GLFW_KEY_BACKSPACE, 1);
  OnKey(GLFW_KEY_BACKSPACE, 1);  // a repeat: one hit, two characters
  EXPECT_EQ(input->KeyHit(8), 1);
  OnKey(GLFW_KEY_LEFT_ALT, 1);
  OnKey(GLFW_KEY_KP_ENTER, 1);
  OnChar(0xe9, 1);
  OnChar('x', 0);
  OnMouseButton(GLFW_MOUSE_BUTTON_4, 1);
  EXPECT_EQ(input->GetChar(), 8);
  EXPECT_EQ(input->GetChar(), 8);
  EXPECT_EQ(input->GetChar(), 0xe9);
  EXPECT_EQ(input->GetChar(), 0);
  OnKey(GLFW_KEY_BACKSPACE, 0);
  EXPECT_EQ(input->KeyDown(8), 0);
  OnMouseButton(GLFW_MOUSE_BUTTON_RIGHT, 1);
  EXPECT_EQ(input->KeyDown(2), 1);
  OnMouseButton(GLFW_MOUSE_BUTTON_RIGHT, 0);
  EXPECT_EQ(input->KeyDown(2), 0);
  for (int code = 1; code < gxtkInput::kKeyCount; ++code) {
    if (code == 8 || code == 2) continue;
    EXPECT_EQ(input->KeyHit(code), 0) << code;
  }
}

}  // namespace
