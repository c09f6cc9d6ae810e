#include "tools/assetgen/catalogue.h"

#include <stb/stb_image_write.h>

#include <algorithm>

namespace assetgen {

Fonts::Fonts(const std::string& dir)
    : sansBold(dir + "/DejaVuSans-Bold.ttf"), monoBold(dir + "/DejaVuSansMono-Bold.ttf") {}

const std::vector<ImageSheet>& imageSheets() {
  static const std::vector<ImageSheet> sheets = {
      {"common/icons", 32, 32, 16, drawIconFrame},
      {"common/Buttons", 64, 64, 16, drawButtonFrame},
      {"common/dpad", 32, 32, 16, drawPadFrame},
      {"common/icade", 64, 64, 2, drawArcadeFrame},
      {"common/ZEVOLogo", 256, 256, 1, drawStudioFrame},
      {"fonts/editundo", 16, 16, 128, drawGameFontFrame},
      {"menu", 256, 256, 4, drawMenuFrame},
      {"logo", 256, 128, 1, drawLogoFrame},
      {"parts", 8, 8, 16, drawPartFrame},
      {"BadgesA", 64, 64, 64, drawBadgeFrame},
      {"gems", 32, 32, 16, drawGemFrame},
  };
  return sheets;
}

int sheetColumns(const ImageSheet& s) {
  int fit = kMaxSheetPixels / (s.frameWidth * kLevels[2]);
  return std::max(1, std::min(s.frames, fit));
}

int sheetRows(const ImageSheet& s) {
  int cols = sheetColumns(s);
  return (s.frames + cols - 1) / cols;
}

std::string sheetFileName(const ImageSheet& s, int level) {
  const char* suffix = level == 4 ? "-hd2" : level == 2 ? "-hd" : "";
  return s.name + suffix + ".png";
}

Canvas renderSheet(const ImageSheet& s, int level, const Fonts& fonts) {
  int cols = sheetColumns(s);
  Canvas sheet(float(cols * s.frameWidth), float(sheetRows(s) * s.frameHeight), level);
  for (int f = 0; f < s.frames; ++f) {
    Canvas frame(float(s.frameWidth), float(s.frameHeight), level);
    s.draw(frame, f, fonts);
    sheet.paste(frame, (f % cols) * s.frameWidth * level, (f / cols) * s.frameHeight * level);
  }
  return sheet;
}

std::vector<uint8_t> encodePng(const Canvas& c) { return encodeRgbaPng(c.width(), c.height(), c.toRgba8()); }

std::vector<uint8_t> encodeRgbaPng(int width, int height, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> out;
  auto sink = [](void* context, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(context);
    auto* bytes = static_cast<uint8_t*>(data);
    v->insert(v->end(), bytes, bytes + size);
  };
  stbi_write_png_to_func(sink, &out, width, height, 4, rgba.data(), width * 4);
  return out;
}

}  // namespace assetgen
