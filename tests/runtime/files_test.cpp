// The location scheme of fopenFile: roots resolve against the working
// directory, unknown roots name no file, and file names are UTF-8.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "runtime/files.h"
#include "tests/support/temp_folder.h"

namespace {

void WriteText(const char* path, const char* text) {
  FILE* file = std::fopen(path, "wb");
  ASSERT_NE(file, nullptr) << path;
  std::fputs(text, file);
  std::fclose(file);
}

std::string ReadAndClose(FILE* file) {
  std::string text;
  char chunk[64];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return text;
}

TEST(FilesTest, RootsResolveToFoldersOfTheWorkingDirectory) {
  testsupport::WorkingFolder dir;
  for (const char* folder : {"data", "data/gfx", "internal", "external"}) {
    ASSERT_EQ(mkdir(folder, 0755), 0);
  }
  WriteText("data/gfx/a.png", "data");
  WriteText("internal/i.txt", "internal");
  WriteText("external/e.txt", "external");

  FILE* file = fopenFile(String("vellum://data/gfx/a.png"), String("rb"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAndClose(file), "data");
  file = fopenFile(String("vellum://internal/i.txt"), String("rb"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAndClose(file), "internal");
  file = fopenFile(String("vellum://external/e.txt"), String("rb"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAndClose(file), "external");
  file = fopenFile(String("data/gfx/a.png"), String("rb"));  // plain paths as they are
  ASSERT_NE(file, nullptr);
  std::fclose(file);

  // Started from another folder, the same name finds nothing.
  ASSERT_EQ(chdir("data"), 0);
  EXPECT_EQ(fopenFile(String("vellum://data/gfx/a.png"), String("rb")), nullptr);
}

TEST(FilesTest, UnknownRootsNameNoFileEvenWhenSuchAPathExists) {
  testsupport::WorkingFolder dir;
  // "vellum://other/x" read as a plain path is vellum:/other/x: make it exist,
  // so only the root check can refuse it.
  ASSERT_EQ(mkdir("vellum:", 0755), 0);
  ASSERT_EQ(mkdir("vellum:/other", 0755), 0);
  ASSERT_EQ(mkdir("vellum:/data", 0755), 0);
  WriteText("vellum:/other/x", "x");
  WriteText("vellum:/data/y", "y");

  EXPECT_EQ(fopenFile(String("vellum://other/x"), String("rb")), nullptr);
  EXPECT_EQ(fopenFile(String("vellum://data"), String("rb")), nullptr);
  EXPECT_EQ(fopenFile(String("vellum://"), String("rb")), nullptr);
  // The root must match exactly, case included.
  EXPECT_EQ(fopenFile(String("VELLUM://data/y"), String("rb")), nullptr);
}

TEST(FilesTest, NonAsciiNamesOpenAndEmbeddedNulsAreRefused) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("data", 0755), 0);
  WriteText("data/caf\xC3\xA9.txt", "accent");  // café.txt in UTF-8
  const wchar_t name[] = L"vellum://data/caf\u00e9.txt";
  FILE* file = fopenFile(String(name), String("rb"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAndClose(file), "accent");

  WriteText("data/a", "short");
  const wchar_t withNul[] = {'v', 'e', 'l', 'l', 'u', 'm', ':', '/', '/', 'd', 'a', 't', 'a', '/', 'a', 0, 'b'};
  EXPECT_EQ(fopenFile(String(withNul, 17), String("rb")), nullptr);
}

}  // namespace

namespace {

// The player's folder, holding a link to the game's data, is deleted while the
// program runs in it: the data, still there, is still found by the same names.
TEST(FilesTest, DataStaysReachableWhenTheWorkingFolderIsDeleted) {
  testsupport::WorkingFolder dir;
  ASSERT_EQ(mkdir("game-data", 0755), 0);
  WriteText("game-data/a.png", "data");
  ASSERT_EQ(mkdir("player", 0755), 0);
  ASSERT_EQ(symlink("../game-data", "player/data"), 0);
  ASSERT_EQ(chdir("player"), 0);
  FILE* file = fopenFile(String("vellum://data/a.png"), String("rb"));
  ASSERT_NE(file, nullptr);
  std::fclose(file);

  ASSERT_EQ(unlink("data"), 0);
  ASSERT_EQ(rmdir((dir.path() + "/player").c_str()), 0);
  file = fopenFile(String("vellum://data/a.png"), String("rb"));
  ASSERT_NE(file, nullptr) << "the data was lost with the working folder";
  EXPECT_EQ(ReadAndClose(file), "data");
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
}

}  // namespace
