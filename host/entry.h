// The program's entry as the host sees it. main (host/main.cpp, compiled into
// each executable rather than into the host library) starts the host (window
// and OpenAL), calls vl_std_main, which the layers above provide (the
// framework's start-up builds the application, whose host object sets
// `runner`), calls runner to run the host loop, and stops the host.
//
// Exit codes: 0 after a normal close or an uncaught language exception; -1
// when the window library or the window cannot be opened (StartHost ends the
// process then). A program that SIGTERM, SIGINT or SIGHUP asked to end closes
// in order and is then ended by that signal (StopHost), as a shell expects.
// Audio failures are printed and ignored.
#pragma once

// The framework start-up, called once by main; returns 0.
int vl_std_main(int argc, const char* argv[]);

// Opens the 640x480 window centred on the primary monitor, titled "Korvane",
// then (on the desktop) OpenAL's default device and a context on it.
void StartHost();
// Opens OpenAL's default device and a context on it, printing what failed;
// whether sound can play. The browser host calls it after the player's
// first click, key or touch: a page may not start sound before.
bool OpenAudio();
// Prints the report of a language exception that nothing caught.
void ReportUncaughtException();
// Closes OpenAL and the window library; then, when a signal asked the
// program to end, ends it by that signal.
void StopHost();
