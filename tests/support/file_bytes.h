// Whole files as bytes, and a folder's entries, for tests that check exactly
// what reached the disk (the state file's bytes, its scratch files) or read a
// file back the way the program does. ReadFileBytes is the tests' one
// whole-file reader; the others are views of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The file's bytes, or nothing when it cannot be opened.
inline std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
  std::fclose(file);
  return bytes;
}

// The file's bytes; none when it cannot be opened.
inline std::vector<uint8_t> FileContents(const std::string& path) {
  return ReadFileBytes(path).value_or(std::vector<uint8_t>());
}

// The file's bytes as a string, or "<missing>" when it cannot be opened, so
// that a check against expected bytes also tells a missing file from an empty
// one.
inline std::string ReadBytes(const std::string& path) {
  const std::optional<std::vector<uint8_t>> bytes = ReadFileBytes(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

// Makes `path` hold exactly `bytes`; fails the test when it cannot.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The names in `folder` (none when it cannot be read).
inline std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  return names;
}

}  // namespace testsupport
