// Line output, value formatting, and the error report with the stop protocol
// (run in child processes, since every error path ends the program).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "child_process.h"
#include "runtime/errors.h"

namespace {

using childtest::closed;
using childtest::run;
using childtest::text;

const std::string kReport = "Vellum Runtime Error : Image frame outside surface\n\n";
const std::string kStopHeader = "{{~~~~}}\n\n";

void raise_error() { Error(String("Image frame outside surface")); }

TEST(LineOutput, PrintWritesTheLowByteOfEachUnitAsALine) {
  const wchar_t text_units[] = {L'A', 0x142, L'B', 0};
  auto outcome = run([&] {
    Print(String(text_units));
    DebugLog(String("log"));
    Print(String());
    warn("warned");
  });
  EXPECT_EQ(outcome.out,
            "A\x42"
            "B\nlog\n\nwarned\n");
  EXPECT_EQ(outcome.err, "");
}

TEST(LineOutput, LongLinesGrowTheBuffer) {
  std::string long_line(5000, 'z');
  auto outcome = run([&] {
    Print(String("short"));
    Print(String(long_line.c_str()));
    dbg_print(String(long_line.c_str()));
  });
  EXPECT_EQ(outcome.out, "short\n" + long_line + "\n");
  EXPECT_EQ(outcome.err, long_line + "\n");
}

TEST(LineOutput, FailPrintsAndExitsWithMinusOne) {
  auto outcome = run([] { fail("cannot go on"); });
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, "cannot go on\n");
}

TEST(ErrorReport, EmptyMessageExitsZeroSilently) {
  auto outcome = run([] { Error(String()); });
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
}

TEST(ErrorReport, NothingAttachedEndsWithMinusOne) {
  auto outcome = run(raise_error, text(""));
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, kReport);
  EXPECT_EQ(outcome.err, kStopHeader);
}

TEST(ErrorReport, ClosedStandardInputEndsWithMinusOne) {
  auto outcome = run(raise_error, closed());
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, kReport);
}

TEST(StopProtocol, QuitCommandExitsZero) {
  auto outcome = run(raise_error, text("q\n"));
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, kReport);
  EXPECT_EQ(outcome.err, kStopHeader);
}

TEST(StopProtocol, StepCommandsRepeatTheReportAndNeverReturn) {
  auto outcome = run(raise_error, text("r\ns\ne\nl\nq\n"));
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, kReport + kReport + kReport + kReport + kReport);
  EXPECT_EQ(outcome.err, kStopHeader + kStopHeader + kStopHeader + kStopHeader + kStopHeader);
}

TEST(StopProtocol, StepCommandsSetTheSteppingState) {
  struct Case {
    const char* command;
    int suspend;
    int stepmode;
  };
  for (Case c : {Case{"e\n", 1, 'e'}, Case{"l\n", 0, 'l'}, Case{"r\n", 0, 0}, Case{"s\n", 1, 's'}}) {
    auto outcome = run(
        [] {
      dbg_suspend = 7;
      dbg_stepmode = 7;
      DebugStop();
      std::printf("%d %d", dbg_suspend, dbg_stepmode);
        },
        text(c.command));
    EXPECT_EQ(outcome.exit_code, 0) << c.command;
    EXPECT_EQ(outcome.out, std::to_string(c.suspend) + " " + std::to_string(c.stepmode)) << c.command;
  }
}

TEST(StopProtocol, StepThenEndOfInputStillEndsWithMinusOne) {
  auto outcome = run(raise_error, text("s\n"));
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, kReport + kReport);
}

TEST(StopProtocol, UnknownCommandIsEchoedAndEndsWithMinusOne) {
  auto outcome = run(raise_error, text("x marks\nq\n"));
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, kReport + "????? x marks ?????");
}

TEST(StopProtocol, QueryLinesAreIgnored) {
  auto outcome = run(raise_error, text("?\n? anything\nq\n"));
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.err, kStopHeader);
}

TEST(StopProtocol, OverlongOrUnterminatedLineEndsWithMinusOne) {
  EXPECT_EQ(run(raise_error, text(std::string(300, 'q') + "\n")).exit_code, 255);
  EXPECT_EQ(run(raise_error, text("q")).exit_code, 255) << "a line needs its newline";
  EXPECT_EQ(run(raise_error, text(std::string(254, 'q') + "\n")).exit_code, 0) << "254 characters and newline fit";
}

TEST(StopProtocol, ObjectQueryPrintsItsDebugText) {
  Object* object = new Object;  // created before the fork: same address in the child
  char query[64];
  std::snprintf(query, sizeof query, "@%p\n@0\nq\n", static_cast<void*>(object));
  auto outcome = run(raise_error, text(query));
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.err, kStopHeader + "+Object\n\n" + "\n");
}

TEST(StopProtocol, SourcePositionAppearsInTheHeaderAndTheStackText) {
  auto outcome = run(
      [] {
    dbg_info = "game.cpp<12>";
    Error(String("boom"));
      },
      text(""));
  EXPECT_EQ(outcome.out, "Vellum Runtime Error : boom\ngame.cpp<12>\n\n");
  EXPECT_EQ(outcome.err, "{{~~game.cpp<12>~~}}\n\n");
}

// Real faults, not raise(): the handler must work from inside a fault.
#if defined(__GNUC__)
#define NO_SANITIZE __attribute__((no_sanitize("undefined")))
#else
#define NO_SANITIZE
#endif

NO_SANITIZE void write_to_invalid_address() {
  // The address itself is volatile so the compiler cannot see the fault coming.
  volatile int* volatile invalid = reinterpret_cast<volatile int*>(16);
  *invalid = 1;
}

NO_SANITIZE void divide_by_zero() {
  volatile int zero = 0;
  volatile int result = 7 / zero;
  (void)result;
}

void install_handlers() {
  std::signal(SIGSEGV, sighandler);
  std::signal(SIGILL, sighandler);
  std::signal(SIGFPE, sighandler);
}

TEST(CrashSignals, InvalidMemoryAccessGivesTheReport) {
  auto outcome = run(
      [] {
    install_handlers();
    write_to_invalid_address();
      },
      text(""));
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, "Vellum Runtime Error : Memory access violation\n\n");
  EXPECT_EQ(outcome.err, kStopHeader);
}

TEST(CrashSignals, DivisionFaultGivesTheReport) {
  auto outcome = run(
      [] {
    install_handlers();
    divide_by_zero();
      },
      text("q\n"));
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, "Vellum Runtime Error : Floating point exception\n\n");
}

TEST(CrashSignals, IllegalInstructionGivesTheReport) {
  auto outcome = run(
      [] {
    install_handlers();
    __builtin_trap();
      },
      text(""));
  EXPECT_EQ(outcome.exit_code, 255);
  EXPECT_EQ(outcome.out, "Vellum Runtime Error : Illegal instruction\n\n");
}

TEST(CrashSignals, OtherSignalsAreUnknown) {
  auto outcome = run([] { sighandler(SIGUSR1); }, text(""));
  EXPECT_EQ(outcome.out, "Vellum Runtime Error : Unknown signal\n\n");
}

TEST(Exceptions, ThrowSavesTheStackTextAndThrowsTheMessage) {
  dbg_info = nullptr;
  dbg_exstack = String("old");
  try {
    dbg_throw("thrown");
    FAIL() << "dbg_throw returned";
  } catch (const char* message) {
    EXPECT_STREQ(message, "thrown");
  }
  EXPECT_EQ(dbg_exstack.Length(), 0);
  EXPECT_EQ(dbg_stacktrace().Length(), 0);
  dbg_info = "";
  EXPECT_EQ(dbg_stacktrace().Length(), 0);
  dbg_info = nullptr;
}

TEST(DebugValues, TypesAndPlainValues) {
  bool yes = true, no = false;
  int number = -12;
  float real = 2.0f;
  String word("w");
  EXPECT_TRUE(dbg_type(&yes) == String("Bool"));
  EXPECT_TRUE(dbg_type(&number) == String("Int"));
  EXPECT_TRUE(dbg_type(&real) == String("Float"));
  EXPECT_TRUE(dbg_type(&word) == String("String"));
  EXPECT_TRUE(dbg_value(&yes) == String("True"));
  EXPECT_TRUE(dbg_value(&no) == String("False"));
  EXPECT_TRUE(dbg_value(&number) == String("-12"));
  EXPECT_TRUE(dbg_value(&real) == String("2.0"));
}

TEST(DebugValues, StringsAreQuotedEscapedAndCut) {
  String tricky("say \"hi\"\n\tx\r~");
  EXPECT_STREQ(dbg_value(&tricky).ToCString<char>(), "\"say ~qhi~q~n~tx~r~\"");
  std::string long_text(150, 'a');
  String long_string(long_text.c_str());
  EXPECT_STREQ(dbg_value(&long_string).ToCString<char>(), ("\"" + std::string(100, 'a') + "...\"").c_str());
}

}  // namespace
