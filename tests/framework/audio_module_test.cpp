// The audio module on OpenAL Soft's null output: sounds are found under the
// data folder by their plain names and play on the device's channels.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/audio.h"
#include "tests/host/sound_files.h"
#include "tests/support/null_audio.h"
#include "tests/support/temp_folder.h"

using namespace testsupport;

namespace {

class AudioModule : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OpenTestAudio()) GTEST_SKIP() << "OpenAL Soft's null output could not be opened";
    folder = std::make_unique<WorkingFolder>("audio-module");
    std::filesystem::create_directories("data/sfx");
    WriteFile("data/sfx/001.wav", MakeWavTone(1, 22050, 16, 440, 1.0));
    if (!g_testAudio) g_testAudio = new gxtkAudio();
    vl_audio_SetAudioDevice(g_testAudio);
  }
  std::unique_ptr<WorkingFolder> folder;
};

TEST_F(AudioModule, PlainNameLoadsFromTheDataFolderAndPlays) {
  vl_audio_Sound* sound = vl_audio_LoadSound(String("sfx/001.wav"));
  ASSERT_NE(sound, nullptr);
  ASSERT_NE(sound->sample, nullptr);
  EXPECT_EQ(vl_audio_PlaySound(sound, 4, 0), 0);
  EXPECT_EQ(vl_audio_device->ChannelState(4), 1);
  vl_audio_SetChannelVolume(4, 0.5f);
  vl_audio_SetChannelRate(4, 2);
  vl_audio_SetChannelPan(4, 1);
  float gain = 0, pitch = 0, x = 0, y = 0, z = 0;
  ALuint source = vl_audio_device->channels[4].source;
  alGetSourcef(source, AL_GAIN, &gain);
  alGetSourcef(source, AL_PITCH, &pitch);
  alGetSource3f(source, AL_POSITION, &x, &y, &z);
  EXPECT_EQ(gain, 0.5f);
  EXPECT_EQ(pitch, 2.0f);
  EXPECT_EQ(x, 1.0f);
  vl_audio_StopChannel(4);
  EXPECT_EQ(vl_audio_device->ChannelState(4), 0);
}

TEST_F(AudioModule, MissingFileGivesNoSoundAndAnEmptySoundPlaysNothing) {
  EXPECT_EQ(vl_audio_LoadSound(String("sfx/002.wav")), nullptr);
  EXPECT_EQ(vl_audio_LoadSound(String("sfx/001.mp3")), nullptr);
  vl_audio_Sound* empty = (new vl_audio_Sound())->g_new2();
  EXPECT_EQ(empty->sample, nullptr);
  EXPECT_EQ(vl_audio_PlaySound(empty, 6, 1), 0);
  EXPECT_EQ(vl_audio_device->ChannelState(6), 0);
  EXPECT_EQ(vl_audio_device->channels[6].source, 0u) << "the device was not touched";
}

}  // namespace
