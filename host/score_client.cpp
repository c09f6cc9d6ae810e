#include "host/score_client.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace scores {

const char kQueueFolder[] = "score-queue";

namespace {

namespace fs = std::filesystem;

const char kServerFile[] = "score-server";
const char kNameFile[] = "player-name";
const char kTokenFile[] = "player-token";
constexpr int kTokenBytes = 32;
constexpr long kConnectSeconds = 5;
constexpr long kPostSeconds = 60;  // the server re-runs the game before it answers
constexpr int kFirstBackOff = 2;   // seconds, doubled after each failure
constexpr int kMaxBackOff = 300;
constexpr int kMaxRetryAfter = 3600;

struct Reply {
  long status = 0;  // 0: no answer
  std::string body;
  int retryAfter = 0;
};

std::string firstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

bool writeWhole(const fs::path& path, const std::string& bytes, fs::perms perms) {
  const fs::path part = path.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
  }
  std::error_code ignored;
  fs::permissions(part, perms, ignored);
  fs::rename(part, path, ignored);
  return !ignored;
}

// A random secret from the kernel, as hex.
std::string loadOrMakeToken(const std::string& folder) {
  const fs::path path = fs::path(folder) / kTokenFile;
  std::string token = firstLine(path);
  if (!token.empty()) return token;
  std::ifstream random("/dev/urandom", std::ios::binary);
  unsigned char bytes[kTokenBytes];
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return "";
  static const char kHex[] = "0123456789abcdef";
  for (unsigned char byte : bytes) token += {kHex[byte >> 4], kHex[byte & 15]};
  if (!writeWhole(path, token + "\n", fs::perms::owner_read | fs::perms::owner_write)) return "";
  return token;
}

std::string withThousands(long long value) {
  std::string digits = std::to_string(value), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

long long jsonNumber(const std::string& body, const std::string& key) {
  const std::size_t at = body.find("\"" + key + "\":");
  return at == std::string::npos ? -1 : std::atoll(body.c_str() + at + key.size() + 3);
}

std::string jsonText(const std::string& body, const std::string& key) {
  const std::size_t at = body.find("\"" + key + "\":\"");
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size() + 4;
  return body.substr(start, body.find('"', start) - start);
}

// "World rank 12 of 3,400 (Normal)" from the server's 201 answer.
std::string rankLineOf(const std::string& body) {
  const long long rank = jsonNumber(body, "rank"), of = jsonNumber(body, "of");
  std::string board = jsonText(body, "board");
  if (rank <= 0 || of <= 0 || board.empty()) return "";
  board[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(board[0])));
  return "World rank " + withThousands(rank) + " of " + withThousands(of) + " (" + board + ")";
}

std::size_t keepBody(char* data, std::size_t size, std::size_t count, void* reply) {
  static_cast<Reply*>(reply)->body.append(data, size * count);
  return size * count;
}

std::size_t readRetryAfter(char* data, std::size_t size, std::size_t count, void* reply) {
  const std::string line(data, size * count);
  const std::string name = "retry-after:";
  std::string lower = line.substr(0, name.size());
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == name) {
    static_cast<Reply*>(reply)->retryAfter = std::clamp(std::atoi(line.c_str() + name.size()), 0, kMaxRetryAfter);
  }
  return size * count;
}

// `stop` is called by libcurl as the transfer goes; non-zero ends it.
Reply post(const Settings& settings, const std::string& token, const std::string& replay, const std::string& claimed,
           curl_xferinfo_callback stop, void* stopData) {
  Reply reply;
  CURL* curl = curl_easy_init();
  if (!curl) return reply;
  char* name = curl_easy_escape(curl, settings.name.c_str(), static_cast<int>(settings.name.size()));
  const std::string url = settings.server + "/api/v1/scores?name=" + (name ? name : "");
  curl_free(name);
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, ("Authorization: Bearer " + token).c_str());
  headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
  headers = curl_slist_append(headers, ("X-Korvane-Claimed-Score: " + claimed).c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, replay.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(replay.size()));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kPostSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, stop);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, stopData);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, readRetryAfter);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

std::vector<fs::path> queued(const std::string& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(folder) / kQueueFolder, error)) {
    if (entry.path().extension() == ".kvrp") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The claimed score is kept in the file's name: NNNNNNNNNNNNN-SSSS-SCORE.kvrp.
std::string claimedOf(const fs::path& file) {
  const std::string stem = file.stem().string();
  return stem.substr(stem.rfind('-') + 1);
}

}  // namespace

Settings ReadSettings(const std::string& folder) {
  Settings settings;
  settings.folder = folder;
  const char* server = std::getenv("KORVANE_SERVER");
  settings.server = server && *server ? server : firstLine(fs::path(folder) / kServerFile);
  while (!settings.server.empty() && settings.server.back() == '/') settings.server.pop_back();
  settings.name = firstLine(fs::path(folder) / kNameFile);
  return settings;
}

bool SaveName(const std::string& folder, const std::string& name, std::string* error) {
  if (name.empty() || name.find_first_of("\r\n") != std::string::npos) {
    *error = "a name is one line of 1 to 24 letters, digits, spaces, '-', '_' or '.'";
    return false;
  }
  if (!writeWhole(fs::path(folder) / kNameFile, name + "\n", fs::perms::owner_read | fs::perms::owner_write)) {
    *error = "cannot write " + (fs::path(folder) / kNameFile).string();
    return false;
  }
  return true;
}

Poster::Poster(Settings settings) : settings_(std::move(settings)) {
  queued_ = !queued(settings_.folder).empty();
  thread_ = std::thread([this] { Run(); });
}

Poster::~Poster() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void Poster::Enqueue(const std::vector<std::uint8_t>& replay, int claimedScore) {
  static int sequence = 0;
  const auto now =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  char name[64];
  std::snprintf(name, sizeof name, "%013lld-%04d-%d.kvrp", static_cast<long long>(now), ++sequence % 10000,
                claimedScore);
  std::error_code error;
  fs::create_directories(fs::path(settings_.folder) / kQueueFolder, error);
  if (!writeWhole(fs::path(settings_.folder) / kQueueFolder / name, std::string(replay.begin(), replay.end()),
                  fs::perms::owner_read | fs::perms::owner_write)) {
    std::fprintf(stderr, "korvane: cannot queue the game for the score server in %s\n", kQueueFolder);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_ = true;
  }
  wake_.notify_all();
}

std::string Poster::RankLine() {
  std::lock_guard<std::mutex> lock(mutex_);
  return rankLine_;
}

std::size_t Poster::Waiting() const { return queued(settings_.folder).size(); }

// The game is closing: a post under way ends (it stays queued).
int Poster::StopCheck(void* poster, std::int64_t, std::int64_t, std::int64_t, std::int64_t) {
  return static_cast<Poster*>(poster)->stopping_ ? 1 : 0;
}

bool Poster::WaitFor(int seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (seconds == 0) {
    wake_.wait(lock, [&] { return stopping_ || queued_; });
  } else {
    wake_.wait_for(lock, std::chrono::seconds(seconds), [&] { return stopping_.load(); });
  }
  return !stopping_;
}

void Poster::Run() {
  int wait = 0;
  while (WaitFor(wait)) wait = PostOldest();
}

int Poster::PostOldest() {
  const std::vector<fs::path> files = queued(settings_.folder);
  if (files.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_ = !queued(settings_.folder).empty();
    return 0;
  }
  if (token_.empty()) token_ = loadOrMakeToken(settings_.folder);
  std::ifstream in(files.front(), std::ios::binary);
  const std::string replay((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Reply reply = post(settings_, token_, replay, claimedOf(files.front()), StopCheck, this);
  const bool tryAgain = reply.status == 0 || reply.status == 429 || reply.status >= 500;
  if (tryAgain) {
    const int backOff = std::min(kMaxBackOff, kFirstBackOff << std::min(failures_++, 8));
    return std::max(reply.retryAfter, backOff);
  }
  failures_ = 0;
  if (reply.status == 201) {
    std::lock_guard<std::mutex> lock(mutex_);
    rankLine_ = rankLineOf(reply.body);
  } else if (reply.status != 409) {
    std::fprintf(stderr, "korvane: the score server refused a game (%ld): %s\n", reply.status, reply.body.c_str());
  }
  std::error_code ignored;
  fs::remove(files.front(), ignored);
  return 0;
}

}  // namespace scores
