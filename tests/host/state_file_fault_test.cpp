// The state file when something outside the program was done to it: a file
// far too large to be a state, a file that is there but cannot be read or is
// write-protected, and a state file that is a symbolic link (kept in a synced
// folder), dangling, looping or leading into a missing folder. None may stop
// the program, cost the player what was saved or turn the link into a file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/state_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace {

using testsupport::FolderEntries;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

const char kStateFile[] = ".vellumstate";
const char kSavedLine[] = "1|2|3|";

// A saved line followed by 3 GiB of zero bytes (a sparse file: no disk used).
// Read whole, it took over a minute and then ended the program for want of
// memory before the first frame.
TEST(StateFileFaultTest, HugeFileGivesItsBeginningAndSavesReplaceIt) {
  testsupport::WorkingFolder dir;
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
  testsupport::WorkingFolder dir;
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

// A state file the player made read-only keeps its bytes: the save reports
// that it could not write (as nobody, since root may write any file), also
// when the protected file is reached through a link.
TEST(StateFileFaultTest, WriteProtectedFileKeepsItsBytesAndTheSaveFails) {
  testsupport::WorkingFolder dir;
  if (geteuid() == 0 && getpwnam("nobody") == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);  // the folder stays writable
  ASSERT_EQ(mkdir("synced", 0777), 0);
  WriteBytes(kStateFile, kSavedLine);
  WriteBytes("synced/scores", kSavedLine);
  ASSERT_EQ(symlink("synced/scores", "linked"), 0);
  ASSERT_EQ(chmod(kStateFile, 0444), 0);
  ASSERT_EQ(chmod("synced/scores", 0444), 0);
  const int result = RunUnprivileged([] {
    if (SaveStateFile(String("0|0|0|")) != kStateNotCreated) return 1;
    if (rename(kStateFile, "plain") != 0 || rename("linked", kStateFile) != 0) return 3;
    if (SaveStateFile(String("0|0|0|")) != kStateNotCreated) return 2;
    return 0;
  });
  EXPECT_EQ(result, 0) << "1: the plain file was replaced; 2: the linked file was replaced";
  EXPECT_EQ(ReadBytes("plain"), kSavedLine);
  EXPECT_EQ(ReadBytes("synced/scores"), kSavedLine);
  struct stat info;
  ASSERT_EQ(stat("plain", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0444u);
  EXPECT_EQ(FolderEntries("synced"), std::vector<std::string>{"scores"}) << "no temporary file left";
}

// The link stays a link; the file it leads to, in another folder, receives the
// save as a new file renamed into place (never half written), with the mode
// the player gave it, and no temporary file remains in either folder.
TEST(StateFileFaultTest, LinkStaysALinkAndItsTargetIsReplacedWithItsMode) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("game", 0755), 0);
  ASSERT_EQ(mkdir("synced", 0755), 0);
  ASSERT_EQ(chdir("game"), 0);
  WriteBytes("../synced/scores", kSavedLine);
  ASSERT_EQ(chmod("../synced/scores", 0600), 0);
  ASSERT_EQ(symlink("../synced/scores", kStateFile), 0);
  struct stat before;
  ASSERT_EQ(stat(kStateFile, &before), 0);

  EXPECT_EQ(LoadStateFile(), String(kSavedLine));
  ASSERT_EQ(SaveStateFile(String("4|5|6|")), kStateSaved);
  struct stat link;
  ASSERT_EQ(lstat(kStateFile, &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode)) << "the link was replaced by a plain file";
  EXPECT_EQ(ReadBytes("../synced/scores"), "4|5|6|");
  EXPECT_EQ(LoadStateFile(), String("4|5|6|"));
  struct stat after;
  ASSERT_EQ(stat("../synced/scores", &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0600u) << "a private state must stay private";
  EXPECT_NE(after.st_ino, before.st_ino) << "the target must be replaced whole, not rewritten in place";
  EXPECT_EQ(FolderEntries("."), std::vector<std::string>{kStateFile});
  EXPECT_EQ(FolderEntries("../synced"), std::vector<std::string>{"scores"});

  // A chain of two links with an absolute second step ends at the same file.
  ASSERT_EQ(unlink(kStateFile), 0);
  ASSERT_EQ(symlink((dir.path() + "/synced/scores").c_str(), "middle"), 0);
  ASSERT_EQ(symlink("middle", kStateFile), 0);
  ASSERT_EQ(SaveStateFile(String("7|")), kStateSaved);
  EXPECT_EQ(ReadBytes("../synced/scores"), "7|");
  ASSERT_EQ(lstat("middle", &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
}

// A link whose file is not there yet is followed as opening it for writing
// would: the file appears in the link's target folder. A loop of links, or a
// link into a folder that does not exist, fails and changes nothing.
TEST(StateFileFaultTest, DanglingLinkCreatesItsTargetWhileLoopsAndMissingFoldersFail) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("synced", 0755), 0);
  mode_t previous = umask(022);
  ASSERT_EQ(symlink("synced/new", kStateFile), 0);
  ASSERT_EQ(SaveStateFile(String("1|")), kStateSaved);
  umask(previous);
  EXPECT_EQ(ReadBytes("synced/new"), "1|");
  struct stat info;
  ASSERT_EQ(lstat(kStateFile, &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat("synced/new", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  ASSERT_EQ(unlink(kStateFile), 0);
  ASSERT_EQ(symlink("loop-b", kStateFile), 0);
  ASSERT_EQ(symlink(kStateFile, "loop-b"), 0);
  EXPECT_EQ(SaveStateFile(String("2|")), kStateNotCreated);
  EXPECT_EQ(LoadStateFile(), String());

  ASSERT_EQ(unlink(kStateFile), 0);
  ASSERT_EQ(symlink("missing/scores", kStateFile), 0);
  EXPECT_EQ(SaveStateFile(String("3|")), kStateNotCreated);
  ASSERT_EQ(lstat(kStateFile, &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadBytes("synced/new"), "1|");
  std::vector<std::string> entries = FolderEntries(".");
  EXPECT_EQ(entries.size(), 3u) << "only the state link, the loop's link and the synced folder";
}

// A folder where the state file should be: nothing to read, nothing written,
// the folder still there.
TEST(StateFileFaultTest, FolderInPlaceOfTheFileLoadsNothingAndSavesFail) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir(kStateFile, 0755), 0);
  EXPECT_EQ(LoadStateFile(), String());
  EXPECT_NE(SaveStateFile(String("1|")), kStateSaved);
  struct stat info;
  ASSERT_EQ(stat(kStateFile, &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

}  // namespace

namespace {

// A writable state file in a folder the player cannot write (or a sticky
// folder owned by someone else): no new file can be renamed over it, so it is
// rewritten in place, keeping its inode. A write-protected file stays refused.
TEST(StateFileFaultTest, WritableFileInAFolderThatRefusesNewNamesIsWrittenInPlace) {
  testsupport::WorkingFolder dir;
  if (geteuid() == 0 && getpwnam("nobody") == nullptr) GTEST_SKIP() << "no unprivileged user to run as";
  WriteBytes(kStateFile, kSavedLine);
  ASSERT_EQ(chmod(kStateFile, 0666), 0);
  struct stat before;
  ASSERT_EQ(stat(kStateFile, &before), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  EXPECT_EQ(RunUnprivileged([] { return SaveStateFile(String("4|5|6|7|8|9|10|")) == kStateSaved ? 0 : 1; }), 0);
  EXPECT_EQ(ReadBytes(kStateFile), "4|5|6|7|8|9|10|");
  EXPECT_EQ(RunUnprivileged([] { return SaveStateFile(String("1|")) == kStateSaved ? 0 : 1; }), 0);
  EXPECT_EQ(ReadBytes(kStateFile), "1|") << "a shorter text leaves nothing of the longer one";
  struct stat after;
  ASSERT_EQ(stat(kStateFile, &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);

  ASSERT_EQ(chmod(dir.path().c_str(), 0777 | S_ISVTX), 0);  // sticky, the file root's
  EXPECT_EQ(RunUnprivileged([] { return SaveStateFile(String("2|")) == kStateSaved ? 0 : 1; }), 0);
  EXPECT_EQ(ReadBytes(kStateFile), "2|");
  ASSERT_EQ(chmod(kStateFile, 0444), 0);
  EXPECT_EQ(RunUnprivileged([] { return SaveStateFile(String("3|")) == kStateNotCreated ? 0 : 1; }), 0);
  EXPECT_EQ(ReadBytes(kStateFile), "2|");
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
}

// A pipe, a device or a socket named ".vellumstate" reads as nothing at once
// (a pipe with no writer used to block the program for good) and refuses
// saves; temporary files a killed save left are removed at the next start.
TEST(StateFileFaultTest, OnlyPlainFilesAreOpenedAndStaleTemporariesGo) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkfifo(kStateFile, 0600), 0);
  EXPECT_EQ(LoadStateFile(), String());
  EXPECT_EQ(SaveStateFile(String("1|")), kStateNotCreated);
  ASSERT_EQ(unlink(kStateFile), 0);
  ASSERT_EQ(symlink("/dev/zero", kStateFile), 0);
  EXPECT_EQ(LoadStateFile(), String());
  EXPECT_EQ(SaveStateFile(String("1|")), kStateNotCreated);
  ASSERT_EQ(unlink(kStateFile), 0);

  WriteBytes(kStateFile, kSavedLine);
  WriteBytes(".vellumstate.a1B2c3", "cut short");
  WriteBytes(".vellumstate.keep", "not ours");
  EXPECT_EQ(LoadStateFile(), String(kSavedLine));
  std::vector<std::string> entries = FolderEntries(".");
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{kStateFile, ".vellumstate.keep"}));
}

}  // namespace
