// The music calls of gxtkAudio, the same for the sound device
// (host/audio_device.cpp) and the headless one (host/headless_audio.cpp):
// music is one sample on a channel of its own, kMusicChannel. A new piece
// stops the one playing first, so a file that cannot be loaded leaves the
// music stopped on either device.
#include "host/audio_device.h"

int gxtkAudio::PlayMusic(String path, int flags) {
  StopMusic();
  gxtkSample* music = LoadSample(path);
  if (!music) return -1;
  PlaySample(music, kMusicChannel, flags);
  return 0;
}

int gxtkAudio::StopMusic() { return StopChannel(kMusicChannel); }
int gxtkAudio::PauseMusic() { return PauseChannel(kMusicChannel); }
int gxtkAudio::ResumeMusic() { return ResumeChannel(kMusicChannel); }
int gxtkAudio::MusicState() { return ChannelState(kMusicChannel); }
int gxtkAudio::SetMusicVolume(float volume) { return SetVolume(kMusicChannel, volume); }
