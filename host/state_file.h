// The application's persistent state: one text kept whole in the file
// ".vellumstate" in the current working directory, written as UTF-8 without
// a byte-order mark (UTF-8 with a mark and UTF-16 with a mark are read too).
//
// A save never damages the state already on disk: the new text goes to a
// temporary file in the same folder, is flushed to the disk, and only then
// replaces ".vellumstate" by a rename, so a full disk, a size limit or a
// crash leaves either the old text or the new one. A state file that is there
// but cannot be read or written (write-protected) is never replaced, and a
// replaced file keeps its permission bits. When ".vellumstate" is a symbolic
// link, the file it leads to is replaced in its own folder and the link stays.
// Only the first 16 MiB of a file are read (a state is one short line; a
// larger file was damaged).
//
// Depends on runtime/string.h (encoding) and runtime/files.h (paths).
// Main thread only; no file stays open between calls.
#pragma once

#include "runtime/string.h"

// Results of SaveStateFile.
constexpr int kStateSaved = 0;
constexpr int kStateNotCreated = -1;  // the file could not be created, or is write-protected
constexpr int kStateNotWritten = -2;  // the text could not be written completely

// The state text, or the empty string when there is none.
String LoadStateFile();

// Replaces the state text; returns kStateSaved, kStateNotCreated or
// kStateNotWritten. On failure the earlier state stays as it was.
int SaveStateFile(String state);

// The whole text of the file at `path` (location scheme of fopenFile), or the
// empty string when it cannot be opened.
String LoadTextFile(String path);
