// The framework's key codes: the numbering of the input device's key table,
// in which every key, mouse button, joystick button and touch is one code.
//
// The host fills the table in this numbering (TransKey, the mouse-button and
// joystick handlers), the input module reads it, and the game names the keys
// of its actions with it (through framework/key_codes.h, since the game sees
// the host only through the framework). Codes outside 1..511 are never set.
// Keyboard codes that have a character are that character's upper-case code.
#pragma once

namespace keycode {

// Mouse buttons in the window library's order.
constexpr int kMouseLeft = 1;
constexpr int kMouseRight = 2;
constexpr int kMouseMiddle = 3;

constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kEnter = 13;
constexpr int kShift = 16;    // either shift key
constexpr int kControl = 17;  // either control key
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kPageUp = 33;
constexpr int kPageDown = 34;
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kLeft = 37;
constexpr int kUp = 38;
constexpr int kRight = 39;
constexpr int kDown = 40;
constexpr int kInsert = 45;
constexpr int kDelete = 46;
constexpr int kDigit0 = 48;   // digits 0-9 are 48-57
constexpr int kLetterA = 65;  // letters A-Z are 65-90
constexpr int kF1 = 112;      // F1-F12 are 112-123
constexpr int kLeftShift = 160;
constexpr int kRightShift = 161;
constexpr int kLeftControl = 162;
constexpr int kRightControl = 163;
constexpr int kSemicolon = 186;
constexpr int kEquals = 187;
constexpr int kComma = 188;
constexpr int kMinus = 189;
constexpr int kPeriod = 190;
constexpr int kSlash = 191;
constexpr int kBackquote = 192;  // also tilde
constexpr int kOpenBracket = 219;
constexpr int kBackslash = 220;
constexpr int kCloseBracket = 221;
constexpr int kQuote = 222;  // also the double quote

constexpr int kJoyButtonBase = 256;  // button n of the first joystick is 256 + n
constexpr int kTouchBase = 384;      // touch n is 384 + n; touch 0 reads kMouseLeft

// The code of an upper-case letter key, 'A' to 'Z'.
constexpr int Letter(char upper) { return kLetterA + (upper - 'A'); }
constexpr int JoyButton(int n) { return kJoyButtonBase + n; }
constexpr int Touch(int n) { return kTouchBase + n; }

}  // namespace keycode
