// The loading screen and the click-to-start screen: a dark blue background, a
// yellow disc behind an orange band with the logo, and two spinners of eleven
// dots each turning 16 degrees per update.
#include <cmath>

#include "framework/app.h"
#include "game/modes.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "game/texts.h"

using namespace korvane;

namespace {

constexpr int kSpinStep = 16;  // degrees per call
constexpr int kSpinDots = 11;
constexpr float kDotRadius = 8;
constexpr float kDegToRad = 0.0174532924f;
constexpr int kUpdateRateRunning = 60;

// Eleven dots on a circle of radius m/4 around the screen centre, fading in
// along the circle.
void drawSpinner(vl_Korvane_MyApp& g, float shade, int angleOffset, float m) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  for (int k = 0; k < kSpinDots; ++k) {
    g.m_SetCol(shade, shade, shade, static_cast<float>(k) / 10.0f);
    const float a = static_cast<float>(g.spinAngle + kSpinStep * k + angleOffset) * kDegToRad;
    g.m_Oval(w / 2 + std::sin(a) * m / 4, h / 2 - std::cos(a) * m / 4, kDotRadius, kDotRadius);
  }
}

void runClickToStart(vl_Korvane_MyApp& g) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_SetSize(1, kUnset);
  g.m_SetCol(0, 0, 0, 0.2f);
  g.m_Oval(w / 2, 0.7f * h, 136, 24);
  g.m_Oval(w / 2, 0.7f * h, 132, 20);
  g.m_Oval(w / 2, 0.7f * h, 128, 16);
  g.m_SetSize(2, kUnset);
  g.m_SetCol(255, 255, 255, 1);
  g.m_Text(w / 2, 0.7f * h, String(texts::kClickToStart), 1, 0.8f);
  const float mx = static_cast<float>(g.mouseX);
  const float my = static_cast<float>(g.mouseY);
  if (g.mouseHit > 0 && 0.25f * w < mx && mx < 0.75f * w && 0.25f * h < my && my < 0.75f * h) {
    g.clickLatch = 1;
    g.mode = kModeMenu;
    g.m_Reload();
    vl_app_SetUpdateRate(kUpdateRateRunning);
  }
}

}  // namespace

int vl_Korvane_MyApp::m_WaitStart(int kind) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  m_CLS2D(40, 40, 80, 1);
  const float m = static_cast<float>(w > h ? static_cast<int>(h) : static_cast<int>(w));
  spinAngle += kSpinStep;
  if (kind == 1) drawSpinner(*this, 250, 180, m);
  m_SetCol(255, 255, 0, 0.8f);
  m_Oval(w / 2, h / 2, 0.3f * m, 0.3f * m);
  m_SetCol(250, 160, 60, 0.7f);
  m_Rect(0, 0.4f * h, w, 0.2f * h);
  m_ResetDraw();
  m_DrawImg(kImageTeamLogo, w / 2, 0.48f * h, 0);
  if (kind == 1) {
    drawSpinner(*this, 50, 0, m);
  } else if (kind == 0) {
    runClickToStart(*this);
  }
  return 0;
}
