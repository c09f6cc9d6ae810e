// Image file decoding (see image_file.h).
#include "host/image_file.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "host/stb_image_build.h"
#include "runtime/files.h"

namespace {

// Decoded images are refused above these sizes. No OpenGL driver takes a
// texture wider or higher than 16384 pixels, and 64 million pixels (256 MiB
// of RGBA) is far beyond any picture the game loads: a bigger header is a
// corrupt or hostile file, and decoding it would only exhaust memory.
constexpr int kMaxImageSide = 16384;
constexpr long long kMaxImagePixels = 8192LL * 8192LL;
// No supported format packs more pixels into a byte (GIF, the best, about
// 2700; PNG about 1000): a header promising more is forged, and refusing it
// spares reserving and filling an image the file cannot hold.
constexpr long long kMaxPixelsPerFileByte = 8192;
constexpr size_t kMaxImageFileBytes = size_t{256} << 20;  // no image file the game has comes near
constexpr size_t kReadBlockBytes = 64 * 1024;
constexpr long long kMaxNetpbmValue = 65535;  // largest sample value of the format
constexpr size_t kJpegTableHeaderBytes = 17;  // class and slot byte, then 16 counts
constexpr int kJpegTableSymbols = 256;
constexpr size_t kPngChunkHeaderBytes = 8;  // length, then type
constexpr size_t kPngChunkCrcBytes = 4;

bool imageSizeAcceptable(int width, int height, size_t fileBytes) {
  if (width <= 0 || height <= 0) return false;
  if (width > kMaxImageSide || height > kMaxImageSide) return false;
  const long long pixels = static_cast<long long>(width) * height;
  return pixels <= kMaxImagePixels && pixels <= static_cast<long long>(fileBytes) * kMaxPixelsPerFileByte;
}

// stb_image accepts a binary PGM or PPM file whose pixel data is cut short
// and then hands back pixels it never wrote, and it reads header numbers of
// any length into an int that overflows. This walks the header the way the
// decoder does (magic, width, height, maximum value, each after optional
// whitespace and comment lines) and answers whether a number is out of range
// or fewer pixel bytes follow than the image needs.
bool netpbmDamaged(const unsigned char* bytes, size_t length) {
  if (length < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return false;
  const size_t channels = bytes[1] == '6' ? 3 : 1;
  size_t pos = 2;
  auto next = [&]() -> char { return pos < length ? static_cast<char>(bytes[pos++]) : '\0'; };
  auto atEnd = [&]() { return pos >= length; };
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  char c = next();
  auto skipSpace = [&]() {
    for (;;) {
      while (!atEnd() && isSpace(c)) c = next();
      if (atEnd() || c != '#') return;
      while (!atEnd() && c != '\n' && c != '\r') c = next();
    }
  };
  auto readNumber = [&]() {
    long long value = 0;
    while (!atEnd() && c >= '0' && c <= '9') {
      if (value <= kMaxNetpbmValue) value = value * 10 + (c - '0');
      c = next();
    }
    return value;
  };
  skipSpace();
  const long long width = readNumber();
  skipSpace();
  const long long height = readNumber();
  skipSpace();
  const long long maxValue = readNumber();
  if (width > kMaxImageSide || height > kMaxImageSide || maxValue > kMaxNetpbmValue) return true;
  const size_t bytesPerSample = maxValue > 255 ? 2 : 1;
  const size_t needed = static_cast<size_t>(width * height) * channels * bytesPerSample;
  return length - pos < needed;
}

// stb_image trusts the symbol counts of a JPEG Huffman table: when they add
// up to more than the 256 symbols a table holds, it writes past the table.
// This follows the file's segments the way the decoder does and answers
// whether any table (DHT segment) is oversized.
bool jpegHuffmanTableOversized(const unsigned char* bytes, size_t length) {
  // The start marker, like every marker, may follow any number of 0xFF fill bytes.
  size_t pos = 0;
  while (pos < length && bytes[pos] == 0xFF) ++pos;
  if (pos == 0 || pos >= length || bytes[pos] != 0xD8) return false;
  ++pos;
  while (pos + 1 < length) {
    if (bytes[pos] != 0xFF || bytes[pos + 1] == 0xFF) {  // scan data or fill bytes
      ++pos;
      continue;
    }
    const unsigned char marker = bytes[pos + 1];
    pos += 2;
    const bool standalone = marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
    if (standalone || pos + 2 > length) continue;
    long remaining = (bytes[pos] << 8 | bytes[pos + 1]) - 2;  // the segment's own length
    size_t next = pos + 2;
    if (marker != 0xC4) {
      pos = next + static_cast<size_t>(remaining < 0 ? 0 : remaining);
      continue;
    }
    // Each table: class and slot, 16 counts, then as many symbols.
    // The decoder reads zeros past the end of the file.
    while (remaining > 0 && next < length) {
      if ((bytes[next] >> 4) > 1 || (bytes[next] & 15) > 3) return false;  // refused anyway
      int symbols = 0;
      for (size_t i = 1; i < kJpegTableHeaderBytes && next + i < length; ++i) symbols += bytes[next + i];
      if (symbols > kJpegTableSymbols) return true;
      next += kJpegTableHeaderBytes + static_cast<size_t>(symbols);
      remaining -= static_cast<long>(kJpegTableHeaderBytes) + symbols;
    }
    pos = next;
  }
  return false;
}

// stb_image believes the length of a PNG chunk and grows its buffer to hold
// it before finding out that the file is shorter: a few forged bytes would
// make it reserve gigabytes. This walks the chunks (length, type, data, CRC)
// up to the end marker and answers whether one claims more than is left.
bool pngChunkOverruns(const unsigned char* bytes, size_t length) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (length < sizeof kSignature || std::memcmp(bytes, kSignature, sizeof kSignature) != 0) return false;
  size_t pos = sizeof kSignature;
  while (pos + kPngChunkHeaderBytes <= length) {
    const size_t dataLength =
        static_cast<size_t>(bytes[pos]) << 24 | bytes[pos + 1] << 16 | bytes[pos + 2] << 8 | bytes[pos + 3];
    if (dataLength > length - pos - kPngChunkHeaderBytes) return true;
    if (std::memcmp(bytes + pos + 4, "IEND", 4) == 0) return false;
    pos += kPngChunkHeaderBytes + dataLength + kPngChunkCrcBytes;
  }
  return false;
}

}  // namespace

unsigned char* loadImage(const unsigned char* bytes, int length, int* width, int* height, int* depth) {
  int w = 0, h = 0, channels = 0;
  if (!bytes || length <= 0) return nullptr;
  // Files that the decoder is known to misread are refused before it sees
  // them, even its header reader.
  const size_t size = static_cast<size_t>(length);
  if (netpbmDamaged(bytes, size) || jpegHuffmanTableOversized(bytes, size) || pngChunkOverruns(bytes, size)) {
    return nullptr;
  }
  if (!stb_image::Info(bytes, length, &w, &h, &channels) || !imageSizeAcceptable(w, h, size)) {
    return nullptr;
  }
  unsigned char* pixels = stb_image::Load(bytes, length, &w, &h, &channels);
  if (!pixels) return nullptr;
  *width = w;
  *height = h;
  *depth = channels;
  return pixels;
}

// The whole stream is read first so that the checks above see the file's
// real length; image files are small next to the limit.
unsigned char* loadImageFromFile(FILE* file, int* width, int* height, int* depth) {
  std::vector<unsigned char> bytes;
  unsigned char block[kReadBlockBytes];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    if (bytes.size() + got > kMaxImageFileBytes) return nullptr;
    bytes.insert(bytes.end(), block, block + got);
  }
  return loadImage(bytes.data(), static_cast<int>(bytes.size()), width, height, depth);
}

unsigned char* loadImage(String path, int* width, int* height, int* depth) {
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return nullptr;
  unsigned char* pixels = loadImageFromFile(file, width, height, depth);
  std::fclose(file);
  return pixels;
}

void unloadImage(unsigned char* pixels) { stb_image::Free(pixels); }

void PremultiplyPixels(unsigned char* pixels, int w, int h, int depth) {
  if (depth != 2 && depth != 4) return;
  const size_t count = static_cast<size_t>(w) * h;
  const int colorChannels = depth - 1;
  for (size_t i = 0; i < count; ++i) {
    unsigned char* px = pixels + i * depth;
    const unsigned alphaByte = px[colorChannels];
    for (int ch = 0; ch < colorChannels; ++ch) px[ch] = static_cast<unsigned char>(px[ch] * alphaByte / 255);
  }
}
