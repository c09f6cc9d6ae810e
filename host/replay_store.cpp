#include "host/replay_store.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace replay {

const char kReplayFolder[] = "replays";

namespace {

const char kGamePrefix[] = "game-";
const char kExtension[] = ".kvrp";
constexpr int kNumberDigits = 6;

bool writeWhole(const fs::path& path, const std::vector<std::uint8_t>& file) {
  const fs::path temporary = path.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

// The number of a "game-NNNNNN.kvrp" name, or -1.
long gameNumber(const fs::path& name) {
  const std::string text = name.filename().string();
  const std::size_t prefix = sizeof kGamePrefix - 1;
  if (text.size() != prefix + kNumberDigits + sizeof kExtension - 1 || text.rfind(kGamePrefix, 0) != 0 ||
      name.extension() != kExtension) {
    return -1;
  }
  long number = 0;
  for (std::size_t i = prefix; i < prefix + kNumberDigits; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

std::vector<long> keptGames(const fs::path& folder) {
  std::vector<long> numbers;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const long number = gameNumber(it->path());
    if (number >= 0) numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

std::string gameName(long number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%0*ld%s", kGamePrefix, kNumberDigits, number, kExtension);
  return name;
}

bool keepLast(const fs::path& folder, const std::vector<std::uint8_t>& file) {
  std::vector<long> numbers = keptGames(folder);
  const long next = numbers.empty() ? 1 : numbers.back() + 1;
  if (!writeWhole(folder / gameName(next), file)) return false;
  numbers.push_back(next);
  std::error_code ignored;
  for (std::size_t i = 0; i + kLastGamesKept < numbers.size(); ++i) fs::remove(folder / gameName(numbers[i]), ignored);
  return true;
}

// A kept best that cannot be read (damaged, another rules version) gives way.
bool beatsKeptBest(const fs::path& path, const Header& header) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  Replay kept;
  if (!ReadReplayFile(path.string(), &bytes, &error)) return true;
  if (!ReadReplay(bytes.data(), bytes.size(), header.rulesVersion, &kept, &error)) return true;
  return header.total > kept.header.total;
}

}  // namespace

std::string BestReplayName(int difficulty) { return "best-" + std::to_string(difficulty) + kExtension; }

bool ReadReplayFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::error_code sizeError;
  const std::uintmax_t size = fs::file_size(path, sizeError);
  std::ifstream in(path, std::ios::binary);
  if (sizeError || !in) {
    *error = "cannot open " + path;
    return false;
  }
  if (size > kMaxFileBytes) {
    *error = path + " is larger than 16 MiB";
    return false;
  }
  bytes->assign(static_cast<std::size_t>(size), 0);
  in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
  if (static_cast<std::uintmax_t>(in.gcount()) != size) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

void KeepReplay(const std::string& folderName, const Header& header, const std::vector<std::uint8_t>& file) {
  const fs::path folder(folderName);
  std::error_code error;
  fs::create_directories(folder, error);
  bool kept = !error && keepLast(folder, file);
  const fs::path best = folder / BestReplayName(header.difficulty);
  if (kept && beatsKeptBest(best, header)) kept = writeWhole(best, file);
  if (!kept) std::fprintf(stderr, "Korvane: the replay of this game could not be saved in %s\n", folderName.c_str());
}

}  // namespace replay
