// Opening files by the program's location scheme.
//
// Paths beginning with "vellum://" name a location root: "vellum://data/",
// "vellum://internal/" and "vellum://external/" stand for the folders data,
// internal and external in the current working directory (or, once the
// working directory has been deleted under the program, where they were last
// found, so that deleting the player's folder does not take the data with it).
// Any other
// "vellum://" root names no file at all and is refused without touching the
// file system. Other paths are used as they are. Path text is passed to the
// system as UTF-8.
//
// Uses the C++ standard library and stat. Main thread only (strings are not
// shared across threads).
#pragma once

#include <cstdio>
#include <string>

#include "runtime/string.h"

// An open standard-I/O stream for `path` in the standard-I/O `mode`
// ("rb" for reading), or null. The caller closes it.
FILE* fopenFile(String path, String mode);

// Makes "vellum://data/" stand for `folder` instead of ./data: the headless
// replay runner reads the data of a build from anywhere.
void SetDataFolder(const std::string& folder);
