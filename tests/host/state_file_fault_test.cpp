// The state file when something outside the program went wrong with it: a
// file far too large to be a state, and a file that is there but cannot be
// read. Neither may stop the program or cost the player what was saved.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "host/state_file.h"
#include "tests/runtime/scratch_dir.h"

namespace {

const char kStateFile[] = ".vellumstate";
const char kSavedLine[] = "1|2|3|";

void WriteBytes(const char* path, const std::string& bytes) {
  FILE* file = std::fopen(path, "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string ReadBytes(const char* path) {
  std::string bytes;
  FILE* file = std::fopen(path, "rb");
  if (!file) return "<missing>";
  char chunk[256];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  std::fclose(file);
  return bytes;
}

// A saved line followed by 3 GiB of zero bytes (a sparse file: no disk used).
// Read whole, it took over a minute and then ended the program for want of
// memory before the first frame.
TEST(StateFileFaultTest, HugeFileGivesItsBeginningAndSavesReplaceIt) {
  ScratchDir dir;
  WriteBytes(kStateFile, kSavedLine);
  ASSERT_EQ(truncate(kStateFile, 3LL << 30), 0);

  const String text = LoadStateFile();
  ASSERT_GE(text.Length(), 6);
  EXPECT_LE(text.Length(), 16 << 20);
  EXPECT_EQ(text.Slice(0, 6), String(kSavedLine));
  for (int i = 6; i < text.Length(); i += 4096) ASSERT_EQ(text[i], 0) << "at " << i;

  ASSERT_EQ(SaveStateFile(String("4|5|6|")), kStateSaved);
  EXPECT_EQ(ReadBytes(kStateFile), "4|5|6|");
}

// Runs body in a child process that has dropped root to the unprivileged
// "nobody" (file permissions do not hold for root); returns its exit code.
int RunUnprivileged(const std::function<int()>& body) {
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) return -2;
  pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) _exit(100);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A saved state that only looks absent (its permissions were changed) loads as
// nothing; a save must not replace it with the fresh state of a first run.
TEST(StateFileFaultTest, UnreadableFileIsNeverReplaced) {
  ScratchDir dir;
  WriteBytes(kStateFile, kSavedLine);
  ASSERT_EQ(chmod(kStateFile, 0), 0);
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);  // the folder stays writable
  }
  const int result = RunUnprivileged([] {
    if (LoadStateFile().Length() != 0) return 1;
    if (SaveStateFile(String("0|0|0|")) != kStateNotCreated) return 2;
    return 0;
  });
  ASSERT_NE(result, -2) << "no unprivileged user to run as";
  EXPECT_EQ(result, 0) << "1: the unreadable file was read; 2: the save did not refuse";
  ASSERT_EQ(chmod(kStateFile, 0600), 0);
  EXPECT_EQ(ReadBytes(kStateFile), kSavedLine);
}

// A folder where the state file should be: nothing to read, nothing written,
// the folder still there.
TEST(StateFileFaultTest, FolderInPlaceOfTheFileLoadsNothingAndSavesFail) {
  ScratchDir dir;
  ASSERT_EQ(mkdir(kStateFile, 0755), 0);
  EXPECT_EQ(LoadStateFile(), String());
  EXPECT_NE(SaveStateFile(String("1|")), kStateSaved);
  struct stat info;
  ASSERT_EQ(stat(kStateFile, &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

}  // namespace
