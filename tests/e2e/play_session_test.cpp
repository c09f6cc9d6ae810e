// A player's session with the real korvane program: it starts in a fresh
// working folder that links the build's data, shows the menu, starts a game at
// a chosen difficulty, takes a path of three gems found on the screen, pauses
// with Escape and resumes, quits from the pause panel, sees the game-over
// overlay and the menu again, and leaves its state file behind. Input is real
// X events from xdotool (held about 100 ms, as a person does); what the player
// sees is checked on screenshots, which stay in the test output folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <stb/stb_image.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kHoldMs = 150;         // a press as long as a person's: seen by at least one update
constexpr int kPollMs = 150;         // between screenshots while waiting
constexpr int kWaitMs = 30000;       // longest wait for anything to show (a busy machine)
constexpr int kSlideInMs = 1000;     // the menu's buttons settle within 32 updates
constexpr int kSameKindDistance = 40;  // colour distance between gems of one kind

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Colour {
  int r = 0, g = 0, b = 0;
};

int Distance(Colour a, Colour b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return static_cast<int>(std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db)));
}

struct Shot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  Colour At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {};
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
  // Mean colour of the square of side 2 * half + 1 around (x, y).
  Colour Mean(int x, int y, int half) const {
    long r = 0, g = 0, b = 0, n = 0;
    for (int dy = -half; dy <= half; ++dy) {
      for (int dx = -half; dx <= half; ++dx) {
        const Colour c = At(x + dx, y + dy);
        r += c.r;
        g += c.g;
        b += c.b;
        ++n;
      }
    }
    return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
  }
  // Pixels of a rectangle for which the test holds.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(Colour)>& test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += test(At(x, y)) ? 1 : 0;
    }
    return n;
  }
};

bool IsPanelOrange(Colour c) { return c.r > 150 && c.g > 70 && c.g < 170 && c.b < 60; }

class PlaySession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test command provides one)";
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (Shell("command -v xdotool >/dev/null && command -v import >/dev/null") != 0) {
      GTEST_SKIP() << "xdotool or ImageMagick's import is missing (tools/install-deps.sh installs them)";
    }
    char pattern[] = "/tmp/korvane-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    work = pattern;
    fs::create_directory_symlink(KORVANE_BUILD_DATA_DIR, work / "data");
    shots = fs::path(KORVANE_TEST_OUTPUT_DIR) / "e2e";
    fs::create_directories(shots);
  }

  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status = 0;
      waitpid(pid, &status, 0);
    }
    if (!work.empty()) {
      std::error_code ignored;
      fs::remove_all(work, ignored);
    }
  }

  // Starts the program in the working folder, its output going to a file.
  // A start that fails at once (the window library could not reach the busy
  // test display) is tried once more; its output is reported either way.
  void Launch() {
    for (int attempt = 0; attempt < 2 && window.empty(); ++attempt) {
      if (attempt > 0) std::fprintf(stderr, "korvane ended at start, starting again:\n%s", Output().c_str());
      ASSERT_NO_FATAL_FAILURE(Spawn());
      WaitForWindow();
    }
    ASSERT_FALSE(window.empty()) << "the Korvane window did not appear; its output:\n" << Output();
  }

  void Spawn() {
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(work.c_str()) != 0) _exit(127);
      FILE* out = std::freopen("out.txt", "w", stdout);
      if (out == nullptr || dup2(fileno(stdout), 2) < 0) _exit(127);
      execl(KORVANE_PROGRAM, "korvane", static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Polls for this program's window (other games may share the display);
  // returns early when the program has ended.
  void WaitForWindow() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (window.empty() && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return;
      }
      std::istringstream found(
          Capture("xdotool search --pid " + std::to_string(pid) + " --name '^Korvane$' 2>/dev/null"));
      found >> window;
      if (window.empty()) Sleep(kPollMs);
    }
  }

  std::string Output() const { return ReadFile(work / "out.txt"); }

  Shot Take(const std::string& name) {
    const fs::path file = shots / (name + ".png");
    Shot shot;
    if (Shell("import -window " + window + " " + file.string() + " 2>/dev/null") != 0) return shot;
    int channels = 0;
    unsigned char* pixels = stbi_load(file.string().c_str(), &shot.width, &shot.height, &channels, 3);
    if (pixels == nullptr) return shot;
    shot.rgb.assign(pixels, pixels + static_cast<size_t>(shot.width) * shot.height * 3);
    stbi_image_free(pixels);
    return shot;
  }

  // Screenshots until what the player sees passes the test; the last one is
  // kept under the name.
  bool WaitFor(const std::string& name, const std::function<bool(const Shot&)>& test, int waitMs = kWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      const Shot shot = Take(name);
      if (shot.width > 0 && test(shot)) return true;
      Sleep(kPollMs);
    }
    return false;
  }

  void MoveTo(int x, int y) { Shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y)); }
  void Click(int x, int y) {
    MoveTo(x, y);
    Shell("xdotool mousedown 1");
    Sleep(kHoldMs);
    Shell("xdotool mouseup 1");
  }
  // Clicks and waits for the screen it leads to; a click that a very busy
  // machine let fall between two updates is given once more.
  bool ClickUntil(int x, int y, const std::string& name, const std::function<bool(const Shot&)>& test) {
    Click(x, y);
    if (WaitFor(name, test, kWaitMs / 3)) return true;
    Click(x, y);
    return WaitFor(name, test);
  }
  void Key(const std::string& name) {
    Shell("xdotool keydown --window " + window + " " + name);
    Sleep(kHoldMs);
    Shell("xdotool keyup --window " + window + " " + name);
  }
  void Drag(const std::vector<std::pair<int, int>>& points) {
    MoveTo(points.front().first, points.front().second);
    Shell("xdotool mousedown 1");
    Sleep(kHoldMs);
    for (const auto& p : points) {
      MoveTo(p.first, p.second);
      Sleep(kHoldMs);
    }
    Shell("xdotool mouseup 1");
  }

  fs::path work;
  fs::path shots;
  pid_t pid = -1;
  std::string window;
};

// Cell centres of the landscape board in a 640x480 window: 60 pixels apart,
// the first at (50, 120).
constexpr int kColumns = 10, kRows = 6, kPitch = 60, kLeft = 50, kTop = 120;

// Three neighbouring cells whose gems look alike, or an empty list.
std::vector<std::pair<int, int>> FindThreeAlike(const Shot& shot) {
  Colour mean[kColumns][kRows];
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r < kRows; ++r) mean[c][r] = shot.Mean(kLeft + kPitch * c, kTop + kPitch * r, 6);
  }
  auto alike = [&](int c0, int r0, int c1, int r1) { return Distance(mean[c0][r0], mean[c1][r1]) < kSameKindDistance; };
  auto centre = [](int c, int r) { return std::make_pair(kLeft + kPitch * c, kTop + kPitch * r); };
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c + 2 < kColumns; ++c) {
      if (alike(c, r, c + 1, r) && alike(c + 1, r, c + 2, r)) return {centre(c, r), centre(c + 1, r), centre(c + 2, r)};
    }
  }
  for (int c = 0; c < kColumns; ++c) {
    for (int r = 0; r + 2 < kRows; ++r) {
      if (alike(c, r, c, r + 1) && alike(c, r + 1, c, r + 2)) return {centre(c, r), centre(c, r + 1), centre(c, r + 2)};
    }
  }
  return {};
}

// The menu's green sound switch, sampled 20 virtual pixels above its centre
// (the loading screen has no green).
bool IsSwitchGreen(Colour c) { return c.g > 150 && c.r < 120 && c.b < 120; }

bool IsRoundOneBackground(Colour c) { return Distance(c, {100, 160, 240}) < 12; }

TEST_F(PlaySession, StartPlayPauseResumeQuitGameOverMenuAndSavedState) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu", [](const Shot& s) {
    // The sound switch on the left; the score panel darkens the right edge.
    return IsSwitchGreen(s.At(32, 220)) && s.At(630, 240).r < 120 && s.At(630, 240).b < 150;
  })) << "the title menu did not appear";
  Sleep(kSlideInMs);
  EXPECT_FALSE(fs::exists(work / ".vellumstate")) << "nothing is saved before a game ends";

  // The hard button starts a game with five kinds of gem.
  ASSERT_TRUE(ClickUntil(384, 336, "play", [](const Shot& s) { return IsRoundOneBackground(s.At(5, 470)); }))
      << "the hard button did not start a game";
  Shot board;
  Shot previous;
  ASSERT_TRUE(WaitFor("play", [&](const Shot& s) {
    // Round 1's sky blue around a board that has stopped falling: the board's
    // rows look the same in two screenshots running.
    const size_t from = static_cast<size_t>(kTop - kPitch / 2) * s.width * 3;
    const size_t to = static_cast<size_t>(kTop + kPitch * kRows) * s.width * 3;
    const bool still = previous.rgb.size() == s.rgb.size() &&
                       std::equal(s.rgb.begin() + from, s.rgb.begin() + to, previous.rgb.begin() + from);
    previous = s;
    board = s;
    return IsRoundOneBackground(s.At(5, 470)) && still;
  })) << "the play field did not appear or did not come to rest";

  const std::vector<std::pair<int, int>> path = FindThreeAlike(board);
  if (path.empty()) {
    Drag({{50, 120}, {110, 120}, {170, 120}});  // no run on this board: judged all the same
  } else {
    Drag(path);
  }
  Sleep(300);
  Take("play-path");
  const std::string out = Output();
  EXPECT_NE(out.find("Found 3+ = "), std::string::npos) << "the released path was not judged:\n" << out;
  if (!path.empty()) {
    EXPECT_NE(out.find("Found 3+ = 1,3,"), std::string::npos) << out;
  }

  // Escape opens the pause panel and closes it again.
  Key("Escape");
  ASSERT_TRUE(WaitFor("pause", [](const Shot& s) { return s.Count(180, 196, 460, 300, IsPanelOrange) > 8000; }))
      << "the pause panel did not open";
  Key("Escape");
  ASSERT_TRUE(WaitFor("resumed", [](const Shot& s) { return s.Count(180, 196, 460, 300, IsPanelOrange) < 2000; }))
      << "the pause panel did not close";

  // Quit from the panel: the game-over overlay, then the menu.
  Key("Escape");
  ASSERT_TRUE(WaitFor("pause-again", [](const Shot& s) { return s.Count(180, 196, 460, 300, IsPanelOrange) > 8000; }));
  ASSERT_TRUE(ClickUntil(180, 184, "game-over", [](const Shot& s) {
    // The yellow bar across the left at 0.45 of the height, over a darkened board.
    const Colour bar = s.Mean(60, 216, 2);
    return bar.r > 110 && bar.g > 110 && bar.b < 90 && s.At(5, 470).b < 200;
  })) << "the game-over overlay did not appear";
  ASSERT_TRUE(WaitFor("menu-after-game", [&](const Shot& s) {
    return !IsRoundOneBackground(s.At(5, 470)) && fs::exists(work / ".vellumstate") && s.Mean(60, 216, 2).b > 90;
  })) << "the menu did not come back";

  // The finished game is in the state file: 98 numbers, each followed by "|".
  const std::string state = ReadFile(work / ".vellumstate");
  int numbers = 0;
  for (char ch : state) numbers += ch == '|' ? 1 : 0;
  EXPECT_EQ(numbers, 98) << state;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  pid = -1;
}

TEST_F(PlaySession, LargeWindowShowsTheSameGameScaledUp) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu-640x480", [](const Shot& s) { return IsSwitchGreen(s.At(32, 220)); }));
  Sleep(kSlideInMs);
  // At its centred start position a window this large would stick out of the
  // 1280x1024 test screen, so it goes to the corner first.
  Shell("xdotool windowmove " + window + " 0 0");
  Shell("xdotool windowsize " + window + " 1280 960");
  ASSERT_TRUE(WaitFor("menu-1280x960", [](const Shot& s) {
    return s.width == 1280 && s.height == 960 && IsSwitchGreen(s.At(64, 440)) && s.At(1260, 480).r < 120;
  })) << "the menu did not fill the larger window";
  Sleep(kSlideInMs);
  // The normal button, at twice the size.
  ASSERT_TRUE(ClickUntil(2 * 256, 2 * 336, "play-1280x960",
                         [](const Shot& s) { return IsRoundOneBackground(s.At(10, 940)); }))
      << "the game did not start in the larger window";
  Sleep(1500);
  const Shot board = Take("play-1280x960");
  // A gem in the middle of the board covers much more than a 32-pixel cell.
  int gemPixels = board.Count(2 * 50 - 50, 2 * 120 - 50, 2 * 50 + 50, 2 * 120 + 50,
                              [](Colour c) { return !IsRoundOneBackground(c); });
  EXPECT_GT(gemPixels, 3000);
}

TEST_F(PlaySession, PortraitWindowTurnsTheBoard) {
  ASSERT_NO_FATAL_FAILURE(Launch());
  ASSERT_TRUE(WaitFor("menu-start", [](const Shot& s) { return IsSwitchGreen(s.At(32, 220)); }));
  Shell("xdotool windowsize " + window + " 480 640");
  ASSERT_TRUE(WaitFor("menu-480x640", [](const Shot& s) {
    // Portrait: the switch moves to the top edge (virtual (180, 32), scale 4/3).
    return s.width == 480 && s.height == 640 && IsSwitchGreen(s.At(240, 16));
  }));
  Sleep(kSlideInMs);
  // Portrait: the buttons stand in a column at 0.3 of the width; hard is the
  // lowest, at 0.85 of the height (virtual screen 360x480, scale 4/3).
  ASSERT_TRUE(
      ClickUntil(144, 544, "play-480x640", [](const Shot& s) { return IsRoundOneBackground(s.At(5, 630)); }));
  Sleep(1500);
  Take("play-480x640");
}

}  // namespace
