// The windowless game: the game object created as the program creates it
// (collector started, framework globals set, vl_Korvane_MyApp constructed and
// initialised), with its devices but without a window or sound device, so
// that unit tests, the sanitizer build and fuzz targets can drive it. Saving
// and loading need only the application device's state file, which lives in
// a fresh working folder removed when the process ends.
#pragma once

#include <string>

#include "game/my_app.h"

namespace testsupport {

// Starts the collector and the framework's globals once, in the working
// folder; for tests that construct game objects of their own.
void StartWindowlessRuntime();

// The one initialised game object of the process, made on first use.
vl_Korvane_MyApp* WindowlessGame();

// The state file in the working folder (".vellumstate").
std::string ReadStateFile();
void WriteStateFile(const std::string& bytes);
void RemoveStateFile();

}  // namespace testsupport
