#include "tests/support/game_harness.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "framework/app.h"
#include "framework/input.h"
#include "framework/std_main.h"
#include "host/app.h"
#include "host/graphics_device.h"
#include "host/input_device.h"
#include "host/window.h"
#include "runtime/gc.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace gametest {
namespace {

constexpr int kStartWidth = 640;
constexpr int kStartHeight = 480;
constexpr int kResizeTries = 1000;  // polls of 10 ms: a busy display can take seconds
constexpr int kOpenAttempts = 3;
constexpr int kOpenRetryMicroseconds = 200000;

// The working folder lives until the process ends; its "data" entry is only a
// link, which goes without touching the build's data.
testsupport::WorkingFolder& Folder() {
  static testsupport::WorkingFolder folder("game-test");
  return folder;
}
std::string workFolder;
vl_Korvane_MyApp* game = nullptr;
// Pointer position that the input device reports, in window pixels. The
// display's own pointer is shared by every test running on it, so the game
// reads the pointer the test placed instead of the display's.
int pointerX = 0, pointerY = 0;

// The host's input device, except that the pointer (and the touch that
// follows it) is where the test placed it.
class PlacedPointerInput : public gxtkInput {
 public:
  float MouseX() override { return static_cast<float>(pointerX); }
  float MouseY() override { return static_cast<float>(pointerY); }
  float TouchX(int) override { return MouseX(); }
  float TouchY(int) override { return MouseY(); }
};

// Replaces the host's input device before any update has used it.
void PlacePointerInput() {
  gxtkInput* placed = new PlacedPointerInput();
  gc_assign(app->input, placed);
  gc_assign(vl_input_device, placed);
}

void StartGame() {
  workFolder = Folder().path();
  LinkData(true);
  // A display busy with other test programs occasionally refuses a first
  // connection; a person would simply try again.
  bool opened = false;
  for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
    if (attempt > 0) usleep(kOpenRetryMicroseconds);
    opened = hostwin::Init() && hostwin::Open(kStartWidth, kStartHeight);
    if (!opened) hostwin::Terminate();
  }
  if (!opened) {
    std::fprintf(stderr, "cannot open a window (is DISPLAY set?)\n");
    std::abort();
  }
  static const char* args[] = {"korvane-test", nullptr};
  vl_std_main(1, args);
  game = static_cast<vl_Korvane_MyApp*>(vl_app_device->app);
  PlacePointerInput();
  app->InvokeOnCreate();
  app->InvokeOnRender();
}

// The last captured frame, RGB, top row first.
std::vector<unsigned char> frame;
int frameWidth = 0, frameHeight = 0;

}  // namespace

vl_Korvane_MyApp* Game() {
  if (game == nullptr) StartGame();
  return game;
}

void Update() {
  Game();
  app->InvokeOnUpdate();
}

void Render() {
  Game();
  app->InvokeOnRender();
}

void Step() {
  Update();
  Render();
}

void Resize(int width, int height) {
  Game();
  glfwSetWindowSize(hostwin::Handle(), width, height);
  for (int i = 0; i < kResizeTries; ++i) {
    hostwin::PollEvents();
    int w = 0, h = 0;
    hostwin::GetSize(&w, &h);
    if (w == width && h == height) return;
    usleep(10000);
  }
  std::fprintf(stderr, "the window did not take the size %dx%d\n", width, height);
}

void MovePointer(int x, int y) {
  pointerX = x;
  pointerY = y;
}

void PressLeft() {
  Game();
  OnMouseButton(0, 1);
}

void ReleaseLeft() {
  Game();
  OnMouseButton(0, 0);
}

void PressKey(int code) {
  Game();
  app->input->OnKeyDown(code);
}

void ReleaseKey(int code) {
  Game();
  app->input->OnKeyUp(code);
}

bool LinkData(bool present) {
  const fs::path link = fs::path(workFolder) / "data";
  std::error_code ignored;
  fs::remove(link, ignored);
  if (!present) return true;
  const fs::path data = KORVANE_BUILD_DATA_DIR;
  if (!fs::is_directory(data)) return false;
  fs::create_directory_symlink(data, link, ignored);
  return !ignored;
}

std::string WorkFolder() { return workFolder; }

std::string ReadStateFile() {
  std::ifstream in(fs::path(workFolder) / ".vellumstate", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteStateFile(const std::string& text) {
  std::ofstream out(fs::path(workFolder) / ".vellumstate", std::ios::binary | std::ios::trunc);
  out << text;
}

void RemoveStateFile() {
  std::error_code ignored;
  fs::remove(fs::path(workFolder) / ".vellumstate", ignored);
}

void RenderAndCapture() {
  Game();
  if (!app->graphics->Validate()) return;
  app->graphics->BeginRender();
  app->OnRender();
  app->graphics->Flush();
  int w = 0, h = 0;
  hostwin::GetSize(&w, &h);
  std::vector<unsigned char> rows(static_cast<size_t>(w) * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
  app->graphics->EndRender();
  frame.assign(rows.size(), 0);
  const size_t stride = static_cast<size_t>(w) * 3;
  for (int y = 0; y < h; ++y) {
    std::copy_n(&rows[static_cast<size_t>(h - 1 - y) * stride], stride, &frame[static_cast<size_t>(y) * stride]);
  }
  frameWidth = w;
  frameHeight = h;
}

bool SaveFrame(const std::string& path, int* width, int* height) {
  if (width) *width = frameWidth;
  if (height) *height = frameHeight;
  if (frame.empty()) return false;
  return stbi_write_png(path.c_str(), frameWidth, frameHeight, 3, frame.data(), frameWidth * 3) != 0;
}

unsigned FramePixel(int x, int y) {
  if (x < 0 || y < 0 || x >= frameWidth || y >= frameHeight) return 0;
  const unsigned char* p = &frame[(static_cast<size_t>(y) * frameWidth + x) * 3];
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2];
}

std::string OutputFolder() {
  const fs::path folder = fs::path(KORVANE_TEST_OUTPUT_DIR) / "game";
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  return folder.string();
}

}  // namespace gametest
