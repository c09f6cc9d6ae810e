#include "server/board_queries.h"

#include "server/database.h"

namespace server {
namespace {

const char* const kBoardNames[kBoards] = {"easy", "normal", "hard"};

// The columns of an entry, in the order entry() reads them; `b` is bests,
// `p` players. The key columns come along for the final ORDER BY.
const std::string kEntryColumns =
    "p.name, b.score, b.game_id, "
    "to_char(b.verified_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"') AS at, "
    "b.neg_score, b.verified_at";
const std::string kEntries = "SELECT " + kEntryColumns + " FROM bests b JOIN players p ON p.id = b.player_id";
const std::string kAscending = " ORDER BY b.neg_score, b.verified_at, b.game_id";
const std::string kDescending = " ORDER BY b.neg_score DESC, b.verified_at DESC, b.game_id DESC";
// The key of the one row of `k` (columns neg_score, verified_at, game_id).
// A subquery that reads it from there (LATERAL, or in k's own select list)
// gets it as a parameter of each scan, so a row comparison with it is an
// index condition on bests_ranked.
const std::string kKeyOfK = "(k.neg_score, k.verified_at, k.game_id)";
const std::string kKey = "(b.neg_score, b.verified_at, b.game_id)";

// The rows before (or up to) the key of `k`: the players of the score
// buckets above the key's, kept by trigger, plus a count over bests_ranked
// within its own bucket (from the bucket's top score to the key), so a rank
// in the middle of a large board counts one bucket's rows, not every row
// above.
std::string rowsTo(const std::string& comparison) {
  return "(SELECT coalesce(sum(players), 0) FROM score_buckets"
         " WHERE board = $1 AND bucket > score_bucket(-k.neg_score))::bigint"
         " + (SELECT count(*) FROM bests b WHERE b.board = $1 AND b.neg_score >= -score_bucket_top(-k.neg_score)"
         " AND " +
         kKey + " " + comparison + " " + kKeyOfK + ")";
}

// `keySql` (one row or none, columns neg_score, verified_at, game_id) as
// the CTE `k`, with the rows before or up to it as `before`. MATERIALIZED
// counts them once rather than once per row joined to `k`.
std::string withKey(const std::string& keySql, const std::string& comparison) {
  return "WITH k AS MATERIALIZED (SELECT k.*, " + rowsTo(comparison) + " AS before FROM (" + keySql + ") k) ";
}

// The rows of a lateral subquery `e` in table order.
const std::string kInOrder = " ORDER BY e.neg_score, e.verified_at, e.game_id";
const std::string kAfterKey = " WHERE b.board = $1 AND " + kKey + " > " + kKeyOfK;

// A board's first page: $1 board, $2 rows.
const Statement kTop{"board_top", kEntries + " WHERE b.board = $1" + kAscending + " LIMIT $2"};

// The page after the game $2 (any game of the board, listed or not: a
// cursor stays valid when its player later improves), $3 rows. No row when
// the game is not of this board; one row of NULLs when nothing follows it.
const Statement kAfter{"board_after", withKey("SELECT -score AS neg_score, verified_at, id AS game_id FROM games"
                                              " WHERE id = $2 AND board = $1",
                                              "<=") +
                                          "SELECT k.before, e.* FROM k LEFT JOIN LATERAL (" + kEntries + kAfterKey +
                                          kAscending + " LIMIT $3) e ON true" + kInOrder};

// The player of token hash $2 (hex) and up to kAroundCount entries either
// side, in table order: no row when the player has no game on the board.
// The player's own entry is found through players_token_hash_key and
// bests_pkey (bests has no index on game_id).
const Statement kAround{
    "board_around",
    withKey("SELECT b.neg_score, b.verified_at, b.game_id FROM bests b JOIN players p ON p.id = b.player_id"
            " WHERE p.token_hash = decode($2, 'hex') AND b.board = $1",
            "<") +
        "SELECT k.before, (SELECT players FROM board_counts WHERE board = $1), k.game_id, e.* FROM k"
        " CROSS JOIN LATERAL ((" +
        kEntries + " WHERE b.board = $1 AND " + kKey + " < " + kKeyOfK + kDescending + " LIMIT " +
        std::to_string(kAroundCount) + ") UNION ALL (" + kEntries + " WHERE b.board = $1 AND " + kKey +
        " >= " + kKeyOfK + kAscending + " LIMIT " + std::to_string(kAroundCount + 1) + ")) e" + kInOrder};

// A player's best, rank and players on the board: $1 board, $2 player id.
const Statement kStanding{
    "board_standing",
    withKey("SELECT neg_score, verified_at, game_id FROM bests WHERE board = $1 AND player_id = $2", "<") +
        "SELECT -k.neg_score, k.before, (SELECT players FROM board_counts WHERE board = $1)"
        " FROM k"};

// An entry from the entry columns starting at `from`.
nlohmann::json entry(const pqxx::row& row, int from, std::int64_t rank) {
  return {{"rank", rank},
          {"name", row[from].as<std::string>()},
          {"score", row[from + 1].as<std::int64_t>()},
          {"game", row[from + 2].as<std::int64_t>()},
          {"verified_at", row[from + 3].as<std::string>()}};
}

// Entries in table order from rows in that order, ranked from `first`;
// rows whose entry columns are NULL (an empty side of a join) are none.
nlohmann::json entries(const pqxx::result& rows, std::size_t count, int from, std::int64_t first) {
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = 0; i < count; ++i) {
    const pqxx::row row = rows[static_cast<int>(i)];
    if (!row[from].is_null()) list.push_back(entry(row, from, first + std::int64_t(i)));
  }
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

std::optional<nlohmann::json> BoardPage(pqxx::transaction_base& tx, int board, int limit,
                                        std::optional<std::int64_t> after) {
  const int from = after ? 1 : 0;  // a page after a cursor leads with the rows before it
  const pqxx::result rows =
      after ? Prepared(tx, kAfter, board, *after, limit + 1) : Prepared(tx, kTop, board, limit + 1);
  if (after && rows.empty()) return std::nullopt;
  const std::int64_t first = after ? rows[0][0].as<std::int64_t>() + 1 : 1;
  const std::size_t shown = std::min<std::size_t>(rows.size(), static_cast<std::size_t>(limit));
  nlohmann::json page = {{"entries", entries(rows, shown, from, first)}, {"next", nullptr}};
  if (rows.size() > shown)
    page["next"] = std::to_string(rows[static_cast<int>(shown - 1)][from + 2].as<std::int64_t>());
  return page;
}

std::optional<nlohmann::json> AroundPlayer(pqxx::transaction_base& tx, int board, const std::string& tokenHash) {
  const pqxx::result rows = Prepared(tx, kAround, board, tokenHash);
  if (rows.empty()) return std::nullopt;
  const std::int64_t rank = rows[0][0].as<std::int64_t>() + 1;
  const std::int64_t game = rows[0][2].as<std::int64_t>();
  std::int64_t above = 0;  // entries before the player's own, which the same snapshot holds
  while (above + 1 < std::int64_t(rows.size()) && rows[static_cast<int>(above)][5].as<std::int64_t>() != game) ++above;
  return nlohmann::json{{"rank", rank},
                        {"of", rows[0][1].as<std::int64_t>()},
                        {"game", game},
                        {"entries", entries(rows, rows.size(), 3, rank - above)}};
}

nlohmann::json PlayerStanding(pqxx::transaction_base& tx, int board, std::int64_t playerId) {
  const pqxx::row standing = Prepared(tx, kStanding, board, playerId).at(0);
  return {{"best", standing[0].as<std::int64_t>()},
          {"rank", standing[1].as<std::int64_t>() + 1},
          {"of", standing[2].as<std::int64_t>()}};
}

}  // namespace server
