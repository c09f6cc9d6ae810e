// Image files: decoding them into 8-bit pixels for surfaces, and preparing
// those pixels for a premultiplied-alpha texture.
//
// Decoding goes through stb_image (the system's stb package, built into the
// host by stb_image_build.cpp) with the file's own channel count: 1 grey,
// 2 grey and alpha, 3 RGB, 4 RGBA. Every form answers null, printing nothing,
// for a file that cannot be opened or decoded, for a header claiming a size
// no texture could hold, and for the damaged files the decoder is known to
// misread. Needs no OpenGL context. Free decoded pixels with unloadImage.
#pragma once

#include <cstdio>

#include "runtime/string.h"

unsigned char* loadImage(String path, int* width, int* height, int* depth);
unsigned char* loadImage(const unsigned char* bytes, int length, int* width, int* height, int* depth);
unsigned char* loadImageFromFile(FILE* file, int* width, int* height, int* depth);
void unloadImage(unsigned char* pixels);

// Replaces each colour channel by channel * alpha / 255 (rounded down) in
// place, for depth 2 (grey, alpha) and depth 4 (RGBA); other depths carry no
// alpha and are left alone.
void PremultiplyPixels(unsigned char* pixels, int width, int height, int depth);
