// The game actions (m_PlayKey) against the table a player relies on: every
// key, joystick button, stick direction and pad listed for an action makes it
// active and makes no other action active, in normal mode and in
// arcade-controller mode (where the controller types letters, so letter keys
// do not count). Keys go into the real input device of the windowless game;
// the key codes are written out as numbers so that a slip in the game's named
// table shows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/input.h"
#include "game/my_app.h"
#include "tests/support/windowless_game.h"

namespace {

struct ActionRow {
  int action;
  std::vector<int> keys;        // normal mode
  std::vector<int> arcadeKeys;  // arcade-controller mode
  std::vector<int> pads;
};

const std::vector<ActionRow> kTable = {
    {0, {38, 87, 265}, {38, 265}, {0}},
    {3, {37, 65, 264}, {37, 264}, {3}},
    {5, {39, 68, 266}, {39, 266}, {5}},
    {8, {40, 83, 267}, {40, 267}, {8}},
    {10, {90, 74, 32, 13, 256}, {32, 13, 256}, {10}},
    {11, {88, 75, 17, 257}, {17, 257}, {11}},
    {12, {67, 76, 16, 258}, {16, 258}, {12}},
    {13, {86, 73, 259}, {259}, {13}},
    {99, {27, 46, 8, 263}, {27, 46, 8, 263}, {16, 17}},
};

bool Lists(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

class InputActions : public ::testing::Test {
 protected:
  void SetUp() override {
    g = testsupport::WindowlessGame();
    vl_Korvane_iCadeControls = 0;
    for (int i = 0; i < 20; ++i) g->pads[i] = 0;
  }
  void TearDown() override { vl_Korvane_iCadeControls = 0; }

  // Which actions of the table are active, in table order.
  std::vector<int> Active() {
    std::vector<int> active;
    for (const ActionRow& row : kTable) {
      if (g->m_PlayKey(row.action) != 0) active.push_back(row.action);
    }
    return active;
  }

  // The actions active while `key` alone is held.
  std::vector<int> ActiveWithKey(int key) {
    vl_input_device->OnKeyDown(key);
    std::vector<int> active = Active();
    vl_input_device->OnKeyUp(key);
    return active;
  }

  vl_Korvane_MyApp* g = nullptr;
};

TEST_F(InputActions, EveryListedKeyAndPadActivatesItsActionAlone) {
  ASSERT_TRUE(Active().empty());
  for (const ActionRow& row : kTable) {
    for (int key : row.keys) EXPECT_EQ(ActiveWithKey(key), std::vector<int>{row.action}) << "key " << key;
    for (int pad : row.pads) {
      g->pads[pad] = 2;
      EXPECT_EQ(Active(), std::vector<int>{row.action}) << "pad " << pad;
      g->pads[pad] = 0;
    }
  }
  for (int unlisted : {1, 18, 69, 81, 84, 260, 268}) EXPECT_TRUE(ActiveWithKey(unlisted).empty()) << unlisted;
  g->pads[14] = 2;
  EXPECT_TRUE(Active().empty()) << "pads 14 and 15 feed no action";
  EXPECT_EQ(g->m_PlayKey(14), 0);
}

TEST_F(InputActions, ArcadeModeLeavesLetterKeysToTheController) {
  vl_Korvane_iCadeControls = 1;
  for (const ActionRow& row : kTable) {
    for (int key : row.keys) {
      const std::vector<int> expected = Lists(row.arcadeKeys, key) ? std::vector<int>{row.action} : std::vector<int>{};
      EXPECT_EQ(ActiveWithKey(key), expected) << "key " << key;
    }
  }
  vl_Korvane_iCadeControls = 2;
  g->pads[0] = 2;
  EXPECT_TRUE(ActiveWithKey(38).empty()) << "a switch value other than 0 or 1 turns every action off";
}

TEST_F(InputActions, StickDirectionsCountOnlyBeyondTheThreshold) {
  float* axes = vl_input_device->joyAxes;  // JoyX(0) reads axis 0, JoyY(0) axis 1
  const struct {
    int axis;
    float value;
    std::vector<int> active;
  } cases[] = {
      {1, -0.4f, {}}, {1, -0.41f, {0}}, {1, 0.4f, {}}, {1, 0.41f, {8}},
      {0, -0.4f, {}}, {0, -0.41f, {3}}, {0, 0.4f, {}}, {0, 0.41f, {5}},
  };
  for (const auto& c : cases) {
    axes[c.axis] = c.value;
    EXPECT_EQ(Active(), c.active) << "axis " << c.axis << " at " << c.value;
    axes[c.axis] = 0;
  }
}

}  // namespace
