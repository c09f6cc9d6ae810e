// The game object's `mode`: which screen each update runs (dispatchMode in
// game/my_app.cpp). The modes are also compared by order: modes above
// kModeWaitStart show the on-screen pad, and from kModePlaying on a game is in
// progress. Mode 0 is the object before m_OnCreate.
#pragma once

namespace korvane {

constexpr int kModeMenu = 1;        // the title menu
constexpr int kModeBackToMenu = 2;  // the menu rebuilt after a game (m_LoadMenu), then kModeMenu
constexpr int kModeWaitStart = 5;   // the click-to-start screen (m_WaitStart)
constexpr int kModePlaying = 10;    // a game in progress
constexpr int kModeNewGame = 11;    // a new game being set up (m_LoadGame), then kModePlaying

}  // namespace korvane
