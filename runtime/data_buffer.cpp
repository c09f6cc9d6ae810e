#include "runtime/data_buffer.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/files.h"

namespace {

// Files are read in chunks of this many bytes until a short read.
constexpr size_t kLoadChunkBytes = 4096;

// A block of `size` bytes; never null for a successful zero-byte block, so
// that an empty buffer still counts as holding one.
unsigned char* allocateBlock(size_t size) { return static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1)); }

template <class T>
T load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void store(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

}  // namespace

VLDataBuffer::~VLDataBuffer() { Discard(); }

bool VLDataBuffer::_New(int size) {
  if (data || size < 0) return false;
  data = allocateBlock(static_cast<size_t>(size));
  if (!data) return false;
  length = size;
  return true;
}

bool VLDataBuffer::_Load(String path) {
  if (data) return false;
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return false;
  std::vector<unsigned char> bytes;
  bool readable = true;
  for (;;) {
    size_t start = bytes.size();
    if (start > static_cast<size_t>(INT_MAX) - kLoadChunkBytes) {  // no int length
      readable = false;
      break;
    }
    bytes.resize(start + kLoadChunkBytes);
    size_t got = std::fread(bytes.data() + start, 1, kLoadChunkBytes, file);
    bytes.resize(start + got);
    if (got < kLoadChunkBytes) break;
  }
  std::fclose(file);
  if (!readable) return false;
  data = allocateBlock(bytes.size());
  if (!data) return false;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  length = static_cast<int>(bytes.size());
  return true;
}

int VLDataBuffer::Discard() {
  std::free(data);
  data = nullptr;
  length = 0;
  return 0;
}

int VLDataBuffer::Length() { return length; }

unsigned char* VLDataBuffer::ReadPointer(int offset) { return data + offset; }
unsigned char* VLDataBuffer::WritePointer(int offset) { return data + offset; }

int VLDataBuffer::PokeByte(int offset, int value) {
  store(data + offset, static_cast<std::uint8_t>(value));
  return 0;
}

int VLDataBuffer::PokeShort(int offset, int value) {
  store(data + offset, static_cast<std::uint16_t>(value));
  return 0;
}

int VLDataBuffer::PokeInt(int offset, int value) {
  store(data + offset, static_cast<std::int32_t>(value));
  return 0;
}

int VLDataBuffer::PokeFloat(int offset, float value) {
  store(data + offset, value);
  return 0;
}

int VLDataBuffer::PeekByte(int offset) { return load<std::int8_t>(data + offset); }
int VLDataBuffer::PeekShort(int offset) { return load<std::int16_t>(data + offset); }
int VLDataBuffer::PeekInt(int offset) { return load<std::int32_t>(data + offset); }
float VLDataBuffer::PeekFloat(int offset) { return load<float>(data + offset); }
