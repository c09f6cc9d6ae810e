// korvane-server: the world score tables. Reads its configuration from the
// environment (server/config.h), brings the database's schema up to date,
// then serves until SIGINT or SIGTERM, when it stops taking requests and
// finishes the ones it has.
#include <signal.h>

#include <cstdio>
#include <thread>

#include "server/api.h"
#include "server/config.h"
#include "server/database.h"
#include "server/rerun.h"
#include "server/score_post.h"

namespace {

constexpr int kExitConfig = 64;
constexpr int kExitStart = 69;

httplib::Server* running = nullptr;

// Waits for SIGINT/SIGTERM on a thread of its own, so the stop runs outside
// a signal handler.
void stopOnSignal() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int received = 0;
    sigwait(&signals, &received);
    if (running) running->stop();
  }).detach();
}

}  // namespace

int main() {
  server::Config config;
  std::string error;
  if (!server::ReadConfig(&config, &error)) {
    std::fprintf(stderr, "korvane-server: %s\n", error.c_str());
    return kExitConfig;
  }
  signal(SIGPIPE, SIG_IGN);
  stopOnSignal();
  server::Database database(config.databaseUrl, config.databaseConnections);
  try {
    const int applied = database.Migrate();
    if (applied > 0) std::fprintf(stderr, "korvane-server: applied %d migration(s)\n", applied);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "korvane-server: cannot prepare the database: %s\n", failure.what());
    return kExitStart;
  }
  server::RerunLimits limits;
  limits.workers = config.workers;
  limits.cpuSeconds = config.rerunSeconds;
  limits.wallSeconds = 2 * config.rerunSeconds;
  server::Verifier verifier(config.replayProgram, config.dataFolder, limits);
  server::ScorePoster poster(database, verifier, config.postsPerMinute);
  httplib::Server http;
  server::SetUpRoutes(http, config, database, poster);
  running = &http;
  if (!http.bind_to_port(config.host, config.port)) {
    std::fprintf(stderr, "korvane-server: cannot listen on %s:%d\n", config.host.c_str(), config.port);
    return kExitStart;
  }
  std::fprintf(stderr, "korvane-server: serving on http://%s:%d/\n", config.host.c_str(), config.port);
  http.listen_after_bind();
  running = nullptr;
  return 0;
}
