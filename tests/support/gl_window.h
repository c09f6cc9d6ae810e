// A real GLFW window with a current OpenGL context for renderer tests, plus
// helpers that read pixels back and write test images (into a TempFolder). Needs an X display
// (tests using it carry the `window` label); the test command runs Xvfb.
#pragma once

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace gltest {

struct Rgba {
  int r, g, b, a;
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// Colours read back may differ by one step from the ideal value because of
// the blend unit's rounding. Compares red, green and blue; alpha depends on
// whether the window's visual stores it.
inline bool NearRgb(const Rgba& got, const Rgba& want) {
  return std::abs(got.r - want.r) <= 1 && std::abs(got.g - want.g) <= 1 && std::abs(got.b - want.b) <= 1;
}

// Opens one visible window of kWidth x kHeight pixels for the whole test
// program and keeps its context current. Fixtures derive from this.
class GlWindowTest : public ::testing::Test {
 public:
  static constexpr int kWidth = 200;
  static constexpr int kHeight = 150;

  static void SetUpTestSuite() {
    if (window_) return;
    if (!glfwInit()) return;
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    window_ = glfwCreateWindow(kWidth, kHeight, "graphics test", nullptr, nullptr);
    if (window_) glfwMakeContextCurrent(window_);
  }

 protected:
  void SetUp() override {
    if (!window_) GTEST_SKIP() << "no X display or OpenGL context (run under Xvfb)";
    glfwMakeContextCurrent(window_);
  }

  // The pixel at (x, y), counted from the top-left corner, from the back
  // buffer (what has been drawn and not yet swapped).
  static Rgba PixelAt(int x, int y) {
    unsigned char px[4] = {0, 0, 0, 0};
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window_, &fbWidth, &fbHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, fbHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return Rgba{px[0], px[1], px[2], px[3]};
  }

  static GLFWwindow* window_;
};

inline GLFWwindow* GlWindowTest::window_ = nullptr;

// Writes a PNG of `channels` bytes per pixel; pixel (x, y) gets
// pixel(x, y, channel) for each channel.
template <class PixelFn>
bool WritePng(const std::string& file, int width, int height, int channels, PixelFn pixel) {
  std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int ch = 0; ch < channels; ++ch) {
        bytes[(static_cast<size_t>(y) * width + x) * channels + ch] = static_cast<unsigned char>(pixel(x, y, ch));
      }
    }
  }
  return stbi_write_png(file.c_str(), width, height, channels, bytes.data(), width * channels) != 0;
}

inline void WriteBytes(const std::string& file, const std::vector<unsigned char>& bytes) {
  FILE* out = std::fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

}  // namespace gltest
