#pragma once
// The file formats of animations: uncompressed 32-bit TGA frames and a zip archive holding them,
// both built in memory with fixed dates so the bytes never change between runs.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Painter.h"

namespace skin
{
// A 32-bit TGA with alpha, rows stored top to bottom.
std::vector<uint8_t> Tga(const Picture& picture);

// A zip archive of deflated members, in the order given.
std::vector<uint8_t> Zip(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& members);
} // namespace skin
