#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "writer/Pixels24.h"

namespace kyv {

// A BI_RGB bitmap file image of the picture at 1, 4, 8, 16 (5-5-5), 24 or 32 bits per pixel,
// bottom-up unless topDown is set (negative biHeight). For 1, 4 and 8 bits the colour table
// lists the picture's colours in order of first appearance and may hold at most 2^bitCount of
// them (else EKyvError); 16 bits keeps the top five bits of each component.
std::vector<uint8_t> EncodeBitmapFile(const TPixels24& picture, int bitCount, bool topDown = false);

// The picture that a bitmap file image shows, for the depths EncodeBitmapFile writes; the
// writers' own reference, independent of the player's conversion.
TPixels24 DecodeBitmapFile(const uint8_t* image, size_t size);

}  // namespace kyv
