#pragma once
// The ".ani" animation file: timed frames stored as compressed raw surface data.
//
// Layout, every integer 32-bit little-endian: the magic bytes 'N','W','E','S'; the frame count
// (0 to 1000); per frame its duration in ms, its 32-byte surface description (format, type,
// usage, pool, size, multisample type, width, height) and a zlib stream of L bytes preceded
// by L, holding the frame's level-0 surface (height rows of the row pitch); last, the time in
// ms the animation holds after its last frame.
//
// These functions only translate between bytes and frames; the animation image turns the
// frames into textures.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "D3D8/D3D8Types.h"

struct KelAniFrame
{
    int32_t duration = 0;
    D3DSURFACE_DESC desc{};
    // Height rows of KelAniFramePitch(desc) bytes each, as the texture's level 0 holds them.
    std::vector<uint8_t> pixels;
};

struct KelAniContent
{
    std::vector<KelAniFrame> frames;
    int32_t holdTime = 0;
};

// The largest frame count a file may have.
constexpr int32_t kKelAniMaxFrames = 1000;
// The largest frame side; the device makes no larger textures.
constexpr uint32_t kKelAniMaxSide = 8192;

// The row pitch of a frame: the width in bytes rounded up to 4, as the device lays out its
// textures. 0 for a format that is not a texture format or a size out of range.
uint32_t KelAniFramePitch(const D3DSURFACE_DESC& desc);

// The most pixel bytes all frames of one file may decode to. A compressed frame inflates up to
// a thousandfold, so without a limit a modest file could ask for far more memory than any
// animation of ours needs (the device's whole texture budget is 512 MiB).
constexpr size_t kKelAniMaxTotalBytes = size_t(256) << 20;

// Reads a whole ".ani" file from memory. False (and `content` empty) when the magic is wrong,
// the frame count is outside 0 to 1000, a frame's size or format cannot be a texture, a length
// runs past the data, a zlib stream is damaged or does not give exactly height × pitch bytes,
// the frames together decode to more than `maxTotalBytes`, or bytes other than the hold time
// are left after the frames.
bool KelReadAniFile(const void* data, size_t size, KelAniContent& content,
                    size_t maxTotalBytes = kKelAniMaxTotalBytes);

// Writes the frames and the hold time to a file (Windows-form path), compressing each frame
// at zlib level 9. False when there are more than 1000 frames, a frame's pixels are not
// height × pitch bytes of a texture format, or the file cannot be written; a file that could
// not be written whole is removed.
bool KelWriteAniFile(const char* path, const KelAniContent& content);
