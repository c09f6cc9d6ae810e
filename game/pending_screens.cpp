// Screens of the play field, the title menu and the pause and game-over
// overlays that are not written yet: each does nothing and returns its neutral
// result. Each definition moves to its own file (play_field.cpp, menu.cpp,
// screens.cpp) as that screen is built, and this file goes away.
#include "game/my_app.h"

int vl_Korvane_MyApp::m_Menu() { return 0; }
int vl_Korvane_MyApp::m_Game() { return 0; }
int vl_Korvane_MyApp::m_InGame() { return 0; }
int vl_Korvane_MyApp::m_PauseMenu() { return 0; }
int vl_Korvane_MyApp::m_GameOver() { return 0; }
int vl_Korvane_MyApp::m_CreditBox() { return 0; }
int vl_Korvane_MyApp::m_LoadMenu() { return 0; }
int vl_Korvane_MyApp::m_LoadGame() { return 0; }
int vl_Korvane_MyApp::m_NewRound() { return 0; }
int vl_Korvane_MyApp::m_Burst(float, float, int) { return 0; }
String vl_Korvane_MyApp::m_MyNth() {
  lp = 0;
  return String();
}
