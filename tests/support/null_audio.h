// OpenAL for tests: one device and context for the whole test program, on
// OpenAL Soft's silent null output unless the environment names another
// output, and the collector's roots pointing at the test's audio device.
// Every audio, music and framework test that needs a real mixer opens it here.
#pragma once

#include <AL/al.h>

#include "host/audio_device.h"
#include "tests/support/wait_until.h"

namespace testsupport {

// Opens OpenAL once (null output unless ALSOFT_DRIVERS says otherwise); false
// when that fails. Closed again at exit or by CloseTestAudio.
bool OpenTestAudio();
void CloseTestAudio();

// The device under test as the collector's only root.
extern gxtkAudio* g_testAudio;
void InstallTestAudioRoot();
// Full collections until every object unreachable now has been finalised.
void CollectEverything();

ALint SourceState(ALuint source);

}  // namespace testsupport
