// VLDataBuffer: a fixed-size block of raw bytes with typed reads and writes at
// byte offsets, created empty or loaded whole from a file.
//
// Values are stored in the machine's byte order at any offset, aligned or
// not. Offsets are not checked: callers keep 0 <= offset and
// offset + width <= Length(). A buffer holds at most one block in its life
// between Discards: _New and _Load refuse to replace a block. The block comes
// from the system allocator and is freed by Discard or when the collector
// finalises the buffer. Depends on runtime/gc.h and runtime/files.h (paths).
#pragma once

#include "runtime/gc.h"
#include "runtime/string.h"

class VLDataBuffer : public Object {
 public:
  unsigned char* data = nullptr;  // null while the buffer holds no block
  int length = 0;                 // bytes in the block

  VLDataBuffer() = default;
  ~VLDataBuffer() override;

  // A block of `size` bytes (contents undefined); false when the buffer
  // already holds one or the size cannot be allocated.
  bool _New(int size);
  // The whole file at `path` (location scheme of fopenFile); false when the
  // buffer already holds a block or the file cannot be opened or read.
  bool _Load(String path);
  int Discard();
  int Length();

  unsigned char* ReadPointer(int offset);
  unsigned char* WritePointer(int offset);

  int PokeByte(int offset, int value);   // the low 8 bits
  int PokeShort(int offset, int value);  // the low 16 bits
  int PokeInt(int offset, int value);
  int PokeFloat(int offset, float value);
  int PeekByte(int offset);   // sign-extended
  int PeekShort(int offset);  // sign-extended
  int PeekInt(int offset);
  float PeekFloat(int offset);
};
