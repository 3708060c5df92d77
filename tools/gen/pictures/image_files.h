// Encoders for the picture files the disk ships: Windows bitmaps, the icon
// and PNG previews. Each returns the whole file as bytes; SaveFile writes it
// through a temporary name, so a failed run never leaves half a file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/gen/pictures/image.h"

using Bytes = std::vector<uint8_t>;

// 24-bit BMP (BITMAPINFOHEADER, bottom-up rows padded to 4 bytes).
Bytes EncodeBmp24(const Image& image);

// 8-bit BMP with the grey palette (entry i is i, i, i); `pixels` are top-down
// rows of palette indices.
Bytes EncodeBmp8Grey(int width, int height, const std::vector<uint8_t>& pixels);

// ICO holding one 32-bit image (BGRA plus the AND mask) of the image's size
// and alpha; the image must be at most 256 by 256.
Bytes EncodeIco(const Image& image);

// 8-bit RGB PNG (zlib for the compressed stream and the checksums).
Bytes EncodePng(const Image& image);

// Throws std::runtime_error naming the path when the file cannot be written.
void SaveFile(const std::string& path, const Bytes& bytes);
void SaveFile(const std::string& path, const std::string& text);
