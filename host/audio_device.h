// The audio device: 33 OpenAL sources as channels and sounds loaded whole
// into OpenAL buffers.
//
// Channels 0-31 are the application's, 32 is the music channel. A channel's
// source is generated on first use and kept. Each channel records the sample
// last started on it and its state (0 stopped, 1 playing, 2 paused); a
// non-looping sound that ended is seen as stopped the next time the channel
// is asked. gxtkSample owns one OpenAL buffer. A collected sample cannot
// delete its buffer at once, since a source may still hold it: the name goes
// on the discarded list, which is flushed before every PlaySample and
// LoadSample. While a channel plays, mark() keeps its sample alive.
//
// In the browser the output opens only after the player's first click, key or
// touch (a page may not start sound before): until then the device waits for
// it, keeping each loaded sound decoded and playing nothing, while channels
// keep their settings and what was started on them. Once the output opens,
// the kept sounds become buffers and looping sounds that should be playing
// start; if it cannot open, the kept sounds are let go and the game is silent.
//
// Sounds are WAV (integer PCM) or Ogg Vorbis, chosen by the path's extension
// and opened through fopenFile. Depends on runtime/ (collector, strings),
// host/sound_decoder.h and OpenAL; main thread only. Callers pass channel
// numbers 0-32; the device does not check them.
#pragma once

#include <memory>
#include <vector>

#include "host/object.h"
#include "runtime/string.h"

struct DecodedSound;

class gxtkSample : public gxtkObject {
 public:
  unsigned int buffer;  // OpenAL buffer name, 0 when the sample holds none
  // The decoded sound while the device waits for its output, else null.
  std::unique_ptr<DecodedSound> waiting;

  gxtkSample();
  explicit gxtkSample(unsigned int buffer);
  ~gxtkSample() override;

  void SetBuffer(unsigned int name);
  virtual int Discard();
};

struct gxtkChannel {
  unsigned int source = 0;
  gxtkSample* sample = nullptr;
  int flags = 0;
  int state = 0;
  // As last set, so that they can be given to a source made later.
  float volume = 1;
  float pan = 0;
  float rate = 1;

  unsigned int AL_Source();
};

class gxtkAudio : public gxtkObject {
 public:
  static constexpr int kChannelCount = 33;
  static constexpr int kMusicChannel = 32;

  // Buffer names of collected samples that still wait for deletion.
  static std::vector<unsigned int> discarded;

  gxtkChannel channels[kChannelCount];

  gxtkAudio();

  virtual gxtkSample* LoadSample__UNSAFE__(gxtkSample* sample, String path);
  virtual gxtkSample* LoadSample(String path);
  virtual int PlaySample(gxtkSample* sample, int channel, int flags);
  virtual int StopChannel(int channel);
  virtual int PauseChannel(int channel);
  virtual int ResumeChannel(int channel);
  virtual int ChannelState(int channel);
  virtual int SetVolume(int channel, float volume);
  virtual int SetPan(int channel, float pan);
  virtual int SetRate(int channel, float rate);
  virtual int PlayMusic(String path, int flags);
  virtual int StopMusic();
  virtual int PauseMusic();
  virtual int ResumeMusic();
  virtual int MusicState();
  virtual int SetMusicVolume(float volume);
  void mark() override;

  void OnSuspend();
  void OnResume();

  // The output opens later (see above): from now until OutputOpened or
  // OutputFailed the device waits for it.
  void AwaitOutput();
  void OutputOpened();
  void OutputFailed();

 private:
  bool awaitingOutput = false;

  void FlushDiscarded();
  void ApplySettings(gxtkChannel& chan);
};

// The lower-cased text after the path's last ".", or the empty text when
// there is no "." or a "/" or "\" follows it.
String SoundFileExtension(String path);
