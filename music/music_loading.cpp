// Construction, start and loading of the music player: the song image decoded
// into patterns and the instrument samples, a step per call. The sequencer
// that plays the loaded song, with its pitch and chord tables, is in
// music_sequencer.cpp.
#include "music/music_player.h"

#include "framework/app.h"
#include "runtime/errors.h"

namespace {

// Fixed texts of the player, kept together.
const char* const kMusicFileLine = "Music File : ";
const char* const kCellLineSeparator = ":";
const char* const kDrumPrefix = "inst/d";
const char* const kDrumNumberSeparator = "-";
const char* const kLeadPrefix = "inst/lead";
const char* const kAccompanyPrefix = "inst/accompany";
const char* const kBassPrefix = "inst/bass";
const char* const kSampleSuffix = ".wav";

constexpr int kArraySize = 8;  // every per-voice and parameter array
constexpr int kKitSize = 9;    // drums 1-8; entry 0 unused
constexpr int kDrumsPerKit = 8;

// Loading steps, 70 in all; a step loads at most one sample and decodes at
// most one pattern.
constexpr int kLoadSongImageStep = 1;
constexpr int kFirstKitAStep = 2;   // drums 1-8 of kit A at steps 2-9
constexpr int kFirstKitBStep = 12;  // drums 1-8 of kit B at steps 12-19
constexpr int kLeadStep = 21;
constexpr int kAccompanyStep = 22;
constexpr int kBassStep = 23;
constexpr int kFirstPatternStep = 5;  // frame 0 at step 5 ...
constexpr int kLastPatternStep = 67;  // ... frame 62 at step 67
constexpr int kLastLoadStep = 70;
constexpr int kLoadStepDelayMs = 100;

// Instrument slots: entries 2-4 of `instruments` and of `sampleSet`.
constexpr int kLeadVoice = 2;
constexpr int kAccompanyVoice = 3;
constexpr int kBassVoice = 4;

// The song image: 64 frames of 64x64 pixels, handle at the frame's centre.
constexpr int kFrameSize = 64;
constexpr int kFrameCount = 64;
constexpr int kHandleCentre = 1;
constexpr int kBlueShift = 0;  // pixels read back as 0xAARRGGBB
constexpr int kValueDivisor = 8;

}  // namespace

vl_KXTrackr_KXPlayer::vl_KXTrackr_KXPlayer() {
  gc_assign(initParams, Array<int>(kArraySize));
  gc_assign(sampleSet, Array<int>(kArraySize));
  gc_assign(kitA, Array<vl_audio_Sound*>(kKitSize));
  gc_assign(kitB, Array<vl_audio_Sound*>(kKitSize));
  gc_assign(instruments, Array<vl_audio_Sound*>(kArraySize));
  gc_assign(songData, Array<int>(kSongInts));
  gc_assign(lastPattern, Array<int>(kArraySize));
  gc_assign(voiceChannel, Array<int>(kArraySize));
  gc_assign(voiceSounding, Array<int>(kArraySize));
  gc_assign(patternPos, Array<int>(kArraySize));
  gc_assign(mute, Array<int>(kArraySize));
  gc_assign(nextMute, Array<int>(kArraySize));
  gc_assign(fill, Array<int>(kArraySize));
  gc_assign(voiceRate, Array<float>(kArraySize));
  gc_assign(voiceEnvelope, Array<float>(kArraySize));
  gc_assign(voiceVolume, Array<float>(kArraySize));
}

vl_KXTrackr_KXPlayer* vl_KXTrackr_KXPlayer::g_new() { return this; }

void vl_KXTrackr_KXPlayer::mark() {
  gc_enqueue(initParams);
  gc_enqueue(sampleSet);
  gc_enqueue(kitA);
  gc_enqueue(kitB);
  gc_enqueue(instruments);
  gc_enqueue(songImage);
  gc_enqueue(songData);
  gc_enqueue(lastPattern);
  gc_enqueue(voiceChannel);
  gc_enqueue(voiceSounding);
  gc_enqueue(patternPos);
  gc_enqueue(mute);
  gc_enqueue(nextMute);
  gc_enqueue(fill);
  gc_enqueue(voiceRate);
  gc_enqueue(voiceEnvelope);
  gc_enqueue(voiceVolume);
}

int vl_KXTrackr_KXPlayer::m_KX_Init(int base, int a, int b, int c, int d) {
  channelBase = base;
  initParams[1] = a;
  initParams[2] = b;
  initParams[3] = c;
  initParams[4] = d;
  return 0;
}

int vl_KXTrackr_KXPlayer::m_KX_Start(String file, int drumsA, int drumsB, int lead, int accompany, int bass, int seed) {
  m_KX_Stop(1);
  songFile = file;
  sampleSet[1] = drumsA;
  sampleSet[2] = drumsB;
  sampleSet[kLeadVoice + 1] = lead;
  sampleSet[kAccompanyVoice + 1] = accompany;
  sampleSet[kBassVoice + 1] = bass;
  songSeed = seed;
  // A new song starts at its first row with every voice on pattern 0 and
  // nothing muted; the first bar start then begins section 1.
  row = 0;
  barsLeft = 0;
  section = 0;
  for (int v = 0; v < kArraySize; ++v) {
    patternPos[v] = 0;
    mute[v] = 0;
    nextMute[v] = 0;
    fill[v] = 0;
    lastPattern[v] = 0;
  }
  // One letter in the queue: the first bar start draws a chord pattern to
  // follow it, and from then on the queue refills itself.
  chordQueue = T("q");
  loadStep = kLoadSongImageStep;
  playState = kStarted;  // the last loading step turns it into kPlaying
  return 0;
}

// ---------------------------------------------------------------- tables

// ---------------------------------------------------------------- loading

int vl_KXTrackr_KXPlayer::m_KX_Alive_R() {
  constexpr int kStepsPerFrame = 3;  // keeps loading from stalling a frame
  for (int i = 0; i < kStepsPerFrame && loadStep > 0; ++i) m_KX_LoadChunk();
  vl_graphics_Cls(0.0f, 0.0f, 0.0f);
  return 0;
}

int vl_KXTrackr_KXPlayer::m_KX_LoadChunk() {
  const int step = loadStep;
  LoadSamples(step);
  if (step == kLoadSongImageStep) LoadSongImage();
  if (songImage != nullptr && step >= kFirstPatternStep && step <= kLastPatternStep) {
    DecodePattern(step - kFirstPatternStep, step);
  }
  loadStep = step + 1;
  nextTime = vl_app_Millisecs() + kLoadStepDelayMs;
  if (loadStep > kLastLoadStep) {
    loadStep = 0;
    if (playState == kStarted) playState = kPlaying;  // a started song begins to play
  }
  return 0;
}

void vl_KXTrackr_KXPlayer::LoadSamples(int step) {
  if (step >= kFirstKitAStep && step < kFirstKitAStep + kDrumsPerKit) {
    const int drum = step - kFirstKitAStep + 1;
    gc_assign(kitA[drum], vl_audio_LoadSound(T(kDrumPrefix) + String(sampleSet[1]) + T(kDrumNumberSeparator) +
                                             String(drum) + T(kSampleSuffix)));
  } else if (step >= kFirstKitBStep && step < kFirstKitBStep + kDrumsPerKit) {
    const int drum = step - kFirstKitBStep + 1;
    gc_assign(kitB[drum], vl_audio_LoadSound(T(kDrumPrefix) + String(sampleSet[2]) + T(kDrumNumberSeparator) +
                                             String(drum) + T(kSampleSuffix)));
  } else if (step == kLeadStep) {
    gc_assign(instruments[kLeadVoice], vl_audio_LoadSound(T(kLeadPrefix) + String(sampleSet[3]) + T(kSampleSuffix)));
  } else if (step == kAccompanyStep) {
    gc_assign(instruments[kAccompanyVoice],
              vl_audio_LoadSound(T(kAccompanyPrefix) + String(sampleSet[4]) + T(kSampleSuffix)));
  } else if (step == kBassStep) {
    gc_assign(instruments[kBassVoice], vl_audio_LoadSound(T(kBassPrefix) + String(sampleSet[5]) + T(kSampleSuffix)));
  }
}

void vl_KXTrackr_KXPlayer::LoadSongImage() {
  DebugLog(T(kMusicFileLine) + songFile);
  // Load the whole file first and cut the frames only when all 64 fit: a
  // song image that is too small leaves the song empty instead of ending
  // the program with "Image frame outside surface".
  vl_graphics_Image* whole = vl_graphics_LoadImage(songFile, 1, 0);
  vl_graphics_Image* song = nullptr;
  if (whole != nullptr) {
    const int framesAcross = whole->width / kFrameSize;
    const int framesDown = whole->height / kFrameSize;
    if (framesAcross * framesDown >= kFrameCount) {
      song = whole->m_GrabImage(0, 0, kFrameSize, kFrameSize, kFrameCount, kHandleCentre);
    }
  }
  gc_assign(songImage, song);
}

void vl_KXTrackr_KXPlayer::DecodePattern(int frame, int step) {
  // Draw the frame alone on a near-black square at the top left of the
  // frame buffer and read it back: one pixel per cell field.
  vl_graphics_Cls(1.0f, 0.0f, 0.0f);
  vl_graphics_SetAlpha(1.0f);
  vl_graphics_SetColor(1.0f, 0.0f, 0.0f);
  vl_graphics_DrawRect(0.0f, 0.0f, kFrameSize, kFrameSize);
  vl_graphics_SetColor(255.0f, 255.0f, 255.0f);
  vl_graphics_DrawImage(songImage, kFrameSize / 2, kFrameSize / 2, frame);
  Array<int> pixels(kFrameSize * kFrameSize);
  vl_graphics_ReadPixels(pixels, 0, 0, kFrameSize, kFrameSize, 0, 0);

  for (int r = 0; r < kRows; ++r) {
    for (int v = 0; v < kVoiceSlots; ++v) {
      for (int k = 0; k < kCellInts; ++k) {
        const int pixel = pixels[r * kFrameSize + v * kCellInts + k];
        const int value = ((pixel >> kBlueShift) & 0xff) / kValueDivisor;
        songData[CellIndex(frame, v, r) + k] = value;
        if (value != 0) {
          DebugLog(String(r) + T(kCellLineSeparator) + String(v) + T(kCellLineSeparator) + String(step));
          lastPattern[v] = frame;
        }
      }
    }
  }
}
