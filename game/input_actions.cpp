// The game-action table behind m_PlayKey: which keys, joystick direction and
// pads count as each action, in normal mode and in arcade-controller mode
// (where the controller types letters, so letter keys are left out).
#include "game/input_actions.h"
#include "framework/input.h"
#include "framework/key_codes.h"
#include "game/my_app.h"

using namespace korvane;

namespace {

constexpr float kJoyThreshold = 0.4f;  // axis deflection that counts as a press
constexpr int kMaxKeys = 5;

enum class Axis { kNone, kX, kY };

// Inputs of one game action: keys, a joystick axis direction and pads.
struct ActionInputs {
  int keys[kMaxKeys];        // 0 ends the list
  int arcadeKeys[kMaxKeys];  // the same without letters, for arcade-controller mode
  Axis axis;
  int axisSign;  // -1 below -threshold, +1 above +threshold
  int pads[2];   // -1 ends the list
};

struct ActionEntry {
  int action;
  ActionInputs in;
};

using namespace keycode;

// Joystick buttons 0-3 are the action buttons, 7 is back and 8-11 the
// directions (left, up, right, down).
constexpr ActionEntry kActions[] = {
    {kActionUp, {{kUp, Letter('W'), JoyButton(9)}, {kUp, JoyButton(9)}, Axis::kY, -1, {0, -1}}},
    {kActionLeft, {{kLeft, Letter('A'), JoyButton(8)}, {kLeft, JoyButton(8)}, Axis::kX, -1, {3, -1}}},
    {kActionRight, {{kRight, Letter('D'), JoyButton(10)}, {kRight, JoyButton(10)}, Axis::kX, 1, {5, -1}}},
    {kActionDown, {{kDown, Letter('S'), JoyButton(11)}, {kDown, JoyButton(11)}, Axis::kY, 1, {8, -1}}},
    {kActionFirstButton,
     {{Letter('Z'), Letter('J'), kSpace, kEnter, JoyButton(0)},
      {kSpace, kEnter, JoyButton(0)},
      Axis::kNone,
      0,
      {10, -1}}},
    {kActionFirstButton + 1,
     {{Letter('X'), Letter('K'), kControl, JoyButton(1)}, {kControl, JoyButton(1)}, Axis::kNone, 0, {11, -1}}},
    {kActionFirstButton + 2,
     {{Letter('C'), Letter('L'), kShift, JoyButton(2)}, {kShift, JoyButton(2)}, Axis::kNone, 0, {12, -1}}},
    {kActionFirstButton + 3, {{Letter('V'), Letter('I'), JoyButton(3)}, {JoyButton(3)}, Axis::kNone, 0, {13, -1}}},
    {kActionBack,
     {{kEscape, kDelete, kBackspace, JoyButton(7)},
      {kEscape, kDelete, kBackspace, JoyButton(7)},
      Axis::kNone,
      0,
      {16, 17}}},
};

bool anyKeyDown(const int* keys) {
  for (int i = 0; i < kMaxKeys && keys[i] != 0; ++i) {
    if (vl_input_KeyDown(keys[i]) != 0) return true;
  }
  return false;
}

bool axisActive(Axis axis, int sign) {
  if (axis == Axis::kNone) return false;
  const float value = axis == Axis::kX ? vl_input_JoyX(0, 0) : vl_input_JoyY(0, 0);
  return sign < 0 ? value < -kJoyThreshold : value > kJoyThreshold;
}

}  // namespace

int vl_Korvane_MyApp::m_PlayKey(int action) {
  const int arcade = vl_Korvane_iCadeControls;
  if (arcade != 0 && arcade != 1) return 0;
  for (const ActionEntry& entry : kActions) {
    if (entry.action != action) continue;
    const ActionInputs& in = entry.in;
    if (anyKeyDown(arcade == 1 ? in.arcadeKeys : in.keys)) return 1;
    if (axisActive(in.axis, in.axisSign)) return 1;
    for (int pad : in.pads) {
      if (pad >= 0 && pads[pad] != 0) return 1;
    }
    return 0;
  }
  return 0;
}
