// The server's configuration, read once from the environment at start-up:
//   KORVANE_DATABASE_URL  libpq connection string (default: the local socket,
//                         database "korvane")
//   KORVANE_LISTEN        address:port to serve on (default 127.0.0.1:8080)
//   KORVANE_WORKERS       re-runs at once (default: the number of cores)
//   KORVANE_DATABASE_CONNECTIONS  connections to PostgreSQL at most
//                         (default: 4 per core)
//   KORVANE_DATA          the game's data for re-runs (default "data")
//   KORVANE_REPLAY        the re-run program (default: korvane-replay beside
//                         this program)
//   KORVANE_SITE          a folder served under / (default: none)
//   KORVANE_RERUN_SECONDS CPU seconds a re-run may take (default 30)
//   KORVANE_POSTS_PER_MINUTE  posts allowed per token a minute (default 10;
//                         an address may post three times as many)
// A value that does not parse is refused with a message naming it.
#pragma once

#include <string>

namespace server {

struct Config {
  std::string databaseUrl = "dbname=korvane";
  std::string host = "127.0.0.1";
  int port = 8080;
  int workers = 1;
  int databaseConnections = 4;
  std::string dataFolder = "data";
  std::string replayProgram;
  std::string siteFolder;
  int postsPerMinute = 10;
  int rerunSeconds = 30;
};

// False with `error` set when a variable holds something unusable.
bool ReadConfig(Config* config, std::string* error);

}  // namespace server
