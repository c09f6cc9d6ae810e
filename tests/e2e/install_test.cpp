// cmake --install into a scratch prefix: the program, its data, the menu
// entry and the icons land in the layout Debian uses for games, and the
// installed command starts the game in the player's own folder (under
// XDG_DATA_HOME), whose "data" link points at the installed data. The
// launcher then meets the player's odd environments: a relative XDG_DATA_HOME,
// names with any character, no HOME, a read-only home.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// The launcher in a copy of the installed layout (the script copied, the
// program and the data linked), under a folder whose name needs quoting. Each
// case gives the player's environment; the game runs on one display shared by
// the cases.
class Launcher : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display = new PrivateDisplay(/*withWindowManager=*/false); }
  static void TearDownTestSuite() {
    delete display;
    display = nullptr;
  }

  void SetUp() override {
    if (!fs::is_directory(KORVANE_BUILD_DATA_DIR)) GTEST_SKIP() << "the build has no generated data folder";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick is missing (tools/install-deps.sh)";
    if (!display->ready()) GTEST_SKIP() << "Xvfb could not be started here";
    const fs::path layout = game.Folder() / "-lay out";
    fs::create_directories(layout / "games");
    fs::create_directories(layout / "lib" / "games" / "korvane");
    fs::create_directories(layout / "share" / "games");
    fs::copy_file(KORVANE_LAUNCHER, layout / "games" / "korvane");
    fs::create_symlink(KORVANE_PROGRAM, layout / "lib" / "games" / "korvane" / "korvane");
    fs::create_directory_symlink(KORVANE_BUILD_DATA_DIR, layout / "share" / "games" / "korvane");
    launcher = layout / "games" / "korvane";
    // The unprivileged cases go through this folder.
    ASSERT_EQ(chmod(game.Folder().c_str(), 0777), 0);
  }

  // Starts the launcher with `environment` ("NAME=value" or "-NAME"), as the
  // unprivileged "nobody" when asked, and waits for the game's window.
  void Play(std::vector<std::string> environment, bool asNobody = false) {
    environment.push_back("ALSOFT_DRIVERS=null");
    std::function<void()> becomeNobody;
    if (asNobody) {
      const passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || geteuid() != 0) GTEST_SKIP() << "needs root and the user nobody";
      const uid_t uid = nobody->pw_uid;
      const gid_t gid = nobody->pw_gid;
      becomeNobody = [uid, gid] {
        if (setgid(gid) != 0 || setuid(uid) != 0) _exit(126);
      };
    }
    game.Start(launcher.string(), {environment, becomeNobody});
    ASSERT_TRUE(game.WaitForWindow()) << game.Output() << game.Errors();
  }

  // Where the game runs.
  fs::path GameFolder() const { return fs::read_symlink("/proc/" + std::to_string(game.Pid()) + "/cwd"); }

  void ExpectPlayingIn(const fs::path& folder) const {
    EXPECT_EQ(GameFolder(), folder);
    EXPECT_TRUE(fs::is_symlink(folder / "data"));
    EXPECT_EQ(fs::canonical(folder / "data"), fs::canonical(KORVANE_BUILD_DATA_DIR));
  }

  static PrivateDisplay* display;
  KorvaneProcess game;
  fs::path launcher;
};

PrivateDisplay* Launcher::display = nullptr;

// "XDG_DATA_HOME=-x" once stopped mkdir, which took the name for an option,
// and a relative name was used relative to wherever the launcher started.
TEST_F(Launcher, IgnoresARelativeDataHomeAndQuotesEveryName) {
  const fs::path home = game.Folder() / "-h o\nme \u00fc";
  ASSERT_NO_FATAL_FAILURE(Play({"XDG_DATA_HOME=-x", "HOME=" + home.string()}));
  ExpectPlayingIn(home / ".local" / "share" / "korvane");
  EXPECT_FALSE(fs::exists(game.Folder() / "-x")) << "a relative XDG_DATA_HOME was used";
  EXPECT_TRUE(game.Running()) << game.Errors();
}

// Without HOME the launcher stopped on an unset variable.
TEST_F(Launcher, TakesAnAbsoluteDataHomeOfAnyNameWithoutHome) {
  const fs::path dataHome = game.Folder() / "-x \n\u00fcber\tall";
  ASSERT_NO_FATAL_FAILURE(Play({"XDG_DATA_HOME=" + dataHome.string(), "-HOME"}));
  ExpectPlayingIn(dataHome / "korvane");
  EXPECT_TRUE(game.Running()) << game.Errors();
}

// A player whose home cannot be written still plays: in a private read-only
// folder where the state file is a folder, so every save fails, and that
// folder goes when the game ends.
TEST_F(Launcher, ReadOnlyHomeStillPlaysWithSavingRefused) {
  const fs::path home = game.Folder() / "home";
  const fs::path temporary = game.Folder() / "tmp";
  fs::create_directory(home);
  fs::create_directory(temporary);
  ASSERT_EQ(chmod(home.c_str(), 0555), 0);
  ASSERT_EQ(chmod(temporary.c_str(), 0777), 0);
  ASSERT_NO_FATAL_FAILURE(Play({"HOME=" + home.string(), "-XDG_DATA_HOME", "TMPDIR=" + temporary.string()},
                               /*asNobody=*/true));
  const std::string errors = game.Errors();
  EXPECT_EQ(errors.rfind("korvane: ", 0), 0u) << errors;
  EXPECT_NE(errors.find((home / ".local/share/korvane").string()), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  const fs::path folder = GameFolder();
  EXPECT_EQ(folder.parent_path(), temporary);
  ExpectPlayingIn(folder);
  EXPECT_TRUE(fs::is_directory(folder / ".vellumstate"));
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all & ~(fs::perms::owner_read | fs::perms::owner_exec),
            fs::perms::none);
  game.Stop();
  for (int tries = 0; tries < 50 && !fs::is_empty(temporary); ++tries) e2e::Sleep(100);
  EXPECT_TRUE(fs::is_empty(temporary)) << "the temporary folder stayed";
}

// A folder made in an earlier run serves even when it is read-only now: the
// game shows the saved scores (and reports its failed saves itself).
TEST_F(Launcher, ReadOnlyHomeWithTheFolderMadePlaysThere) {
  const fs::path player = game.Folder() / "home" / ".local" / "share" / "korvane";
  fs::create_directories(player);
  fs::create_directory_symlink(fs::canonical(KORVANE_BUILD_DATA_DIR), player / "data");
  for (fs::path folder = player; folder != game.Folder(); folder = folder.parent_path()) {
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  }
  ASSERT_NO_FATAL_FAILURE(Play({"HOME=" + (game.Folder() / "home").string(), "-XDG_DATA_HOME"}, /*asNobody=*/true));
  ExpectPlayingIn(player);
  EXPECT_EQ(game.Errors().find("korvane: "), std::string::npos) << game.Errors();
}

// With no HOME the home folder comes from the password database: nobody's is
// one that cannot be made, so the game plays without saving and says where.
TEST_F(Launcher, UnsetHomeIsFoundInThePasswordDatabase) {
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "no user nobody";
  const std::string nobodyHome = nobody->pw_dir;
  if (fs::exists(nobodyHome)) GTEST_SKIP() << "nobody's home " << nobodyHome << " exists here";
  ASSERT_NO_FATAL_FAILURE(Play({"-HOME", "-XDG_DATA_HOME", "TMPDIR=" + game.Folder().string()}, /*asNobody=*/true));
  EXPECT_NE(game.Errors().find("korvane: cannot make " + nobodyHome + "/.local/share/korvane"), std::string::npos)
      << game.Errors();
  EXPECT_TRUE(game.Running()) << game.Errors();
}

}  // namespace
