// Damaged sound files through the real audio device on OpenAL Soft's null
// output: every prefix of a WAV and an Ogg Vorbis file (cut short at each of
// many points) and copies with bytes overwritten, loaded as samples, played
// on a channel and played as music. Each either loads and plays or gives no
// sound; none may crash, hang or upload a buffer that does not match.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/host/sound_files.h"
#include "tests/support/null_audio.h"
#include "tests/support/temp_folder.h"

using namespace testsupport;

namespace {

constexpr int kCutPoints = 160;  // prefixes tried per file

class DamagedSounds : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OpenTestAudio()) GTEST_SKIP() << "OpenAL Soft's null output could not be opened";
    if (!g_testAudio) g_testAudio = new gxtkAudio();
    InstallTestAudioRoot();
    folder = std::make_unique<TempFolder>("sound-fault");
    dir = folder->path();
  }

  static void TearDownTestSuite() {
    CloseTestAudio();
    g_testAudio = nullptr;
  }

  // Loads, plays and stops one damaged file; returns whether it loaded.
  bool Exercise(const Bytes& bytes, const char* extension) {
    const std::string path = dir + "/sound." + extension;
    WriteFile(path, bytes);
    gxtkAudio* audio = g_testAudio;
    gxtkSample* sample = audio->LoadSample(String(path.c_str()));
    if (sample != nullptr) {
      audio->PlaySample(sample, 0, 0);
      audio->StopChannel(0);
    }
    audio->PlayMusic(String(path.c_str()), 0);
    audio->StopMusic();
    CollectEverything();  // finalises the sample: its buffer goes back through the discarded list
    return sample != nullptr;
  }

  void Sweep(const Bytes& whole, const char* extension) {
    ASSERT_TRUE(Exercise(whole, extension)) << "the undamaged file must load";
    int loaded = 0;
    for (int k = 0; k < kCutPoints; ++k) {
      const size_t cut = whole.size() * k / kCutPoints;
      loaded += Exercise(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)), extension) ? 1 : 0;
    }
    for (size_t step = 3; step < 40; step += 9) {
      Bytes damaged = whole;
      for (size_t i = step; i < damaged.size(); i += step * 11) damaged[i] ^= 0xa5;
      loaded += Exercise(damaged, extension) ? 1 : 0;
    }
    RecordProperty("loaded", loaded);
  }

  std::unique_ptr<TempFolder> folder;
  std::string dir;
};

TEST_F(DamagedSounds, CutOrOverwrittenWavFilesLoadOrFailButNeverCrash) {
  Sweep(MakeWavTone(2, 22050, 16, 440, 0.2), "wav");
}

TEST_F(DamagedSounds, CutOrOverwrittenOggFilesLoadOrFailButNeverCrash) {
  Sweep(EncodeOggTone(2, 22050, 660, 0.5), "ogg");
}

}  // namespace
