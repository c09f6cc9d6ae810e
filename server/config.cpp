#include "server/config.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <thread>

namespace server {
namespace {

constexpr int kMaxWorkers = 256;
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
  config->workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (const char* url = env("KORVANE_DATABASE_URL")) config->databaseUrl = url;
  if (const char* listen = env("KORVANE_LISTEN")) {
    if (!parseListen(listen, &config->host, &config->port)) {
      *error = "KORVANE_LISTEN must be ADDRESS:PORT, not \"" + std::string(listen) + "\"";
      return false;
    }
  }
  if (const char* workers = env("KORVANE_WORKERS")) {
    if (!parseInt(workers, 1, kMaxWorkers, &config->workers)) {
      *error = "KORVANE_WORKERS must be a number from 1 to " + std::to_string(kMaxWorkers);
      return false;
    }
  }
  if (const char* posts = env("KORVANE_POSTS_PER_MINUTE")) {
    if (!parseInt(posts, 1, kMaxPostsPerMinute, &config->postsPerMinute)) {
      *error = "KORVANE_POSTS_PER_MINUTE must be a number from 1 to " + std::to_string(kMaxPostsPerMinute);
      return false;
    }
  }
  if (const char* seconds = env("KORVANE_RERUN_SECONDS")) {
    if (!parseInt(seconds, 1, kMaxRerunSeconds, &config->rerunSeconds)) {
      *error = "KORVANE_RERUN_SECONDS must be a number from 1 to " + std::to_string(kMaxRerunSeconds);
      return false;
    }
  }
  if (const char* data = env("KORVANE_DATA")) config->dataFolder = data;
  if (const char* site = env("KORVANE_SITE")) config->siteFolder = site;
  const char* program = env("KORVANE_REPLAY");
  config->replayProgram = program ? program : besideProgram("korvane-replay");
  return true;
}

}  // namespace server
