#include "server/config.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <thread>

namespace server {
namespace {

constexpr int kMaxWorkers = 256;
constexpr int kMaxDatabaseConnections = 1000;
// Connections per core by default: a backend is idle while its answer
// travels and the request around it is parsed and answered (on two cores,
// 8 served 4-8% more requests a second than 4; 32 no more than 8).
constexpr int kConnectionsPerCore = 4;
constexpr int kMaxPostsPerMinute = 100000;
constexpr int kMaxRerunSeconds = 3600;

const char* env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool parseInt(const char* text, int low, int high, int* out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

// The whole number in variable `name`, when it is set, into `out`; false
// with `error` set when it is not one from `low` to `high`.
bool readNumber(const char* name, int low, int high, int* out, std::string* error) {
  const char* text = env(name);
  if (!text || parseInt(text, low, high, out)) return true;
  *error = std::string(name) + " must be a number from " + std::to_string(low) + " to " + std::to_string(high);
  return false;
}

// "ADDRESS:PORT", the address possibly in brackets ([::1]:8080).
bool parseListen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string address = text.substr(0, colon);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  if (!parseInt(text.c_str() + colon + 1, 0, 65535, port)) return false;
  *host = address;
  return !address.empty();
}

std::string besideProgram(const std::string& name) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return name;
  const std::string program(path, static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + name;
}

}  // namespace

bool ReadConfig(Config* config, std::string* error) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  config->workers = cores;
  config->databaseConnections = kConnectionsPerCore * cores;
  if (const char* url = env("KORVANE_DATABASE_URL")) config->databaseUrl = url;
  if (const char* listen = env("KORVANE_LISTEN")) {
    if (!parseListen(listen, &config->host, &config->port)) {
      *error = "KORVANE_LISTEN must be ADDRESS:PORT, not \"" + std::string(listen) + "\"";
      return false;
    }
  }
  if (!readNumber("KORVANE_WORKERS", 1, kMaxWorkers, &config->workers, error) ||
      !readNumber("KORVANE_DATABASE_CONNECTIONS", 1, kMaxDatabaseConnections, &config->databaseConnections, error) ||
      !readNumber("KORVANE_POSTS_PER_MINUTE", 1, kMaxPostsPerMinute, &config->postsPerMinute, error) ||
      !readNumber("KORVANE_RERUN_SECONDS", 1, kMaxRerunSeconds, &config->rerunSeconds, error)) {
    return false;
  }
  if (const char* data = env("KORVANE_DATA")) config->dataFolder = data;
  if (const char* site = env("KORVANE_SITE")) config->siteFolder = site;
  const char* program = env("KORVANE_REPLAY");
  config->replayProgram = program ? program : besideProgram("korvane-replay");
  return true;
}

}  // namespace server
