// Data paths: turns the plain file names the game writes into paths that the
// host's file layer resolves ("vellum://data/" names the data folder).
//
// Pure text handling on runtime strings; opens nothing.
#pragma once

#include "runtime/string.h"

// The path to open for `path`: unchanged when it already names a location (a
// "scheme:/" or drive prefix before its first "/", or a path starting with
// "./" or "/"), otherwise "vellum://data/" followed by the path.
String vl_data_FixDataPath(String path);
