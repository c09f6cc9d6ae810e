// The arcade controller's letters and its on/off switch (m_iCade).
#include "game/arcade_controller.h"

#include "framework/input.h"
#include "game/input_actions.h"

using namespace korvane;

namespace {

// Pressing the first letter holds the pad, the second releases it.
struct ArcadeLetters {
  int pad;
  char press;
  char release;
};
constexpr ArcadeLetters kArcadeLetters[] = {
    {0, 'W', 'E'},  {8, 'X', 'Z'},  {3, 'A', 'Q'},  {5, 'D', 'C'},  {10, 'H', 'R'}, {11, 'J', 'N'},
    {12, 'K', 'P'}, {13, 'Y', 'T'}, {14, 'U', 'F'}, {15, 'I', 'M'}, {16, 'O', 'G'}, {17, 'L', 'V'},
};
constexpr int kPadHeldByArcade = 2;

int upperLetter(int c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

}  // namespace

namespace korvane {

void DecodeArcadeLetters(vl_Korvane_MyApp& g) {
  for (;;) {
    const int c = vl_input_GetChar();
    if (c == 0) break;
    if (c < 0) continue;
    g.lastChar = c;
    const int letter = upperLetter(c);
    for (const ArcadeLetters& entry : kArcadeLetters) {
      if (letter == entry.press) g.pads[entry.pad] = kPadHeldByArcade;
      if (letter == entry.release) g.pads[entry.pad] = 0;
    }
  }
}

}  // namespace korvane

int vl_Korvane_MyApp::m_iCade(int mode) {
  if (mode == 1) {
    vl_input_EnableKeyboard();
    vl_Korvane_iCadeControls = 1;
    while (vl_input_GetChar() != 0) {
      // characters typed before the switch are not controller letters
    }
  } else if (mode == 0) {
    vl_input_DisableKeyboard();
    vl_Korvane_iCadeControls = 0;
    // The shared loop counter ends at the pad count, as every loop of the
    // game object leaves it.
    for (lp = 0; lp < kPadCount; ++lp) pads[lp] = 0;
  }
  return 0;
}
