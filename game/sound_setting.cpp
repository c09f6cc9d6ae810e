// The sound switch that the title menu and the pause panel share.
#include "game/sound_setting.h"

#include "game/my_app.h"
#include "game/slots.h"

namespace korvane {

namespace {

constexpr float kClickVolume = 0.5f;

}  // namespace

void RunSoundSwitch(vl_Korvane_MyApp& g, float x, float y) {
  g.m_SetSize(kSoundSwitchSize, kUnset);
  g.m_SetCol(50, 250, 50, 1);
  const int frame = g.settings[kSoundSetting] != kSoundOff ? kIconSoundOn : kIconSoundOff;
  if (g.m_Button(kImageIcons, x, y, frame) != 0 && g.clickLatch == 0) {
    g.settings[kSoundSetting] = NextSoundMode(g.settings[kSoundSetting], vl_Korvane_HasMusic == 1);
    g.clickLatch = 1;
    g.m_PlaySFX(kSfxClick, 1, kClickVolume, 0);
  }
  const int sound = g.settings[kSoundSetting];
  if (vl_Korvane_HasMusic == 1 && sound >= kSoundMusicAndEffects && sound <= kSoundMusicOnly) {
    g.m_SetSize(kSoundMarkSize, kUnset);
    g.m_SetCol(180, 255, 255, 1);
    g.m_DrawImg(kImageIcons, x + kSoundMarkOffset, y, static_cast<float>(sound + kIconMusicModeBase));
  }
}

}  // namespace korvane
