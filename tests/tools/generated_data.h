// Where the tests find the generated files: the data folder the build wrote,
// or a fresh temporary folder (removed when the test program ends) for a
// second run of the real generator. Reading helpers for the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen_test {

// The data folder written by the build.
std::string generatedData();
// Another run of the generator, into a temporary folder.
std::string generateInto(const std::string& name);
std::vector<uint8_t> readFile(const std::string& path);

// An image read back with stb_image as 8-bit RGBA.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  bool ok() const { return width > 0; }
  uint8_t alpha(int x, int y) const { return rgba[(size_t(y) * width + x) * 4 + 3]; }
};
Image loadImage(const std::string& path);

}  // namespace assetgen_test
