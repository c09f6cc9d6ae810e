// cmake --install into a scratch prefix: the program, its data, the menu
// entry and the icons land in the layout Debian uses for games, and the
// installed command starts the game in the player's own folder (under
// XDG_DATA_HOME), whose "data" link points at the installed data.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/korvane_process.h"
#include "tests/support/private_display.h"

namespace {

using e2e::KorvaneProcess;
namespace fs = std::filesystem;

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    prefix = game.Folder() / "prefix";
    const std::string command = std::string("'") + KORVANE_CMAKE + "' --install '" + KORVANE_BINARY_DIR +
                                "' --prefix '" + prefix.string() + "' >/dev/null";
    ASSERT_EQ(e2e::Shell(command), 0) << command;
  }

  // Declared before the game, so that the game stops before its display goes.
  std::unique_ptr<PrivateDisplay> display;
  KorvaneProcess game;
  fs::path prefix;
};

TEST_F(Install, PutsProgramDataMenuEntryAndIconsInTheGamesLayout) {
  EXPECT_TRUE(fs::exists(prefix / "games" / "korvane"));
  EXPECT_TRUE(fs::exists(prefix / "lib" / "games" / "korvane" / "korvane"));
  EXPECT_TRUE(fs::exists(prefix / "share" / "games" / "korvane" / "gems.png"));
  EXPECT_TRUE(fs::exists(prefix / "share" / "games" / "korvane" / "sfx" / "004.wav"));
  for (const char* size : {"32x32", "64x64", "128x128"}) {
    EXPECT_TRUE(fs::exists(prefix / "share" / "icons" / "hicolor" / size / "apps" / "korvane.png")) << size;
  }
  EXPECT_TRUE(fs::exists(prefix / "share" / "icons" / "hicolor" / "scalable" / "apps" / "korvane.svg"));
  EXPECT_TRUE(fs::exists(prefix / "share" / "man" / "man6" / "korvane.6.gz"));
  const std::string entry = e2e::ReadFile(prefix / "share" / "applications" / "korvane.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  EXPECT_NE(entry.find("\nExec=" + (prefix / "games" / "korvane").string() + "\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=korvane\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;
}

TEST_F(Install, LauncherStartsTheGameInThePlayersFolderWithTheInstalledData) {
  if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
  // A display of its own: the window is found by its title, and on the shared
  // test display another test's game could answer to it.
  display = std::make_unique<PrivateDisplay>(/*withWindowManager=*/false);
  if (!display->ready()) GTEST_SKIP() << "Xvfb could not be started here";
  const fs::path dataHome = game.Folder() / "xdg";
  game.Start((prefix / "games" / "korvane").string(),
             {{"XDG_DATA_HOME=" + dataHome.string(), "ALSOFT_DRIVERS=null"}, nullptr});
  ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  const fs::path home = dataHome / "korvane";
  ASSERT_TRUE(fs::is_symlink(home / "data"));
  EXPECT_EQ(fs::canonical(home / "data"), fs::canonical(prefix / "share" / "games" / "korvane"));
  EXPECT_EQ(fs::canonical("/proc/" + std::to_string(game.Pid()) + "/cwd"), fs::canonical(home));
  EXPECT_EQ(fs::canonical("/proc/" + std::to_string(game.Pid()) + "/exe"),
            fs::canonical(prefix / "lib" / "games" / "korvane" / "korvane"));
  EXPECT_TRUE(game.Running()) << game.Output() << game.Errors();
}

}  // namespace
