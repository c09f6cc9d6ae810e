// korvane-icon: cuts the desktop icon out of the generated gem sheets. The
// icon is the first gem at each of the three native sizes the generator draws
// (32, 64 and 128 pixels), so every size is drawn, never scaled; the scalable
// icon is the same gem drawn as SVG shapes by the generator's gem code.
//
// Usage: korvane-icon DATA_FOLDER OUT_FOLDER
// writes OUT_FOLDER/<n>x<n>/apps/korvane.png, the hicolor theme layout, and
// the same pictures as DATA_FOLDER/icons/korvane-<n>.png, where the game
// reads its window's icon, and OUT_FOLDER/scalable/apps/korvane.svg.
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "tools/assetgen/gem.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Sheet {
  const char* file;
  int frame;  // pixels, square
};
constexpr Sheet kSheets[] = {{"gems.png", 32}, {"gems-hd.png", 64}, {"gems-hd2.png", 128}};
constexpr int kChannels = 4;
// The scalable icon at the largest sheet's frame size and gem radius, so that
// it matches the 128-pixel picture.
constexpr float kSvgSize = 128;
constexpr float kSvgGemRadius = 14.6f * 4;
constexpr int kIconGemKind = 1;

bool cutFirstFrame(const std::filesystem::path& in, int size, const std::filesystem::path& out) {
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = stbi_load(in.c_str(), &width, &height, &channels, kChannels);
  if (pixels == nullptr || width < size || height < size) {
    stbi_image_free(pixels);
    return false;
  }
  std::vector<unsigned char> frame(static_cast<size_t>(size) * size * kChannels);
  for (int y = 0; y < size; ++y) {
    const unsigned char* row = pixels + static_cast<size_t>(y) * width * kChannels;
    std::copy(row, row + size * kChannels, frame.begin() + static_cast<long>(y) * size * kChannels);
  }
  stbi_image_free(pixels);
  std::filesystem::create_directories(out.parent_path());
  return stbi_write_png(out.c_str(), size, size, kChannels, frame.data(), size * kChannels) != 0;
}

bool writeSvg(const std::filesystem::path& out) {
  std::filesystem::create_directories(out.parent_path());
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file << assetgen::gemSvg(kIconGemKind, kSvgSize, kSvgGemRadius);
  return bool(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvane-icon DATA_FOLDER OUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path data = argv[1], out = argv[2];
  for (const Sheet& sheet : kSheets) {
    const std::string size = std::to_string(sheet.frame);
    for (const auto& target :
         {out / (size + "x" + size) / "apps" / "korvane.png", data / "icons" / ("korvane-" + size + ".png")}) {
      if (!cutFirstFrame(data / sheet.file, sheet.frame, target)) {
        std::fprintf(stderr, "korvane-icon: could not make %s from %s\n", target.c_str(), sheet.file);
        return 1;
      }
    }
  }
  const auto svg = out / "scalable" / "apps" / "korvane.svg";
  if (!writeSvg(svg)) {
    std::fprintf(stderr, "korvane-icon: could not write %s\n", svg.c_str());
    return 1;
  }
  return 0;
}
