// The sound switch: the game's settings hold one of the sound modes below at
// kSoundSetting, saved with the other settings. A build with music cycles the
// switch through all four modes; the silent build (KORVANE_MUSIC=OFF) only
// between off and effects on. What each mode plays is decided here once, for
// the effects, the music and the switch's picture, and the switch itself is
// drawn and worked by one function for the title menu and the pause panel
// (game/sound_setting.cpp).
#pragma once

class vl_Korvane_MyApp;

namespace korvane {

constexpr int kSoundSetting = 5;  // index of the sound mode in the game's settings

constexpr int kSoundOff = 0;
constexpr int kSoundMusicAndEffects = 1;  // the default
constexpr int kSoundEffectsOnly = 2;
constexpr int kSoundMusicOnly = 3;
constexpr int kSoundModes = 4;

inline bool SoundPlaysEffects(int mode) { return mode == kSoundMusicAndEffects || mode == kSoundEffectsOnly; }
inline bool SoundPlaysMusic(int mode) { return mode == kSoundMusicAndEffects || mode == kSoundMusicOnly; }

// The mode a press of the sound switch turns `mode` into: the next of the four
// with music, otherwise off and on in turn; a value out of range (a hand-edited
// state) becomes off.
inline int NextSoundMode(int mode, bool hasMusic) {
  const int next = hasMusic ? (mode + 1) % kSoundModes : 1 - mode;
  return next < 0 || next >= (hasMusic ? kSoundModes : 2) ? kSoundOff : next;
}

// The switch centred at (x, y) in virtual pixels at the current draw state's
// scale: its icon, a click on it (unless the click latch holds) stepping the
// mode with the click sound, and beside it the mark of the mode when the game
// has music.
void RunSoundSwitch(vl_Korvane_MyApp& g, float x, float y);
constexpr float kSoundSwitchSize = 2;
// The mode's mark: its distance right of the switch's centre, and its size.
constexpr float kSoundMarkOffset = 20;  // virtual pixels
constexpr float kSoundMarkSize = 1.5f;

}  // namespace korvane
