// The build rewrites the data folder whenever the generator changes; the same
// generator must give the same bytes every time, or every build would ship
// different files and the tests would check pictures nobody reviewed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/tools/generated_data.h"

namespace {

namespace fs = std::filesystem;
using assetgen_test::generatedData;
using assetgen_test::generateInto;
using assetgen_test::readFile;

std::map<std::string, std::vector<uint8_t>> allFiles(const std::string& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = readFile(entry.path().string());
  return files;
}

TEST(GeneratorDeterminism, TwoRunsWriteIdenticalFiles) {
  // The build's run and a second one here; other tools may add files of their
  // own to the build's data folder, so the second run's list is the measure.
  auto second = allFiles(generateInto("second"));
  ASSERT_GT(second.size(), 40u);
  for (const auto& [name, bytes] : second) {
    std::vector<uint8_t> first = readFile(generatedData() + "/" + name);
    ASSERT_FALSE(first.empty()) << name << " missing from the build's data folder";
    EXPECT_TRUE(bytes == first) << name << " differs between two runs";
  }
}

TEST(GeneratorDeterminism, RefusesUnknownArguments) {
  std::string command = std::string("\"") + KORVANE_ASSETGEN + "\" --bogus 2>/dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
}

}  // namespace
