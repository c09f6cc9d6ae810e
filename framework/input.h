// The input module: the game's portable interface to keys, mouse, touches
// and joysticks.
//
// vl_input_device (a collector root) is the current input device; every
// operation forwards to it with the key numbering of framework/key_codes.h:
// mouse buttons 0-2 are codes 1-3, touch n is code 384 + n (only touch 0,
// the left mouse button, exists), joystick button b of unit u is code
// 256 | b | u << 4. The device global must be set (by the application
// adapter) before any operation runs. Depends on host/input_device.h.
#pragma once

#include "host/input_device.h"

extern gxtkInput* vl_input_device;

int vl_input_SetInputDevice(gxtkInput* dev);
int vl_input_KeyDown(int key);
int vl_input_MouseDown(int button);
int vl_input_MouseHit(int button);
float vl_input_MouseX();
float vl_input_MouseY();
int vl_input_TouchDown(int index);
float vl_input_TouchX(int index);
float vl_input_TouchY(int index);
float vl_input_JoyX(int index, int unit);
float vl_input_JoyY(int index, int unit);
int vl_input_JoyDown(int button, int unit);
int vl_input_GetChar();
int vl_input_EnableKeyboard();
int vl_input_DisableKeyboard();
float vl_input_AccelX();
float vl_input_AccelY();
