// The requests to end that come as signals on the desktop: SIGTERM (a
// session ending, `kill`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal closed). Each is taken as the window's close is: the host loop
// ends after its pass and the application's close runs, so that what the
// player saw saved is saved. A second such signal while closing ends the
// program at once. SIGPIPE is ignored: a reader of standard output that went
// away must not end the game unsaved.
//
// The signals are blocked in every thread and taken by one watcher thread
// (sigwait), which wakes the host loop through the window library; nothing
// runs in a signal handler. BlockExitSignals must run before any other
// thread starts (the audio and graphics libraries start their own), so that
// they inherit the blocked set.
#pragma once

namespace exitsignals {

// Blocks the signals in the calling thread (and every thread it starts from
// now on) and ignores SIGPIPE.
void Block();

// Starts the watcher thread; `wake` is called from it after each first
// signal and must be safe to call from any thread.
void Watch(void (*wake)());

// The signal that asked the program to end, or 0.
int Requested();

// After the program has closed in order: ends it as that signal would have
// (so that a shell or session sees how it ended). Returns when no signal asked.
void EndAsRequested();

}  // namespace exitsignals
