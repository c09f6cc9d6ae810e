// The audio device on OpenAL Soft's null output: channel states as the game
// sees them, suspension, loading through the extension, the deferred
// deletion of buffers of collected samples, and an output that opens only
// after the device has been used (as in the browser, after the first gesture).
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "runtime/gc.h"
#include "tests/host/sound_files.h"
#include "tests/support/null_audio.h"
#include "tests/support/temp_folder.h"

using namespace testsupport;

namespace {

constexpr double kShortSeconds = 0.05;  // ends quickly when played once
constexpr double kLongSeconds = 2.0;    // still playing while a test looks at it

class AudioDevice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TempFolder("audio-device");
    dir = folder->path();
    WriteFile(dir + "/short.wav", MakeWavTone(1, 22050, 16, 440, kShortSeconds));
    WriteFile(dir + "/long.wav", MakeWavTone(1, 22050, 16, 440, kLongSeconds));
    WriteFile(dir + "/stereo8.wav", MakeWavTone(2, 11025, 8, 440, 0.1));
    WriteFile(dir + "/loud.WAV", MakeWavTone(1, 8000, 16, 440, 0.1));
    WriteFile(dir + "/tone.ogg", EncodeOggTone(2, 22050, 660, 0.25));
    RiffBuilder deep;
    deep.fmt(1, 8000, 24).chunk("data", ToneSamples(1, 8000, 8, 440, 0.03));
    WriteFile(dir + "/deep.wav", deep.riffFile());
    WriteFile(dir + "/noext", MakeWavTone(1, 8000, 16, 440, 0.1));
    std::string versioned = dir + "/pack.wav";  // a folder whose name has the extension
    std::filesystem::create_directory(versioned);
    WriteFile(versioned + "/sound", MakeWavTone(1, 8000, 16, 440, 0.1));
  }

  static void TearDownTestSuite() {
    delete folder;
    folder = nullptr;
    CloseTestAudio();
    g_testAudio = nullptr;  // its sources went with the context
  }

  void SetUp() override {
    if (!OpenTestAudio()) GTEST_SKIP() << "OpenAL Soft's null output could not be opened";
    if (!g_testAudio) g_testAudio = new gxtkAudio();
    InstallTestAudioRoot();
    audio = g_testAudio;
    for (int c = 0; c < gxtkAudio::kChannelCount; ++c) {
      audio->StopChannel(c);
      if (audio->channels[c].source) {
        audio->SetVolume(c, 1);
        audio->SetRate(c, 1);
      }
    }
  }

  gxtkSample* load(const std::string& name) { return audio->LoadSample(String((dir + "/" + name).c_str())); }

  static TempFolder* folder;
  static std::string dir;
  gxtkAudio* audio = nullptr;
};

TempFolder* AudioDevice::folder = nullptr;
std::string AudioDevice::dir;

bool onDiscardedList(unsigned name) {
  auto& list = gxtkAudio::discarded;
  return std::find(list.begin(), list.end(), name) != list.end();
}

TEST_F(AudioDevice, SoundThatEndedReadsStoppedAndResetsTheRecord) {
  gxtkSample* s = load("short.wav");
  ASSERT_NE(s, nullptr);
  audio->PlaySample(s, 0, 0);
  EXPECT_EQ(audio->ChannelState(0), 1);
  EXPECT_TRUE(WaitUntil([&] { return audio->ChannelState(0) == 0; }));
  EXPECT_EQ(audio->channels[0].state, 0);
  audio->PauseChannel(0);
  EXPECT_EQ(audio->ChannelState(0), 0) << "pausing a stopped channel does nothing";
}

TEST_F(AudioDevice, PauseOfASoundThatEndedStopsTheChannel) {
  audio->PlaySample(load("short.wav"), 1, 0);
  ALuint source = audio->channels[1].source;
  ASSERT_TRUE(WaitUntil([&] { return SourceState(source) == AL_STOPPED; }));
  EXPECT_EQ(audio->channels[1].state, 1) << "nothing asked yet";
  audio->PauseChannel(1);
  EXPECT_EQ(audio->ChannelState(1), 0);
}

TEST_F(AudioDevice, LoopingSoundStaysPlayingUntilStopped) {
  audio->PlaySample(load("short.wav"), 2, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(int(kShortSeconds * 1000 * 4)));
  EXPECT_EQ(audio->ChannelState(2), 1);
  EXPECT_EQ(SourceState(audio->channels[2].source), AL_PLAYING);
  audio->StopChannel(2);
  EXPECT_EQ(audio->ChannelState(2), 0);
  EXPECT_EQ(SourceState(audio->channels[2].source), AL_STOPPED);
}

TEST_F(AudioDevice, PauseAndResumeFollowTheChannel) {
  audio->PlaySample(load("long.wav"), 3, 0);
  ALuint source = audio->channels[3].source;
  audio->PauseChannel(3);
  EXPECT_EQ(audio->ChannelState(3), 2);
  EXPECT_EQ(SourceState(source), AL_PAUSED);
  audio->PauseChannel(3);
  EXPECT_EQ(audio->ChannelState(3), 2);
  audio->ResumeChannel(3);
  EXPECT_EQ(audio->ChannelState(3), 1);
  EXPECT_EQ(SourceState(source), AL_PLAYING);
  audio->ResumeChannel(3);
  EXPECT_EQ(audio->ChannelState(3), 1);
  audio->StopChannel(3);
  audio->ResumeChannel(3);
  EXPECT_EQ(audio->ChannelState(3), 0) << "a stopped channel does not resume";
}

TEST_F(AudioDevice, ReplayingAChannelReusesItsSourceAndKeepsItsVolume) {
  gxtkSample* first = load("long.wav");
  gxtkSample* second = load("stereo8.wav");
  audio->SetVolume(5, 0.25f);
  audio->SetRate(5, 1.5f);
  audio->SetPan(5, -1);
  ALuint source = audio->channels[5].source;
  audio->PlaySample(first, 5, 0);
  audio->PlaySample(second, 5, 0);
  EXPECT_EQ(audio->channels[5].source, source);
  EXPECT_EQ(audio->channels[5].sample, second);
  ALint buffer = 0;
  alGetSourcei(source, AL_BUFFER, &buffer);
  EXPECT_EQ(ALuint(buffer), second->buffer);
  float gain = 0, pitch = 0, x = 0, y = 0, z = 0;
  alGetSourcef(source, AL_GAIN, &gain);
  alGetSourcef(source, AL_PITCH, &pitch);
  alGetSource3f(source, AL_POSITION, &x, &y, &z);
  EXPECT_EQ(gain, 0.25f);
  EXPECT_EQ(pitch, 1.5f);
  EXPECT_EQ(x, -1.0f);
}

TEST_F(AudioDevice, SuspendPausesOnlyWhatPlayedAndResumeRestartsOnlyThat) {
  audio->PlaySample(load("long.wav"), 6, 0);
  audio->PlaySample(load("long.wav"), 7, 0);
  audio->PauseChannel(7);
  audio->OnSuspend();
  EXPECT_EQ(SourceState(audio->channels[6].source), AL_PAUSED);
  EXPECT_EQ(audio->channels[6].state, 1) << "the record still says playing";
  audio->OnResume();
  EXPECT_EQ(SourceState(audio->channels[6].source), AL_PLAYING);
  EXPECT_EQ(SourceState(audio->channels[7].source), AL_PAUSED);
  EXPECT_EQ(audio->ChannelState(7), 2);
}

TEST_F(AudioDevice, BufferFormatsFollowTheFile) {
  gxtkSample* stereo8 = load("stereo8.wav");
  ASSERT_NE(stereo8, nullptr);
  ALint channels = 0, bits = 0, rate = 0;
  alGetBufferi(stereo8->buffer, AL_CHANNELS, &channels);
  alGetBufferi(stereo8->buffer, AL_BITS, &bits);
  alGetBufferi(stereo8->buffer, AL_FREQUENCY, &rate);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(rate, 11025);

  gxtkSample* ogg = load("tone.ogg");
  ASSERT_NE(ogg, nullptr);
  ALint size = 0;
  alGetBufferi(ogg->buffer, AL_CHANNELS, &channels);
  alGetBufferi(ogg->buffer, AL_BITS, &bits);
  alGetBufferi(ogg->buffer, AL_SIZE, &size);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(size, int(22050 * 0.25) * 2 * 2);
}

TEST_F(AudioDevice, LoadingChoosesTheReaderByExtensionOnly) {
  EXPECT_NE(load("loud.WAV"), nullptr) << "upper-case extension";
  EXPECT_EQ(load("noext"), nullptr);
  EXPECT_EQ(load("pack.wav/sound"), nullptr) << "the point lies in a folder name";
  EXPECT_EQ(load("missing.wav"), nullptr);
  EXPECT_EQ(load("deep.wav"), nullptr) << "24-bit data cannot be played";
  WriteFile(dir + "/wav-as.ogg", MakeWavTone(1, 8000, 16, 440, 0.1));
  EXPECT_EQ(load("wav-as.ogg"), nullptr);
  EXPECT_EQ(SoundFileExtension(String("a.b/c\\d.OgG")), String("ogg"));
  EXPECT_EQ(SoundFileExtension(String("x.v2\\snd")), String());
}

TEST_F(AudioDevice, MusicPlaysOnChannel32AndMissingMusicFails) {
  EXPECT_EQ(audio->PlayMusic(String((dir + "/nothing.ogg").c_str()), 1), -1);
  EXPECT_EQ(audio->PlayMusic(String((dir + "/tone.ogg").c_str()), 1), 0);
  EXPECT_EQ(audio->MusicState(), 1);
  EXPECT_EQ(audio->channels[32].flags, 1);
  audio->PauseMusic();
  EXPECT_EQ(audio->MusicState(), 2);
  audio->ResumeMusic();
  audio->SetMusicVolume(0.5f);
  float gain = 0;
  alGetSourcef(audio->channels[32].source, AL_GAIN, &gain);
  EXPECT_EQ(gain, 0.5f);
  audio->StopMusic();
  EXPECT_EQ(audio->MusicState(), 0);
}

TEST_F(AudioDevice, CollectedSampleKeepsItsBufferUntilItsSourceLetsGo) {
  gxtkSample* once = load("short.wav");
  gxtkSample* looping = load("short.wav");
  gxtkSample* stopped = load("long.wav");
  unsigned onceBuffer = once->buffer, loopingBuffer = looping->buffer;
  unsigned stoppedBuffer = stopped->buffer;
  audio->PlaySample(once, 8, 0);
  audio->PlaySample(looping, 9, 1);
  audio->PlaySample(stopped, 10, 0);
  audio->StopChannel(10);
  ASSERT_TRUE(WaitUntil([&] { return SourceState(audio->channels[8].source) == AL_STOPPED; }));

  // Nothing refers to the three samples any more but the channels.
  CollectEverything();
  EXPECT_TRUE(onDiscardedList(onceBuffer)) << "a finished channel does not keep its sample";
  EXPECT_TRUE(onDiscardedList(stoppedBuffer)) << "nor does a channel stopped by request";
  EXPECT_FALSE(onDiscardedList(loopingBuffer)) << "a playing channel keeps its sample";
  EXPECT_EQ(looping->buffer, loopingBuffer);
  EXPECT_TRUE(alIsBuffer(onceBuffer)) << "deletion waits for the next flush";

  // Playing flushes the list (a load would too, but might reuse a name).
  audio->PlaySample(looping, 9, 1);
  EXPECT_FALSE(alIsBuffer(onceBuffer));
  EXPECT_FALSE(alIsBuffer(stoppedBuffer));
  EXPECT_FALSE(onDiscardedList(onceBuffer));
  EXPECT_FALSE(onDiscardedList(stoppedBuffer));
  EXPECT_TRUE(alIsBuffer(loopingBuffer));
  EXPECT_EQ(SourceState(audio->channels[9].source), AL_PLAYING);

  audio->PlaySample(looping, 8, 0);  // the finished channel plays again
  EXPECT_EQ(audio->ChannelState(8), 1);
}

TEST_F(AudioDevice, DiscardedBufferStillPlayingIsKeptForALaterFlush) {
  gxtkSample* looping = load("short.wav");
  unsigned name = looping->buffer;
  audio->PlaySample(looping, 11, 1);
  looping->Discard();  // the sample gives its buffer up while a source plays it
  EXPECT_EQ(looping->buffer, 0u);
  EXPECT_TRUE(onDiscardedList(name));
  gxtkSample* other = load("short.wav");
  EXPECT_TRUE(onDiscardedList(name)) << "deleting a buffer in use fails and is retried";
  EXPECT_TRUE(alIsBuffer(name));
  audio->StopChannel(11);
  audio->PlaySample(other, 12, 0);
  EXPECT_FALSE(onDiscardedList(name));
  EXPECT_FALSE(alIsBuffer(name));
}

// The device used before its output opens, as the browser host does until
// the player's first gesture: no OpenAL context is current meanwhile.
class WaitingOutput {
 public:
  explicit WaitingOutput(gxtkAudio* audio) : context(alcGetCurrentContext()) {
    audio->AwaitOutput();
    alcMakeContextCurrent(nullptr);
  }
  void Open() { alcMakeContextCurrent(context); }
  ~WaitingOutput() { Open(); }

 private:
  ALCcontext* context;
};

TEST_F(AudioDevice, OutputOpenedLaterGetsTheKeptSoundsAndStartsOnlyLoops) {
  WaitingOutput output(audio);
  gxtkSample* loop = load("short.wav");
  gxtkSample* once = load("long.wav");
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->buffer, 0u);
  EXPECT_NE(loop->waiting, nullptr) << "the decoded sound is kept until the output opens";
  audio->SetVolume(6, 0.5f);
  audio->SetRate(6, 2);
  audio->PlaySample(loop, 6, 1);
  audio->PlaySample(once, 7, 0);

  output.Open();
  audio->OutputOpened();
  EXPECT_NE(loop->buffer, 0u);
  EXPECT_EQ(loop->waiting, nullptr);
  EXPECT_EQ(audio->ChannelState(6), 1);
  const ALuint source = audio->channels[6].source;
  EXPECT_EQ(SourceState(source), AL_PLAYING) << "a looping sound started while waiting plays";
  float gain = 0, pitch = 0;
  alGetSourcef(source, AL_GAIN, &gain);
  alGetSourcef(source, AL_PITCH, &pitch);
  EXPECT_FLOAT_EQ(gain, 0.5f);
  EXPECT_FLOAT_EQ(pitch, 2);
  EXPECT_EQ(audio->ChannelState(7), 0) << "a short sound's moment has passed";
  audio->StopChannel(6);
  audio->SetRate(6, 1);
  audio->SetVolume(6, 1);

  gxtkSample* later = load("short.wav");
  EXPECT_NE(later->buffer, 0u) << "once open, sounds become buffers at once";
}

TEST_F(AudioDevice, OutputThatFailsLetsTheKeptSoundsGo) {
  WaitingOutput output(audio);
  gxtkSample* sample = load("long.wav");
  ASSERT_NE(sample, nullptr);
  audio->OutputFailed();
  EXPECT_EQ(sample->waiting, nullptr);
  EXPECT_EQ(sample->buffer, 0u);
  audio->PlaySample(sample, 8, 1);
  EXPECT_EQ(audio->channels[8].sample, sample) << "the game plays on, silently";
  audio->StopChannel(8);
}

}  // namespace
