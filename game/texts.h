// Fixed texts of the game that it prints or shows, in one place so they can be
// found and tested. Diagnostic lines go to standard output through DebugLog.
#pragma once

namespace korvane::texts {

// Saved state (one line per section read back).
inline constexpr const char* kSettingsLoaded = "Settings Loaded";
inline constexpr const char* kSettingsInvalid = "Settings Checksum Invalid";
inline constexpr const char* kBadgesLoaded = "Badges Loaded";
inline constexpr const char* kBadgesInvalid = "Badge Checksum Invalid";
inline constexpr const char* kHighscore = "Highscore ";  // followed by the table number
inline constexpr const char* kTableLoaded = " Loaded";
inline constexpr const char* kTableInvalid = " Checksum Invalid";

// Badge records: name, separator, description.
inline constexpr const char* kTestBadge = "Test Badge|This is a Test Badge which has no purpose.";

// Pixel decoders.
inline constexpr const char* kGrabbing = "Loading Image Data ";  // slot ":" frame follow
inline constexpr const char* kWordList = "Loading WordList ";    // the sheet number follows

// Click-to-start screen.
inline constexpr const char* kClickToStart = " Click to Start";

// Play field: the judged path (success 1 or 0, count and kind follow, comma
// separated).
inline constexpr const char* kFoundPath = "Found 3+ = ";

// Title menu: score list headers (the row count follows the first of each
// pair; the second stands alone when only one row fits) and the line break
// of the text writer (a backslash and the letter n).
inline constexpr const char* kTopScores = "Top ";
inline constexpr const char* kTopScoresOne = "Highscore";
inline constexpr const char* kLastScores = "Last ";
inline constexpr const char* kLastScoresOne = "Last";
inline constexpr const char* kLineBreak = "\\n";

// Title menu: the notice shown while the last save failed, in two parts (on
// two lines where the screen is narrow).
inline constexpr const char* kScoresNotSavedStart = "Scores are not";
inline constexpr const char* kScoresNotSavedEnd = "being saved";

// Credits box, line by line.
inline constexpr const char* kCreditsBy = "A Game By";
inline constexpr const char* kCreditsAuthor = "The Korvane Team";
inline constexpr const char* kCreditsAuthorSite = "www.korvane.dev";
inline constexpr const char* kCreditsUsing = "Created using";
inline constexpr const char* kCreditsLanguage = "Vellum";
inline constexpr const char* kCreditsLanguageSite = "vellum.korvane.dev";

// Game-over overlay: the two words, and the notice above the place reached.
inline constexpr const char* kGame = "GAME";
inline constexpr const char* kOver = "OVER";
inline constexpr const char* kNewHighscore = "New Highscore\\n           ";
inline constexpr const char* kPlace1 = "1st!";
inline constexpr const char* kPlace2 = "2nd";
inline constexpr const char* kPlace3 = "3rd";
inline constexpr const char* kPlace4 = "4th";
inline constexpr const char* kPlace5 = "5th";
inline constexpr const char* kPlace6 = "6th";
inline constexpr const char* kPlace7 = "7th";
inline constexpr const char* kPlace8 = "8th";
inline constexpr const char* kPlace9 = "9th";
inline constexpr const char* kPlace10 = "10th";

}  // namespace korvane::texts
