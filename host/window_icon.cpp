#include "host/window_icon.h"

#include <vector>

#include "host/image_file.h"
#include "host/window.h"
#include "runtime/string.h"

namespace hostwin {
namespace {

constexpr int kRgba = 4;
constexpr unsigned char kOpaque = 255;
const char* const kIconPaths[] = {"vellum://data/icons/korvane-32.png", "vellum://data/icons/korvane-64.png",
                                  "vellum://data/icons/korvane-128.png"};

// depth channels (1 grey, 2 grey and alpha, 3 RGB, 4 RGBA) to RGBA.
std::vector<unsigned char> toRgba(const unsigned char* pixels, int width, int height, int depth) {
  const size_t count = static_cast<size_t>(width) * height;
  std::vector<unsigned char> rgba(count * kRgba);
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* in = pixels + i * depth;
    unsigned char* out = rgba.data() + i * kRgba;
    const bool colour = depth >= 3;
    out[0] = in[0];
    out[1] = colour ? in[1] : in[0];
    out[2] = colour ? in[2] : in[0];
    out[3] = depth == 2 ? in[1] : depth == 4 ? in[3] : kOpaque;
  }
  return rgba;
}

}  // namespace

int SetWindowIconFromData() {
  std::vector<std::vector<unsigned char>> pixels;
  std::vector<IconImage> images;
  for (const char* path : kIconPaths) {
    int width = 0, height = 0, depth = 0;
    unsigned char* decoded = loadImage(String(path), &width, &height, &depth);
    if (!decoded) continue;
    pixels.push_back(toRgba(decoded, width, height, depth));
    unloadImage(decoded);
    images.push_back({width, height, nullptr});
  }
  // The pixel vectors no longer move once all are read.
  for (size_t i = 0; i < images.size(); ++i) images[i].rgba = pixels[i].data();
  SetIcon(images.data(), static_cast<int>(images.size()));
  return static_cast<int>(images.size());
}

}  // namespace hostwin
