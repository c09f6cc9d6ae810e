// PrivateDisplay: an Xvfb server of the test's own, optionally with the
// openbox window manager on it (plain Xvfb cannot minimise windows) or
// without OpenGL (no GLX extension), where no OpenGL window can open. The
// object points DISPLAY at it for its lifetime and stops both processes,
// by their ids, when it goes; a test process that dies without unwinding
// (a crash, ctest's timeout) takes them with it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

class PrivateDisplay {
 public:
  // `screen` is Xvfb's screen size and depth, WIDTHxHEIGHTxDEPTH.
  explicit PrivateDisplay(bool withWindowManager, bool withOpenGL = true, const char* screen = "1280x1024x24") {
    int fds[2];
    if (pipe(fds) != 0) return;
    const pid_t test = getpid();
    server_ = fork();
    if (server_ == 0) {
      DieWithTheTest(test);
      QuietChild();
      dup2(fds[1], 3);
      // -noreset: by default the server resets when its last client leaves
      // (our own readiness probe, say), and a client connecting during the
      // reset is turned away.
      const char* args[] = {"Xvfb",     "-displayfd", "3",   "-screen",    "0",   screen,
                            "-noreset", "-nolisten",  "tcp", "-extension", "GLX", nullptr};
      if (withOpenGL) args[9] = nullptr;  // keep GLX
      execvp("Xvfb", const_cast<char* const*>(args));
      _exit(127);
    }
    close(fds[1]);
    // Blocks until the server is up. The server writes the number and then a
    // line end, separately: the pipe stays open until the line end is in, as a
    // server whose second write finds no reader gives up.
    char number[32] = {};
    size_t got = 0;
    while (got < sizeof number - 1 && std::strchr(number, '\n') == nullptr) {
      const ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    close(fds[0]);
    if (got == 0) return;
    previous_ = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    hadPrevious_ = std::getenv("DISPLAY") != nullptr;
    display_ = ":" + std::to_string(std::atoi(number));
    setenv("DISPLAY", display_.c_str(), 1);
    accepting_ = WaitUntilAcceptingClients();
    wantsWindowManager_ = withWindowManager;
    if (accepting_ && withWindowManager) StartWindowManager();
  }

  ~PrivateDisplay() {
    Stop(windowManager_);
    Stop(server_);
    if (hadPrevious_) {
      setenv("DISPLAY", previous_.c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  bool ready() const { return accepting_ && (!wantsWindowManager_ || managed_); }

 private:
  // In a forked child: ends it when the test process goes, so that a test
  // killed mid-case leaves no display (and its lock file in /tmp) behind.
  static void DieWithTheTest(pid_t test) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != test) _exit(1);  // the test was gone before the line above
  }

  static void QuietChild() {
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
  }

  // The display is ready once a client of our own (xprop) has got through:
  // the number is written before the server takes every client.
  static bool WaitUntilAcceptingClients() {
    constexpr int kTries = 100;  // 100 ms apart: 10 s for a busy machine
    for (int tries = 0; tries < kTries; ++tries) {
      if (std::system("xprop -root >/dev/null 2>&1") == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  // A window manager that ended at once is started again.
  void StartWindowManager() {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts && !managed_; ++attempt) {
      const pid_t test = getpid();
      windowManager_ = fork();
      if (windowManager_ == 0) {
        DieWithTheTest(test);
        QuietChild();
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
      }
      // Ready once it has announced itself on the root window.
      for (int tries = 0; tries < 100 && !managed_; ++tries) {
        managed_ = std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0;
        if (managed_) break;
        if (waitpid(windowManager_, nullptr, WNOHANG) == windowManager_) {
          windowManager_ = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
  }

  static void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }

  pid_t server_ = -1;
  pid_t windowManager_ = -1;
  bool wantsWindowManager_ = false;
  bool accepting_ = false;
  bool managed_ = false;
  std::string display_;
  std::string previous_;
  bool hadPrevious_ = false;
};
