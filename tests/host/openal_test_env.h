// OpenAL for the audio tests: one device and context for the whole test
// program, on OpenAL Soft's silent null output unless the environment names
// another, and the collector's roots pointing at the test's audio device.
#pragma once

#include <AL/al.h>

#include <chrono>
#include <functional>
#include <string>

#include "host/audio_device.h"

// Opens OpenAL once (null output by default); false when that fails.
bool OpenTestAudio();
void CloseTestAudio();

// The device under test is the collector's only root.
extern gxtkAudio* g_testAudio;
void InstallTestAudioRoot();
// Full collections until every object unreachable now has been finalised.
void CollectEverything();

ALint SourceState(ALuint source);
// Polls `done` until it holds or `limit` has passed; the audio runs in real
// time, so waits are generous and never tested as thresholds.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
