#include "framework/audio.h"

#include "framework/data.h"

gxtkAudio* vl_audio_device = nullptr;

vl_audio_Sound* vl_audio_Sound::g_new(gxtkSample* s) {
  gc_assign(sample, s);
  return this;
}

vl_audio_Sound* vl_audio_Sound::g_new2() { return this; }

void vl_audio_Sound::mark() { gc_enqueue(sample); }

int vl_audio_SetAudioDevice(gxtkAudio* dev) {
  gc_assign(vl_audio_device, dev);
  return 0;
}

vl_audio_Sound* vl_audio_LoadSound(String path) {
  gxtkSample* sample = vl_audio_device->LoadSample(vl_data_FixDataPath(path));
  if (!sample) return nullptr;
  return (new vl_audio_Sound())->g_new(sample);
}

int vl_audio_PlaySound(vl_audio_Sound* sound, int channel, int flags) {
  if (sound->sample) vl_audio_device->PlaySample(sound->sample, channel, flags);
  return 0;
}

int vl_audio_StopChannel(int channel) { return vl_audio_device->StopChannel(channel); }

int vl_audio_SetChannelVolume(int channel, float volume) { return vl_audio_device->SetVolume(channel, volume); }

int vl_audio_SetChannelPan(int channel, float pan) { return vl_audio_device->SetPan(channel, pan); }

int vl_audio_SetChannelRate(int channel, float rate) { return vl_audio_device->SetRate(channel, rate); }
