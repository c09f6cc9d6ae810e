// The stb_image decoder as the host uses it: from memory, 8 bits per channel
// with the file's own channel count. Only host/image_file.cpp calls it.
#pragma once

namespace stb_image {

// Reads the header: nonzero with the size and channel count when the bytes
// look like an image stb_image can decode.
int Info(const unsigned char* bytes, int length, int* width, int* height, int* channels);
// Decoded pixels, or null (also when the decoder needed bytes past the end).
unsigned char* Load(const unsigned char* bytes, int length, int* width, int* height, int* channels);
void Free(unsigned char* pixels);

}  // namespace stb_image
