// The input device's polls of the window's pointer and the first joystick,
// apart from the table itself so that the headless host can take the table
// without GLFW (its input comes from a replay).
#include <GLFW/glfw3.h>

#include <algorithm>

#include "host/input_device.h"
#include "host/key_codes.h"
#include "host/window.h"

namespace {
constexpr int kMaxJoyButtons = 32;  // buttons polled per update
}  // namespace

void gxtkInput::PollMouse() {
  int x = 0, y = 0;
  hostwin::GetCursorPos(&x, &y);
  mouseX = float(x);
  mouseY = float(y);
}

void gxtkInput::PollJoystick() {
  int axisCount = 0, buttonCount = 0;
  const float* axes = glfwGetJoystickAxes(GLFW_JOYSTICK_1, &axisCount);
  const unsigned char* buttons = glfwGetJoystickButtons(GLFW_JOYSTICK_1, &buttonCount);
  if (!axes) axisCount = 0;
  if (!buttons) buttonCount = 0;

  std::fill(joyAxes, joyAxes + kJoyAxisCount, 0.0f);
  std::copy(axes, axes + std::min(axisCount, kJoyAxisCount), joyAxes);
  RemapJoyAxes(joyAxes, axisCount);

  for (int n = 0; n < std::min(buttonCount, kMaxJoyButtons); ++n) {
    if (buttons[n] == GLFW_PRESS) {
      OnKeyDown(keycode::JoyButton(n));
    } else {
      OnKeyUp(keycode::JoyButton(n));
    }
  }
}
