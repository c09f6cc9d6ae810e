// A real game for window tests: one per test process, in a window on the test
// display, started through the framework start-up exactly as the program
// starts it, and driven update by update through the host's guarded calls.
// Input goes in through the host's window callbacks and the input device; the
// pointer position is placed in the input device after each poll (the
// display's pointer is shared with whatever else runs on the display).
//
// The game runs in a fresh temporary working folder, so its state file is the
// test's own. The folder's "data" entry links to the build's generated data
// folder while data is wanted (LinkData) and is absent otherwise.
#pragma once

#include <string>

#include "game/my_app.h"

namespace gametest {

// Starts the game on first use (window 640x480, data linked, create and the
// first render done) and returns it.
vl_Korvane_MyApp* Game();

// One update followed by one render, as the host loop does when it keeps up.
void Step();
// Updates only (no render in between).
void Update();
void Render();

// Resizes the window and waits until the graphics device sees the new size.
void Resize(int width, int height);

// Pointer position in window pixels, as the input device reports it from the
// next update on, and the left button through the host's mouse-button
// callback (held until released).
void MovePointer(int x, int y);
void PressLeft();
void ReleaseLeft();
// A framework key code through the input device.
void PressKey(int code);
void ReleaseKey(int code);

// Whether the generated data folder is reachable as "data"; false when the
// build has no data folder.
bool LinkData(bool present);

std::string WorkFolder();
std::string ReadStateFile();
void WriteStateFile(const std::string& text);
void RemoveStateFile();

// Renders one frame as the host does and keeps a copy of it, read back from
// the frame buffer just before it is presented.
void RenderAndCapture();
// Writes the captured frame as a PNG file; returns false on failure.
bool SaveFrame(const std::string& path, int* width = nullptr, int* height = nullptr);
// Colour of one pixel of the captured frame (top-left origin), as 0xRRGGBB.
unsigned FramePixel(int x, int y);

// Folder for pictures the tests leave behind for people to look at.
std::string OutputFolder();

}  // namespace gametest
