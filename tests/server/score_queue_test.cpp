// The desktop's score poster (host/score_client.h) against a real
// korvane-server: games queued while the server is down survive a restart
// of the game and reach the server once it is up, each stored once.
#include <gtest/gtest.h>

#include <filesystem>
#include <pqxx/pqxx>
#include <thread>

#include "host/score_client.h"
#include "tests/server/server_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace {

using servertest::Cluster;
using servertest::ServerProcess;

std::vector<std::uint8_t> golden(const std::string& name) {
  const std::string bytes = testsupport::ReadBytes(KORVANE_GOLDENS "/" + name + ".kvrp");
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

long long storedGames(const std::string& database) {
  pqxx::connection connection(database);
  return pqxx::work(connection).exec1("SELECT count(*) FROM games")[0].as<long long>();
}

TEST(ScoreQueue, GamesQueuedWhileTheServerIsDownArriveOnceWhenItComesBack) {
  Cluster* cluster = Cluster::Shared();
  if (!cluster) GTEST_SKIP() << Cluster::Problem();
  const std::string database = cluster->NewDatabase();
  testsupport::TempFolder player("player");
  const int port = servertest::FreePort();
  testsupport::WriteBytes(player.File("score-server"), "http://127.0.0.1:" + std::to_string(port) + "/\n");
  std::string error;
  ASSERT_TRUE(scores::SaveName(player.path(), "Queue Tester", &error)) << error;
  const scores::Settings settings = scores::ReadSettings(player.path());
  ASSERT_EQ(settings.server, "http://127.0.0.1:" + std::to_string(port));

  {  // No server: both games stay queued, and the game closes without waiting.
    scores::Poster poster(settings);
    poster.Enqueue(golden("easy-landscape-music"), 21);
    poster.Enqueue(golden("normal-landscape-music"), 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(poster.Waiting(), 2u);
    EXPECT_EQ(poster.RankLine(), "");
  }
  // The queue is a folder in the player's folder: a new run finds it.
  ServerProcess server(database, {}, port);
  ASSERT_TRUE(server.Up());
  {
    scores::Poster poster(settings);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return poster.Waiting() == 0; }, std::chrono::seconds(20)));
    EXPECT_EQ(poster.RankLine(), "World rank 1 of 1 (Normal)");
  }
  EXPECT_EQ(storedGames(database), 2);
  const std::string token = testsupport::ReadBytes(player.File("player-token"));
  EXPECT_EQ(token.size(), 65u) << "a 256-bit secret in hex, kept";
  EXPECT_EQ(std::filesystem::status(player.File("player-token")).permissions() & std::filesystem::perms::others_read,
            std::filesystem::perms::none);

  {  // The same game again (a copy, a second run): stored once, queue emptied.
    scores::Poster poster(settings);
    poster.Enqueue(golden("easy-landscape-music"), 21);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return poster.Waiting() == 0; }, std::chrono::seconds(20)));
  }
  EXPECT_EQ(storedGames(database), 2);
}

}  // namespace
