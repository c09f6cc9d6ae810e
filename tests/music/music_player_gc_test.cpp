// The player as a collected object: everything it holds (its sixteen arrays,
// the sounds in its kits, its song image) survives full collections while
// the player is reachable, and goes when it is not.
#include <gtest/gtest.h>

#include "tests/music/music_test_support.h"

namespace {

// Objects that count their own finalisations.
int finalised = 0;
template <class Base>
class Counted : public Base {
 public:
  ~Counted() override { ++finalised; }
};

// The application holding the player, as the game holds its own.
class Holder : public vl_app_App {
 public:
  vl_KXTrackr_KXPlayer* player = nullptr;
  void mark() override { gc_enqueue(player); }
};

void MarkRoots() {
  gc_enqueue(vl_app_device);
  gc_enqueue(vl_audio_device);
  gc_enqueue(vl_graphics_device);
  gc_enqueue(vl_graphics_context);
}

void FullCollection() {
  gc_force_sweep = 1;
  gc_collect();
}

TEST(MusicPlayerCollectorTest, ReachablePlayerKeepsEverythingItHoldsThroughFullCollections) {
  musictest::TestClockDevice* clock = nullptr;
  musictest::RecordingAudio* audio = nullptr;
  musictest::InstallFramework(clock, audio);
  Holder* holder = new Holder();
  gc_assign(clock->app, static_cast<vl_app_App*>(holder));
  gc_root_marker = MarkRoots;
  gc_mark();

  vl_KXTrackr_KXPlayer* player = musictest::NewPlayer();
  gc_assign(holder->player, player);
  // Held only by the player: its kits, its instruments and its song image.
  vl_audio_Sound* drum = (new Counted<vl_audio_Sound>())->g_new(new gxtkSample());
  gc_assign(player->kitA[3], drum);
  gc_assign(player->kitB[8], (new Counted<vl_audio_Sound>())->g_new(new gxtkSample()));
  gc_assign(player->instruments[4], (new Counted<vl_audio_Sound>())->g_new(new gxtkSample()));
  gc_assign(player->songImage, static_cast<vl_graphics_Image*>(new Counted<vl_graphics_Image>()));
  musictest::SetCell(player, 62, 4, 63, 31, 30, 4, 7);
  player->voiceRate[4] = 1.5f;
  player->chordQueue = String(" qqjj");
  player->songFile = String("song.png");
  new Counted<Object>();  // garbage from the start

  finalised = 0;
  for (int i = 0; i < 3; ++i) FullCollection();
  EXPECT_EQ(finalised, 1) << "only the garbage object may go";

  // Every array and sound is still there and intact (AddressSanitizer
  // builds would also report any freed block read here).
  EXPECT_EQ(player->kitA[3], drum);
  EXPECT_NE(player->kitA[3]->sample, nullptr);
  EXPECT_NE(player->instruments[4], nullptr);
  EXPECT_EQ(player->songData[vl_KXTrackr_KXPlayer::CellIndex(62, 4, 63) + 3], 7);
  EXPECT_EQ(player->voiceRate[4], 1.5f);
  EXPECT_EQ(player->initParams[4], 4);
  EXPECT_TRUE(player->chordQueue == String(" qqjj"));

  // The player still plays: a row sets channel 27 (the bass) from its cell.
  player->playState = vl_KXTrackr_KXPlayer::kPlaying;
  player->patternPos[4] = 62;
  player->row = 63;
  player->nextTime = clock->now - 1;
  player->m_KX_MusicPlay();
  EXPECT_EQ(audio->Of(musictest::AudioCall::kRate, 27).size(), 2u);  // note, then slide
  EXPECT_EQ(player->row, 0);

  // Once nothing holds the player, its arrays go with it.
  const int allocatedWithPlayer = gc_alloced_bytes;
  gc_assign(holder->player, static_cast<vl_KXTrackr_KXPlayer*>(nullptr));
  for (int i = 0; i < 3; ++i) FullCollection();
  EXPECT_EQ(finalised, 5);
  EXPECT_LT(gc_alloced_bytes, allocatedWithPlayer - 262145 * 4);
  gc_root_marker = nullptr;
}

}  // namespace
