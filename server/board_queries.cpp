#include "server/board_queries.h"

namespace server {
namespace {

const char* const kBoardNames[kBoards] = {"easy", "normal", "hard"};

// The columns of an entry; `b` is bests, `p` players.
const std::string kEntryColumns =
    "p.name, b.score, b.game_id, "
    "to_char(b.verified_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')";
const std::string kKey = "(b.neg_score, b.verified_at, b.game_id)";
const std::string kTop = "SELECT " + kEntryColumns +
                         " FROM bests b JOIN players p ON p.id = b.player_id"
                         " WHERE b.board = $1 ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $2";
const std::string kAfter = "SELECT " + kEntryColumns +
                           " FROM games c, bests b JOIN players p ON p.id = b.player_id"
                           " WHERE c.id = $2 AND b.board = $1 AND " + kKey +
                           " > (-c.score, c.verified_at, c.id)"
                           " ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $3";
const std::string kBefore = "SELECT " + kEntryColumns +
                            " FROM games c, bests b JOIN players p ON p.id = b.player_id"
                            " WHERE c.id = $2 AND b.board = $1 AND " + kKey +
                            " < (-c.score, c.verified_at, c.id)"
                            " ORDER BY b.neg_score DESC, b.verified_at DESC, b.game_id DESC LIMIT $3";
// Game $2 is any game, listed or not: a cursor stays valid when its player
// later improves.
const std::string kCountBefore =
    "SELECT count(*) FROM games c, bests b"
    " WHERE c.id = $2 AND b.board = $1 AND " + kKey + " < (-c.score, c.verified_at, c.id)";
const std::string kCountUpTo =
    "SELECT count(*) FROM games c, bests b"
    " WHERE c.id = $2 AND b.board = $1 AND " + kKey + " <= (-c.score, c.verified_at, c.id)";
const std::string kCountBoard = "SELECT players FROM board_counts WHERE board = $1";
const std::string kGameOnBoard = "SELECT 1 FROM games WHERE id = $1 AND board = $2";
const std::string kBestOfToken =
    "SELECT b.game_id FROM bests b JOIN players p ON p.id = b.player_id"
    " WHERE p.token_hash = decode($2, 'hex') AND b.board = $1";
const std::string kBestOfPlayer = "SELECT game_id, score FROM bests WHERE board = $1 AND player_id = $2";

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

std::int64_t countBefore(pqxx::work& tx, int board, std::int64_t game) {
  return tx.exec_params1(kCountBefore, board, game)[0].as<std::int64_t>();
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
    if (tx.exec_params(kGameOnBoard, *after, board).empty()) return std::nullopt;
    first = tx.exec_params1(kCountUpTo, board, *after)[0].as<std::int64_t>() + 1;
    rows = tx.exec_params(kAfter, board, *after, limit + 1);
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
  const std::int64_t game = mine[0][0].as<std::int64_t>();
  const std::int64_t rank = countBefore(tx, board, game) + 1;
  const pqxx::result above = tx.exec_params(kBefore, board, game, kAroundCount);
  const pqxx::result below = tx.exec_params(kAfter, board, game, kAroundCount + 1);
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = above.size(); i-- > 0;) {
    list.push_back(entry(above[static_cast<int>(i)], rank - std::int64_t(i) - 1));
  }
  const pqxx::result self = tx.exec_params(
      "SELECT " + kEntryColumns + " FROM bests b JOIN players p ON p.id = b.player_id WHERE b.game_id = $1", game);
  list.push_back(entry(self[0], rank));
  const nlohmann::json after = entries(below, std::min<std::size_t>(below.size(), kAroundCount), rank + 1);
  list.insert(list.end(), after.begin(), after.end());
  return nlohmann::json{{"rank", rank},
                        {"of", tx.exec_params1(kCountBoard, board)[0].as<std::int64_t>()},
                        {"game", game},
                        {"entries", list}};
}

nlohmann::json PlayerStanding(pqxx::work& tx, int board, std::int64_t playerId) {
  const pqxx::row best = tx.exec_params1(kBestOfPlayer, board, playerId);
  const std::int64_t game = best[0].as<std::int64_t>();
  return {{"best", best[1].as<std::int64_t>()},
          {"rank", countBefore(tx, board, game) + 1},
          {"of", tx.exec_params1(kCountBoard, board)[0].as<std::int64_t>()}};
}

}  // namespace server
