// Line output, the runtime error report and the debugger stop protocol.
#include "runtime/errors.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* dbg_info;
String dbg_exstack;
int dbg_suspend;
int dbg_stepmode;

namespace {

constexpr const char* kErrorPrefix = "Vellum Runtime Error : ";
constexpr const char* kStopHeader = "{{~~%s~~}}\n";
constexpr const char* kUnknownCommand = "????? %s ?????";
constexpr const char* kIllegalInstruction = "Illegal instruction";
constexpr const char* kFloatingPoint = "Floating point exception";
constexpr const char* kMemoryAccess = "Memory access violation";
constexpr const char* kUnknownSignal = "Unknown signal";
constexpr const char* kOutOfMemory = "Out of memory: no room for a line of output";
constexpr int kStopLineBytes = 256;  // a stop command of at most 255 characters
constexpr int kBufferSlack = 100;    // bytes a line buffer grows beyond the text
constexpr int kValueShownUnits = 100;  // longer string values are cut here

// A reusable narrow-text buffer: grows to n + kBufferSlack bytes when a text of
// n units does not fit with room to spare.
struct LineBuffer {
  char* buf = nullptr;
  int len = 0;

  // The low byte of each unit of s, NUL-terminated.
  const char* narrow(const String& s) {
    int n = s.Length();
    if (n + kBufferSlack - 1 >= len) {
      std::free(buf);
      len = n + kBufferSlack;
      buf = static_cast<char*>(std::malloc(static_cast<size_t>(len)));
      if (!buf) fail(kOutOfMemory);
    }
    for (int i = 0; i < n; ++i) buf[i] = static_cast<char>(s[i] & 0xFF);
    buf[n] = '\0';
    return buf;
  }
};

LineBuffer print_buffer;
LineBuffer debug_buffer;

[[noreturn]] void stop_program(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(code);
}

// Acts on one stop command; true when it is a step command (the stop ends).
bool stepCommand(const char* line) {
  switch (line[0]) {
    case 'e':
      dbg_suspend = 1;
      dbg_stepmode = 'e';
      return true;
    case 'l':
      dbg_suspend = 0;
      dbg_stepmode = 'l';
      return true;
    case 'r':
      dbg_suspend = 0;
      dbg_stepmode = 0;
      return true;
    case 's':
      dbg_suspend = 1;
      dbg_stepmode = 's';
      return true;
    default:
      return false;
  }
}

void showObject(const char* text) {
  void* p = nullptr;
  if (std::sscanf(text, "%p", &p) == 1 && p) {
    dbg_print(static_cast<Object*>(p)->debug());
  } else {
    dbg_print(String());
  }
}

// Print and DebugLog write nothing (SetQuietOutput).
bool quietOutput = false;

}  // namespace

// --- line output -----------------------------------------------------------------

void SetQuietOutput(bool quiet) { quietOutput = quiet; }

int Print(String s) {
  if (quietOutput) return 0;
  std::puts(print_buffer.narrow(s));
  std::fflush(stdout);
  return 0;
}

int DebugLog(String s) { return Print(s); }

void dbg_print(String s) {
  const char* text = debug_buffer.narrow(s);
  size_t n = std::strlen(text);
  debug_buffer.buf[n] = '\n';
  std::fwrite(text, 1, n + 1, stderr);
  debug_buffer.buf[n] = '\0';
  std::fflush(stderr);
}

void warn(const char* msg) { std::puts(msg); }

void fail(const char* msg) {
  std::puts(msg);
  stop_program(-1);
}

// --- errors ----------------------------------------------------------------------

int Error(String msg) {
  if (msg.Length() == 0) stop_program(0);
  dbg_error(msg.ToCString<char>());
}

void dbg_error(const char* msg) {
  // The message may live in a collected array: keep a copy of our own.
  String text = String(kErrorPrefix) + String(msg);
  for (;;) {
    Print(text);
    Print(dbg_stacktrace());
    dbg_stop();
  }
}

String dbg_stacktrace() {
  if (dbg_info && dbg_info[0]) return String(dbg_info) + String("\n");
  return String();
}

void dbg_stop() {
  std::fprintf(stderr, kStopHeader, dbg_info ? dbg_info : "");
  dbg_print(String());
  char line[kStopLineBytes];
  for (;;) {
    if (!std::fgets(line, sizeof line, stdin)) stop_program(-1);
    char* newline = std::strchr(line, '\n');
    if (!newline) stop_program(-1);
    *newline = '\0';
    if (line[0] == '?') continue;
    if (line[0] == '@') {
      showObject(line + 1);
      continue;
    }
    if (line[0] == 'q') stop_program(0);
    if (stepCommand(line)) return;
    std::printf(kUnknownCommand, line);
    stop_program(-1);
  }
}

int DebugStop() {
  dbg_stop();
  return 0;
}

void dbg_throw(const char* msg) {
  dbg_exstack = dbg_stacktrace();
  throw msg;
}

void dbg_callstack() {}

void sighandler(int sig) {
  switch (sig) {
    case SIGILL:
      dbg_error(kIllegalInstruction);
    case SIGFPE:
      dbg_error(kFloatingPoint);
    case SIGSEGV:
      dbg_error(kMemoryAccess);
    default:
      dbg_error(kUnknownSignal);
  }
}

// --- values for the development tool -----------------------------------------------

String dbg_type(bool*) { return String("Bool"); }
String dbg_type(int*) { return String("Int"); }
String dbg_type(float*) { return String("Float"); }
String dbg_type(String*) { return String("String"); }

String dbg_value(bool* v) { return String(*v ? "True" : "False"); }
String dbg_value(int* v) { return String(*v); }
String dbg_value(float* v) { return String(*v); }

String dbg_value(String* v) {
  String text = *v;
  if (text.Length() > kValueShownUnits) text = text.Slice(0, kValueShownUnits) + String("...");
  text = text.Replace(String("\""), String("~q"));
  text = text.Replace(String("\t"), String("~t"));
  text = text.Replace(String("\n"), String("~n"));
  text = text.Replace(String("\r"), String("~r"));
  return String("\"") + text + String("\"");
}
