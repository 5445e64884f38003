#pragma once

#include <string>

#include "picture/Dib.h"

namespace kyv {

// Writes the picture as an 8-bit RGB PNG file; fails with EKyvError naming the path. Any thread;
// the caller keeps the picture still while it is written (the back buffer's lock).
void SavePng(const TDib& picture, const std::string& path);

}  // namespace kyv
