// The reference for the game's process CPU: a minimal GLFW 3 program that
// does what the host loop does at 60 updates per second, with nothing else:
// a 640x480 window, no swap interval requested, a real sleep until the next
// period, events polled, then one frame cleared and drawn with about the
// game's play-screen load (60 gem quads, 100 fragment quads and 60 glyph
// quads from one 256x256 texture, through client vertex arrays) and swapped.
//
// Usage: minimal_glfw_frame SECONDS   (needs an X display)
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr double kPeriod = 1.0 / 60;  // seconds
constexpr int kQuads = 60 + 100 + 60;
constexpr int kTextureSize = 256;

struct Vertex {
  float x, y, u, v;
  unsigned colour;
};

void UploadTexture() {
  std::vector<unsigned> pixels(kTextureSize * kTextureSize);
  for (int i = 0; i < kTextureSize * kTextureSize; ++i) pixels[i] = 0xff000000u | (i * 2654435761u >> 8);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kTextureSize, kTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

void DrawFrame(int width, int height, int frame) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.4f, 0.6f, 0.9f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  std::vector<Vertex> quads;
  quads.reserve(kQuads * 4);
  for (int q = 0; q < kQuads; ++q) {
    const float size = q < 60 ? 60 : q < 160 ? 16 : 10;
    const float x = static_cast<float>((q * 37 + frame) % 600), y = static_cast<float>((q * 53) % 440);
    quads.push_back({x, y, 0, 0, 0xffffffffu});
    quads.push_back({x + size, y, 0.25f, 0, 0xffffffffu});
    quads.push_back({x + size, y + size, 0.25f, 0.25f, 0xffffffffu});
    quads.push_back({x, y + size, 0, 0.25f, 0xffffffffu});
  }
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &quads[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &quads[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &quads[0].colour);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  if (!glfwInit()) return 1;
  GLFWwindow* window = glfwCreateWindow(640, 480, "minimal", nullptr, nullptr);
  if (window == nullptr) return 1;
  glfwMakeContextCurrent(window);
  UploadTexture();
  double next = glfwGetTime() + kPeriod;
  for (int frame = 0; glfwGetTime() < seconds && !glfwWindowShouldClose(window); ++frame) {
    const double now = glfwGetTime();
    if (now < next) {
      std::this_thread::sleep_for(std::chrono::duration<double>(next - now));
      continue;
    }
    next += kPeriod;
    glfwPollEvents();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    DrawFrame(width, height, frame);
    glfwSwapBuffers(window);
  }
  glfwTerminate();
  return 0;
}
