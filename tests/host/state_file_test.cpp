// The state file: text round trips in UTF-8, the encodings it accepts, and
// saves that fail without touching the state already on disk.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
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

// A text of `length` units that encodes to exactly that many UTF-8 bytes.
String AsciiText(int length) { return String(std::string(length, 'x').c_str()); }

TEST(StateFileTest, AccentedTextRoundTripsAsTwoByteUtf8) {
  testsupport::WorkingFolder dir;
  EXPECT_EQ(LoadStateFile(), String());  // nothing saved yet

  const wchar_t text[] = L"score=12;name=Ren\u00e9";
  ASSERT_EQ(SaveStateFile(String(text)), kStateSaved);
  EXPECT_EQ(ReadBytes(kStateFile), "score=12;name=Ren\xC3\xA9");  // no mark, no terminator
  EXPECT_EQ(LoadStateFile(), String(text));

  ASSERT_EQ(SaveStateFile(String("short")), kStateSaved);  // replaced, not appended
  EXPECT_EQ(ReadBytes(kStateFile), "short");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{kStateFile});
}

TEST(StateFileTest, EmptyStateSavesAnEmptyFile) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(SaveStateFile(String()), kStateSaved);
  EXPECT_EQ(ReadBytes(kStateFile), "");
  EXPECT_EQ(LoadStateFile(), String());
}

TEST(StateFileTest, ByteOrderMarksAreAcceptedAndDropped) {
  testsupport::WorkingFolder dir;
  WriteBytes(kStateFile,
             "\xEF\xBB\xBF"
             "caf\xC3\xA9");
  EXPECT_EQ(LoadStateFile(), String(L"caf\u00e9"));
  WriteBytes(kStateFile, std::string("\xFF\xFE"
                                     "A\0\xE9\0",
                                     6));  // UTF-16 little-endian
  EXPECT_EQ(LoadStateFile(), String(L"A\u00e9"));
}

TEST(StateFileTest, NewStateFileGetsTheUsualPermissions) {
  testsupport::WorkingFolder dir;
  mode_t previous = umask(022);
  ASSERT_EQ(SaveStateFile(String("x")), kStateSaved);
  umask(previous);
  struct stat info;
  ASSERT_EQ(stat(kStateFile, &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// A save cut short by the file-size limit (as on a full disk) must report -2
// and leave the earlier state whole, with no temporary file behind.
TEST(StateFileTest, WriteCutShortKeepsTheOldState) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(SaveStateFile(String("old state")), kStateSaved);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // make the short write an error, not a kill
    rlimit limit = {100, 100};      // bytes
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(SaveStateFile(AsciiText(5000)) == kStateNotWritten ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut-short save did not answer -2";

  EXPECT_EQ(ReadBytes(kStateFile), "old state");
  EXPECT_EQ(LoadStateFile(), String("old state"));
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{kStateFile});
}

TEST(StateFileTest, FolderThatCannotTakeFilesReportsNotCreated) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(rmdir((dir.path() + "/gone").c_str()), 0);  // the working folder no longer exists
  EXPECT_EQ(SaveStateFile(String("x")), kStateNotCreated);
  EXPECT_EQ(LoadStateFile(), String());
}

TEST(StateFileTest, ReadOnlyFolderKeepsTheOldState) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; covered by the size-limit test";
  testsupport::WorkingFolder dir;
  ASSERT_EQ(SaveStateFile(String("old state")), kStateSaved);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  EXPECT_EQ(SaveStateFile(String("new state")), kStateNotCreated);
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(LoadStateFile(), String("old state"));
}

TEST(StateFileTest, LoadTextFileUsesTheLocationScheme) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("internal", 0755), 0);
  WriteBytes("internal/t.txt", "line\xC3\xA9");
  EXPECT_EQ(LoadTextFile(String("vellum://internal/t.txt")), String(L"line\u00e9"));
  EXPECT_EQ(LoadTextFile(String("vellum://internal/missing.txt")), String());
  EXPECT_EQ(LoadTextFile(String("vellum://elsewhere/t.txt")), String());
}

}  // namespace
