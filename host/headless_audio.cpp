// The headless host's audio device: the same gxtkAudio as
// host/audio_device.h, with no sound device. A sound loads when its file
// decodes, as it does for OpenAL, and channels keep the state the calls give
// them; nothing is heard.
#include <vector>

#include "host/audio_device.h"
#include "host/sound_decoder.h"
#include "runtime/gc.h"

std::vector<unsigned int> gxtkAudio::discarded;

namespace {
constexpr int kStopped = 0;
constexpr int kPlaying = 1;
constexpr int kPaused = 2;
}  // namespace

gxtkSample::gxtkSample() : buffer(0) {}
gxtkSample::gxtkSample(unsigned int name) : buffer(name) {}
gxtkSample::~gxtkSample() = default;
void gxtkSample::SetBuffer(unsigned int name) { buffer = name; }
int gxtkSample::Discard() { return 0; }

unsigned int gxtkChannel::AL_Source() { return 0; }

gxtkAudio::gxtkAudio() = default;

gxtkSample* gxtkAudio::LoadSample__UNSAFE__(gxtkSample* sample, String path) {
  DecodedSound sound;
  return LoadSoundFile(path, sound) ? sample : nullptr;
}

gxtkSample* gxtkAudio::LoadSample(String path) { return LoadSample__UNSAFE__(new gxtkSample(), path); }

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int flags) {
  gxtkChannel& chan = channels[channel];
  gc_assign(chan.sample, sample);
  chan.flags = flags;
  chan.state = kPlaying;
  return 0;
}

int gxtkAudio::StopChannel(int channel) {
  channels[channel].state = kStopped;
  return 0;
}

int gxtkAudio::PauseChannel(int channel) {
  if (channels[channel].state == kPlaying) channels[channel].state = kPaused;
  return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
  if (channels[channel].state == kPaused) channels[channel].state = kPlaying;
  return 0;
}

int gxtkAudio::ChannelState(int channel) { return channels[channel].state; }
int gxtkAudio::SetVolume(int, float) { return 0; }
int gxtkAudio::SetPan(int, float) { return 0; }
int gxtkAudio::SetRate(int, float) { return 0; }

void gxtkAudio::mark() {
  for (gxtkChannel& chan : channels) {
    if (chan.state != kStopped) gc_mark(chan.sample);
  }
}

void gxtkAudio::OnSuspend() {}
void gxtkAudio::OnResume() {}
