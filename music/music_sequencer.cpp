// The sequencer of the music player: row timing, the seeded arrangement at
// bar and section starts, the playback of one cell on one voice, and the
// pitch and chord tables it plays from.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "framework/app.h"
#include "framework/random.h"
#include "music/music_player.h"

namespace {

constexpr int kDrumVoiceA = 0;
constexpr int kDrumVoiceB = 1;
constexpr int kFirstMelodicVoice = 2;
constexpr int kLastMelodicVoice = 4;

// Cell fields.
constexpr int kNoteField = 0;
constexpr int kVolumeField = 1;
constexpr int kCommandField = 2;
constexpr int kParamField = 3;

// Effect commands.
constexpr int kSlideUpFine = 1;
constexpr int kSlideDownFine = 2;
constexpr int kSlideUp = 3;
constexpr int kSlideDown = 4;
constexpr int kEndPattern = 8;
constexpr int kStepPattern = 27;
constexpr float kFineSlideDivisor = 180.0f;
constexpr float kSlideDivisor = 15.0f;
constexpr float kHighestRate = 4.0f;
constexpr float kLowestRate = 0.25f;

constexpr int kLastRow = 63;
constexpr int kFillFirstRow = 56;  // fills play in the last 8 rows of a section
constexpr int kRowsPerBar = 64;

// A nextTime this far ahead of the clock cannot be a real schedule (the
// clock jumped or wrapped): the row plays at once.
constexpr int64_t kStaleAheadMs = 123456;
constexpr double kRowTimeScale = 8000.0;  // a row lasts 8000 / tempo ms
constexpr int kPauseResumeDelayMs = 150;

// Arrangement draws: the generator is reseeded and warmed up by discarding a
// fixed number of draws before every decision.
constexpr int kBarSeedStride = 9;    // per section
constexpr int kVoiceSeedStride = 7;  // per voice
constexpr int kBarWarmUpDraws = 16;
constexpr int kSectionWarmUpDraws = 11;
constexpr int kHighestDrawnChord = 4;  // chord pattern 5 is never drawn

// Drum notes 13, 15, 17, 18, 20, 22, 24, 25 select drums 1-8.
constexpr int kDrumNotes[] = {13, 15, 17, 18, 20, 22, 24, 25};
constexpr float kDrumPanA = -0.35f;
constexpr float kDrumPanB = 0.35f;
constexpr float kDrumEnvelope = 4.0f;
constexpr float kNoteEnvelope = 1.5f;
constexpr float kEnvelopeFallPerRow = 0.1f;
constexpr float kHighestVolume = 30.0f;  // volumes 1-30 map to 0-1

constexpr int kPlayOnce = 0;
constexpr int kPlayLooping = 1;

int drumForNote(int note) {
  for (int i = 0; i < static_cast<int>(sizeof(kDrumNotes) / sizeof(kDrumNotes[0])); ++i) {
    if (kDrumNotes[i] == note) return i + 1;
  }
  return 0;
}

void reseed(int seed, int warmUpDraws, vl_KXTrackr_KXPlayer* player) {
  vl_random_Seed = seed;
  for (int i = 0; i < warmUpDraws; ++i) player->m_Rand(1, 5);
}

// Pitch ratios of the twelve semitones above a sample's own pitch (notes 13-24).
constexpr float kSemitoneRatio[12] = {1.0f,   1.059f, 1.122f, 1.189f, 1.26f,  1.335f,
                                      1.414f, 1.498f, 1.587f, 1.682f, 1.782f, 1.888f};
constexpr int kLowestNote = 1;
constexpr int kMiddleOctaveNote = 13;
constexpr int kHighOctaveNote = 25;
constexpr int kHighestNote = 32;

// Chord letters laid out like three octaves of a keyboard: the letter at
// position i of a row is note (first note of the row) + i.
struct LetterRow {
  const char* letters;
  int firstNote;
};
constexpr LetterRow kChordLetters[] = {
    {"zsxdcvgbhnjm", kLowestNote},
    {"q2w3er5t6y7u", kMiddleOctaveNote},
    {"i9o0p[=]", kHighOctaveNote},
};

// Chord patterns, one letter per bar; any number not listed gives pattern 1.
const char* const kChordPatterns[] = {"qqqq", "qqjj", "qqbb", "qbqb", "qqqj", "qqzz"};
constexpr int kDefaultChordPattern = 1;

}  // namespace

float vl_KXTrackr_KXPlayer::m_GetPitch(int note) {
  if (note >= kLowestNote && note < kMiddleOctaveNote) {
    return kSemitoneRatio[note - kLowestNote] * 0.5f;
  }
  if (note >= kMiddleOctaveNote && note < kHighOctaveNote) {
    return kSemitoneRatio[note - kMiddleOctaveNote];
  }
  if (note >= kHighOctaveNote && note <= kHighestNote) {
    return kSemitoneRatio[note - kHighOctaveNote] * 2.0f;
  }
  return 0.0f;
}

float vl_KXTrackr_KXPlayer::m_GetPitch_Alpha(int ch) {
  for (const LetterRow& letterRow : kChordLetters) {
    for (int i = 0; letterRow.letters[i] != '\0'; ++i) {
      if (letterRow.letters[i] == ch) return m_GetPitch(letterRow.firstNote + i);
    }
  }
  return 0.0f;
}

String vl_KXTrackr_KXPlayer::m_KX_GetChord(int k) {
  const int patternCount = static_cast<int>(sizeof(kChordPatterns) / sizeof(kChordPatterns[0]));
  if (k < 0 || k >= patternCount) k = kDefaultChordPattern;
  return T(kChordPatterns[k]);
}

int vl_KXTrackr_KXPlayer::ActiveVoices() const { return std::clamp(voiceCount, 0, kVoiceSlots); }

int vl_KXTrackr_KXPlayer::m_Rand(int low, int high) { return korvane::RandomWhole(low, high); }

int vl_KXTrackr_KXPlayer::m_KX_Alive_U(int paused, int musicOn) {
  if (playState == kStopped) m_KX_Stop(0);
  if (playState == kPlaying && loadStep == 0 && paused == 0) {
    if (musicOn == 1) m_KX_MusicPlay();
    if (musicOn == 0) m_KX_Stop(0);
    return 0;
  }
  if (paused == 1) {
    // The song resumes a moment after the pause ends instead of catching up.
    nextTime = vl_app_Millisecs() + kPauseResumeDelayMs;
    if (playState == kPlaying) m_KX_Stop(0);
  } else if (playState == kPlaying && musicOn == 0) {
    m_KX_Stop(0);
  }
  return 0;
}

int vl_KXTrackr_KXPlayer::m_KX_Stop(int reset) {
  const int voices = ActiveVoices();
  for (int v = 0; v < voices; ++v) {
    // Only looping instrument notes need stopping; drum hits end by themselves.
    if (voiceChannel[v] > 0 && voiceSounding[v] == 1) {
      vl_audio_StopChannel(voiceChannel[v]);
      voiceSounding[v] = 0;
    }
  }
  if (reset == 1) playState = kStopped;
  return 0;
}

int vl_KXTrackr_KXPlayer::m_KX_MusicPlay() {
  const int64_t now = vl_app_Millisecs();
  if (now <= nextTime && nextTime <= now + kStaleAheadMs) return 0;
  // A stale schedule restarts from the clock; otherwise the next row would
  // be scheduled even further ahead and every later row would play at once.
  const bool stale = nextTime > now + kStaleAheadMs;

  const int voices = ActiveVoices();
  for (int v = 0; v < voices; ++v) {
    int cell = CellIndex(patternPos[v], v, row);
    if (songData[cell + kCommandField] == kStepPattern) {
      const int param = songData[cell + kParamField];
      int step = 0;
      if (param == 1 && barsLeft % 2 != 0) step = 1;
      if (param == 2 && barsLeft % 2 == 0) step = -1;
      const int target = patternPos[v] + step;
      // Steps that would leave the song's patterns are ignored, so the cell
      // index always stays inside the song data.
      if (step != 0 && target >= 0 && target < kPatterns) {
        patternPos[v] = target;
        cell = CellIndex(target, v, row);
      }
    }
    const int command = songData[cell + kCommandField];
    m_KX_PlayNote(v, songData[cell + kNoteField], songData[cell + kVolumeField], command, songData[cell + kParamField]);
    if (command == kEndPattern) row = kLastRow;
  }

  const int rowTempo = std::max(tempo, 1);
  const double rowStart = stale ? static_cast<double>(now) : static_cast<double>(nextTime);
  nextTime = static_cast<int>(rowStart + kRowTimeScale / rowTempo);
  row = (row + 1) % kRowsPerBar;
  if (row == 0) StartBar();
  return 0;
}

void vl_KXTrackr_KXPlayer::StartBar() {
  reseed(kBarSeedStride * section + songSeed, kBarWarmUpDraws, this);
  const int queued = chordQueue.Length();
  if (queued == 1) {
    chordQueue = String(" ") + m_KX_GetChord(m_Rand(0, kHighestDrawnChord));
  } else if (queued > 1) {
    chordQueue = chordQueue.Slice(1);
  }
  barsLeft -= 1;
  if (barsLeft < 1) StartSection();
}

void vl_KXTrackr_KXPlayer::StartSection() {
  reseed(kBarSeedStride * section + songSeed, kSectionWarmUpDraws, this);
  barsLeft = 2 * m_Rand(1, 2);
  section += 1;
  const int voices = ActiveVoices();
  for (int v = 0; v < voices; ++v) {
    reseed(kVoiceSeedStride * v + kBarSeedStride * section + songSeed, kSectionWarmUpDraws, this);
    patternPos[v] = m_Rand(0, lastPattern[v]);
    if (playState >= kPlaying) mute[v] = nextMute[v];
    nextMute[v] = m_Rand(0, 1);
    fill[v] = m_Rand(0, 1);
  }
  // Never let both drum kits fall silent at once.
  if (playState >= kPlaying && mute[kDrumVoiceA] == 1 && mute[kDrumVoiceB] == 1) mute[kDrumVoiceA] = 0;
}

// Plays one cell on voice v: a drum hit or a looping melodic note, the cell's
// volume, the envelope's fall and a pitch slide, in that order.
int vl_KXTrackr_KXPlayer::m_KX_PlayNote(int v, int note, int volume, int command, int param) {
  if (v < 0 || v >= kVoiceSlots) return 0;
  const bool muted = IsVoiceMuted(v);
  UpdateChordPitch();
  AssignVoiceChannels();
  const int channel = voiceChannel[v];

  if (v == kDrumVoiceA || v == kDrumVoiceB) StrikeDrum(v, note, muted, channel);
  const float level = ApplyCellVolume(v, volume, muted, channel);
  FollowEnvelope(v, channel, level);

  const bool melodic = v >= kFirstMelodicVoice && v <= kLastMelodicVoice;
  if (melodic && note > 0) {
    if (muted || channel <= 0) return 0;
    StartMelodicNote(v, note, channel);
  } else if (muted) {
    return 0;
  }
  if (channel > 0) ApplySlide(v, channel, command, param);
  return 0;
}

// A voice is silent while muted, except for a fill leading into the next
// section (only once the song plays; while loading the mute flag holds).
bool vl_KXTrackr_KXPlayer::IsVoiceMuted(int v) {
  if (playState >= kPlaying && barsLeft < 2 && row >= kFillFirstRow && row <= kLastRow && fill[v] == 1 &&
      nextMute[v] == 0) {
    return false;
  }
  return mute[v] != 0;
}

// The melodic voices are transposed by the chord letter at the head of the
// queue; before the song plays they sound untransposed.
void vl_KXTrackr_KXPlayer::UpdateChordPitch() {
  chordPitch = 1.0f;
  if (playState < kPlaying || chordQueue.Length() == 0) return;
  // The space that separates two chord patterns is no chord letter: that bar
  // is played untransposed rather than at a rate of 0.
  const float letterPitch = m_GetPitch_Alpha(chordQueue[0]);
  if (letterPitch > 0.0f) chordPitch = letterPitch;
}

// Voice i plays on channel channelBase - 1 - i.
void vl_KXTrackr_KXPlayer::AssignVoiceChannels() {
  const int voices = ActiveVoices();
  for (int i = 0; i < voices; ++i) voiceChannel[i] = channelBase - 1 - i;
}

// A drum note cuts the voice's previous hit and plays the kit's drum once.
void vl_KXTrackr_KXPlayer::StrikeDrum(int v, int note, bool muted, int channel) {
  if (note <= 0 || muted || channel <= 0) return;
  vl_audio_StopChannel(channel);
  const int drum = drumForNote(note);
  Array<vl_audio_Sound*> kit = v == kDrumVoiceA ? kitA : kitB;
  if (drum > 0 && kit[drum] != nullptr) {
    vl_audio_PlaySound(kit[drum], channel, kPlayOnce);
    vl_audio_SetChannelPan(channel, v == kDrumVoiceA ? kDrumPanA : kDrumPanB);
  }
  voiceRate[v] = 1.0f;
  voiceEnvelope[v] = kDrumEnvelope;
}

// Cell volumes 1-30 map to 0-1; 31 silences the voice. An audible cell volume
// restarts the envelope. Returns the voice's volume after the cell.
float vl_KXTrackr_KXPlayer::ApplyCellVolume(int v, int volume, bool muted, int channel) {
  float level = std::max((volume - 1) / (kHighestVolume - 1.0f), 0.0f);
  if (level > 1.0f) {
    level = 0.0f;
    voiceEnvelope[v] = 0.0f;
  }
  if (volume > 0 && channel >= 1 && !muted) {
    voiceEnvelope[v] = kNoteEnvelope;
    vl_audio_SetChannelVolume(channel, level * masterVolume);
    voiceVolume[v] = level;
    return level;
  }
  return voiceVolume[v];
}

// The envelope is held while 1 or more, then the volume follows it down.
void vl_KXTrackr_KXPlayer::FollowEnvelope(int v, int channel, float level) {
  voiceEnvelope[v] -= kEnvelopeFallPerRow;
  if (voiceEnvelope[v] >= 1.0f) return;
  if (voiceEnvelope[v] < 0.0f) {
    voiceEnvelope[v] = 0.0f;
    level = 0.0f;
  } else {
    level *= voiceEnvelope[v];
  }
  if (channel > 0) {
    vl_audio_SetChannelVolume(channel, level * masterVolume);
    voiceVolume[v] = level;
  }
}

// A melodic note starts a looping sample; the rate is set before the sample
// starts so the first samples already sound at the note's pitch.
void vl_KXTrackr_KXPlayer::StartMelodicNote(int v, int note, int channel) {
  vl_audio_StopChannel(channel);
  const float rate = m_GetPitch(note) * chordPitch;
  voiceRate[v] = rate;
  voiceEnvelope[v] = kNoteEnvelope;
  vl_audio_SetChannelRate(channel, rate);
  if (instruments[v] != nullptr) {
    voiceSounding[v] = 1;
    vl_audio_PlaySound(instruments[v], channel, kPlayLooping);
  }
}

// Slide commands bend the voice's rate, kept between a quarter and four times.
void vl_KXTrackr_KXPlayer::ApplySlide(int v, int channel, int command, int param) {
  float rate = voiceRate[v];
  switch (command) {
    case kSlideUpFine: rate = std::min(rate + param / kFineSlideDivisor, kHighestRate); break;
    case kSlideUp: rate = std::min(rate + param / kSlideDivisor, kHighestRate); break;
    case kSlideDownFine: rate = std::max(rate - param / kFineSlideDivisor, kLowestRate); break;
    case kSlideDown: rate = std::max(rate - param / kSlideDivisor, kLowestRate); break;
    default: return;  // 8 and 27 act in m_KX_MusicPlay; others do nothing
  }
  voiceRate[v] = rate;
  vl_audio_SetChannelRate(channel, rate);
}
