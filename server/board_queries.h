// Reading the world tables: pages of a board and a player's place on it.
//
// A table lists each player's best game (table `bests`), ordered by one key:
// higher score first, then the game verified first, then the lower game id.
// Every page and every rank is a row comparison against a game's key over
// the index bests_ranked (board, -score, verified_at, game_id): a page
// starts after the game its cursor names (never an OFFSET), and a rank is 1
// plus the count of rows before it, counted by PostgreSQL each time.
// Each function below makes one statement, so what it reads is consistent
// in itself without a transaction block around it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <pqxx/pqxx>
#include <string>

namespace server {

constexpr int kBoards = 3;
constexpr int kMaxPage = 100;
constexpr int kDefaultPage = 10;
constexpr int kAroundCount = 5;  // players shown above and below

// 1-3 for "easy", "normal", "hard"; 0 for anything else.
int BoardNumber(const std::string& name);
const char* BoardName(int board);

// {"entries": [...], "next": CURSOR or null}. `after` is the game id of the
// previous page's last entry; nullopt when it names no game on this board.
std::optional<nlohmann::json> BoardPage(pqxx::transaction_base& tx, int board, int limit,
                                        std::optional<std::int64_t> after);

// The player's rank among `of` players and the entries around theirs;
// nullopt when the player has no game on the board.
std::optional<nlohmann::json> AroundPlayer(pqxx::transaction_base& tx, int board, const std::string& tokenHash);

// The player's best on a board: {"best", "rank", "of"}.
nlohmann::json PlayerStanding(pqxx::transaction_base& tx, int board, std::int64_t playerId);

}  // namespace server
