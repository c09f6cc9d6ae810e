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

}  // namespace korvane::texts
