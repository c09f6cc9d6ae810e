// The layout of the score tables in the game object's `highScores` and the
// rule by which a finished game enters them. Three tables, one per
// difficulty; each has a row of the ten best scores (best first) and a row of
// the ten last scores (newest first). The best rows are elements 0-29, the
// last rows 30-59.
//
// The rule is shared by the end of a game (game/menu.cpp) and by a save that
// enters this copy's games into the tables another copy saved meanwhile
// (game/saved_state.cpp), so both give the same rows.
#pragma once

namespace korvane {

constexpr int kScoreTables = 3;
constexpr int kRowLength = 10;     // entries in a score row
constexpr int kLastRowsBase = 30;  // the last-score rows follow the three best-score rows
constexpr int kTableInts = 60;     // the saved part of highScores

// Enters `score` into table `table` (difficulty - 1) of `scores` (highScores,
// or anything indexed like it): into the best row ahead of the first smaller
// score (an equal score does not enter ahead of the entry it equals; a score
// smaller than all ten does not enter), and at the front of the last row.
// Returns the best row's place it took, or -1.
template <class Scores>
int EnterScore(Scores& scores, int table, int score) {
  const int best = kRowLength * table;
  int place = -1;
  for (int i = 0; i < kRowLength; ++i) {
    if (score > scores[best + i]) {
      place = i;
      break;
    }
  }
  if (place >= 0) {
    for (int i = kRowLength - 1; i > place; --i) scores[best + i] = scores[best + i - 1];
    scores[best + place] = score;
  }
  const int last = kLastRowsBase + best;
  for (int i = kRowLength - 1; i >= 1; --i) scores[last + i] = scores[last + i - 1];
  scores[last] = score;
  return place;
}

}  // namespace korvane
