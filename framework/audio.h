// The audio module: the game's portable interface to sound effects.
//
// vl_audio_device (a collector root) is the current audio device; every
// operation forwards to it. vl_audio_Sound wraps one loaded sample; it keeps
// the sample alive while the sound is reachable but never discards it (the
// device owns sample lifetime). Channel numbers, flags (non-zero loops) and
// the meaning of volume, pan and rate are the device's. The device global
// must be set (by the application adapter) before any operation runs.
// Depends on host/audio_device.h, framework/data.h and the runtime.
#pragma once

#include "host/audio_device.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class vl_audio_Sound : public Object {
 public:
  gxtkSample* sample = nullptr;  // null for a sound built empty

  vl_audio_Sound* g_new(gxtkSample* s);
  vl_audio_Sound* g_new2();
  void mark() override;
};

extern gxtkAudio* vl_audio_device;

int vl_audio_SetAudioDevice(gxtkAudio* dev);
// Loads a sound file named as the game names data files; null when the file
// is missing or cannot be decoded.
vl_audio_Sound* vl_audio_LoadSound(String path);
int vl_audio_PlaySound(vl_audio_Sound* sound, int channel, int flags);
int vl_audio_StopChannel(int channel);
int vl_audio_SetChannelVolume(int channel, float volume);
int vl_audio_SetChannelPan(int channel, float pan);
int vl_audio_SetChannelRate(int channel, float rate);
