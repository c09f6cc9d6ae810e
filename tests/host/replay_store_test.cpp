// The replay folder: the best game of each difficulty and the last 10 games
// are kept, like the score tables; a folder that cannot be written loses the
// replay quietly and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/replay_store.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::TempFolder;

constexpr std::uint16_t kRules = 3;

// A valid replay file of a finished game: its total is in the header, and
// the stream's one byte besides the end mark tells files apart.
std::vector<std::uint8_t> game(int difficulty, std::uint32_t total, std::uint8_t tag, replay::Header* header) {
  header->rulesVersion = kRules;
  header->difficulty = difficulty;
  header->total = total;
  header->updates = 0;
  return replay::WriteReplay(*header, {static_cast<std::uint8_t>(tag % 0x7f), replay::kOpEnd});
}

void keep(const std::string& folder, int difficulty, std::uint32_t total, std::uint8_t tag) {
  replay::Header header;
  const std::vector<std::uint8_t> file = game(difficulty, total, tag, &header);
  replay::KeepReplay(folder, header, file);
}

std::string bytesOf(int difficulty, std::uint32_t total, std::uint8_t tag) {
  replay::Header header;
  const std::vector<std::uint8_t> file = game(difficulty, total, tag, &header);
  return std::string(file.begin(), file.end());
}

TEST(ReplayStore, KeepsTheBestOfEachDifficultyAndTheLastTenGames) {
  TempFolder scratch("replay-store");
  const std::string folder = scratch.File("replays");
  const std::uint32_t totals[] = {50, 80, 80, 20, 10, 90, 5, 5, 5, 5, 5, 70};
  for (int i = 0; i < 12; ++i) keep(folder, 1 + i % 3, totals[i], static_cast<std::uint8_t>(i));

  std::vector<std::string> entries = testsupport::FolderEntries(folder);
  std::sort(entries.begin(), entries.end());
  const std::vector<std::string> expected = {
      "best-1.kvrp",      "best-2.kvrp",      "best-3.kvrp",      "game-000003.kvrp", "game-000004.kvrp",
      "game-000005.kvrp", "game-000006.kvrp", "game-000007.kvrp", "game-000008.kvrp", "game-000009.kvrp",
      "game-000010.kvrp", "game-000011.kvrp", "game-000012.kvrp"};
  EXPECT_EQ(entries, expected);
  // Difficulty 1 saw 50, 20, 5, 5: the first stays. Difficulty 2 saw 80,
  // 10, 5, 5: the 80. Difficulty 3 saw 80, 90, 5, 70: the 90.
  EXPECT_EQ(testsupport::ReadBytes(folder + "/best-1.kvrp"), bytesOf(1, 50, 0));
  EXPECT_EQ(testsupport::ReadBytes(folder + "/best-2.kvrp"), bytesOf(2, 80, 1));
  EXPECT_EQ(testsupport::ReadBytes(folder + "/best-3.kvrp"), bytesOf(3, 90, 5));
  EXPECT_EQ(testsupport::ReadBytes(folder + "/game-000012.kvrp"), bytesOf(3, 70, 11));

  // An equal total does not replace the kept best; a damaged best gives way.
  keep(folder, 2, 80, 40);
  EXPECT_EQ(testsupport::ReadBytes(folder + "/best-2.kvrp"), bytesOf(2, 80, 1));
  testsupport::WriteBytes(folder + "/best-1.kvrp", "damaged");
  keep(folder, 1, 1, 41);
  EXPECT_EQ(testsupport::ReadBytes(folder + "/best-1.kvrp"), bytesOf(1, 1, 41));
}

TEST(ReplayStore, AFolderThatCannotBeMadeLosesOnlyTheReplay) {
  TempFolder scratch("replay-store");
  testsupport::WriteBytes(scratch.File("replays"), "a file where the folder would go");
  testing::internal::CaptureStderr();
  keep(scratch.File("replays"), 1, 10, 1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("could not be saved"), std::string::npos) << said;
  EXPECT_EQ(testsupport::ReadBytes(scratch.File("replays")), "a file where the folder would go");
}

}  // namespace
