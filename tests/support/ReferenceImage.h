#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Compares a rendered picture with a checked-in PNG: `rgba` holds width x height pixels
// of four bytes, rows from the bottom (as glReadPixels gives them). Pixels match when
// every colour component lies within `tolerance`; the picture matches when at most one
// pixel in a hundred differs (rasterisers differ on a few edge pixels). A picture that
// does not match is written beside the reference as `base` + ".out.png". `differing`
// gets the number of differing pixels (every pixel when the reference is missing or of
// another size).
bool MatchesReferenceImage(const std::vector<uint8_t>& rgba, int width, int height,
                           const std::string& base, int* differing = nullptr, int tolerance = 12);
