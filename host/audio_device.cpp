#include "host/audio_device.h"

#include <AL/al.h>

#include <algorithm>
#include <cstdio>

#include "host/sound_decoder.h"
#include "runtime/gc.h"

std::vector<unsigned int> gxtkAudio::discarded;

namespace {

// Samples holding a decoded sound until the output opens.
std::vector<gxtkSample*> waitingSamples;

ALint sourceState(ALuint source) {
  ALint state = 0;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

ALenum bufferFormat(const DecodedSound& sound) {
  if (sound.bytesPerSample == 1) {
    if (sound.channels == 1) return AL_FORMAT_MONO8;
    if (sound.channels == 2) return AL_FORMAT_STEREO8;
  } else if (sound.bytesPerSample == 2) {
    if (sound.channels == 1) return AL_FORMAT_MONO16;
    if (sound.channels == 2) return AL_FORMAT_STEREO16;
  }
  return 0;
}

ALuint makeBuffer(const DecodedSound& sound) {
  ALuint name = 0;
  alGenBuffers(1, &name);
  alBufferData(name, bufferFormat(sound), sound.data(), sound.byteCount(), sound.rate);
  return name;
}

}  // namespace

// ---- gxtkSample ----

gxtkSample::gxtkSample() : buffer(0) {}
gxtkSample::gxtkSample(unsigned int name) : buffer(name) {}
gxtkSample::~gxtkSample() {
  if (waiting) waitingSamples.erase(std::find(waitingSamples.begin(), waitingSamples.end(), this));
  Discard();
}

void gxtkSample::SetBuffer(unsigned int name) { buffer = name; }

int gxtkSample::Discard() {
  if (buffer) {
    gxtkAudio::discarded.push_back(buffer);
    buffer = 0;
  }
  return 0;
}

// ---- gxtkChannel ----

unsigned int gxtkChannel::AL_Source() {
  if (!source) alGenSources(1, &source);
  return source;
}

// ---- gxtkAudio ----

gxtkAudio::gxtkAudio() { alDistanceModel(AL_NONE); }

gxtkSample* gxtkAudio::LoadSample__UNSAFE__(gxtkSample* sample, String path) {
  DecodedSound sound;
  if (!LoadSoundFile(path, sound)) return nullptr;
  if (awaitingOutput) {
    sample->waiting = std::make_unique<DecodedSound>(std::move(sound));
    waitingSamples.push_back(sample);
  } else {
    sample->SetBuffer(makeBuffer(sound));
  }
  gc_force_sweep = 1;  // a large decoded sound may have made other samples garbage
  return sample;
}

gxtkSample* gxtkAudio::LoadSample(String path) {
  FlushDiscarded();
  return LoadSample__UNSAFE__(new gxtkSample(), path);
}

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int flags) {
  FlushDiscarded();
  gxtkChannel& chan = channels[channel];
  ALuint source = chan.AL_Source();
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, ALint(sample->buffer));
  alSourcei(source, AL_LOOPING, flags ? 1 : 0);
  alSourcePlay(source);
  gc_assign(chan.sample, sample);
  chan.flags = flags;
  chan.state = 1;
  return 0;
}

int gxtkAudio::StopChannel(int channel) {
  gxtkChannel& chan = channels[channel];
  if (chan.state != 0) {
    alSourceStop(chan.source);
    chan.state = 0;
  }
  return 0;
}

int gxtkAudio::PauseChannel(int channel) {
  gxtkChannel& chan = channels[channel];
  if (chan.state == 1) {
    if (sourceState(chan.source) == AL_STOPPED) {
      chan.state = 0;
    } else {
      alSourcePause(chan.source);
      chan.state = 2;
    }
  }
  return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
  gxtkChannel& chan = channels[channel];
  if (chan.state == 2) {
    alSourcePlay(chan.source);
    chan.state = 1;
  }
  return 0;
}

int gxtkAudio::ChannelState(int channel) {
  gxtkChannel& chan = channels[channel];
  if (chan.state == 1 && sourceState(chan.source) == AL_STOPPED) chan.state = 0;
  return chan.state;
}

int gxtkAudio::SetVolume(int channel, float volume) {
  channels[channel].volume = volume;
  alSourcef(channels[channel].AL_Source(), AL_GAIN, volume);
  return 0;
}

int gxtkAudio::SetPan(int channel, float pan) {
  channels[channel].pan = pan;
  alSource3f(channels[channel].AL_Source(), AL_POSITION, pan, 0, 0);
  return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
  channels[channel].rate = rate;
  alSourcef(channels[channel].AL_Source(), AL_PITCH, rate);
  return 0;
}

void gxtkAudio::mark() {
  for (gxtkChannel& chan : channels) {
    if (chan.state != 0 && sourceState(chan.source) != AL_STOPPED) gc_mark(chan.sample);
  }
}

void gxtkAudio::OnSuspend() {
  for (gxtkChannel& chan : channels) {
    if (chan.state == 1 && sourceState(chan.source) == AL_PLAYING) alSourcePause(chan.source);
  }
}

void gxtkAudio::OnResume() {
  for (gxtkChannel& chan : channels) {
    if (chan.state == 1 && sourceState(chan.source) == AL_PAUSED) alSourcePlay(chan.source);
  }
}

void gxtkAudio::AwaitOutput() { awaitingOutput = true; }

// The kept sounds become buffers; every channel that was used gets a source
// with its settings. A looping sound started while waiting plays from its
// start; a short one's moment has passed.
void gxtkAudio::OutputOpened() {
  awaitingOutput = false;
  alDistanceModel(AL_NONE);
  for (gxtkSample* sample : waitingSamples) {
    sample->SetBuffer(makeBuffer(*sample->waiting));
    sample->waiting.reset();
  }
  waitingSamples.clear();
  for (gxtkChannel& chan : channels) {
    const bool used = chan.state != 0 || chan.volume != 1 || chan.pan != 0 || chan.rate != 1;
    if (!used) continue;
    ApplySettings(chan);
    if (chan.state == 0) continue;
    if (chan.flags == 0) {
      chan.state = 0;
      continue;
    }
    alSourcei(chan.source, AL_BUFFER, ALint(chan.sample->buffer));
    alSourcei(chan.source, AL_LOOPING, 1);
    if (chan.state == 1) alSourcePlay(chan.source);
  }
}

void gxtkAudio::OutputFailed() {
  awaitingOutput = false;
  for (gxtkSample* sample : waitingSamples) sample->waiting.reset();
  waitingSamples.clear();
}

void gxtkAudio::ApplySettings(gxtkChannel& chan) {
  const ALuint source = chan.AL_Source();
  alSourcef(source, AL_GAIN, chan.volume);
  alSource3f(source, AL_POSITION, chan.pan, 0, 0);
  alSourcef(source, AL_PITCH, chan.rate);
}

// Deletes the buffers of collected samples. A buffer still attached to a
// source cannot be deleted, so every source that is not sounding lets go of
// its buffer first: those of finished sounds and those of channels stopped by
// request (which would otherwise hold their buffer until the channel plays
// again). Names whose deletion still fails stay on the list for a later flush.
void gxtkAudio::FlushDiscarded() {
  if (discarded.empty()) return;
  for (gxtkChannel& chan : channels) {
    if (!chan.source) continue;
    if (chan.state == 0 || sourceState(chan.source) == AL_STOPPED) {
      alSourcei(chan.source, AL_BUFFER, 0);
    }
  }
  std::vector<unsigned int> kept;
  for (ALuint name : discarded) {
    alGetError();  // start from a clean error state so the check below is about this name
    alDeleteBuffers(1, &name);
    if (alGetError() != AL_NO_ERROR) kept.push_back(name);
  }
  discarded.swap(kept);
}
