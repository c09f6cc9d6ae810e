// korvane-assetgen: writes the game's data folder (every image sheet in three
// resolutions, the default font, the sound effects, the song and its instruments) or a contact sheet of
// all pictures for review. Output is the same, byte for byte, on every run.
//   korvane-assetgen [--fonts DIR] --out DATA_DIR
//   korvane-assetgen [--fonts DIR] --contact-sheet FILE.png
#include <stb/stb_image_write.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/contact_sheet.h"
#include "tools/assetgen/music.h"

#ifndef KORVANE_ASSET_FONT_DIR
#define KORVANE_ASSET_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace {

namespace fs = std::filesystem;
using assetgen::Fonts;

const char kUsage[] =
    "usage: korvane-assetgen [--fonts DIR] --out DATA_DIR\n"
    "       korvane-assetgen [--fonts DIR] --contact-sheet FILE.png\n";
const char kFontsMissing[] =
    "korvane-assetgen: cannot read the DejaVu fonts in %s (Debian package fonts-dejavu-core)\n";
const char kWriteFailed[] = "korvane-assetgen: cannot write %s\n";
// Worker threads: the build machines have two cores.
constexpr unsigned kMaxThreads = 2;
// PNG deflate effort: the library default; higher levels cost time for a few percent.
constexpr int kPngCompression = 8;

struct Job {
  std::string path;  // relative to the data folder
  std::function<std::vector<uint8_t>()> make;
};

bool writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

std::vector<Job> dataJobs(const Fonts& fonts) {
  std::vector<Job> jobs;
  // Largest pictures first so that the two workers finish together.
  for (int li = 2; li >= 0; --li) {
    int level = assetgen::kLevels[li];
    for (const auto& sheet : assetgen::imageSheets())
      jobs.push_back({assetgen::sheetFileName(sheet, level), [&sheet, level, &fonts] {
                        return assetgen::encodePng(assetgen::renderSheet(sheet, level, fonts));
                      }});
  }
  jobs.push_back({"kiri_font.png", [&fonts] { return assetgen::encodePng(assetgen::renderDefaultFont(fonts)); }});
  for (const auto& sound : assetgen::soundEffects())
    jobs.push_back({sound.file, [&sound] { return assetgen::encodeWav(sound.synth()); }});
  for (const auto& sample : assetgen::instrumentSamples())
    jobs.push_back({sample.file, [&sample] { return assetgen::encodeWav(sample.synth()); }});
  jobs.push_back({assetgen::kSongFile, [] {
                    return assetgen::encodeRgbaPng(assetgen::kSongImageSide, assetgen::kSongImageSide,
                                                   assetgen::songImageRgba(assetgen::composeSong()));
                  }});
  return jobs;
}

// Runs the jobs on a few threads; each job writes its own file, so the order
// in which they finish does not change any output byte.
bool runJobs(const std::vector<Job>& jobs, const fs::path& outDir) {
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  auto worker = [&] {
    for (size_t i; (i = next++) < jobs.size();) {
      fs::path path = outDir / jobs[i].path;
      if (!writeFile(path, jobs[i].make())) {
        std::fprintf(stderr, kWriteFailed, path.string().c_str());
        ok = false;
      }
    }
  };
  unsigned n = std::max(1u, std::min(kMaxThreads, std::thread::hardware_concurrency()));
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < n; ++t) threads.emplace_back(worker);
  worker();
  for (auto& t : threads) t.join();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string fontDir = KORVANE_ASSET_FONT_DIR, outDir, sheetFile;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--fonts" && i + 1 < argc) {
      fontDir = argv[++i];
    } else if (a == "--out" && i + 1 < argc) {
      outDir = argv[++i];
    } else if (a == "--contact-sheet" && i + 1 < argc) {
      sheetFile = argv[++i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (outDir.empty() == sheetFile.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Fonts fonts(fontDir);
  if (!fonts.ok()) {
    std::fprintf(stderr, kFontsMissing, fontDir.c_str());
    return 1;
  }
  stbi_write_png_compression_level = kPngCompression;
  if (!sheetFile.empty()) {
    if (writeFile(sheetFile, assetgen::encodePng(assetgen::contactSheet(fonts)))) return 0;
    std::fprintf(stderr, kWriteFailed, sheetFile.c_str());
    return 1;
  }
  return runJobs(dataJobs(fonts), outDir) ? 0 : 1;
}
