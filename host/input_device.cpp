#include "host/input_device.h"

#include <GLFW/glfw3.h>  // key numbers only: the polls that call GLFW are in input_poll.cpp

#include <algorithm>
#include <cstring>

#include "host/key_codes.h"

namespace {

constexpr int kDownFlag = 0x100;
constexpr int kHitMask = 0xff;
constexpr int kNavigationCharBase = 0x10000;  // keeps navigation keys apart from text
constexpr int kDeleteChar = 127;

bool validKey(int key) { return key >= 1 && key < gxtkInput::kKeyCount; }

// Codes 384 and up are touches; only the first one exists, as the mouse.
int aliasKey(int key) { return key == keycode::Touch(0) ? keycode::kMouseLeft : key; }

// The either-side code a left/right modifier feeds, or 0.
int pairedKey(int key) {
  if (key == keycode::kLeftShift || key == keycode::kRightShift) return keycode::kShift;
  if (key == keycode::kLeftControl || key == keycode::kRightControl) return keycode::kControl;
  return 0;
}

}  // namespace

void RemapJoyAxes(float* axes, int count) {
  if (count == 4) {
    axes[4] = axes[2];
    axes[2] = 0;
  } else if (count == 5) {
    std::swap(axes[3], axes[4]);
  }
}

gxtkInput::gxtkInput() : charPut(0), charGet(0), mouseX(0), mouseY(0) {
  std::memset(keyStates, 0, sizeof keyStates);
  std::memset(charQueue, 0, sizeof charQueue);
  std::memset(joyAxes, 0, sizeof joyAxes);
}

int gxtkInput::SetKeyboardEnabled(int) { return 0; }

int gxtkInput::KeyDown(int key) {
  key = aliasKey(key);
  return validKey(key) ? keyStates[key] >> 8 : 0;
}

int gxtkInput::KeyHit(int key) {
  key = aliasKey(key);
  return validKey(key) ? keyStates[key] & kHitMask : 0;
}

int gxtkInput::GetChar() { return charGet < charPut ? charQueue[charGet++] : 0; }

float gxtkInput::MouseX() { return mouseX; }
float gxtkInput::MouseY() { return mouseY; }

float gxtkInput::JoyX(int index) {
  if (index == 0) return joyAxes[0];
  if (index == 1) return joyAxes[3];
  return 0;
}

float gxtkInput::JoyY(int index) {
  if (index == 0) return joyAxes[1];
  if (index == 1) return -joyAxes[4];
  return 0;
}

float gxtkInput::JoyZ(int index) {
  if (index == 0) return joyAxes[2];
  if (index == 1) return joyAxes[5];
  return 0;
}

float gxtkInput::TouchX(int) { return mouseX; }
float gxtkInput::TouchY(int) { return mouseY; }
float gxtkInput::AccelX() { return 0; }
float gxtkInput::AccelY() { return 0; }
float gxtkInput::AccelZ() { return 0; }

void gxtkInput::BeginUpdate() {
  PollMouse();
  PollJoystick();
}

void gxtkInput::EndUpdate() {
  for (int& state : keyStates) state &= kDownFlag;
  charPut = 0;
  charGet = 0;
}

void gxtkInput::OnKeyDown(int key) {
  if (!validKey(key) || (keyStates[key] & kDownFlag)) return;  // repeats do not count
  // The hit count saturates instead of wrapping into the down flag.
  int hits = std::min((keyStates[key] & kHitMask) + 1, kHitMask);
  keyStates[key] = kDownFlag | hits;
  int either = pairedKey(key);
  if (either) OnKeyDown(either);
}

void gxtkInput::OnKeyUp(int key) {
  if (!validKey(key) || !(keyStates[key] & kDownFlag)) return;
  keyStates[key] &= ~kDownFlag;
  int either = pairedKey(key);
  if (either == keycode::kShift && !KeyDown(keycode::kLeftShift) && !KeyDown(keycode::kRightShift)) {
    OnKeyUp(either);
  }
  if (either == keycode::kControl && !KeyDown(keycode::kLeftControl) && !KeyDown(keycode::kRightControl)) {
    OnKeyUp(either);
  }
}

void gxtkInput::PutChar(int chr) {
  if (charPut < kCharQueueSize) charQueue[charPut++] = chr;
}

int TransKey(int key) {
  using namespace keycode;
  if (key >= GLFW_KEY_0 && key <= GLFW_KEY_9) return kDigit0 + (key - GLFW_KEY_0);
  if (key >= GLFW_KEY_A && key <= GLFW_KEY_Z) return kLetterA + (key - GLFW_KEY_A);
  if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F12) return kF1 + (key - GLFW_KEY_F1);
  switch (key) {
    case GLFW_KEY_SPACE: return kSpace;
    case GLFW_KEY_APOSTROPHE: return kQuote;
    case GLFW_KEY_COMMA: return kComma;
    case GLFW_KEY_MINUS: return kMinus;
    case GLFW_KEY_PERIOD: return kPeriod;
    case GLFW_KEY_SLASH: return kSlash;
    case GLFW_KEY_SEMICOLON: return kSemicolon;
    case GLFW_KEY_EQUAL: return kEquals;
    case GLFW_KEY_LEFT_BRACKET: return kOpenBracket;
    case GLFW_KEY_BACKSLASH: return kBackslash;
    case GLFW_KEY_RIGHT_BRACKET: return kCloseBracket;
    case GLFW_KEY_GRAVE_ACCENT: return kBackquote;
    case GLFW_KEY_ESCAPE: return kEscape;
    case GLFW_KEY_UP: return kUp;
    case GLFW_KEY_DOWN: return kDown;
    case GLFW_KEY_LEFT: return kLeft;
    case GLFW_KEY_RIGHT: return kRight;
    case GLFW_KEY_LEFT_SHIFT: return kLeftShift;
    case GLFW_KEY_RIGHT_SHIFT: return kRightShift;
    case GLFW_KEY_LEFT_CONTROL: return kLeftControl;
    case GLFW_KEY_RIGHT_CONTROL: return kRightControl;
    case GLFW_KEY_TAB: return kTab;
    case GLFW_KEY_ENTER: return kEnter;
    case GLFW_KEY_BACKSPACE: return kBackspace;
    case GLFW_KEY_INSERT: return kInsert;
    case GLFW_KEY_DELETE: return kDelete;
    case GLFW_KEY_PAGE_UP: return kPageUp;
    case GLFW_KEY_PAGE_DOWN: return kPageDown;
    case GLFW_KEY_HOME: return kHome;
    case GLFW_KEY_END: return kEnd;
    default: return 0;
  }
}

int KeyToChar(int key) {
  using namespace keycode;
  switch (key) {
    case kBackspace:
    case kTab:
    case kEnter:
    case kEscape: return key;
    case kPageUp:
    case kPageDown:
    case kEnd:
    case kHome:
    case kLeft:
    case kUp:
    case kRight:
    case kDown:
    case kInsert: return key + kNavigationCharBase;
    case kDelete: return kDeleteChar;
    default: return 0;
  }
}
