// The game actions that m_PlayKey answers for (game/input_actions.cpp): each
// is a set of keys, a joystick direction and virtual pads (the `pads` field),
// so that screens ask for "up" or "back" instead of testing keys themselves.
//
// A pad is numbered like the action it feeds (pad 0 up, ..., pads 10-17 the
// buttons); "back" is fed by pads 16 and 17. Actions without an entry, and
// any action while the arcade-controller switch holds a value other than 0 or
// 1, report 0.
#pragma once

namespace korvane {

constexpr int kActionUp = 0;
constexpr int kActionLeft = 3;
constexpr int kActionRight = 5;
constexpr int kActionDown = 8;
constexpr int kActionFirstButton = 10;
constexpr int kActionLastButton = 17;  // buttons 14-17 have pads only
constexpr int kActionBack = 99;

constexpr int kPadCount = 20;  // virtual pads: 0 up, 1 pressed for one update, 2 held

}  // namespace korvane
