// Sound effects of the game object: m_PlaySFX plays an effect slot on the next
// channel of a rotor of 24, so that a burst of effects overlaps instead of
// cutting itself off, and only while the sound switch lets effects play.
#include "framework/audio.h"
#include "game/my_app.h"
#include "game/sound_setting.h"

using namespace korvane;

namespace {

constexpr int kSfxRotorSize = 24;  // effect channels in rotation

bool effectsOn(const vl_Korvane_MyApp& g) { return SoundPlaysEffects(g.settings[kSoundSetting]); }

}  // namespace

int vl_Korvane_MyApp::m_PlaySFX(int slot, float rate, float volume, float pan) {
  if (!effectsOn(*this)) return 0;
  sfxNext = (sfxNext + 1) % kSfxRotorSize;
  const int channel = sfxChannels[sfxNext];
  vl_audio_StopChannel(channel);
  // An empty slot plays nothing but still takes the channel and its settings.
  if (slot >= 0 && slot < sounds.Length() && sounds[slot] != nullptr) {
    vl_audio_PlaySound(sounds[slot], channel, 0);
  }
  vl_audio_SetChannelRate(channel, rate);
  vl_audio_SetChannelVolume(channel, volume);
  vl_audio_SetChannelPan(channel, pan);
  return 0;
}
