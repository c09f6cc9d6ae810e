// The input module's mapping of mouse, touch and joystick calls onto the
// device's key codes.
#include <gtest/gtest.h>

#include "framework/input.h"

namespace {

class InputModule : public ::testing::Test {
 protected:
  void SetUp() override {
    device = new gxtkInput();
    vl_input_SetInputDevice(device);
  }
  void TearDown() override { vl_input_SetInputDevice(nullptr); }
  gxtkInput* device = nullptr;
};

TEST_F(InputModule, ClickAndReleaseWithinOneUpdateIsAHitButNotDown) {
  device->OnKeyDown(1);
  device->OnKeyUp(1);
  EXPECT_EQ(vl_input_MouseHit(0), 1);
  EXPECT_EQ(vl_input_MouseDown(0), 0);
  EXPECT_EQ(vl_input_TouchDown(0), 0);
  device->EndUpdate();
  EXPECT_EQ(vl_input_MouseHit(0), 0);
}

TEST_F(InputModule, MouseButtonsAndTheFirstTouchReadTheirKeyCodes) {
  device->OnKeyDown(2);
  EXPECT_EQ(vl_input_MouseDown(1), 1);
  EXPECT_EQ(vl_input_MouseDown(0), 0);
  device->OnKeyDown(3);
  EXPECT_EQ(vl_input_MouseDown(2), 1);
  device->OnKeyDown(1);
  EXPECT_EQ(vl_input_TouchDown(0), 1);
  EXPECT_EQ(vl_input_TouchDown(1), 0) << "only the mouse exists as a touch";
  device->mouseX = 12;
  device->mouseY = 34;
  EXPECT_EQ(vl_input_MouseX(), 12);
  EXPECT_EQ(vl_input_TouchY(5), 34);
}

TEST_F(InputModule, JoystickUnitsSelectButtonsAndAxes) {
  device->OnKeyDown(256 + 3);
  EXPECT_EQ(vl_input_JoyDown(3, 0), 1);
  EXPECT_EQ(vl_input_JoyDown(3, 1), 0);
  device->OnKeyDown(256 + 16 + 2);
  EXPECT_EQ(vl_input_JoyDown(2, 1), 1) << "unit 1 reads buttons from 16 on";
  device->joyAxes[0] = 0.5f;
  device->joyAxes[3] = 0.25f;
  EXPECT_EQ(vl_input_JoyX(0, 0), 0.5f);
  EXPECT_EQ(vl_input_JoyX(1, 0), 0.25f);
  EXPECT_EQ(vl_input_JoyX(0, 1), 0.0f) << "unit 1 has no axes";
}

}  // namespace
