// Saved settings, score tables and badge flags of the game object: the
// one-line state of 98 numbers with a checksum per section, and the
// score-table number format. The badges' names and pictures are in
// game/badges.cpp.
//
// The state text comes from a file a player can edit or damage: reading it
// never allocates per token, never reads past the text, saturates numbers that
// do not fit an int, and a section that is missing or fails its checksum leaves
// the other sections alone.
//
// Another copy of the game may share the state file, and the file may be
// replaced from outside (a synced folder, a restored backup). So a save does
// not write this copy's tables over the file: under the host's lock it reads
// the text on disk and enters the games this copy finished since it last read
// or saved the state into the tables found there, by the rule of a finished
// game. Settings are this copy's own; badges earned anywhere are kept. A
// section on disk that is missing or fails its checksum is replaced by this
// copy's. The saved line keeps its format.
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/app.h"
#include "game/my_app.h"
#include "game/score_tables.h"
#include "game/sound_setting.h"
#include "game/texts.h"
#include "runtime/errors.h"

using namespace korvane;

namespace {

constexpr int kSettingCount = 25;
constexpr int kBadgeWords = 8;
constexpr int kBadgeCount = 256;
constexpr int kTables = kScoreTables;
constexpr int kTableRows = kRowLength;
constexpr int kLastScoresBase = kLastRowsBase;  // highScores index of the first last-score row
constexpr int kSettingsTokens = 26;             // 25 values and the checksum
constexpr int kBadgeTokens = 9;
constexpr int kTableTokens = 21;
constexpr int kTokensKept = kSettingsTokens + kBadgeTokens + kTables * kTableTokens;  // 98
constexpr char kSeparator = '|';

// Lower limits of the on-screen pad settings.
struct SettingFloor {
  int index, atMost, raisedTo;
};
constexpr SettingFloor kSettingFloors[] = {{10, 63, 64}, {11, 63, 64}, {12, 7, 10}};

// Sums wrap like 32-bit ints.
int wrapAdd(int a, int64_t b) { return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }

template <class Settings>
int settingsChecksum(const Settings& settings) {
  int sum = 0;
  for (int i = 0; i < kSettingCount; ++i) sum = wrapAdd(sum, static_cast<int64_t>(i) * settings[i]);
  return sum;
}

int badgeWord(const Array<bool>& flags, int k) {
  uint32_t word = 0;
  for (int j = 0; j < 32; ++j) {
    if (flags[32 * k + j]) word |= 1u << j;
  }
  return static_cast<int>(word);
}

template <class Scores>
int tableChecksum(const Scores& scores, int t) {
  int sum = 0;
  for (int i = 0; i < kTableRows; ++i) {
    sum = wrapAdd(sum, static_cast<int64_t>(i + 4) * scores[10 * t + i]);
    sum = wrapAdd(sum, static_cast<int64_t>(t + i + 3) * scores[kLastScoresBase + 10 * t + i]);
  }
  return sum;
}

void appendNumber(std::string& out, int value) {
  out += std::to_string(value);
  out += kSeparator;
}

// The first 98 numbers of a state text and how many "|"-separated tokens it
// has in all. A token reads as its leading decimal digits after optional blanks
// and an optional sign; without digits it is 0; beyond the int range it
// saturates.
struct StateTokens {
  int value[kTokensKept] = {};
  int64_t count = 0;
};

int parseToken(const String& text, int from, int to) {
  int i = from;
  while (i < to && (text[i] == ' ' || (text[i] >= 9 && text[i] <= 13))) ++i;
  bool negative = false;
  if (i < to && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  for (; i < to && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<int64_t>(INT_MAX) + 1) magnitude = static_cast<int64_t>(INT_MAX) + 1;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

StateTokens tokenize(const String& text) {
  StateTokens tokens;
  const int n = text.Length();
  int start = 0;
  for (int i = 0; i <= n; ++i) {
    if (i < n && text[i] != kSeparator) continue;
    if (tokens.count < kTokensKept) tokens.value[tokens.count] = parseToken(text, start, i);
    ++tokens.count;
    start = i + 1;
  }
  return tokens;
}

// The last `width` units of `digits` preceded by `width` pads: what m_rstr's
// pad-then-cut gives for a one-unit pad, built in one piece (the score texts
// are drawn every update).
String rightAligned(const String& digits, int width, int pad) {
  String::Rep* rep = String::Rep::alloc(width);
  uint16_t* out = rep->data();
  const int shown = digits.Length() < width ? digits.Length() : width;
  const int pads = width - shown;
  for (int i = 0; i < pads; ++i) out[i] = static_cast<uint16_t>(pad);
  for (int i = 0; i < shown; ++i) out[pads + i] = static_cast<uint16_t>(digits[digits.Length() - shown + i]);
  return String(rep);
}

}  // namespace

// --------------------------------------------------------------------------
// Saving and loading

namespace {

// What a save writes: this copy's settings, badge words and score tables
// (indexed like highScores).
struct SavedState {
  std::array<int, kSettingCount> settings{};
  std::array<uint32_t, kBadgeWords> badgeWords{};
  std::array<int, kTableInts> tables{};
};

std::string stateText(const SavedState& state) {
  std::string out;
  for (int i = 0; i < kSettingCount; ++i) appendNumber(out, state.settings[i]);
  appendNumber(out, settingsChecksum(state.settings));
  int badgeSum = 0;
  for (int k = 0; k < kBadgeWords; ++k) {
    const int word = static_cast<int>(state.badgeWords[k]);
    appendNumber(out, word);
    badgeSum = wrapAdd(badgeSum, word);
  }
  appendNumber(out, badgeSum);
  for (int t = 0; t < kTables; ++t) {
    for (int i = 0; i < kTableRows; ++i) {
      appendNumber(out, state.tables[10 * t + i]);
      appendNumber(out, state.tables[kLastScoresBase + 10 * t + i]);
    }
    appendNumber(out, tableChecksum(state.tables, t));
  }
  return out;
}

SavedState ownState(const vl_Korvane_MyApp& g) {
  SavedState state;
  for (int i = 0; i < kSettingCount; ++i) state.settings[i] = g.settings[i];
  for (int k = 0; k < kBadgeWords; ++k) state.badgeWords[k] = static_cast<uint32_t>(badgeWord(g.badgeFlags, k));
  for (int i = 0; i < kTableInts; ++i) state.tables[i] = g.highScores[i];
  return state;
}

// Badges earned in the text on disk join this copy's. Reads from token p as
// loading does; returns the position after the section.
int64_t mergeBadges(SavedState& state, const StateTokens& tokens, int64_t p) {
  if (tokens.count <= p + kBadgeWords) return p;
  int sum = 0;
  for (int k = 0; k < kBadgeWords; ++k) sum = wrapAdd(sum, tokens.value[p + k]);
  if (sum == tokens.value[p + kBadgeWords]) {
    for (int k = 0; k < kBadgeWords; ++k) state.badgeWords[k] |= static_cast<uint32_t>(tokens.value[p + k]);
  }
  return p + kBadgeTokens;
}

// A valid table on disk takes the place of this copy's, and this copy's
// unsaved games are entered into it; otherwise this copy's table (which holds
// them already) stays.
int64_t mergeTable(SavedState& state, const StateTokens& tokens, int64_t p, int t,
                   const std::vector<vl_Korvane_MyApp::FinishedGame>& unsaved) {
  if (tokens.count <= p + 20) return p;
  std::array<int, kTableInts> disk = state.tables;
  for (int i = 0; i < kTableRows; ++i) {
    disk[10 * t + i] = tokens.value[p + 2 * i];
    disk[kLastScoresBase + 10 * t + i] = tokens.value[p + 2 * i + 1];
  }
  if (tableChecksum(disk, t) == tokens.value[p + 20]) {
    for (const vl_Korvane_MyApp::FinishedGame& game : unsaved) {
      if (game.table == t) EnterScore(disk, t, game.score);
    }
    state.tables = disk;
  }
  return p + kTableTokens;
}

// This copy's state merged into the state text on disk.
SavedState mergedWith(const vl_Korvane_MyApp& g, const String& onDisk) {
  SavedState state = ownState(g);
  const StateTokens tokens = tokenize(onDisk);
  int64_t p = tokens.count >= kSettingsTokens ? kSettingsTokens : 0;
  p = mergeBadges(state, tokens, p);
  for (int t = 0; t < kTables; ++t) p = mergeTable(state, tokens, p, t, g.unsavedScores);
  return state;
}

}  // namespace

// The rows this copy shows stay its own (what it read at start and the games
// it finished): only the outcome of a save steers the game, which a replay
// records.
int vl_Korvane_MyApp::m_Save() {
  const int result = vl_app_UpdateState([this](const String& onDisk) {
    const String text(stateText(mergedWith(*this, onDisk)).c_str());
    if (vl_Korvane_DebugMode == 1) DebugLog(text);
    return text;
  });
  saveFailed = result == 0 ? 0 : 1;
  if (result == 0) {
    unsavedScores.clear();
    for (int i = 0; i < kSettingCount; ++i) savedSettings[i] = settings[i];
  }
  return 0;
}

namespace {

int64_t loadSettings(vl_Korvane_MyApp& g, const StateTokens& tokens) {
  if (tokens.count < kSettingsTokens) return 0;
  for (int i = 0; i < kSettingCount; ++i) g.settings[i] = tokens.value[i];
  if (settingsChecksum(g.settings) == tokens.value[kSettingCount]) {
    DebugLog(String(texts::kSettingsLoaded));
  } else {
    DebugLog(String(texts::kSettingsInvalid));
    for (int i = 0; i < kSettingCount; ++i) g.settings[i] = 0;
    g.settings[kSoundSetting] = kSoundMusicAndEffects;
  }
  return kSettingsTokens;
}

void raiseSettingFloors(vl_Korvane_MyApp& g) {
  for (const SettingFloor& f : kSettingFloors) {
    if (g.settings[f.index] <= f.atMost) g.settings[f.index] = f.raisedTo;
  }
}

int64_t loadBadges(vl_Korvane_MyApp& g, const StateTokens& tokens, int64_t p) {
  if (tokens.count <= p + 8) return p;
  int sum = 0;
  for (int k = 0; k < kBadgeWords; ++k) {
    const uint32_t word = static_cast<uint32_t>(tokens.value[p + k]);
    for (int j = 0; j < 32; ++j) g.badgeFlags[32 * k + j] = ((word >> j) & 1u) != 0;
    sum = wrapAdd(sum, tokens.value[p + k]);
  }
  if (sum == tokens.value[p + kBadgeWords]) {
    DebugLog(String(texts::kBadgesLoaded));
  } else {
    DebugLog(String(texts::kBadgesInvalid));
    for (int i = 0; i < kBadgeCount; ++i) g.badgeFlags[i] = false;
  }
  return p + kBadgeTokens;
}

int64_t loadTable(vl_Korvane_MyApp& g, const StateTokens& tokens, int64_t p, int t) {
  if (tokens.count <= p + 20) return p;
  for (int i = 0; i < kTableRows; ++i) {
    g.highScores[10 * t + i] = tokens.value[p + 2 * i];
    g.highScores[kLastScoresBase + 10 * t + i] = tokens.value[p + 2 * i + 1];
  }
  if (tableChecksum(g.highScores, t) == tokens.value[p + 20]) {
    DebugLog(String(texts::kHighscore) + String(t) + String(texts::kTableLoaded));
  } else {
    DebugLog(String(texts::kHighscore) + String(t) + String(texts::kTableInvalid));
    for (int i = 0; i < kTableRows; ++i) {
      g.highScores[10 * t + i] = 0;
      g.highScores[kLastScoresBase + 10 * t + i] = 0;
    }
  }
  return p + kTableTokens;
}

}  // namespace

int vl_Korvane_MyApp::m_Load() {
  const String state = vl_app_LoadState();
  if (vl_Korvane_DebugMode == 1) DebugLog(state);
  const StateTokens tokens = tokenize(state);
  int64_t p = loadSettings(*this, tokens);
  raiseSettingFloors(*this);
  p = loadBadges(*this, tokens, p);
  for (int t = 0; t < kTables; ++t) p = loadTable(*this, tokens, p, t);
  for (int i = 0; i < kSettingCount; ++i) savedSettings[i] = settings[i];
  unsavedScores.clear();
  return 0;
}

bool vl_Korvane_MyApp::SettingsChanged() const {
  for (int i = 0; i < kSettingCount; ++i) {
    if (settings[i] != savedSettings[i]) return true;
  }
  return false;
}

// --------------------------------------------------------------------------
// Score-table numbers

String vl_Korvane_MyApp::m_rstr(int value, int width, String pad) {
  if (width <= 0) return String();
  if (pad.Length() == 1) return rightAligned(String(value), width, pad[0]);
  String text;
  for (int i = 0; i <= width; ++i) text = text + pad;
  text = text + String(value);
  return text.Slice(text.Length() - width);
}
