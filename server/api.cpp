#include "server/api.h"

#include <cstdlib>

#include "server/board_queries.h"
#include "server/names.h"
#include "server/tokens.h"

namespace server {

extern const char kTablesPage[];  // server/site/tables.html

namespace {

constexpr std::size_t kMaxHeaderLines = 64;
constexpr int kIoTimeoutSeconds = 10;
constexpr int kKeepAliveSeconds = 5;
// A kept-alive connection holds one request thread until it closes or sits
// idle kKeepAliveSeconds, so the threads are the clients served at once:
// with the library's default of 8, a ninth client waits until one of the
// first eight leaves. A thread waiting on its socket costs only its stack;
// requests wait for a database connection instead (database.h).
constexpr std::size_t kRequestThreads = 64;
// Requests on one connection before the server closes it (the library's
// default is 5): a client that must reconnect every few requests pays a new
// handshake and a thread hand-off each time (the load bench's top 10 on 16
// connections: 6,340-6,560 requests/s closing after 5, 7,370-7,710 after
// 10,000).
constexpr std::size_t kKeepAliveRequests = 10000;
constexpr std::int64_t kMaxId = 9000000000000000000;
const Statement kReplayOf{"replay_of", "SELECT replay FROM games WHERE id = $1 AND NOT hidden"};

void send(httplib::Response& res, const Answer& answer) {
  res.status = answer.status;
  if (answer.retryAfter > 0) res.set_header("Retry-After", std::to_string(answer.retryAfter));
  res.set_header("Cache-Control", "no-store");
  res.set_content(answer.body.dump(), "application/json");
}

// A decimal number in [low, high]; nullopt for anything else.
std::optional<std::int64_t> number(const std::string& text, std::int64_t low, std::int64_t high) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const std::int64_t value = std::strtoll(text.c_str(), nullptr, 10);
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::string bearer(const httplib::Request& req) {
  const std::string header = req.get_header_value("Authorization");
  const std::string prefix = "Bearer ";
  return header.compare(0, prefix.size(), prefix) == 0 ? header.substr(prefix.size()) : "";
}

// Runs a read; a database that cannot answer gives 503.
template <typename Read>
void readBoard(httplib::Response& res, Database& database, Read&& read) {
  try {
    send(res, database.Read(read));
  } catch (const Unavailable&) {
    send(res, Refusal(503, "unavailable", "the score database is unavailable; try again later", kRetryWhenDown));
  }
}

void boardPage(const httplib::Request& req, httplib::Response& res, Database& database) {
  const int board = BoardNumber(req.matches[1]);
  std::optional<std::int64_t> limit = std::int64_t{kDefaultPage}, after;
  if (req.has_param("limit")) limit = number(req.get_param_value("limit"), 1, kMaxPage);
  if (!limit) return send(res, Refusal(400, "bad_limit", "limit must be a number from 1 to 100"));
  if (req.has_param("after")) {
    after = number(req.get_param_value("after"), 1, kMaxId);
    if (!after) return send(res, Refusal(400, "bad_cursor", "after must be the \"next\" of a previous page"));
  }
  readBoard(res, database, [&](pqxx::nontransaction& tx) {
    const auto page = BoardPage(tx, board, static_cast<int>(*limit), after);
    if (!page) return Refusal(400, "bad_cursor", "after names no game of this board");
    return Answer{200, *page, 0};
  });
}

void around(const httplib::Request& req, httplib::Response& res, Database& database) {
  const int board = BoardNumber(req.matches[1]);
  const std::string token = bearer(req);
  if (!ValidToken(token)) return send(res, Refusal(401, "bad_token", "send the player's Authorization: Bearer TOKEN"));
  readBoard(res, database, [&](pqxx::nontransaction& tx) {
    const auto place = AroundPlayer(tx, board, Sha256Hex(token));
    if (!place) return Refusal(404, "no_game", "this player has no game on this board");
    return Answer{200, *place, 0};
  });
}

void replayOf(const httplib::Request& req, httplib::Response& res, Database& database) {
  const auto id = number(req.matches[1], 1, kMaxId);
  if (!id) return send(res, Refusal(404, "no_game", "no such game"));
  try {
    const auto bytes = database.Read([&](pqxx::nontransaction& tx) {
      const pqxx::result rows = Prepared(tx, kReplayOf, *id);
      return rows.empty() ? std::optional<std::string>() : pqxx::binarystring(rows[0][0]).str();
    });
    if (!bytes) return send(res, Refusal(404, "no_game", "no such game"));
    res.set_header("Content-Disposition", "attachment; filename=\"game-" + std::to_string(*id) + ".kvrp\"");
    res.set_content(*bytes, "application/octet-stream");
  } catch (const Unavailable&) {
    send(res, Refusal(503, "unavailable", "the score database is unavailable; try again later", kRetryWhenDown));
  }
}

void postScore(const httplib::Request& req, httplib::Response& res, ScorePoster& poster) {
  PostRequest post{req.get_param_value("name"), bearer(req), req.body, req.remote_addr, std::nullopt};
  if (req.has_header("X-Korvane-Claimed-Score")) {
    post.claimedScore = number(req.get_header_value("X-Korvane-Claimed-Score"), 0, INT32_MAX);
    if (!post.claimedScore) {
      return send(res, Refusal(400, "bad_claim", "X-Korvane-Claimed-Score must be a whole number"));
    }
  }
  send(res, poster.Post(post));
}

// Refusals the library makes itself (a body too large, an unknown path)
// get the same JSON form as the handlers'.
void libraryRefusals(httplib::Server& http) {
  http.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;  // a handler's own refusal
    if (res.status == 413) {
      send(res, Refusal(413, "too_large", "a replay may be at most 1 MiB"));
    } else if (res.status == 414) {
      send(res,
           Refusal(414, "too_long", "the request's address is longer than 8 KiB (a name is at most 24 characters)"));
    } else if (res.status == 404) {
      send(res, Refusal(404, "not_found", "no such page"));
    } else {
      send(res, Refusal(res.status, "bad_request", "the request could not be read"));
    }
    return httplib::Server::HandlerResponse::Handled;
  }));
  http.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.headers.size() <= kMaxHeaderLines) return httplib::Server::HandlerResponse::Unhandled;
    send(res, Refusal(431, "too_many_headers", "a request may carry at most 64 header lines"));
    return httplib::Server::HandlerResponse::Handled;
  });
  // Marks every answer as this server's: the browser build's page looks for
  // it to know that it can post scores and read the world tables beside it.
  http.set_post_routing_handler(
      [](const httplib::Request&, httplib::Response& res) { res.set_header("X-Korvane-Server", "1"); });
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    send(res, Refusal(500, "internal", "the server failed on this request"));
  });
}

// The browser build's files whose type the library does not know: a browser
// compiles WebAssembly while it arrives only when it comes as such, and
// installs the web app only from a manifest.
void siteTypes(httplib::Server& http) {
  http.set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
  http.set_file_extension_and_mimetype_mapping("webmanifest", "application/manifest+json");
  http.set_file_extension_and_mimetype_mapping("data", "application/octet-stream");
}

}  // namespace

void SetUpRoutes(httplib::Server& http, const Config& config, Database& database, ScorePoster& poster) {
  http.set_payload_max_length(kMaxReplayBytes);
  http.set_read_timeout(kIoTimeoutSeconds, 0);
  http.set_write_timeout(kIoTimeoutSeconds, 0);
  http.set_keep_alive_timeout(kKeepAliveSeconds);
  // Headers and body go out as separate writes: without this, delayed
  // acknowledgements hold every kept-alive answer back for tens of ms.
  http.set_tcp_nodelay(true);
  libraryRefusals(http);
  http.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
  http.set_keep_alive_max_count(kKeepAliveRequests);
  const std::string board = "/api/v1/boards/(easy|normal|hard)";
  http.Post("/api/v1/scores",
            [&](const httplib::Request& req, httplib::Response& res) { postScore(req, res, poster); });
  http.Get(board, [&](const httplib::Request& req, httplib::Response& res) { boardPage(req, res, database); });
  http.Get(board + "/around", [&](const httplib::Request& req, httplib::Response& res) { around(req, res, database); });
  http.Get("/api/v1/games/([0-9]+)/replay",
           [&](const httplib::Request& req, httplib::Response& res) { replayOf(req, res, database); });
  http.Get("/api/v1/health", [&](const httplib::Request&, httplib::Response& res) {
    readBoard(res, database, [](pqxx::nontransaction& tx) {
      tx.exec("SELECT 1");
      return Answer{200, {{"status", "ok"}}, 0};
    });
  });
  http.Get("/tables", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kTablesPage, "text/html; charset=utf-8");
  });
  // The browser build when there is one, else the tables.
  if (!config.siteFolder.empty()) siteTypes(http);
  if (config.siteFolder.empty() || !http.set_mount_point("/", config.siteFolder)) {
    http.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/tables"); });
  }
}

}  // namespace server
