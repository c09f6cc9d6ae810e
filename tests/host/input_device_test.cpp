// The input device's key table, hit counts, character queue and joystick
// readings, fed through its own entry points (no window needed).
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include "host/input_device.h"

namespace {

// Presses a window key the way the host's key callback does.
void pressKey(gxtkInput& in, int glfwKey) {
  int code = TransKey(glfwKey);
  if (!code) return;
  in.OnKeyDown(code);
  if (int chr = KeyToChar(code)) in.PutChar(chr);
}

void releaseKey(gxtkInput& in, int glfwKey) {
  if (int code = TransKey(glfwKey)) in.OnKeyUp(code);
}

TEST(InputDevice, ShiftPairFeedsEitherShiftOnceAndReleasesItWithTheLastOne) {
  gxtkInput* in = new gxtkInput();
  pressKey(*in, GLFW_KEY_LEFT_SHIFT);
  EXPECT_EQ(in->KeyDown(160), 1);
  EXPECT_EQ(in->KeyDown(16), 1);
  EXPECT_EQ(in->KeyHit(16), 1);
  pressKey(*in, GLFW_KEY_RIGHT_SHIFT);
  EXPECT_EQ(in->KeyDown(161), 1);
  EXPECT_EQ(in->KeyHit(16), 1) << "the second shift adds no hit to 16";
  releaseKey(*in, GLFW_KEY_LEFT_SHIFT);
  EXPECT_EQ(in->KeyDown(160), 0);
  EXPECT_EQ(in->KeyDown(16), 1) << "the right shift is still held";
  releaseKey(*in, GLFW_KEY_RIGHT_SHIFT);
  EXPECT_EQ(in->KeyDown(16), 0);
}

TEST(InputDevice, ControlPairBehavesLikeTheShiftPair) {
  gxtkInput* in = new gxtkInput();
  pressKey(*in, GLFW_KEY_RIGHT_CONTROL);
  pressKey(*in, GLFW_KEY_LEFT_CONTROL);
  EXPECT_EQ(in->KeyDown(17), 1);
  EXPECT_EQ(in->KeyHit(17), 1);
  releaseKey(*in, GLFW_KEY_RIGHT_CONTROL);
  EXPECT_EQ(in->KeyDown(17), 1);
  releaseKey(*in, GLFW_KEY_LEFT_CONTROL);
  EXPECT_EQ(in->KeyDown(17), 0);
  EXPECT_EQ(in->KeyDown(16), 0) << "control never touches shift";
}

TEST(InputDevice, RepeatedPressesCountOnceAndTheHitOutlivesTheRelease) {
  gxtkInput* in = new gxtkInput();
  pressKey(*in, GLFW_KEY_A);
  pressKey(*in, GLFW_KEY_A);  // auto-repeat arrives as a press
  EXPECT_EQ(in->KeyHit(65), 1);
  releaseKey(*in, GLFW_KEY_A);
  pressKey(*in, GLFW_KEY_A);
  releaseKey(*in, GLFW_KEY_A);
  EXPECT_EQ(in->KeyHit(65), 2);
  EXPECT_EQ(in->KeyDown(65), 0);
  in->EndUpdate();
  EXPECT_EQ(in->KeyHit(65), 0);

  pressKey(*in, GLFW_KEY_B);
  in->EndUpdate();
  EXPECT_EQ(in->KeyDown(66), 1) << "a held key stays down across updates";
  EXPECT_EQ(in->KeyHit(66), 0);
}

TEST(InputDevice, HitCountSaturatesInsteadOfSettingTheDownFlag) {
  gxtkInput* in = new gxtkInput();
  for (int i = 0; i < 300; ++i) {
    in->OnKeyDown(32);
    in->OnKeyUp(32);
  }
  EXPECT_EQ(in->KeyHit(32), 255);
  EXPECT_EQ(in->KeyDown(32), 0);
}

TEST(InputDevice, EscapeAndCursorKeysQueueTheirCharacters) {
  gxtkInput* in = new gxtkInput();
  pressKey(*in, GLFW_KEY_ESCAPE);
  pressKey(*in, GLFW_KEY_LEFT);
  pressKey(*in, GLFW_KEY_DELETE);
  pressKey(*in, GLFW_KEY_A);  // letters come through the character callback only
  EXPECT_EQ(in->KeyDown(27), 1);
  EXPECT_EQ(in->KeyDown(37), 1);
  EXPECT_EQ(in->GetChar(), 27);
  EXPECT_EQ(in->GetChar(), 37 + 0x10000);
  EXPECT_EQ(in->GetChar(), 127);
  EXPECT_EQ(in->GetChar(), 0);
}

TEST(InputDevice, CharactersBeyondThe32ndOfAnUpdateAreDropped) {
  gxtkInput* in = new gxtkInput();
  for (int i = 0; i < 33; ++i) in->PutChar('a' + i);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(in->GetChar(), 'a' + i) << i;
  EXPECT_EQ(in->GetChar(), 0);
  in->EndUpdate();
  in->PutChar('z');
  EXPECT_EQ(in->GetChar(), 'z') << "the queue is empty again after the update";
  EXPECT_EQ(in->GetChar(), 0);
}

TEST(InputDevice, OutOfRangeCodesReadAsUpAndCode384ReadsTheLeftButton) {
  gxtkInput* in = new gxtkInput();
  in->OnKeyDown(1);
  EXPECT_EQ(in->KeyDown(384), 1);
  EXPECT_EQ(in->KeyHit(384), 1);
  EXPECT_EQ(in->KeyDown(385), 0);
  in->OnKeyDown(0);
  in->OnKeyDown(512);
  in->OnKeyDown(-1);
  EXPECT_EQ(in->KeyHit(0), 0);
  EXPECT_EQ(in->KeyDown(512), 0);
  EXPECT_EQ(in->KeyDown(-1), 0);
  in->OnKeyUp(1);
  EXPECT_EQ(in->KeyDown(384), 0);
}

TEST(InputDevice, KeyTableGivesTheFrameworkCodes) {
  const std::pair<int, int> table[] = {
      {GLFW_KEY_0, 48},
      {GLFW_KEY_9, 57},
      {GLFW_KEY_A, 65},
      {GLFW_KEY_Z, 90},
      {GLFW_KEY_SPACE, 32},
      {GLFW_KEY_APOSTROPHE, 222},
      {GLFW_KEY_COMMA, 188},
      {GLFW_KEY_MINUS, 189},
      {GLFW_KEY_PERIOD, 190},
      {GLFW_KEY_SLASH, 191},
      {GLFW_KEY_SEMICOLON, 186},
      {GLFW_KEY_EQUAL, 187},
      {GLFW_KEY_LEFT_BRACKET, 219},
      {GLFW_KEY_BACKSLASH, 220},
      {GLFW_KEY_RIGHT_BRACKET, 221},
      {GLFW_KEY_GRAVE_ACCENT, 192},
      {GLFW_KEY_ESCAPE, 27},
      {GLFW_KEY_F1, 112},
      {GLFW_KEY_F12, 123},
      {GLFW_KEY_UP, 38},
      {GLFW_KEY_DOWN, 40},
      {GLFW_KEY_LEFT, 37},
      {GLFW_KEY_RIGHT, 39},
      {GLFW_KEY_LEFT_SHIFT, 160},
      {GLFW_KEY_RIGHT_SHIFT, 161},
      {GLFW_KEY_LEFT_CONTROL, 162},
      {GLFW_KEY_RIGHT_CONTROL, 163},
      {GLFW_KEY_TAB, 9},
      {GLFW_KEY_ENTER, 13},
      {GLFW_KEY_BACKSPACE, 8},
      {GLFW_KEY_INSERT, 45},
      {GLFW_KEY_DELETE, 46},
      {GLFW_KEY_PAGE_UP, 33},
      {GLFW_KEY_PAGE_DOWN, 34},
      {GLFW_KEY_HOME, 36},
      {GLFW_KEY_END, 35},
  };
  for (auto [key, code] : table) EXPECT_EQ(TransKey(key), code) << "GLFW key " << key;
  const int ignored[] = {GLFW_KEY_UNKNOWN,
                         GLFW_KEY_LEFT_ALT,
                         GLFW_KEY_RIGHT_SUPER,
                         GLFW_KEY_F13,
                         GLFW_KEY_KP_0,
                         GLFW_KEY_KP_ENTER,
                         GLFW_KEY_WORLD_1,
                         GLFW_KEY_CAPS_LOCK,
                         GLFW_KEY_MENU,
                         0,
                         1000};
  for (int key : ignored) EXPECT_EQ(TransKey(key), 0) << "GLFW key " << key;
}

TEST(InputDevice, FourAxisPadReadsItsSecondStickAsUnitOne) {
  gxtkInput* in = new gxtkInput();
  const float pad[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0, 0};
  std::copy(pad, pad + 6, in->joyAxes);
  RemapJoyAxes(in->joyAxes, 4);
  EXPECT_FLOAT_EQ(in->JoyX(0), 0.1f);
  EXPECT_FLOAT_EQ(in->JoyY(0), 0.2f);
  EXPECT_FLOAT_EQ(in->JoyZ(0), 0.0f);
  EXPECT_FLOAT_EQ(in->JoyX(1), 0.4f);
  EXPECT_FLOAT_EQ(in->JoyY(1), -0.3f);
  EXPECT_FLOAT_EQ(in->JoyX(2), 0.0f);

  const float fiveAxes[6] = {0, 0, 0, 0.4f, 0.5f, 0};
  std::copy(fiveAxes, fiveAxes + 6, in->joyAxes);
  RemapJoyAxes(in->joyAxes, 5);
  EXPECT_FLOAT_EQ(in->JoyX(1), 0.5f);
  EXPECT_FLOAT_EQ(in->JoyY(1), -0.4f);
}

}  // namespace
