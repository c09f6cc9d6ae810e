// The numbered slots of the game object's images and sound effects: the
// loader (game/assets.cpp) fills them, the screens draw and play them by
// these names. Sound slot N is the file sfx/NNN.wav (docs/DATA.md says what
// each sounds like).
#pragma once

namespace korvane {

constexpr int kImageSlots = 100;
constexpr int kSoundSlots = 100;

// Image slots.
constexpr int kImageGems = 1;        // gems.png: the gems
constexpr int kImageBadges = 80;     // BadgesA.png: the badge sheet
constexpr int kImageWordList = 85;   // the picture-encoded word list's sheet
constexpr int kImageFont = 90;       // fonts/editundo.png: the game's font
constexpr int kImageArcade = 92;     // common/icade.png: the arcade-controller marks
constexpr int kImageTeamLogo = 93;   // common/ZEVOLogo.png: loading screen and credits
constexpr int kImageDpad = 94;       // common/dpad.png: the on-screen pad
constexpr int kImageButtons = 95;    // common/Buttons.png: the menu's buttons
constexpr int kImageParts = 96;      // parts.png: particles
constexpr int kImageIcons = 97;      // common/icons.png: the icon sheet below
constexpr int kImageTitleLogo = 98;  // logo.png: the title word
constexpr int kImageMenuArt = 99;    // menu.png: the title art

// Frames of the icon sheet.
constexpr int kIconPause = 0;
constexpr int kIconQuit = 1;
constexpr int kIconResume = 3;
constexpr int kIconSoundOn = 4;
constexpr int kIconSoundOff = 5;
constexpr int kIconHighlight = 6;
constexpr int kIconCalibrate = 7;
constexpr int kIconMusicModeBase = 7;  // frames 8-10 mark the sound modes 1-3

// Sound-effect slots.
constexpr int kSfxSpare = 1;
constexpr int kSfxShatter = 2;
constexpr int kSfxPathAccepted = 3;
constexpr int kSfxGemTaken = 4;
constexpr int kSfxPathShort = 5;
constexpr int kSfxRoundFailed = 6;
constexpr int kSfxRoundCleared = 7;
constexpr int kSfxTargetReached = 8;
constexpr int kSfxSpareBell = 95;
constexpr int kSfxClick = 98;
constexpr int kSfxCredits = 99;

}  // namespace korvane
