// KorvaneProcess: the real korvane program as a child process, for every
// end-to-end test (play session, faults, soak, install). Each run gets a scratch working folder of its own (where the
// program looks for "data" and keeps ".vellumstate"); the test decides what
// "data" is (a link to the build's folder, a damaged copy, nothing) and which
// environment and limits the program starts with. Standard output and
// standard error go to files in the folder.
//
// Input goes in as a player gives it, with xdotool on the display in DISPLAY,
// each press held for a while so that at least one 60 Hz update sees it.
// Minimise and Restore need a window manager on that display (see
// tests/support/private_display.h). The object stops the program (by its id)
// and removes the folder when it goes. Screenshots are checked with
// tests/support/screen_checks.h.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stb/stb_image.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/screen_checks.h"
#include "tests/support/temp_folder.h"

namespace e2e {

namespace fs = std::filesystem;

constexpr int kHoldMs = 150;  // a press as long as a person's: seen by at least one update
constexpr int kPollMs = 100;
constexpr int kWindowWaitMs = 30000;  // a busy machine may take long to open a window

inline void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline int Shell(const std::string& command) { return std::system(command.c_str()); }

inline std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The "|"-terminated numbers of a saved state line, as text.
inline std::vector<std::string> StateTokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t start = 0;
  for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) {
    tokens.push_back(line.substr(start, bar - start));
  }
  return tokens;
}

// Whether the tools the end-to-end tests drive the display with are there.
inline bool HaveDisplayTools() { return Shell("command -v xdotool >/dev/null && command -v import >/dev/null") == 0; }

using testsupport::Shot;

// How a program is started.
struct LaunchOptions {
  std::vector<std::string> environment;  // "NAME=value" sets, "-NAME" removes
  std::function<void()> inChild;         // runs in the child just before the program starts
  // Standard output through a pipe into out.txt, for a program whose own
  // file writes are limited (RLIMIT_FSIZE does not hold for pipes).
  bool outputThroughPipe = false;
  std::vector<std::string> arguments = {};  // after the program name
};

class KorvaneProcess {
 public:
  using Options = LaunchOptions;

  KorvaneProcess() : scratch_("e2e"), folder_(scratch_.path()) {}
  // A second program in the same working folder as `other` (two copies of
  // the game sharing one state file); its output files carry `name`.
  KorvaneProcess(const KorvaneProcess& other, const std::string& name)
      : scratch_("e2e"),
        folder_(other.folder_),
        outputName_("out-" + name + ".txt"),
        errorName_("err-" + name + ".txt") {}
  ~KorvaneProcess() { Stop(); }

  KorvaneProcess(const KorvaneProcess&) = delete;
  KorvaneProcess& operator=(const KorvaneProcess&) = delete;

  const fs::path& Folder() const { return folder_; }
  fs::path StateFile() const { return folder_ / ".vellumstate"; }

  // "data" becomes a link to the build's generated data folder.
  void LinkData() { fs::create_directory_symlink(KORVANE_BUILD_DATA_DIR, folder_ / "data"); }

  // "data" becomes a copy of the build's data folder that the test may damage.
  fs::path CopyData() {
    fs::copy(KORVANE_BUILD_DATA_DIR, folder_ / "data", fs::copy_options::recursive);
    return folder_ / "data";
  }

  void Start(const Options& options = {}) { Start(KORVANE_PROGRAM, options); }

  void Start(const std::string& program, const Options& options) {
    std::fflush(stdout);
    std::fflush(stderr);
    const char* output = outputName_.c_str();
    if (options.outputThroughPipe) {
      output = "out.fifo";
      StartOutputCopier();
    }
    window_.clear();
    pid_ = fork();
    if (pid_ != 0) return;
    for (const std::string& change : options.environment) {
      if (change[0] == '-') {
        unsetenv(change.c_str() + 1);
      } else {
        const size_t equals = change.find('=');
        setenv(change.substr(0, equals).c_str(), change.substr(equals + 1).c_str(), 1);
      }
    }
    if (chdir(folder_.c_str()) != 0) _exit(127);
    if (!std::freopen("/dev/null", "r", stdin) || !std::freopen(output, "w", stdout) ||
        !std::freopen(errorName_.c_str(), "w", stderr)) {
      _exit(127);
    }
    if (options.inChild) options.inChild();
    std::vector<char*> argv = {const_cast<char*>("korvane")};
    for (const std::string& argument : options.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }

  // Starts the program and waits for its window. A fresh or busy display
  // sometimes turns a first client away: a program that ended at once without
  // a window is started once more (its output is reported either way).
  bool StartAndWaitForWindow(const Options& options = {}) {
    Start(options);
    if (WaitForWindow() || Running()) return !window_.empty();
    std::fprintf(stderr, "korvane ended at start, starting again:\n%s%s", Output().c_str(), Errors().c_str());
    Start(options);
    return WaitForWindow();
  }

  pid_t Pid() const { return pid_; }

  // Polls for the program's window; false when the program ended first or no
  // window appeared in time.
  bool WaitForWindow(int waitMs = kWindowWaitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (window_.empty() && Clock::now() < deadline && Running()) {
      std::istringstream found(
          Capture("xdotool search --pid " + std::to_string(pid_) + " --name '^Korvane$' 2>/dev/null"));
      found >> window_;
      if (window_.empty()) Sleep(kPollMs);
    }
    return !window_.empty();
  }

  // Whether the program is still running; records how it ended when not.
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    Ended(status);
    return false;
  }

  // Waits up to waitMs for the program to end; true when it has.
  bool WaitForExit(int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (Running()) {
      if (Clock::now() > deadline) return false;
      Sleep(kPollMs / 2);
    }
    return true;
  }

  // Exit code once ended normally; -1 otherwise (then Signal() says which).
  int ExitCode() const { return exitCode_; }
  int Signal() const { return signal_; }

  void Stop() {
    if (Running()) {
      kill(pid_, SIGTERM);
      int status = 0;
      if (waitpid(pid_, &status, 0) == pid_) Ended(status);
    }
    if (copier_ > 0) {  // ends at the end of the program's output
      waitpid(copier_, nullptr, 0);
      copier_ = -1;
    }
  }

  // Ends the reader of the output pipe (outputThroughPipe): the program's
  // next line of output meets a pipe nobody reads.
  void StopOutputCopier() {
    if (copier_ <= 0) return;
    kill(copier_, SIGKILL);
    waitpid(copier_, nullptr, 0);
    copier_ = -1;
  }

  std::string Output() const { return ReadFile(folder_ / outputName_); }
  std::string Errors() const { return ReadFile(folder_ / errorName_); }
  const std::string& Window() const { return window_; }

  // --- input, in window pixels -------------------------------------------
  void MoveTo(int x, int y) const {
    Shell("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
  }
  void Click(int x, int y) const {
    MoveTo(x, y);
    Shell("xdotool mousedown 1");
    Sleep(kHoldMs);
    Shell("xdotool mouseup 1");
  }
  void Click(testsupport::Point p) const { Click(p.x, p.y); }
  void Drag(const std::vector<testsupport::Point>& points) const {
    MoveTo(points.front().x, points.front().y);
    Shell("xdotool mousedown 1");
    Sleep(kHoldMs);
    for (const testsupport::Point& p : points) {
      MoveTo(p.x, p.y);
      Sleep(kHoldMs);
    }
    Shell("xdotool mouseup 1");
  }
  // One xdotool run presses, holds and lets go: two runs would add the time
  // a busy machine takes to start the second to the hold, and a hold long
  // enough makes the game repeat the key.
  void Key(const std::string& name) const {
    const std::string target = " --window " + window_ + " " + name;
    Shell("xdotool keydown" + target + " sleep " + std::to_string(kHoldMs / 1000.0) + " keyup" + target);
  }
  // A key held down until KeyUp, for holds that span other input.
  void KeyDown(const std::string& name) const { Shell("xdotool keydown --window " + window_ + " " + name); }
  void KeyUp(const std::string& name) const { Shell("xdotool keyup --window " + window_ + " " + name); }
  void Resize(int width, int height) const {
    Shell("xdotool windowsize " + window_ + " " + std::to_string(width) + " " + std::to_string(height) +
          " 2>/dev/null");
  }
  // Need a window manager.
  void Minimise() const { Shell("xdotool windowminimize " + window_ + " 2>/dev/null"); }
  void Restore() const { Shell("xdotool windowactivate " + window_ + " 2>/dev/null"); }

  // Screenshots into `file` until the picture passes the test; false when
  // the wait ran out or the program ended.
  bool WaitForShot(const fs::path& file, const std::function<bool(const Shot&)>& test, int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (Clock::now() < deadline && Running()) {
      const Shot shot = Take(file);
      if (shot.width > 0 && test(shot)) return true;
      Sleep(kPollMs);
    }
    return false;
  }

  // The window's current picture; an empty shot when it could not be taken.
  Shot Take(const fs::path& file) const {
    Shot shot;
    if (Shell("import -window " + window_ + " " + file.string() + " 2>/dev/null") != 0) return shot;
    int channels = 0;
    unsigned char* pixels = stbi_load(file.string().c_str(), &shot.width, &shot.height, &channels, 3);
    if (pixels == nullptr) return shot;
    shot.rgb.assign(pixels, pixels + static_cast<size_t>(shot.width) * shot.height * 3);
    stbi_image_free(pixels);
    return shot;
  }

  // Resident memory of the program in KiB (VmRSS), or -1.
  long ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
  }

 private:
  using Clock = std::chrono::steady_clock;

  // A child of the test that copies the pipe "out.fifo" into out.txt until
  // the program closes its end.
  void StartOutputCopier() {
    const fs::path fifo = folder_ / "out.fifo";
    if (!fs::exists(fifo)) mkfifo(fifo.c_str(), 0600);
    copier_ = fork();
    if (copier_ != 0) return;
    const int in = open(fifo.c_str(), O_RDONLY);
    const int out = open((folder_ / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0) _exit(1);
    char chunk[512];
    for (ssize_t got; (got = read(in, chunk, sizeof chunk)) > 0;) {
      if (write(out, chunk, static_cast<size_t>(got)) != got) _exit(1);
    }
    _exit(0);
  }

  void Ended(int status) {
    if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) signal_ = WTERMSIG(status);
    pid_ = -1;
  }

  testsupport::TempFolder scratch_;
  fs::path folder_;
  std::string outputName_ = "out.txt";
  std::string errorName_ = "err.txt";
  pid_t pid_ = -1;
  pid_t copier_ = -1;
  int exitCode_ = -1;
  int signal_ = 0;
  std::string window_;
};

}  // namespace e2e
