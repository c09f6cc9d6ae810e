// korvane-server end to end: a real server process on a throwaway
// PostgreSQL cluster, posted the golden replays the real program recorded
// and every kind of forged post, read back through its tables.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <pqxx/pqxx>
#include <set>

#include "game/replay_state.h"
#include "host/replay_format.h"
#include "tests/server/server_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using nlohmann::json;
using servertest::Cluster;
using servertest::ServerProcess;

const std::string kTokenA = "token-of-player-a-0001";
const std::string kTokenB = "token-of-player-b-0002";

std::string golden(const std::string& name) { return testsupport::ReadBytes(KORVANE_GOLDENS "/" + name + ".kvrp"); }
json goldenResult(const std::string& name) {
  return json::parse(testsupport::ReadBytes(KORVANE_GOLDENS "/" + name + ".json"));
}

class ScoreServer : public ::testing::Test {
 protected:
  void SetUp() override {
    cluster = Cluster::Shared();
    if (!cluster) GTEST_SKIP() << Cluster::Problem();
    database = cluster->NewDatabase();
  }

  ServerProcess& Serve(std::map<std::string, std::string> environment = {}) {
    environment.emplace("KORVANE_POSTS_PER_MINUTE", "1000");
    server = std::make_unique<ServerProcess>(database, environment);
    EXPECT_TRUE(server->Up()) << "the server did not answer";
    return *server;
  }

  httplib::Result Post(const std::string& replay, const std::string& token, const std::string& name,
                       const std::string& claimed = "") {
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
    if (!claimed.empty()) headers.emplace("X-Korvane-Claimed-Score", claimed);
    const std::string path = "/api/v1/scores?name=" + httplib::detail::encode_query_param(name);
    return server->client().Post(path.c_str(), headers, replay, "application/octet-stream");
  }

  json Get(const std::string& path, const std::string& token = "", int status = 200) {
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
    const auto res = server->client().Get(path.c_str(), headers);
    if (!res) {
      ADD_FAILURE() << "no answer to " << path;
      return json();
    }
    EXPECT_EQ(res->status, status) << path << ": " << res->body;
    return json::parse(res->body, nullptr, false);
  }

  long long Count(const std::string& table) {
    pqxx::connection connection(database);
    return pqxx::work(connection).exec1("SELECT count(*) FROM " + table)[0].as<long long>();
  }

  Cluster* cluster = nullptr;
  std::string database;
  std::unique_ptr<ServerProcess> server;
};

// What a refused post answers: its status, its error code, nothing stored.
void expectRefused(const httplib::Result& res, int status, const std::string& code) {
  ASSERT_TRUE(res) << "no answer";
  EXPECT_EQ(res->status, status) << res->body;
  const json body = json::parse(res->body, nullptr, false);
  EXPECT_EQ(body.value("error", ""), code) << res->body;
  EXPECT_FALSE(body.value("message", "").empty()) << "a refusal says why";
}

TEST_F(ScoreServer, RealReplaysAreVerifiedRankedAndServedBack) {
  Serve();
  for (const std::string name : {"easy-landscape-music", "normal-landscape-music", "hard-landscape-quit"}) {
    const auto res = Post(golden(name), kTokenA, "Ana Ñandú", std::to_string(goldenResult(name)["score"].get<int>()));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << name << ": " << res->body;
    const json answer = json::parse(res->body);
    EXPECT_EQ(answer["score"], goldenResult(name)["score"]) << name;
    EXPECT_EQ(answer["rank"], 1);
    EXPECT_EQ(answer["best"], answer["score"]);
  }
  // An equal score verified later ranks below.
  const auto later = Post(golden("hard-portrait-silent"), kTokenB, "张伟");
  ASSERT_TRUE(later);
  ASSERT_EQ(later->status, 201) << later->body;
  EXPECT_EQ(json::parse(later->body)["board"], "hard");
  EXPECT_EQ(json::parse(later->body)["rank"], 2);

  const json hard = Get("/api/v1/boards/hard");
  ASSERT_EQ(hard["entries"].size(), 2u);
  EXPECT_EQ(hard["entries"][0]["name"], "Ana Ñandú");
  EXPECT_EQ(hard["entries"][1]["name"], "张伟");
  EXPECT_EQ(hard["entries"][1]["rank"], 2);
  EXPECT_TRUE(hard["next"].is_null());
  const json around = Get("/api/v1/boards/hard/around", kTokenB);
  EXPECT_EQ(around["rank"], 2);
  EXPECT_EQ(around["of"], 2);

  const json easy = Get("/api/v1/boards/easy");
  const auto replay = server->client().Get(("/api/v1/games/" + easy["entries"][0]["game"].dump() + "/replay").c_str());
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->body, golden("easy-landscape-music")) << "a listed game's replay comes back as posted";

  const auto page = server->client().Get("/tables");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("/api/v1/boards/"), std::string::npos) << "the page reads the tables' API";
  const auto home = server->client().Get("/");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->get_header_value("Location"), "/tables") << "with no browser build, / shows the tables";
}

// With a browser build, / is its page, its WebAssembly comes as such (so the
// browser compiles it while it arrives), and every answer is marked as the
// server's: that mark is how the page knows it can post.
TEST_F(ScoreServer, ServesTheBrowserBuildMarkedAsItsOwn) {
  testsupport::TempFolder site;
  testsupport::WriteBytes(site.path() + "/index.html", "<!doctype html><title>Korvane</title>");
  testsupport::WriteBytes(site.path() + "/korvane.wasm", std::string("\0asm\1\0\0\0", 8));
  Serve({{"KORVANE_SITE", site.path()}});
  const auto page = server->client().Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>Korvane</title>"), std::string::npos);
  const auto wasm = server->client().Head("/korvane.wasm");
  ASSERT_TRUE(wasm);
  EXPECT_EQ(wasm->get_header_value("Content-Type"), "application/wasm");
  EXPECT_EQ(page->get_header_value("X-Korvane-Server"), "1");
  for (const char* path : {"/korvane.wasm", "/api/v1/boards/easy", "/none"}) {
    const auto answer = server->client().Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->get_header_value("X-Korvane-Server"), "1") << path;
  }
}

// Each forged post gets its reason and leaves the tables as they were.
TEST_F(ScoreServer, EveryForgeryIsRefusedAndStoresNothing) {
  Serve({{"KORVANE_RERUN_SECONDS", "2"}});
  const std::string bytes = golden("normal-landscape-music");
  replay::Replay parsed;
  std::string error;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  ASSERT_TRUE(replay::ReadReplay(data, bytes.size(), replay::kAnyRules, &parsed, &error)) << error;
  const auto rewrite = [](const replay::Header& header, const std::vector<std::uint8_t>& stream) {
    const std::vector<std::uint8_t> file = replay::WriteReplay(header, stream);
    return std::string(file.begin(), file.end());
  };

  expectRefused(Post(bytes, kTokenA, "Ana", "9999"), 422, "mismatch");
  replay::Header edited = parsed.header;
  edited.total += 100;
  expectRefused(Post(rewrite(edited, parsed.stream), kTokenA, "Ana"), 422, "mismatch");
  std::vector<std::uint8_t> stream = parsed.stream;
  for (std::size_t at : replay::OpStarts(parsed.stream)) {
    if (stream[at] > 0 && stream[at] < replay::kOpClockNear) {
      stream[at] += 1;  // the first clock step, one millisecond longer
      break;
    }
  }
  expectRefused(Post(rewrite(parsed.header, stream), kTokenA, "Ana"), 422, "mismatch");
  expectRefused(Post(std::string(4096, '\x5a'), kTokenA, "Ana"), 422, "bad_replay");
  expectRefused(Post(bytes.substr(0, bytes.size() / 2), kTokenA, "Ana"), 422, "bad_replay");
  replay::Header later = parsed.header;
  later.rulesVersion = korvane::kRulesVersion + 1;
  expectRefused(Post(rewrite(later, parsed.stream), kTokenA, "Ana"), 422, "bad_replay");

  expectRefused(Post(bytes, kTokenA, "Ana\x01"), 400, "bad_name");
  expectRefused(Post(bytes, kTokenA, std::string(10000, 'a')), 414, "too_long");  // longer than a request line
  expectRefused(Post(bytes, kTokenA, std::string(2000, 'a')), 400, "bad_name");
  expectRefused(Post(bytes, kTokenA, ""), 400, "bad_name");
  expectRefused(Post(bytes, kTokenA, "Ana<script>"), 400, "bad_name");
  expectRefused(Post(bytes, kTokenA, "Ana\xc0\xaf"), 400, "bad_name");  // overlong '/'
  expectRefused(Post(bytes, "", "Ana"), 401, "bad_token");
  expectRefused(Post(bytes, "short", "Ana"), 401, "bad_token");
  EXPECT_EQ(Count("games"), 0);
  EXPECT_EQ(Count("players"), 0);

  // Taken from another player and re-posted under a new name and token.
  const auto first = Post(bytes, kTokenA, "Ana");
  ASSERT_TRUE(first);
  ASSERT_EQ(first->status, 201) << first->body;
  expectRefused(Post(bytes, kTokenB, "Thief"), 409, "duplicate");
  expectRefused(Post(bytes, kTokenA, "Ana"), 409, "duplicate");
  EXPECT_EQ(Count("games"), 1);
  EXPECT_EQ(Count("players"), 1);
}

// A replay whose game never ends where its header says (its clock stands
// still for 800,000 updates) is refused.
TEST_F(ScoreServer, NeverEndingGameIsRefused) {
  Serve({{"KORVANE_RERUN_SECONDS", "2"}});
  const std::string bytes = golden("normal-landscape-music");
  replay::Replay parsed;
  std::string error;
  ASSERT_TRUE(replay::ReadReplay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), replay::kAnyRules,
                                 &parsed, &error));
  const std::vector<std::size_t> starts = replay::OpStarts(parsed.stream);
  std::vector<std::uint8_t> stream(parsed.stream.begin(),
                                   parsed.stream.begin() + std::ptrdiff_t(starts[starts.size() / 4]));
  constexpr std::uint32_t kStillUpdates = 800000;  // within the format's four hours
  for (std::uint32_t i = 0; i < kStillUpdates; ++i) {
    stream.push_back(0);
    stream.push_back(replay::kOpUpdate);
  }
  stream.push_back(replay::kOpEnd);
  replay::Header header = parsed.header;
  header.updates = 0;
  for (std::size_t at : replay::OpStarts(stream)) header.updates += stream[at] == replay::kOpUpdate;
  const std::vector<std::uint8_t> file = replay::WriteReplay(header, stream);
  ASSERT_LT(file.size(), std::size_t(1) << 20) << "it must reach the re-run";
  const auto started = std::chrono::steady_clock::now();
  const auto res = Post(std::string(file.begin(), file.end()), kTokenA, "Ana");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 422) << res->body;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(Count("games"), 0);
}

// A re-run that would spin forever is ended by its CPU-time limit: here the
// re-run program itself is one that never stops.
TEST_F(ScoreServer, ARerunIsEndedByItsCpuLimit) {
  testsupport::TempFolder folder("spin");
  const std::string spin = folder.File("spin.sh");
  testsupport::WriteBytes(spin, "#!/bin/sh\nwhile :; do :; done\n");
  chmod(spin.c_str(), 0755);
  Serve({{"KORVANE_RERUN_SECONDS", "1"}, {"KORVANE_REPLAY", spin}});
  const auto started = std::chrono::steady_clock::now();
  expectRefused(Post(golden("easy-landscape-music"), kTokenA, "Ana"), 422, "too_long");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(Count("games"), 0);
}

// Tables seeded straight into the database: 25 players on normal, scores
// with ties, where a tie goes to the earlier verification (here the higher
// player number), never to the lower id.
class SeededBoard : public ScoreServer {
 protected:
  static constexpr int kPlayers = 25;
  static std::string TokenOf(int player) { return "seeded-token-" + std::to_string(1000 + player); }
  static int ScoreOf(int player) { return (player % 7) * 10; }

  void Seed() {
    pqxx::connection connection(database);
    pqxx::work tx(connection);
    tx.exec_params(
        "INSERT INTO players (token_hash, name) SELECT sha256(convert_to('seeded-token-' || (1000 + i), 'UTF8')),"
        " 'P' || i FROM generate_series(1, $1) i ORDER BY i",
        kPlayers);
    tx.exec(
        "INSERT INTO games (player_id, board, score, rounds, updates, identity, replay, verified_at)"
        " SELECT id, 2, (id % 7) * 10, 1, 1, sha256(convert_to('game' || id, 'UTF8')), '\\x00',"
        " timestamptz '2026-01-01' - id * interval '1 second' FROM players");
    tx.exec(
        "INSERT INTO bests (board, player_id, game_id, score, verified_at)"
        " SELECT board, player_id, id, score, verified_at FROM games");
    tx.commit();
  }

  // Player numbers in table order.
  static std::vector<int> Expected() {
    std::vector<int> order;
    for (int i = 1; i <= kPlayers; ++i) order.push_back(i);
    std::sort(order.begin(), order.end(),
              [](int a, int b) { return ScoreOf(a) != ScoreOf(b) ? ScoreOf(a) > ScoreOf(b) : a > b; });
    return order;
  }
};

TEST_F(SeededBoard, PagesFollowOneAnotherWithoutGapsOrRepeats) {
  Serve();
  Seed();
  std::vector<std::string> names;
  std::string path = "/api/v1/boards/normal?limit=10";
  for (int page = 0; page < 5; ++page) {
    const json answer = Get(path);
    for (const json& entry : answer["entries"]) {
      EXPECT_EQ(entry["rank"], names.size() + 1);
      names.push_back(entry["name"]);
    }
    if (answer["next"].is_null()) break;
    path = "/api/v1/boards/normal?limit=10&after=" + answer["next"].get<std::string>();
  }
  std::vector<std::string> expected;
  for (int player : Expected()) expected.push_back("P" + std::to_string(player));
  EXPECT_EQ(names, expected);
  EXPECT_EQ(Get("/api/v1/boards/normal")["entries"].size(), 10u) << "ten by default";
  EXPECT_EQ(Get("/api/v1/boards/easy")["entries"].size(), 0u);
  Get("/api/v1/boards/normal?limit=0", "", 400);
  Get("/api/v1/boards/normal?limit=101", "", 400);
  Get("/api/v1/boards/normal?after=1%27%20OR%201%3D1", "", 400);
  Get("/api/v1/boards/normal?after=-1", "", 400);
  Get("/api/v1/boards/normal?after=999999", "", 400);
  Get("/api/v1/boards/extreme", "", 404);
}

// A cursor names any game of the board: the last listed one (nothing
// follows), or one that left the table when its player did better.
TEST_F(SeededBoard, ACursorMayNameTheLastGameOrOneNoLongerListed) {
  Serve();
  Seed();
  const std::vector<int> order = Expected();
  pqxx::connection connection(database);
  pqxx::work tx(connection);
  const auto gameOf = [&](int player) {
    return std::to_string(tx.exec_params1("SELECT id FROM games WHERE player_id = $1", player)[0].as<long long>());
  };
  const std::string last = gameOf(order.back()), replaced = gameOf(order[3]);
  tx.exec_params(
      "WITH g AS (INSERT INTO games (player_id, board, score, rounds, updates, identity, replay)"
      " VALUES ($1, 2, 1000, 1, 1, sha256('better'::bytea), '\\x00') RETURNING id, verified_at)"
      " UPDATE bests SET game_id = g.id, score = 1000, verified_at = g.verified_at FROM g"
      " WHERE bests.board = 2 AND bests.player_id = $1",
      order[3]);
  tx.commit();

  const json end = Get("/api/v1/boards/normal?after=" + last);
  EXPECT_TRUE(end["entries"].empty()) << end;
  EXPECT_TRUE(end["next"].is_null()) << end;
  // Up to the replaced game's key: the improved player, then three others.
  const json page = Get("/api/v1/boards/normal?limit=3&after=" + replaced);
  ASSERT_EQ(page["entries"].size(), 3u) << page;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(page["entries"][i]["name"], "P" + std::to_string(order[4 + i]));
    EXPECT_EQ(page["entries"][i]["rank"], 5 + i);
  }
  EXPECT_EQ(Get("/api/v1/boards/normal?limit=1")["entries"][0]["name"], "P" + std::to_string(order[3]));
}

TEST_F(SeededBoard, AroundMeShowsFiveAboveAndBelow) {
  Serve();
  Seed();
  const std::vector<int> order = Expected();
  for (const int place : {0, 2, 12, kPlayers - 1}) {
    const json around = Get("/api/v1/boards/normal/around", TokenOf(order[place]));
    EXPECT_EQ(around["rank"], place + 1);
    EXPECT_EQ(around["of"], kPlayers);
    const int from = std::max(0, place - 5), to = std::min(kPlayers - 1, place + 5);
    ASSERT_EQ(around["entries"].size(), std::size_t(to - from + 1)) << "at place " << place;
    for (int i = from; i <= to; ++i) {
      EXPECT_EQ(around["entries"][i - from]["name"], "P" + std::to_string(order[i]));
      EXPECT_EQ(around["entries"][i - from]["rank"], i + 1);
    }
  }
  Get("/api/v1/boards/easy/around", TokenOf(1), 404);
  Get("/api/v1/boards/normal/around", "", 401);
}

// A board whose scores sit on and beside the edges of the score buckets
// (exact below 256, then eight leading bits), with ties on score and on
// verification time, checked against ranks counted row by row.
class BucketedBoard : public ScoreServer {
 protected:
  const std::vector<int> scores = {0,    0,    1,    127,  255,   255,   256,   257,  300,        383,
                                   384,  510,  511,  511,  512,   513,   1023,  1024, 1024,       1025,
                                   2047, 2048, 4097, 4100, 40000, 40001, 65535, 1,    2147483647, 511};

  static std::string TokenOf(std::size_t player) { return "bucket-token-" + std::to_string(1000 + player); }

  void Exec(const std::string& sql) {
    pqxx::connection connection(database);
    pqxx::work tx(connection);
    tx.exec(sql);
    tx.commit();
  }

  // Players 1..n; every third verified at the same second as the one before.
  void Seed() {
    std::string values;
    for (std::size_t i = 0; i < scores.size(); ++i) {
      values += (i ? ",(" : "(") + std::to_string(i + 1) + "," + std::to_string(scores[i]) + ")";
    }
    Exec(
        "INSERT INTO players (token_hash, name) SELECT sha256(convert_to('bucket-token-' || (1000 + i), 'UTF8')),"
        " 'B' || i FROM generate_series(1, " +
        std::to_string(scores.size()) + ") i ORDER BY i");
    Exec(
        "INSERT INTO games (player_id, board, score, rounds, updates, identity, replay, verified_at)"
        " SELECT v.i, 2, v.s, 1, 1, sha256(convert_to('bucket-game' || v.i, 'UTF8')), '\\x00',"
        " timestamptz '2026-01-01' + ((v.i * 7919) % 31 - v.i % 3) * interval '1 second'"
        " FROM (VALUES " +
        values + ") v(i, s) ORDER BY v.i");
    Exec(
        "INSERT INTO bests (board, player_id, game_id, score, verified_at)"
        " SELECT board, player_id, id, score, verified_at FROM games");
  }

  // A better game for `player`, kept as the server keeps one.
  void Improve(std::size_t player, int score) {
    const std::string p = std::to_string(player), s = std::to_string(score);
    Exec(
        "WITH g AS (INSERT INTO games (player_id, board, score, rounds, updates, identity, replay)"
        " VALUES (" +
        p + ", 2, " + s + ", 1, 1, sha256(convert_to('better' || " + p + " || '-' || " + s +
        ", 'UTF8')), '\\x00') RETURNING id, verified_at)"
        " INSERT INTO bests (board, player_id, game_id, score, verified_at) SELECT 2, " +
        p + ", id, " + s +
        ", verified_at FROM g ON CONFLICT (board, player_id) DO UPDATE SET game_id = EXCLUDED.game_id,"
        " score = EXCLUDED.score, verified_at = EXCLUDED.verified_at WHERE bests.score < EXCLUDED.score");
  }

  // Every player's rank from around-me and from pages of 7 equals the rank
  // counted over all rows; the bucket counts equal the rows they count.
  void ExpectExactRanks(const std::set<std::size_t>& removed = {}) {
    const std::size_t players = scores.size() - removed.size();
    pqxx::connection connection(database);
    pqxx::work tx(connection);
    std::map<long long, long long> rankOfGame;
    for (const auto& row : tx.exec("SELECT game_id, (SELECT count(*) FROM bests o WHERE o.board = b.board AND"
                                   " (o.neg_score, o.verified_at, o.game_id) < (b.neg_score, b.verified_at, b.game_id))"
                                   " FROM bests b WHERE board = 2")) {
      rankOfGame[row[0].as<long long>()] = row[1].as<long long>() + 1;
    }
    EXPECT_EQ(tx.exec1("SELECT count(*) FROM (SELECT board, score_bucket(score) AS bucket, count(*) AS players"
                       " FROM bests GROUP BY 1, 2) t FULL JOIN score_buckets s USING (board, bucket)"
                       " WHERE coalesce(t.players, 0) <> coalesce(s.players, 0)")[0]
                  .as<int>(),
              0);
    ASSERT_EQ(rankOfGame.size(), players);
    for (std::size_t player = 1; player <= scores.size(); ++player) {
      const bool listed = removed.count(player) == 0;
      const json around = Get("/api/v1/boards/normal/around", TokenOf(player), listed ? 200 : 404);
      if (!listed) continue;
      EXPECT_EQ(around["rank"], rankOfGame[around["game"].get<long long>()]) << "player " << player;
      EXPECT_EQ(around["of"], players);
    }
    std::string path = "/api/v1/boards/normal?limit=7";
    for (std::size_t seen = 0; seen < players;) {
      const json page = Get(path);
      for (const json& entry : page["entries"]) {
        EXPECT_EQ(entry["rank"], rankOfGame[entry["game"].get<long long>()]);
        ++seen;
      }
      if (page["next"].is_null()) break;
      path = "/api/v1/boards/normal?limit=7&after=" + page["next"].get<std::string>();
    }
  }
};

TEST_F(BucketedBoard, BucketsAreOrderedAndHoldTheirTopScore) {
  Serve();
  pqxx::connection connection(database);
  pqxx::work tx(connection);
  // Every score to 5,000, then around each power of two, then the last ones.
  const std::string scores =
      "(SELECT s FROM generate_series(0, 5000) s UNION ALL"
      " SELECT (1 << k) + d FROM generate_series(12, 30) k, generate_series(-3, 3) d UNION ALL"
      " SELECT 2147483647 - s FROM generate_series(0, 300) s)";
  EXPECT_EQ(tx.exec1("SELECT count(*) FROM " + scores +
                     " v(s) WHERE score_bucket(s) > score_bucket(s + 1)"
                     " AND s < 2147483647")[0]
                .as<int>(),
            0)
      << "a higher score is never in a lower bucket";
  EXPECT_EQ(
      tx.exec1("SELECT count(*) FROM " + scores +
               " v(s) WHERE score_bucket_top(s) < s"
               " OR score_bucket(score_bucket_top(s)) <> score_bucket(s)"
               " OR (score_bucket_top(s) < 2147483647 AND score_bucket(score_bucket_top(s) + 1) = score_bucket(s))")[0]
          .as<int>(),
      0)
      << "the top is the bucket's last score";
  EXPECT_EQ(tx.exec1("SELECT count(DISTINCT score_bucket(s)) FROM generate_series(0, 255) s")[0].as<int>(), 256);
  EXPECT_EQ(tx.exec1("SELECT count(*) FROM " + scores + " v(s) WHERE (score_bucket_top(s) - s)::bigint * 128 > s")[0]
                .as<int>(),
            0)
      << "at most 1/128 of a score wide";
}

TEST_F(BucketedBoard, RanksAreExactAcrossBucketEdgesTiesAndImprovements) {
  Serve();
  Seed();
  ExpectExactRanks();
  Improve(1, 255);    // 0 to the top of the exact buckets, level with two others
  Improve(5, 256);    // 255 over the first edge
  Improve(13, 512);   // 511 to a tie in the next bucket
  Improve(22, 2049);  // within its own bucket
  Improve(24, 4000);  // a worse game: the best stays
  Improve(3, 2147483647);
  ExpectExactRanks();
  Exec("DELETE FROM bests WHERE player_id IN (7, 8)");
  ExpectExactRanks({7, 8});
}

TEST_F(ScoreServer, GamesOutliveARestartAndAnOutageAnswers503) {
  Serve();
  const auto posted = Post(golden("easy-landscape-music"), kTokenA, "Ana");
  ASSERT_TRUE(posted);
  ASSERT_EQ(posted->status, 201) << posted->body;
  ASSERT_TRUE(server->Stop()) << "SIGTERM ends the server cleanly";
  Serve();
  EXPECT_EQ(Get("/api/v1/boards/easy")["entries"][0]["name"], "Ana");

  ASSERT_TRUE(cluster->Stop());
  const auto down = server->client().Get("/api/v1/boards/easy");
  const auto postDown = Post(golden("normal-landscape-music"), kTokenA, "Ana");
  ASSERT_TRUE(cluster->Start());
  ASSERT_TRUE(down && postDown);
  EXPECT_EQ(down->status, 503) << down->body;
  EXPECT_FALSE(down->get_header_value("Retry-After").empty());
  EXPECT_EQ(postDown->status, 503) << postDown->body;
  EXPECT_EQ(Get("/api/v1/boards/easy")["entries"].size(), 1u) << "the server recovers by itself";
  EXPECT_EQ(Get("/api/v1/boards/normal")["entries"].size(), 0u) << "the post refused while down was not kept";
}

TEST_F(ScoreServer, SizeAndRateLimits) {
  server =
      std::make_unique<ServerProcess>(database, std::map<std::string, std::string>{{"KORVANE_POSTS_PER_MINUTE", "2"}});
  ASSERT_TRUE(server->Up());
  expectRefused(Post(std::string((1 << 20) + 1, 'x'), kTokenA, "Ana"), 413, "too_large");
  expectRefused(Post("x", kTokenA, "Ana"), 422, "bad_replay");
  expectRefused(Post("x", kTokenA, "Ana"), 422, "bad_replay");
  const auto limited = Post("x", kTokenA, "Ana");
  expectRefused(limited, 429, "rate_limited");
  ASSERT_TRUE(limited);
  EXPECT_GT(std::atoi(limited->get_header_value("Retry-After").c_str()), 0);
  expectRefused(Post("x", kTokenB, "Bo"), 422, "bad_replay");
  httplib::Headers many;
  for (int i = 0; i < 100; ++i) many.emplace("X-Filler-" + std::to_string(i), "1");
  const auto crowded = server->client().Get("/api/v1/boards/easy", many);
  ASSERT_TRUE(crowded);
  EXPECT_EQ(crowded->status, 431);
}

}  // namespace
