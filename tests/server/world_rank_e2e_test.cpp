// The real korvane program posting to a real korvane-server on a throwaway
// PostgreSQL cluster: once the server has taken a game, the title menu shows
// the world rank line, and the next game of the session, whose replay holds
// that line as a host answer, is still confirmed by the server's re-run.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <pqxx/pqxx>

#include "host/replay_format.h"
#include "tests/server/server_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/korvane_process.h"
#include "tests/support/screen_checks.h"
#include "tests/support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using e2e::KorvaneProcess;
using testsupport::Shot;
namespace layout = testsupport::layout;

constexpr int kWaitMs = 30000;
constexpr int kSlideInMs = 1000;
// The line's band at the top of a 640x480 menu, left of the score panel.
constexpr int kLineTop = 8, kLineBottom = 30, kLineLeft = 60, kLineRight = 490;
constexpr int kLineWhitePixels = 300;  // the text's white strokes; the art has a few stars

int whitePixels(const Shot& s) {
  int count = 0;
  for (int y = kLineTop; y < kLineBottom; ++y) {
    for (int x = kLineLeft; x < kLineRight; ++x) {
      const testsupport::Colour c = s.At(x, y);
      if (c.r > 240 && c.g > 240 && c.b > 240) ++count;
    }
  }
  return count;
}

long long storedGames(const std::string& database) {
  pqxx::connection connection(database);
  return pqxx::work(connection).exec1("SELECT count(*) FROM games")[0].as<long long>();
}

class WorldRank : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (the test command provides one)";
    if (!e2e::HaveDisplayTools()) GTEST_SKIP() << "xdotool or ImageMagick's import is missing";
    servertest::Cluster* cluster = servertest::Cluster::Shared();
    if (!cluster) GTEST_SKIP() << servertest::Cluster::Problem();
    database = cluster->NewDatabase();
    server = std::make_unique<servertest::ServerProcess>(database);
    ASSERT_TRUE(server->Up());
    shots = fs::path(KORVANE_TEST_OUTPUT_DIR) / "e2e-world-rank";
    fs::create_directories(shots);
    game.LinkData();
    testsupport::WriteBytes((game.Folder() / "score-server").string(),
                            "http://127.0.0.1:" + std::to_string(server->port()) + "/\n");
  }

  bool WaitFor(const std::string& name, const std::function<bool(const Shot&)>& test) {
    return game.WaitForShot(shots / (name + ".png"), test, kWaitMs);
  }

  // Hard, then quit from the pause panel at once: a short finished game.
  void PlayAQuitGame(const std::string& name) {
    ASSERT_TRUE(WaitFor(name + "-menu", testsupport::MenuShows));
    e2e::Sleep(kSlideInMs);
    game.Click(layout::kHardButton);
    ASSERT_TRUE(WaitFor(name + "-play", [](const Shot& s) {
      return testsupport::IsRoundOneBackground(s.At(layout::kBackgroundCorner));
    }));
    e2e::Sleep(2 * kSlideInMs);
    game.Key("Escape");
    ASSERT_TRUE(WaitFor(name + "-pause", testsupport::PausePanelShows));
    game.Click(layout::kPauseQuitButton);
  }

  std::string database;
  std::unique_ptr<servertest::ServerProcess> server;
  KorvaneProcess game;
  fs::path shots;
};

TEST_F(WorldRank, MenuShowsTheRankAndLaterGamesStillReRun) {
  ASSERT_TRUE(game.StartAndWaitForWindow({{"ALSOFT_DRIVERS=null"}, nullptr, false, {"--name", "Rank Tester"}}))
      << game.Errors();
  ASSERT_TRUE(WaitFor("menu-before", testsupport::MenuShows));
  e2e::Sleep(kSlideInMs);
  const int before = whitePixels(game.Take(shots / "menu-before.png"));
  ASSERT_NO_FATAL_FAILURE(PlayAQuitGame("first"));
  const auto stored = [&](long long games) {
    return testsupport::WaitUntil([&] { return storedGames(database) == games; }, std::chrono::milliseconds(kWaitMs),
                                  std::chrono::milliseconds(200));
  };
  ASSERT_TRUE(stored(1)) << game.Errors();
  EXPECT_TRUE(WaitFor("menu-rank", [&](const Shot& s) { return whitePixels(s) > before + kLineWhitePixels; }))
      << "no world rank line at the top of the menu";

  ASSERT_NO_FATAL_FAILURE(PlayAQuitGame("second"));
  EXPECT_TRUE(stored(2)) << "the server's re-run refused the game that saw the line: " << game.Errors();
  const std::string file = testsupport::ReadBytes((game.Folder() / "replays" / "game-000002.kvrp").string());
  replay::Replay second;
  std::string error;
  ASSERT_TRUE(replay::ReadReplay(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), replay::kAnyRules,
                                 &second, &error))
      << error;
  int lines = 0;
  for (std::size_t at : replay::OpStarts(second.stream)) lines += second.stream[at] == replay::kOpRankLine;
  EXPECT_EQ(lines, 1) << "the second game's stream holds the line once";
}

}  // namespace
