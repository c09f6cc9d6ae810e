#include "server/score_post.h"

#include "game/replay_state.h"
#include "host/replay_format.h"
#include "server/board_queries.h"
#include "server/names.h"
#include "server/tokens.h"

namespace server {
namespace {

// Thrown inside the store's transaction, so that it rolls back whole.
struct Duplicate {};

constexpr int kAddressShare = 3;  // an address may post for this many players

const std::string kUpsertPlayer =
    "INSERT INTO players (token_hash, name) VALUES (decode($1, 'hex'), $2)"
    " ON CONFLICT (token_hash) DO UPDATE SET name = EXCLUDED.name RETURNING id";
const std::string kInsertGame =
    "INSERT INTO games (player_id, board, score, rounds, updates, identity, replay)"
    " VALUES ($1, $2, $3, $4, $5, decode($6, 'hex'), $7)"
    " ON CONFLICT (identity) DO NOTHING RETURNING id, verified_at";
const std::string kKeepBest =
    "INSERT INTO bests (board, player_id, game_id, score, verified_at) VALUES ($1, $2, $3, $4, $5)"
    " ON CONFLICT (board, player_id) DO UPDATE"
    " SET game_id = EXCLUDED.game_id, score = EXCLUDED.score, verified_at = EXCLUDED.verified_at"
    " WHERE bests.score < EXCLUDED.score";

// The saved state the game started from, as the stream holds it (the
// state ops' bytes): with the end state, what makes a game this game.
std::string startState(const replay::Replay& replay) {
  const std::vector<std::size_t> starts = replay::OpStarts(replay.stream);
  std::string state;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    if (replay.stream[starts[i]] != replay::kOpState) continue;
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : replay.stream.size();
    state.append(reinterpret_cast<const char*>(replay.stream.data()) + starts[i], end - starts[i]);
  }
  return state;
}

std::string identityOf(const Rerun& rerun, const std::string& start) {
  return Sha256Hex("korvane game\n" + std::to_string(korvane::kRulesVersion) + "\n" + std::to_string(rerun.difficulty) +
                   "\n" + std::to_string(rerun.updates) + "\n" + rerun.stateHash + "\n" + start);
}

Answer refusedRerun(const Rerun& rerun) {
  switch (rerun.outcome) {
    case Rerun::Outcome::kBadReplay: return Refusal(422, "bad_replay", rerun.reason);
    case Rerun::Outcome::kMismatch: return Refusal(422, "mismatch", rerun.reason);
    case Rerun::Outcome::kTooLong: return Refusal(422, "too_long", rerun.reason);
    case Rerun::Outcome::kBusy: return Refusal(503, "busy", rerun.reason, kRetryWhenDown);
    default: return Refusal(500, "rerun_failed", rerun.reason);
  }
}

}  // namespace

Answer Refusal(int status, const std::string& code, const std::string& message, int retryAfter) {
  return Answer{status, {{"error", code}, {"message", message}}, retryAfter};
}

ScorePoster::ScorePoster(Database& database, Verifier& verifier, int postsPerMinute)
    : database_(database),
      verifier_(verifier),
      perToken_(postsPerMinute),
      perAddress_(postsPerMinute * kAddressShare) {}

std::optional<Answer> ScorePoster::Admit(const PostRequest& request, const std::string& tokenHash) {
  if (!ValidToken(request.token)) {
    return Refusal(401, "bad_token", "posts need Authorization: Bearer TOKEN (16-128 letters, digits, - _ . ~)");
  }
  const std::string nameProblem = NameProblem(request.name);
  if (!nameProblem.empty()) return Refusal(400, "bad_name", nameProblem);
  if (request.replay.size() > kMaxReplayBytes) return Refusal(413, "too_large", "a replay may be at most 1 MiB");
  if (const int wait = perAddress_.Take(request.address)) {
    return Refusal(429, "rate_limited", "too many posts from this address; try again later", wait);
  }
  if (const int wait = perToken_.Take(tokenHash)) {
    return Refusal(429, "rate_limited", "too many posts from this player; try again later", wait);
  }
  return std::nullopt;
}

Answer ScorePoster::Post(const PostRequest& request) {
  const std::string tokenHash = Sha256Hex(request.token);
  if (auto refused = Admit(request, tokenHash)) return *refused;
  replay::Replay replay;
  std::string error;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.replay.data());
  if (!replay::ReadReplay(bytes, request.replay.size(), korvane::kRulesVersion, &replay, &error)) {
    return Refusal(422, "bad_replay", error);
  }
  const Rerun rerun = verifier_.Run(request.replay);
  if (rerun.outcome != Rerun::Outcome::kVerified) return refusedRerun(rerun);
  if (request.claimedScore && *request.claimedScore != rerun.score) {
    return Refusal(422, "mismatch",
                   "the claimed score " + std::to_string(*request.claimedScore) + " is not the re-run's " +
                       std::to_string(rerun.score));
  }
  return Store(request, tokenHash, rerun, identityOf(rerun, startState(replay)));
}

Answer ScorePoster::Store(const PostRequest& request, const std::string& tokenHash, const Rerun& rerun,
                          const std::string& identity) {
  try {
    return database_.InTransaction([&](pqxx::work& tx) {
      const auto player = tx.exec_params1(kUpsertPlayer, tokenHash, request.name)[0].as<std::int64_t>();
      const pqxx::result game =
          tx.exec_params(kInsertGame, player, rerun.difficulty, rerun.score, rerun.rounds,
                         static_cast<std::int64_t>(rerun.updates), identity, pqxx::binarystring(request.replay));
      if (game.empty()) throw Duplicate{};
      const auto id = game[0][0].as<std::int64_t>();
      tx.exec_params(kKeepBest, rerun.difficulty, player, id, rerun.score, game[0][1].as<std::string>());
      nlohmann::json body = PlayerStanding(tx, rerun.difficulty, player);
      body["id"] = id;
      body["board"] = BoardName(rerun.difficulty);
      body["score"] = rerun.score;
      body["rounds"] = rerun.rounds;
      return Answer{201, body, 0};
    });
  } catch (const Duplicate&) {
    return Refusal(409, "duplicate", "this game was posted before");
  } catch (const Unavailable&) {
    return Refusal(503, "unavailable", "the score database is unavailable; try again later", kRetryWhenDown);
  }
}

}  // namespace server
