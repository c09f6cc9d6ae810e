// Shared set-up for the music player's tests: the framework's module globals,
// an application device whose clock the test sets (the player reads time only
// through vl_app_Millisecs, which asks the application device), and an audio
// device that records every channel call before passing it on to the real
// OpenAL device.
//
// Nothing here runs the collector: every object a test makes lives until the
// test program ends, so no roots are needed.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "framework/random.h"
#include "music/music_player.h"
#include "tests/support/null_audio.h"
#include "tests/support/temp_folder.h"
#include "tools/assetgen/music.h"

namespace musictest {

// An application device with a clock the test sets.
class TestClockDevice : public vl_app_AppDevice {
 public:
  int now = 100000;
  int MilliSecs() override { return now; }
};

struct AudioCall {
  enum Kind { kPlay, kStop, kVolume, kPan, kRate } kind;
  int channel;
  float value;  // volume, pan or rate; the flags for kPlay
  gxtkSample* sample;
};

// The real audio device, with every channel call written down first.
class RecordingAudio : public gxtkAudio {
 public:
  std::vector<AudioCall> calls;

  int PlaySample(gxtkSample* sample, int channel, int flags) override {
    calls.push_back({AudioCall::kPlay, channel, static_cast<float>(flags), sample});
    return gxtkAudio::PlaySample(sample, channel, flags);
  }
  int StopChannel(int channel) override {
    calls.push_back({AudioCall::kStop, channel, 0.0f, nullptr});
    return gxtkAudio::StopChannel(channel);
  }
  int SetVolume(int channel, float volume) override {
    calls.push_back({AudioCall::kVolume, channel, volume, nullptr});
    return gxtkAudio::SetVolume(channel, volume);
  }
  int SetPan(int channel, float pan) override {
    calls.push_back({AudioCall::kPan, channel, pan, nullptr});
    return gxtkAudio::SetPan(channel, pan);
  }
  int SetRate(int channel, float rate) override {
    calls.push_back({AudioCall::kRate, channel, rate, nullptr});
    return gxtkAudio::SetRate(channel, rate);
  }

  std::vector<AudioCall> Of(AudioCall::Kind kind, int channel) const {
    std::vector<AudioCall> found;
    for (const AudioCall& call : calls) {
      if (call.kind == kind && call.channel == channel) found.push_back(call);
    }
    return found;
  }
};

// Gives the framework's globals their start values, installs the test clock
// and the recording audio device. Call once per test (in SetUp).
inline void InstallFramework(TestClockDevice*& clock, RecordingAudio*& audio) {
  testsupport::OpenTestAudio();  // channel calls reach a real (silent) mixer
  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  vl_random_Seed = 1234;
  clock = new TestClockDevice();
  // Publishes the device's graphics, input and audio devices, as at start-up.
  clock->g_new(new vl_app_App());
  gc_assign(vl_app_device, static_cast<vl_app_AppDevice*>(clock));
  audio = new RecordingAudio();
  gc_assign(vl_audio_device, static_cast<gxtkAudio*>(audio));
}

// A sound with a sample of its own (no sound data): enough to be started on
// a channel.
inline vl_audio_Sound* SilentSound() { return (new vl_audio_Sound())->g_new(new gxtkSample()); }

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The generated game sample with this name ("inst/lead0.wav"), as WAV bytes.
inline std::vector<uint8_t> GameSample(const std::string& file) {
  for (const assetgen::SynthesisedSound& sample : assetgen::instrumentSamples()) {
    if (sample.file == file) return assetgen::encodeWav(sample.synth());
  }
  return {};
}

// A PNG file from rows of 0xRRGGBB pixels (row 0 at the top), fully opaque.
inline bool WritePng(const std::string& path, int width, int height, const std::vector<int>& rgb) {
  std::vector<uint8_t> rgba;
  rgba.reserve(rgb.size() * 4);
  for (int pixel : rgb) {
    rgba.push_back(static_cast<uint8_t>(pixel >> 16));
    rgba.push_back(static_cast<uint8_t>(pixel >> 8));
    rgba.push_back(static_cast<uint8_t>(pixel));
    rgba.push_back(255);
  }
  return WriteBytes(path, assetgen::encodeRgbaPng(width, height, rgba));
}

// A looping instrument loaded from a WAV file, as the player loads its own.
inline vl_audio_Sound* LoopingSound() {
  std::string path = testsupport::TempFolder::SystemTemporaryFolder() + "/korvane-music-lead-XXXXXX.wav";
  const int fd = mkstemps(path.data(), 4);
  if (fd < 0) return nullptr;
  close(fd);
  WriteBytes(path, GameSample("inst/lead0.wav"));
  vl_audio_Sound* sound = vl_audio_LoadSound(String(path.c_str()));
  std::remove(path.c_str());
  return sound;
}

// A player as the game sets it up (channels 31 down to 27), with the given
// song written straight into its song data and every voice able to pick
// patterns 0 to `lastPattern`.
inline vl_KXTrackr_KXPlayer* NewPlayer() {
  vl_KXTrackr_KXPlayer* player = (new vl_KXTrackr_KXPlayer())->g_new();
  player->m_KX_Init(32, 4, 3, 3, 4);
  return player;
}

inline void SetCell(vl_KXTrackr_KXPlayer* player, int pattern, int voice, int row, int note, int volume,
                    int command = 0, int param = 0) {
  const int cell = vl_KXTrackr_KXPlayer::CellIndex(pattern, voice, row);
  player->songData[cell + 0] = note;
  player->songData[cell + 1] = volume;
  player->songData[cell + 2] = command;
  player->songData[cell + 3] = param;
}

// Makes the next row due and plays it.
inline void PlayRow(vl_KXTrackr_KXPlayer* player, TestClockDevice* clock) {
  clock->now = player->nextTime + 1;
  player->m_KX_MusicPlay();
}

}  // namespace musictest
