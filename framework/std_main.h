// The framework start-up: what runs between the host's window set-up and its
// host loop.
//
// vl_std_main (declared for the host in host/entry.h) installs the crash
// handler, prepares the collector, runs the program's vlInit, registers the
// framework's module globals as the collector's roots and runs the program's
// vlMain, which creates the application. vlInit and vlMain are provided by
// the program (the game, or a test program), not by the framework.
#pragma once

#include "host/entry.h"

// The program's arguments as vl_std_main received them.
extern int argc;
extern const char** argv;

// Sets every module global to its initial value; returns 0.
int vlInit();
// Creates the application object and calls its g_new; returns 0.
int vlMain();
