// The game's saved-state loader (m_Load) on arbitrary file contents: the bytes
// become the state file, the game object reads it through the real host state
// layer and text decoder, and must never crash, read out of bounds or leave a
// setting below its floor. Output (the "... Loaded" lines) goes to /dev/null.
//
// The state file is read from the working directory, so the target moves to a
// scratch folder first: give corpus folders as absolute paths.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "framework/std_main.h"
#include "game/my_app.h"
#include "runtime/gc.h"
#include "tests/support/windowless_game.h"

namespace {

vl_Korvane_MyApp* game = nullptr;

void WriteState(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(".vellumstate", "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i) {
    if ((*argv)[i][0] != '-' && (*argv)[i][0] != '/') {
      std::fprintf(stderr, "state_load_fuzz: give folders and files as absolute paths\n");
      std::exit(2);
    }
  }
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  game = testsupport::WindowlessGame();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteState(data, size);
  game->m_Load();
  // The floors hold whatever the text said.
  if (game->settings[10] < 64 || game->settings[11] < 64 || game->settings[12] < 10) std::abort();
  gc_collect();
  return 0;
}
