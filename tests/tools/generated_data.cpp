#include "tests/tools/generated_data.h"

#include <stb/stb_image.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace assetgen_test {

namespace {

namespace fs = std::filesystem;

// Folders made by this process, removed at exit.
const testsupport::TempFolder& tempRoot() {
  static const testsupport::TempFolder root("assetgen-test");
  return root;
}

}  // namespace

std::string generateInto(const std::string& name) {
  fs::path dir = fs::path(tempRoot().path()) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string command = std::string("\"") + KORVANE_ASSETGEN + "\" --out \"" + dir.string() + "\"";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("generator failed: " + command);
  return dir.string();
}

std::string generatedData() { return KORVANE_DATA_DIR; }

std::vector<uint8_t> readFile(const std::string& path) { return testsupport::FileContents(path); }

Image loadImage(const std::string& path) {
  Image img;
  int channels = 0;
  unsigned char* data = stbi_load(path.c_str(), &img.width, &img.height, &channels, 4);
  if (!data) {
    img.width = img.height = 0;
    return img;
  }
  img.rgba.assign(data, data + size_t(img.width) * img.height * 4);
  stbi_image_free(data);
  return img;
}

}  // namespace assetgen_test
