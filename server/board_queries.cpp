#include "server/board_queries.h"

namespace server {
namespace {

const char* const kBoardNames[kBoards] = {"easy", "normal", "hard"};

// The columns of an entry; `b` is bests, `p` players.
const std::string kEntryColumns =
    "p.name, b.score, b.game_id, "
    "to_char(b.verified_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')";
const std::string kKey = "(b.neg_score, b.verified_at, b.game_id)";
// A key as parameters $2-$4: compared with constants, the row comparison is
// an index condition on bests_ranked (a key taken from a joined row is not).
const std::string kKeyParams = "($2, $3::timestamptz, $4)";

const std::string kTop = "SELECT " + kEntryColumns +
                         " FROM bests b JOIN players p ON p.id = b.player_id"
                         " WHERE b.board = $1 ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $2";
const std::string kAfter = "SELECT " + kEntryColumns +
                           " FROM bests b JOIN players p ON p.id = b.player_id"
                           " WHERE b.board = $1 AND " +
                           kKey + " > " + kKeyParams + " ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $5";
const std::string kBefore = "SELECT " + kEntryColumns +
                            " FROM bests b JOIN players p ON p.id = b.player_id"
                            " WHERE b.board = $1 AND " +
                            kKey + " < " + kKeyParams +
                            " ORDER BY b.neg_score DESC, b.verified_at DESC, b.game_id DESC LIMIT $5";
// The rows before (or up to) a key: the players of the score buckets above
// the key's, kept by trigger, plus a count over bests_ranked within its own
// bucket (from the bucket's top score to the key), so a rank in the middle
// of a large board counts one bucket's rows, not every row above.
std::string countTo(const std::string& comparison) {
  return "SELECT (SELECT coalesce(sum(players), 0) FROM score_buckets"
         " WHERE board = $1 AND bucket > score_bucket(-$2::integer))::bigint"
         " + (SELECT count(*) FROM bests b WHERE b.board = $1 AND b.neg_score >= -score_bucket_top(-$2::integer)"
         " AND " +
         kKey + " " + comparison + " " + kKeyParams + ")";
}
const std::string kCountBefore = countTo("<");
const std::string kCountUpTo = countTo("<=");
const std::string kCountBoard = "SELECT players FROM board_counts WHERE board = $1";
// The key of any game, listed or not: a cursor stays valid when its player
// later improves. The time goes out and back as PostgreSQL's own text, which
// keeps every microsecond.
const std::string kKeyOfGame = "SELECT -score, verified_at::text FROM games WHERE id = $1 AND board = $2";
// A player's own entry, found by token through players_token_hash_key and
// bests_pkey (bests has no index on game_id).
const std::string kBestOfToken = "SELECT " + kEntryColumns +
                                 " FROM bests b JOIN players p ON p.id = b.player_id"
                                 " WHERE p.token_hash = decode($2, 'hex') AND b.board = $1";
const std::string kBestOfPlayer = "SELECT game_id, score FROM bests WHERE board = $1 AND player_id = $2";

struct Key {
  std::int64_t negScore;
  std::string verifiedAt;
  std::int64_t game;
};

std::optional<Key> keyOf(pqxx::work& tx, int board, std::int64_t game) {
  const pqxx::result row = tx.exec_params(kKeyOfGame, game, board);
  if (row.empty()) return std::nullopt;
  return Key{row[0][0].as<std::int64_t>(), row[0][1].as<std::string>(), game};
}

pqxx::result rowsBy(pqxx::work& tx, const std::string& query, int board, const Key& key, int limit) {
  return tx.exec_params(query, board, key.negScore, key.verifiedAt, key.game, limit);
}

std::int64_t countBy(pqxx::work& tx, const std::string& query, int board, const Key& key) {
  return tx.exec_params1(query, board, key.negScore, key.verifiedAt, key.game)[0].as<std::int64_t>();
}

nlohmann::json entry(const pqxx::row& row, std::int64_t rank) {
  return {{"rank", rank},
          {"name", row[0].as<std::string>()},
          {"score", row[1].as<std::int64_t>()},
          {"game", row[2].as<std::int64_t>()},
          {"verified_at", row[3].as<std::string>()}};
}

// Entries in table order from a result in that order, ranked from `first`.
nlohmann::json entries(const pqxx::result& rows, std::size_t count, std::int64_t first) {
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = 0; i < count; ++i) list.push_back(entry(rows[static_cast<int>(i)], first + std::int64_t(i)));
  return list;
}

}  // namespace

int BoardNumber(const std::string& name) {
  for (int board = 1; board <= kBoards; ++board) {
    if (name == kBoardNames[board - 1]) return board;
  }
  return 0;
}

const char* BoardName(int board) { return board >= 1 && board <= kBoards ? kBoardNames[board - 1] : "?"; }

std::optional<nlohmann::json> BoardPage(pqxx::work& tx, int board, int limit, std::optional<std::int64_t> after) {
  pqxx::result rows;
  std::int64_t first = 1;
  if (after) {
    const std::optional<Key> key = keyOf(tx, board, *after);
    if (!key) return std::nullopt;
    first = countBy(tx, kCountUpTo, board, *key) + 1;
    rows = rowsBy(tx, kAfter, board, *key, limit + 1);
  } else {
    rows = tx.exec_params(kTop, board, limit + 1);
  }
  const std::size_t shown = std::min<std::size_t>(rows.size(), static_cast<std::size_t>(limit));
  nlohmann::json page = {{"entries", entries(rows, shown, first)}, {"next", nullptr}};
  if (rows.size() > shown) page["next"] = std::to_string(rows[static_cast<int>(shown - 1)][2].as<std::int64_t>());
  return page;
}

std::optional<nlohmann::json> AroundPlayer(pqxx::work& tx, int board, const std::string& tokenHash) {
  const pqxx::result mine = tx.exec_params(kBestOfToken, board, tokenHash);
  if (mine.empty()) return std::nullopt;
  const std::int64_t game = mine[0][2].as<std::int64_t>();
  const Key key = *keyOf(tx, board, game);
  const std::int64_t rank = countBy(tx, kCountBefore, board, key) + 1;
  const pqxx::result above = rowsBy(tx, kBefore, board, key, kAroundCount);
  const pqxx::result below = rowsBy(tx, kAfter, board, key, kAroundCount);
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = above.size(); i-- > 0;) {
    list.push_back(entry(above[static_cast<int>(i)], rank - std::int64_t(i) - 1));
  }
  list.push_back(entry(mine[0], rank));
  const nlohmann::json after = entries(below, std::min<std::size_t>(below.size(), kAroundCount), rank + 1);
  list.insert(list.end(), after.begin(), after.end());
  return nlohmann::json{{"rank", rank},
                        {"of", tx.exec_params1(kCountBoard, board)[0].as<std::int64_t>()},
                        {"game", game},
                        {"entries", list}};
}

nlohmann::json PlayerStanding(pqxx::work& tx, int board, std::int64_t playerId) {
  const pqxx::row best = tx.exec_params1(kBestOfPlayer, board, playerId);
  const Key key = *keyOf(tx, board, best[0].as<std::int64_t>());
  return {{"best", best[1].as<std::int64_t>()},
          {"rank", countBy(tx, kCountBefore, board, key) + 1},
          {"of", tx.exec_params1(kCountBoard, board)[0].as<std::int64_t>()}};
}

}  // namespace server
