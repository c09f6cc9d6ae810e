// The music player: a small tracker with five voices (drum kits A and B, lead,
// accompaniment, bass). A song is 64 patterns of 64 rows stored as the 64x64
// frames of an image; instrument samples are WAV files under "inst/". The
// arrangement is procedural: at every section change each voice jumps to a
// pattern drawn at random, voices are muted or given fills, and a queue of
// chord letters transposes the melodic voices bar by bar.
//
// Depends on the framework only: the application clock (vl_app_Millisecs),
// images and pixel read-back (graphics), channels and sounds (audio) and the
// shared generator vl_random_Seed. Every random decision reseeds that
// generator from songSeed first, so the same seed always gives the same song
// whatever else drew from it in between.
//
// Callers keep to this: m_KX_Alive_R runs inside a render pass (it draws and
// reads pixels back); m_KX_Alive_U runs once per update. The player is a
// collected object and must stay reachable from a collector root between
// calls (the game holds it in a field).
#pragma once

#include "framework/audio.h"
#include "framework/graphics.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class vl_KXTrackr_KXPlayer : public Object {
 public:
  // Layout of the song data: a cell is 8 ints; voice v of a pattern is 64
  // cells; a pattern is 8 voices.
  static constexpr int kCellInts = 8;
  static constexpr int kRows = 64;
  static constexpr int kVoiceSlots = 8;
  static constexpr int kVoiceInts = kRows * kCellInts;           // 512
  static constexpr int kPatternInts = kVoiceSlots * kVoiceInts;  // 4096
  static constexpr int kPatterns = 64;
  static constexpr int kSongInts = kPatterns * kPatternInts + 1;  // one spare entry

  // Values of playState: stopped; started, waiting for the song to load; and
  // playing, which the last loading step sets. Compared by order too.
  static constexpr int kStopped = 0;
  static constexpr int kStarted = 1;
  static constexpr int kPlaying = 2;

  int channelBase = 0;
  // Entries 1-4 keep the last four arguments of m_KX_Init. Nothing reads them:
  // they are part of the player's recorded state, kept as it is.
  Array<int> initParams;
  int loadStep = 0;
  Array<int> sampleSet;
  Array<vl_audio_Sound*> kitA;
  Array<vl_audio_Sound*> kitB;
  Array<vl_audio_Sound*> instruments;
  String songFile;
  vl_graphics_Image* songImage = nullptr;
  Array<int> songData;
  Array<int> lastPattern;
  int nextTime = 0;
  int playState = 0;
  int voiceCount = 5;
  Array<int> voiceChannel;
  Array<int> voiceSounding;
  Array<int> patternPos;
  int row = 0;
  int barsLeft = 0;
  Array<int> mute;
  Array<int> nextMute;
  Array<int> fill;
  float chordPitch = 0.0f;
  String chordQueue;
  Array<float> voiceRate;
  Array<float> voiceEnvelope;
  float masterVolume = 0.5f;
  Array<float> voiceVolume;
  int tempo = 95;
  int songSeed = 0;
  int section = 0;

  vl_KXTrackr_KXPlayer();
  vl_KXTrackr_KXPlayer* g_new();

  virtual int m_KX_Init(int base, int a, int b, int c, int d);
  virtual int m_KX_LoadChunk();
  virtual int m_KX_Alive_R();
  virtual int m_KX_Stop(int reset);
  virtual float m_GetPitch_Alpha(int ch);
  virtual float m_GetPitch(int note);
  virtual int m_KX_PlayNote(int voice, int note, int volume, int command, int param);
  virtual int m_Rand(int low, int high);
  virtual String m_KX_GetChord(int k);
  virtual int m_KX_MusicPlay();
  virtual int m_KX_Alive_U(int paused, int musicOn);

  // Starts a song: sets the song file, the sample numbers in the file names of
  // drum kit A, drum kit B, lead, accompaniment and bass, and the seed; rewinds
  // the song and begins loading. Rows start to play once the 70 loading steps
  // are done. The game never calls it (its music stays switched off).
  int m_KX_Start(String file, int drumsA, int drumsB, int lead, int accompany, int bass, int seed);

  // First index of the cell of pattern p, voice v, row r in songData.
  static int CellIndex(int pattern, int voice, int row) {
    return kPatternInts * pattern + kVoiceInts * voice + kCellInts * row;
  }

  void mark() override;

 private:
  void LoadSamples(int step);
  void LoadSongImage();
  void DecodePattern(int frame, int step);
  void StartBar();
  void StartSection();
  // The parts of m_KX_PlayNote, in the order it runs them.
  bool IsVoiceMuted(int v);
  void UpdateChordPitch();
  void AssignVoiceChannels();
  void StrikeDrum(int v, int note, bool muted, int channel);
  float ApplyCellVolume(int v, int volume, bool muted, int channel);
  void FollowEnvelope(int v, int channel, float level);
  void StartMelodicNote(int v, int note, int channel);
  void ApplySlide(int v, int channel, int command, int param);
  int ActiveVoices() const;
};
