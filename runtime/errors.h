// Text output, the runtime error report, the debugger stop protocol and the
// crash-signal handler.
//
// Print and DebugLog write lines on standard output. A runtime error
// (Error, dbg_error, a crash signal through sighandler) prints
// "Vellum Runtime Error : <message>" and the stack text on standard output,
// then stops: a line-based exchange on standard error and standard input
// through which an attached development tool inspects values, steps (the
// report repeats) or quits. With nothing attached (standard input at its end)
// the program exits with code -1. Control never returns to the code that
// raised the error.
//
// The host installs sighandler for SIGSEGV, SIGILL and SIGFPE at start-up.
// Buffers and globals here are unsynchronised: output belongs to the main
// thread. Depends on runtime/string.h and runtime/gc.h.
#pragma once

#include "runtime/gc.h"
#include "runtime/string.h"

// The current source position, shown by the stop protocol; null unless set.
extern const char* dbg_info;
// The stack text saved by dbg_throw.
extern String dbg_exstack;
// Set by the stop protocol's step commands.
extern int dbg_suspend;
extern int dbg_stepmode;

// The narrow text of s (each unit's low byte) as a line on standard output.
int Print(String s);
int DebugLog(String s);
// While quiet, Print and DebugLog write nothing: the replay runner keeps its
// standard output for its one result line.
void SetQuietOutput(bool quiet);
// The narrow text of s and a newline on standard error, in one write.
void dbg_print(String s);

// A runtime error. An empty message ends the program at once with exit code 0.
int Error(String msg);
[[noreturn]] void dbg_error(const char* msg);
String dbg_stacktrace();
// The stop protocol; returns only after a step command (e, l, r, s).
void dbg_stop();
int DebugStop();
// Saves the stack text and throws msg as a const char* exception.
[[noreturn]] void dbg_throw(const char* msg);
void dbg_callstack();

// Crash signals: illegal instruction, arithmetic fault, invalid memory access.
void sighandler(int sig);

// msg as a line on standard output.
void warn(const char* msg);
// msg as a line on standard output, then exit code -1.
[[noreturn]] void fail(const char* msg);

// Value formatting for the development tool.
String dbg_type(bool*);
String dbg_type(int*);
String dbg_type(float*);
String dbg_type(String*);
String dbg_value(bool* v);
String dbg_value(int* v);
String dbg_value(float* v);
// The text quoted, cut to 100 units plus "...", with ~q ~t ~n ~r escapes.
String dbg_value(String* v);
