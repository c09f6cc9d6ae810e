// The game as a desktop sees it, and as a player gets it from the Debian
// package:
// - the running window carries the X11 class that the menu entry's
//   StartupWMClass names and the game's icon (_NET_WM_ICON), and starts
//   without the icon when its pictures are missing;
// - the package (built by `cmake --build build --target package`, as the test
//   command does first) unpacked with dpkg-deb into a scratch root holds the
//   Debian games layout, and its command starts the unpacked game to the title
//   menu in the player's own folder.
// The cases that start the game run on a display of their own: two games at
// the same place on one display would photograph each other's window.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"

namespace {

using e2e::KorvaneProcess;
namespace fs = std::filesystem;

constexpr int kMenuWaitMs = 60000;  // loading takes 23 updates; a busy machine is slow

bool WaitForTitleMenu(KorvaneProcess& game) {
  return game.WaitForShot(game.Folder() / "shot.png", testsupport::MenuShows, kMenuWaitMs);
}

std::string WindowProperty(const KorvaneProcess& game, const std::string& name) {
  return e2e::Capture("xprop -id " + game.Window() + " " + name + " 2>&1");
}

// The value of `key` in a desktop entry ("" when absent).
std::string EntryValue(const std::string& entry, const std::string& key) {
  const size_t at = entry.find("\n" + key + "=");
  if (at == std::string::npos) return "";
  const size_t start = at + key.size() + 2;
  return entry.substr(start, entry.find('\n', start) - start);
}

bool HaveWindowTools() { return e2e::HaveDisplayTools() && e2e::Shell("command -v xprop >/dev/null") == 0; }

// Starts a private display (no window manager); false when Xvfb cannot run here.
bool OwnDisplay(std::unique_ptr<PrivateDisplay>& display) {
  display = std::make_unique<PrivateDisplay>(/*withWindowManager=*/false);
  return display->ready();
}

class WindowIdentity : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveWindowTools()) GTEST_SKIP() << "xdotool, xprop or ImageMagick is missing (tools/install-deps.sh)";
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!OwnDisplay(display)) GTEST_SKIP() << "Xvfb could not be started here";
  }

  void TearDown() override {
    game.Stop();
    display.reset();
  }

  std::unique_ptr<PrivateDisplay> display;
  KorvaneProcess game;
};

TEST_F(WindowIdentity, WindowHasTheMenuEntrysClassAndTheGamesIconInThreeSizes) {
  game.LinkData();
  game.Start({{"ALSOFT_DRIVERS=null"}, nullptr});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  // The icon reaches the X server with the window's first events, a little
  // after the title that WaitForWindow looks for.
  ASSERT_TRUE(WaitForTitleMenu(game)) << game.Output() << game.Errors();

  const std::string entry = e2e::ReadFile(KORVANE_DESKTOP_ENTRY_TEMPLATE);
  const std::string wmClass = EntryValue(entry, "StartupWMClass");
  ASSERT_FALSE(wmClass.empty()) << entry;
  EXPECT_NE(WindowProperty(game, "WM_CLASS").find("= \"korvane\", \"" + wmClass + "\""), std::string::npos)
      << WindowProperty(game, "WM_CLASS");

  const std::string icon = WindowProperty(game, "_NET_WM_ICON");
  for (const char* size : {"32 x 32", "64 x 64", "128 x 128"}) {
    EXPECT_NE(icon.find(std::string("Icon (") + size + ")"), std::string::npos) << size << ":\n" << icon.substr(0, 200);
  }
}

TEST_F(WindowIdentity, GameStartsWithoutItsIconPictures) {
  const fs::path data = game.CopyData();
  fs::remove_all(data / "icons");
  game.Start({{"ALSOFT_DRIVERS=null"}, nullptr});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  EXPECT_TRUE(WaitForTitleMenu(game)) << game.Output() << game.Errors();
  EXPECT_NE(WindowProperty(game, "_NET_WM_ICON").find("not found"), std::string::npos);
  EXPECT_EQ(game.Output().find("Runtime Error"), std::string::npos) << game.Output();
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(KORVANE_DEB_FILE)) {
      GTEST_SKIP() << KORVANE_DEB_FILE << " is missing: cmake --build build --target package (the test command does)";
    }
    if (fs::last_write_time(KORVANE_DEB_FILE) < fs::last_write_time(KORVANE_PROGRAM)) {
      GTEST_SKIP() << KORVANE_DEB_FILE << " is older than the program: build the package again";
    }
    root = game.Folder() / "root";
    const std::string command = std::string("dpkg-deb -x '") + KORVANE_DEB_FILE + "' '" + root.string() + "'";
    ASSERT_EQ(e2e::Shell(command), 0) << command;
  }

  std::string Field(const std::string& name) const {
    return e2e::Capture(std::string("dpkg-deb -f '") + KORVANE_DEB_FILE + "' " + name);
  }

  void TearDown() override {
    game.Stop();
    display.reset();
  }

  std::unique_ptr<PrivateDisplay> display;
  KorvaneProcess game;
  fs::path root;
};

TEST_F(Package, HoldsTheGamesLayoutWithComputedDependencies) {
  EXPECT_EQ(Field("Section"), "games\n");
  EXPECT_EQ(Field("Package"), "korvane\n");
  // Read from the program by dpkg-shlibdeps: the window, sound and C++ libraries.
  const std::string depends = Field("Depends");
  for (const char* library : {"libglfw3", "libopenal1", "libstdc++6", "libc6"}) {
    EXPECT_NE(depends.find(library), std::string::npos) << depends;
  }

  const fs::path usr = root / "usr";
  for (const fs::path& file :
       {fs::path("games/korvane"), fs::path("lib/games/korvane/korvane"), fs::path("share/games/korvane/gems.png"),
        fs::path("share/games/korvane/sfx/004.wav"), fs::path("share/games/korvane/icons/korvane-64.png"),
        fs::path("share/icons/hicolor/32x32/apps/korvane.png"),
        fs::path("share/icons/hicolor/128x128/apps/korvane.png"),
        fs::path("share/icons/hicolor/scalable/apps/korvane.svg"),
        fs::path("share/metainfo/dev.korvane.Korvane.metainfo.xml"), fs::path("share/man/man6/korvane.6.gz"),
        fs::path("share/doc/korvane/copyright"), fs::path("share/doc/korvane/changelog.gz")}) {
    EXPECT_TRUE(fs::is_regular_file(usr / file)) << file;
  }
  EXPECT_EQ(e2e::ReadFile(usr / "share/doc/korvane/copyright")
                .rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0),
            0u);

  const std::string entry = e2e::ReadFile(usr / "share/applications/korvane.desktop");
  EXPECT_EQ(EntryValue(entry, "Exec"), "/usr/games/korvane") << entry;
  EXPECT_EQ(EntryValue(entry, "Icon"), "korvane") << entry;
  EXPECT_EQ(EntryValue(entry, "StartupWMClass"), "Korvane") << entry;
}

TEST_F(Package, UnpackedCommandStartsTheGameToTheTitleMenuInThePlayersFolder) {
  if (!HaveWindowTools()) GTEST_SKIP() << "xdotool, xprop or ImageMagick is missing (tools/install-deps.sh)";
  if (!OwnDisplay(display)) GTEST_SKIP() << "Xvfb could not be started here";
  const fs::path dataHome = game.Folder() / "xdg";
  game.Start((root / "usr/games/korvane").string(),
             {{"XDG_DATA_HOME=" + dataHome.string(), "ALSOFT_DRIVERS=null"}, nullptr});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  ASSERT_TRUE(WaitForTitleMenu(game)) << game.Output() << game.Errors();

  const fs::path home = dataHome / "korvane";
  const std::string pid = std::to_string(game.Pid());
  EXPECT_EQ(fs::canonical("/proc/" + pid + "/cwd"), fs::canonical(home));
  EXPECT_EQ(fs::canonical("/proc/" + pid + "/exe"), fs::canonical(root / "usr/lib/games/korvane/korvane"));
  EXPECT_EQ(fs::canonical(home / "data"), fs::canonical(root / "usr/share/games/korvane"));
  EXPECT_NE(WindowProperty(game, "_NET_WM_ICON").find("Icon (128 x 128)"), std::string::npos);
}

}  // namespace
