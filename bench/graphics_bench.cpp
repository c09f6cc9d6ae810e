// Renderer benchmarks in a real 640x480 window (run under Xvfb on machines
// without a display; Mesa's llvmpipe then does the drawing on the CPU).
//
//   DrawImage2Quads/0  textured quads per second through vl_graphics_DrawImage2,
//                      as submitted (batched into the vertex array and handed
//                      to OpenGL)
//   DrawImage2Quads/1  the same, waiting for OpenGL to finish drawing them
//   GameFrame          one frame the size of a busy moment of play: 60 gems,
//                      100 spinning fragments of the same sheet and 60 text
//                      glyphs, with the buffer swap; reports draw calls a frame
// Rates are per wall-clock second: llvmpipe draws on threads of its own.
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/graphics.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
constexpr int kQuadsPerIteration = 1024;  // four full batches
constexpr int kGems = 60;
constexpr int kFragments = 100;
constexpr int kGlyphs = 60;

struct Scene {
  GLFWwindow* window = nullptr;
  gxtkGraphics* device = nullptr;
  vl_graphics_Image* gems = nullptr;  // 32x32 frames, handle centred
  vl_graphics_Image* font = nullptr;  // 96 glyphs with gutters
};

// Writes an RGBA PNG with a pattern so that every texel differs.
bool WritePattern(const std::string& file, int width, int height) {
  std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<unsigned char>(i * 37 % 251);
  return stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

Scene* OpenScene() {
  static Scene scene;
  if (scene.device) return &scene;
  if (!glfwInit()) return nullptr;
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  scene.window = glfwCreateWindow(kWindowWidth, kWindowHeight, "graphics bench", nullptr, nullptr);
  if (!scene.window) return nullptr;
  glfwMakeContextCurrent(scene.window);

  const testsupport::TempFolder folder("bench");
  const std::string gemsFile = folder.File("gems.png");
  const std::string fontFile = folder.File("font.png");
  if (!WritePattern(gemsFile, 5 * 32, 32) || !WritePattern(fontFile, 960, 12)) return nullptr;

  gc_assign(vl_graphics_context, (new vl_graphics_GraphicsContext())->g_new());
  scene.device = new gxtkGraphics();
  vl_graphics_SetGraphicsDevice(scene.device);
  scene.gems = vl_graphics_LoadImage2(String(gemsFile.c_str()), 32, 32, 5, vl_graphics_Image::HandleCentre);
  scene.font = vl_graphics_LoadImage(String(fontFile.c_str()), 96, vl_graphics_Image::PadX);
  if (!scene.gems || !scene.font) return nullptr;
  return &scene;
}

void BeginFrame(Scene* scene) {
  scene->device->Validate();
  scene->device->BeginRender();
  vl_graphics_BeginRender();
  vl_graphics_Cls(20, 30, 40);
}

void BM_DrawImage2Quads(benchmark::State& state) {
  Scene* scene = OpenScene();
  if (!scene) {
    state.SkipWithError("no X display or OpenGL context (run under Xvfb)");
    return;
  }
  const bool waitForGl = state.range(0) != 0;
  BeginFrame(scene);
  for (auto _ : state) {
    for (int i = 0; i < kQuadsPerIteration; ++i) {
      const float x = static_cast<float>(i % 20) * 32 + 16;
      const float y = static_cast<float>(i / 20 % 15) * 32 + 16;
      vl_graphics_DrawImage2(scene->gems, x, y, static_cast<float>(i % 360), 1.25f, 1.25f, i % 5);
    }
    scene->device->Flush();
    if (waitForGl) glFinish();
  }
  vl_graphics_EndRender();
  scene->device->EndRender();
  state.SetItemsProcessed(state.iterations() * kQuadsPerIteration);
}
BENCHMARK(BM_DrawImage2Quads)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

void DrawGameFrame(Scene* scene, int frame) {
  BeginFrame(scene);
  for (int i = 0; i < kGems; ++i) {
    const float x = static_cast<float>(i % 10) * 64 + 32;
    const float y = static_cast<float>(i / 10) * 64 + 80;
    vl_graphics_DrawImage2(scene->gems, x, y, 0, 2, 2, i % 5);
  }
  for (int i = 0; i < kFragments; ++i) {
    vl_graphics_SetAlpha(static_cast<float>((i + frame) % 100) / 100.0f);
    const float x = static_cast<float>((i * 53 + frame * 3) % kWindowWidth);
    const float y = static_cast<float>((i * 31 + frame * 5) % kWindowHeight);
    vl_graphics_DrawImage2(scene->gems, x, y, static_cast<float>(i * 7 + frame), 1, 1, i % 5);
  }
  vl_graphics_SetAlpha(1);
  for (int i = 0; i < kGlyphs; ++i) {
    vl_graphics_DrawImage(scene->font, static_cast<float>(10 + (i % 30) * 9), static_cast<float>(10 + i / 30 * 14),
                          i % 96);
  }
  vl_graphics_EndRender();
  scene->device->EndRender();
}

void BM_GameFrame(benchmark::State& state) {
  Scene* scene = OpenScene();
  if (!scene) {
    state.SkipWithError("no X display or OpenGL context (run under Xvfb)");
    return;
  }
  const long callsBefore = graphics_seams::drawCalls;
  int frame = 0;
  for (auto _ : state) DrawGameFrame(scene, frame++);
  glFinish();
  state.counters["draw_calls_per_frame"] =
      static_cast<double>(graphics_seams::drawCalls - callsBefore) / static_cast<double>(state.iterations());
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
