#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Writes an uncompressed 24-bit BMP file: `rgb` holds width x height pixels of three
// bytes (red, green, blue), rows from the bottom of the picture up, tightly packed. The
// file holds the 14-byte file header, the 40-byte picture header (bottom-up rows, no
// compression) and rows of blue, green, red padded to whole four bytes.
//
// The file appears whole or not at all: it is written beside its place and renamed over
// it, so a failed write leaves no partial file and an older file at the path as it was.
// False on any failure, with `error` saying why when given.
bool WriteBmpFile(const std::string& path, int width, int height, const uint8_t* rgb,
                  std::string* error = nullptr);

}  // namespace platform
