#include "tests/support/null_audio.h"

#include <AL/alc.h>

#include <cstdlib>

#include "runtime/gc.h"

namespace testsupport {

gxtkAudio* g_testAudio = nullptr;

namespace {
ALCdevice* device = nullptr;
ALCcontext* context = nullptr;

void markTestRoot() { gc_enqueue(g_testAudio); }
}  // namespace

bool OpenTestAudio() {
  if (context) return true;
  setenv("ALSOFT_DRIVERS", "null", 0);  // keeps a sound card, if any, silent
  device = alcOpenDevice(nullptr);
  if (!device) return false;
  context = alcCreateContext(device, nullptr);
  if (!context || !alcMakeContextCurrent(context)) return false;
  std::atexit(CloseTestAudio);
  return true;
}

void CloseTestAudio() {
  alcMakeContextCurrent(nullptr);
  if (context) alcDestroyContext(context);
  if (device) alcCloseDevice(device);
  context = nullptr;
  device = nullptr;
}

void InstallTestAudioRoot() { gc_root_marker = markTestRoot; }

void CollectEverything() {
  // Two full cycles: objects stored through the write barrier since the last
  // sweep are grey and survive the first one.
  for (int cycle = 0; cycle < 2; ++cycle) {
    gc_mark();
    gc_force_sweep = 1;
    gc_collect();
  }
}

ALint SourceState(ALuint source) {
  ALint state = 0;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

}  // namespace testsupport
