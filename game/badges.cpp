// Badges on screen: each badge's name and description, the pop-up that
// announces a newly earned badge, and the badge gallery. Which badges are
// earned is saved with the state (game/saved_state.cpp). Nothing in this game
// earns a badge or opens the gallery, so the pop-up draws nothing and the
// gallery only ever shows its two panels.
#include "game/input_actions.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "game/texts.h"

using namespace korvane;

namespace {

// Pop-ups.
constexpr int kPopSlots = 13;
constexpr int kPopSlideEnd = 240;  // timer value at which a pop-up has left
constexpr int kPopSlideOut = 230;
constexpr float kPopWidth = 160;
constexpr float kPopRowPitch = 34;
constexpr int kBadgeSheetFrames = 64;

// Gallery.
constexpr float kScrollStep = 16;  // virtual pixels per update while a key is held

// Text of a badge record up to the first separator, or between the first and
// the second.
String recordField(const String& record, int field) {
  int start = 0;
  for (int f = 0; f < field; ++f) {
    const int sep = record.Find(String("|"), start);
    if (sep < 0) return String();
    start = sep + 1;
  }
  const int end = record.Find(String("|"), start);
  return record.Slice(start, end < 0 ? record.Length() : end);
}

}  // namespace

String vl_Korvane_MyApp::m_BadgeID(int badge) {
  if (badge == 0) return String(texts::kTestBadge);
  return String();
}

String vl_Korvane_MyApp::m_BadgeName(int badge) { return recordField(m_BadgeID(badge), 0); }

String vl_Korvane_MyApp::m_BadgeDetail(int badge) { return recordField(m_BadgeID(badge), 1); }

int vl_Korvane_MyApp::m_ShowBadges() {
  m_ResetDraw();
  for (int k = 0; k < kPopSlots; ++k) {
    int timer = badgePopTimer[k];
    if (timer < 1) continue;
    timer = timer + 1;
    badgePopTimer[k] = timer;
    float x = 16.0f * static_cast<float>(timer) - kPopWidth;
    if (timer > kPopSlideOut) x = 16.0f * static_cast<float>(kPopSlideEnd - timer) - kPopWidth;
    if (x > 0) x = 0;
    if (timer > kPopSlideEnd) badgePopTimer[k] = 0;  // drawn once more, off screen
    const float y = vl_Korvane_jscrh - kPopRowPitch * static_cast<float>(k + 1);
    const int badge = badgePopId[k];
    m_SetCol(0, 0, 80, 0.8f);
    m_Rect(x, y, kPopWidth, 32);
    m_SetCol(255, 255, 255, 1);
    m_Text(x + 16, y + 4, m_BadgeName(badge), 0, 0);
    if (badge <= 63 && badge >= 0 && badge < kBadgeSheetFrames) {
      m_SetSize(0.5f, kUnset);
      m_DrawImg(kImageBadges, x + 144, y + 16, static_cast<float>(badge));
      m_SetSize(1, kUnset);
    }
  }
  return 0;
}

// The gallery: two panels whose scroll position follows the keys or a drag.
// Nothing in this game selects a badge in it, so it shows no badge detail.
int vl_Korvane_MyApp::m_BadgesBox() {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  m_ResetDraw();
  m_SetCol(255, 125, 0, 0.8f);
  m_Rect(0.1f * w, -1, 0.8f * w, h + 2);
  m_SetCol(100, 0, 0, 0.8f);
  m_Rect(0.12f * w, -1, 0.76f * w, h + 2);
  m_SetCol(255, 255, 255, kUnset);
  if (m_PlayKey(kActionUp) != 0) badgeScroll -= kScrollStep;
  if (m_PlayKey(kActionDown) != 0) badgeScroll += kScrollStep;
  if (badgeScroll > 0) badgeScroll = 0;
  if (mouseWasDown != 0 && static_cast<float>(mouseX) > 0.12f * w) {
    badgeScroll += 1.5f * static_cast<float>(mouseY - prevMouseY);
  }
  badgeScrollShown += (badgeScroll - badgeScrollShown) / 6;
  const float gap = badgeScroll - badgeScrollShown;
  if (gap > -6 && gap < 6) badgeScrollShown = badgeScroll;
  return 0;
}
