// A score post from arrival to its answer: the checks that cost nothing
// (token, name, rate limits, the replay's format), the re-run, then one
// transaction that stores the game, the player and their best.
//
// Nothing of a refused post is stored: every refusal comes before the
// transaction or rolls it back. The re-run decides the board, score and
// rounds; a score the client claims is only compared with it. A game is
// known by its identity, the SHA-256 of what it holds (its saved state at
// start, the updates re-run and the state hash at its end), so the same game
// re-posted, under any token, or re-encoded, is refused as a duplicate.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "server/database.h"
#include "server/rate_limit.h"
#include "server/rerun.h"

namespace server {

constexpr std::size_t kMaxReplayBytes = 1u << 20;  // 1 MiB
constexpr int kRetryWhenDown = 5;                  // seconds, for 503

struct PostRequest {
  std::string name;
  std::string token;
  std::string replay;
  std::string address;
  std::optional<std::int64_t> claimedScore;
};

struct Answer {
  int status = 500;
  nlohmann::json body;
  int retryAfter = 0;  // seconds; 0: no Retry-After
};

// A refusal: {"error": CODE, "message": TEXT}.
Answer Refusal(int status, const std::string& code, const std::string& message, int retryAfter = 0);

class ScorePoster {
 public:
  ScorePoster(Database& database, Verifier& verifier, int postsPerMinute);
  Answer Post(const PostRequest& request);

 private:
  std::optional<Answer> Admit(const PostRequest& request, const std::string& tokenHash);
  Answer Store(const PostRequest& request, const std::string& tokenHash, const Rerun& rerun,
               const std::string& identity);

  Database& database_;
  Verifier& verifier_;
  RateLimit perToken_;
  RateLimit perAddress_;
};

}  // namespace server
