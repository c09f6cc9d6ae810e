#include "tests/support/windowless_game.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/std_main.h"
#include "runtime/gc.h"
#include "tests/support/temp_folder.h"

namespace testsupport {

namespace {
constexpr const char* kStateFile = ".vellumstate";
}  // namespace

void StartWindowlessRuntime() {
  static bool started = false;
  if (started) return;
  started = true;
  static WorkingFolder folder("windowless-game");
  gc_init1();
  vlInit();
}

vl_Korvane_MyApp* WindowlessGame() {
  static vl_Korvane_MyApp* game = nullptr;
  if (game != nullptr) return game;
  StartWindowlessRuntime();
  game = (new vl_Korvane_MyApp())->g_new();
  return game;
}

std::string ReadStateFile() {
  std::ifstream in(kStateFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteStateFile(const std::string& bytes) {
  std::ofstream out(kStateFile, std::ios::binary | std::ios::trunc);
  out << bytes;
}

void RemoveStateFile() {
  std::error_code ignored;
  std::filesystem::remove(kStateFile, ignored);
}

}  // namespace testsupport
