#include "framework/input.h"

#include "framework/key_codes.h"
#include "runtime/gc.h"

gxtkInput* vl_input_device = nullptr;

namespace {
constexpr int kMouseBase = keycode::kMouseLeft;  // mouse button 0
constexpr int kJoyUnitShift = 4;
}  // namespace

int vl_input_SetInputDevice(gxtkInput* dev) {
  gc_assign(vl_input_device, dev);
  return 0;
}

int vl_input_KeyDown(int key) { return vl_input_device->KeyDown(key); }
int vl_input_MouseDown(int button) { return vl_input_device->KeyDown(button + kMouseBase); }
int vl_input_MouseHit(int button) { return vl_input_device->KeyHit(button + kMouseBase); }
float vl_input_MouseX() { return vl_input_device->MouseX(); }
float vl_input_MouseY() { return vl_input_device->MouseY(); }
int vl_input_TouchDown(int index) { return vl_input_device->KeyDown(keycode::Touch(index)); }
float vl_input_TouchX(int index) { return vl_input_device->TouchX(index); }
float vl_input_TouchY(int index) { return vl_input_device->TouchY(index); }

float vl_input_JoyX(int index, int unit) { return vl_input_device->JoyX(index | unit << kJoyUnitShift); }

float vl_input_JoyY(int index, int unit) { return vl_input_device->JoyY(index | unit << kJoyUnitShift); }

int vl_input_JoyDown(int button, int unit) {
  return vl_input_device->KeyDown(keycode::kJoyButtonBase | button | unit << kJoyUnitShift);
}

int vl_input_GetChar() { return vl_input_device->GetChar(); }
int vl_input_EnableKeyboard() { return vl_input_device->SetKeyboardEnabled(1); }
int vl_input_DisableKeyboard() { return vl_input_device->SetKeyboardEnabled(0); }
float vl_input_AccelX() { return vl_input_device->AccelX(); }
float vl_input_AccelY() { return vl_input_device->AccelY(); }
