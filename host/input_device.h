// The input device: keyboard, typed characters, mouse and the first joystick
// as one table of framework key codes.
//
// Key codes (named in host/key_codes.h): 1-3 the left, right and middle mouse
// buttons; keyboard keys by the table in TransKey (letters and digits as their
// upper-case characters, 16/17 either shift/control, 160-163 the left and
// right ones, ...); 256 + n button n of the first joystick; 384 reads the
// state of code 1. Each entry holds a down flag (0x100) and a hit count (low
// byte) of presses since the last EndUpdate. Typed characters queue up to 32
// per update.
//
// Window events reach the device through the host's callbacks (TransKey,
// OnKeyDown/OnKeyUp, KeyToChar, PutChar); BeginUpdate polls the pointer and
// the joystick, EndUpdate clears hit counts and the queue. Depends on
// runtime/ (collected objects) and GLFW 3 for polling; main thread only.
#pragma once

#include "host/object.h"

class gxtkInput : public gxtkObject {
 public:
  static constexpr int kKeyCount = 512;
  static constexpr int kCharQueueSize = 32;
  static constexpr int kJoyAxisCount = 6;

  int keyStates[kKeyCount];
  int charQueue[kCharQueueSize];
  int charPut;
  int charGet;
  float mouseX, mouseY;
  float joyAxes[kJoyAxisCount];

  gxtkInput();

  virtual int SetKeyboardEnabled(int enabled);
  virtual int KeyDown(int key);
  virtual int KeyHit(int key);
  virtual int GetChar();
  virtual float MouseX();
  virtual float MouseY();
  virtual float JoyX(int index);
  virtual float JoyY(int index);
  virtual float JoyZ(int index);
  virtual float TouchX(int index);
  virtual float TouchY(int index);
  virtual float AccelX();
  virtual float AccelY();
  virtual float AccelZ();

  void BeginUpdate();
  void EndUpdate();
  void OnKeyDown(int key);
  void OnKeyUp(int key);
  void PutChar(int chr);

 private:
  void PollMouse();
  void PollJoystick();
};

// Moves the axes of common pads so that the second stick reads as unit 1 of
// JoyX/JoyY: a four-axis pad's third axis goes to position 4 (JoyY(1)), a
// five-axis pad has positions 3 and 4 swapped. `axes` holds 6 entries.
void RemapJoyAxes(float* axes, int count);

// GLFW 3 key number -> framework key code, 0 for keys the framework ignores
// (alt, super, keypad, F13 and above, ...).
int TransKey(int key);

// The character a key press queues besides the window's own character
// events: control characters for backspace, tab, enter and escape, 127 for
// delete, code + 0x10000 for the navigation keys; 0 for every other key.
int KeyToChar(int key);
