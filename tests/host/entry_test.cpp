// Start-up and shut-down of the real program entry, run as a child process
// (the entry probe) under chosen environments: the messages it prints and the
// exit codes it ends with; and where the window goes on desktops of every
// size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "host/window.h"
#include "tests/support/private_display.h"

namespace {

struct ProbeResult {
  int exitCode = -1000;  // -1000: did not exit normally
  std::string out;
};

constexpr auto kProbeTimeout = std::chrono::seconds(30);

// Runs the entry probe with `mode`, first applying the environment changes
// ("NAME=value" sets, "-NAME" removes). Standard error goes to /dev/null;
// standard input is empty, as in CI.
ProbeResult RunProbe(const char* mode, const std::vector<std::string>& environment) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    for (const std::string& change : environment) {
      if (change[0] == '-') {
        unsetenv(change.c_str() + 1);
      } else {
        putenv(const_cast<char*>(change.c_str()));
      }
    }
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDERR_FILENO);
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    execl(KORVANE_ENTRY_PROBE, KORVANE_ENTRY_PROBE, mode, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  ProbeResult result;
  auto deadline = std::chrono::steady_clock::now() + kProbeTimeout;
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  int status = 0;
  for (;;) {
    char chunk[512];
    ssize_t got;
    while ((got = read(pipeFds[0], chunk, sizeof chunk)) > 0) result.out.append(chunk, got);
    pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "entry probe '" << mode << "' did not end within the time limit";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  char chunk[512];
  ssize_t got;
  while ((got = read(pipeFds[0], chunk, sizeof chunk)) > 0) result.out.append(chunk, got);
  close(pipeFds[0]);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

// The report line of a 640x480 window centred on the desktop that the
// probe's output names.
std::string CentredWindowLine(const std::string& out) {
  int desktopWidth = 0, desktopHeight = 0;
  size_t on = out.find(" on ");
  if (on == std::string::npos || std::sscanf(out.c_str() + on, " on %d %d", &desktopWidth, &desktopHeight) != 2) {
    return "<no window report>";
  }
  return "window " + std::to_string((desktopWidth - 640) / 2) + " " + std::to_string((desktopHeight - 480) / 2) +
         " 640 480 on " + std::to_string(desktopWidth) + " " + std::to_string(desktopHeight) + "\n";
}

TEST(EntryTest, WithoutADisplayReportsGlfwInitFailedAndExitsMinusOne) {
  ProbeResult result = RunProbe("report", {"-DISPLAY", "-WAYLAND_DISPLAY"});
  EXPECT_EQ(result.exitCode, 255);
  EXPECT_EQ(result.out, "glfwInit failed\n");
}

TEST(EntryTest, DisplayWithoutOpenGLReportsGlfwOpenWindowFailedAndExitsMinusOne) {
  PrivateDisplay display(/*withWindowManager=*/false, /*withOpenGL=*/false);
  if (!display.ready()) GTEST_SKIP() << "a private Xvfb could not be started here";
  ProbeResult result = RunProbe("report", {"ALSOFT_DRIVERS=null"});
  EXPECT_EQ(result.exitCode, 255);
  EXPECT_EQ(result.out, "glfwOpenWindow failed\n");
}

TEST(EntryTest, OpensACentredWindowAndClosesNormally) {
  ProbeResult result = RunProbe("report", {"ALSOFT_DRIVERS=null"});
  EXPECT_EQ(result.exitCode, 0);
  // Without a window manager the window sits exactly where the program puts it.
  EXPECT_EQ(result.out, "created\n" + CentredWindowLine(result.out));
}

TEST(EntryTest, MissingSoundDeviceIsReportedAndStartUpGoesOn) {
  ProbeResult result = RunProbe("report", {"ALSOFT_DRIVERS=no-such-driver"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "alcOpenDevice failed\ncreated\n" + CentredWindowLine(result.out));
}

TEST(EntryTest, UncaughtLanguageExceptionIsReportedAndTheProgramEndsNormally) {
  ProbeResult result = RunProbe("throw", {"ALSOFT_DRIVERS=null"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "created\nVellum Runtime Error : Uncaught Vellum Exception\n");
}

TEST(EntryTest, RawErrorSignalEndsTheProgramWithoutAFurtherMessage) {
  ProbeResult result = RunProbe("signal", {"ALSOFT_DRIVERS=null"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "created\n");
}

// --- the window's place -------------------------------------------------------

}  // namespace

namespace hostwin {

bool operator==(const Placement& a, const Placement& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& out, const Placement& p) {
  return out << p.width << "x" << p.height << " at " << p.x << "," << p.y;
}

}  // namespace hostwin

namespace {

using hostwin::DesktopMode;
using hostwin::Placement;

DesktopMode Monitor(int x, int y, int width, int height) { return {x, y, width, height, x, y, width, height}; }

TEST(WindowPlace, AWindowThatFitsIsCentredOnTheMonitorFrameOrNot) {
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(0, 0, 1280, 1024), {}, 640, 480), (Placement{320, 272, 640, 480}));
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(0, 0, 1280, 1024), {1, 24, 1, 1}, 640, 480),
            (Placement{320, 272, 640, 480}));
  // A second monitor to the right of the first.
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(1280, 0, 1024, 768), {}, 640, 480), (Placement{1472, 144, 640, 480}));
}

// A 320x200 screen once put the window at (-160, -140), its title bar out of
// reach.
TEST(WindowPlace, AWindowLargerThanTheScreenShrinksAndKeepsItsTitleBarOnScreen) {
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(0, 0, 320, 200), {}, 640, 480), (Placement{0, 0, 320, 200}));
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(0, 0, 320, 200), {2, 24, 2, 2}, 640, 480), (Placement{2, 24, 316, 174}));
  // A panel takes the top 30 pixels: the frame goes below it.
  DesktopMode paneled = Monitor(0, 0, 640, 480);
  paneled.workY = 30;
  paneled.workHeight = 450;
  EXPECT_EQ(hostwin::PlaceOnDesktop(paneled, {0, 20, 0, 0}, 640, 480), (Placement{0, 50, 640, 430}));
  // A frame larger than the screen still leaves a window of one pixel.
  EXPECT_EQ(hostwin::PlaceOnDesktop(Monitor(0, 0, 10, 10), {4, 20, 4, 4}, 640, 480), (Placement{4, 20, 2, 1}));
}

TEST(WindowPlace, WithoutAKnownMonitorTheWindowKeepsItsSize) {
  EXPECT_EQ(hostwin::PlaceOnDesktop(DesktopMode{}, {}, 640, 480), (Placement{0, 0, 640, 480}));
}

}  // namespace
