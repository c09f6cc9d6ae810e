// The application's persistent state: one text kept whole in the file
// ".vellumstate" in the current working directory, written as UTF-8 without
// a byte-order mark (UTF-8 with a mark and UTF-16 with a mark are read too).
//
// A save never damages the state already on disk: the new text goes to a
// temporary file in the same folder, is flushed to the disk, and only then
// replaces ".vellumstate" by a rename, so a full disk, a size limit or a
// crash leaves either the old text or the new one. Where that replacement
// cannot be made but the file itself may be written (a folder the player
// cannot write, a sticky folder, a file mounted on its own), the file is
// rewritten in place instead, with its room reserved first so that a full
// disk still leaves the old text. A state file that is there but cannot be
// read or written (write-protected) is never replaced, and a replaced file
// keeps its permission bits. When ".vellumstate" is a symbolic link, the file
// it leads to is replaced in its own folder and the link stays. Only plain
// files are opened, never blocking: a pipe, device or socket in its place
// reads as nothing and refuses saves. Only the first 16 MiB of a file are
// read (a state is one short line; a larger file was damaged).
//
// Several copies of the program may share one state file. An update holds an
// advisory lock on the state file's folder from reading the text on disk to
// replacing it, so that each copy merges its changes into what the others
// saved (UpdateStateFile). Temporary files of saves that were cut short are
// removed, under the same lock, when the state is first loaded.
//
// A failed save writes one line to standard error ("korvane: ", the state
// file and the reason). Depends on runtime/string.h (encoding). Main thread
// only; no file stays open between calls.
#pragma once

#include <functional>

#include "runtime/string.h"

// Results of SaveStateFile and UpdateStateFile.
constexpr int kStateSaved = 0;
constexpr int kStateNotCreated = -1;  // the file could not be created, or is write-protected
constexpr int kStateNotWritten = -2;  // the text could not be written completely

// The state text, or the empty string when there is none.
String LoadStateFile();

// Replaces the state text; returns kStateSaved, kStateNotCreated or
// kStateNotWritten. On failure the earlier state stays as it was.
int SaveStateFile(String state);

// Gives the text on disk (empty when there is none) to `merge` and saves what
// it returns, with no other copy of the program saving in between. Results
// as SaveStateFile; `merge` is not called when the file on disk cannot be
// read (saving over it could lose a state that only looks absent).
using StateMerge = std::function<String(const String& onDisk)>;
int UpdateStateFile(const StateMerge& merge);

// The whole text of the file at `path` (location scheme of fopenFile), or the
// empty string when it cannot be opened.
String LoadTextFile(String path);
