#pragma once
// Decoding GIF files into frames of 32-bit pixels, for the animated GIF image of the engine.
//
// Each frame is decoded on its own, as the picture loader of the original platform decoded
// a standalone GIF made of the file's screen descriptor, colour tables and that one frame: the
// frames are not laid over each other, and a frame keeps its own position and size on the
// logical screen. Pixels are A8R8G8B8 values (0xAARRGGBB). A colour of the table is opaque,
// except pure magenta (255, 0, 255), which the engine's artwork uses as its transparent colour
// and which keeps its colour with alpha 0. Pixels with the frame's transparent index are 0
// (transparent black).
//
// The data is untrusted: damaged or truncated files give false, never a crash, and sizes that
// no real animation has are refused before their memory is taken.

#include <cstddef>
#include <cstdint>
#include <vector>

struct GifFrame
{
    // Position and size of the frame on the logical screen, from its image descriptor.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // The graphic control delay in ms (the file's hundredths × 10), at least 100 ms; -1 when
    // the frame has no graphic control extension.
    int delay = -1;
    // True when the graphic control extension names a transparent colour index.
    bool transparent = false;
    // width × height pixels, row by row from the top.
    std::vector<uint32_t> pixels;
};

struct GifPicture
{
    // Logical screen size.
    int width = 0;
    int height = 0;
    // The global colour table's entry at the background index as 0xFFRRGGBB; 0 when the file
    // has no global colour table or the index lies outside it.
    uint32_t background = 0;
    std::vector<GifFrame> frames;
};

enum class GifDecodeError
{
    None,
    // The data does not begin with "GIF".
    NotGif,
    // A block is damaged or cut short, a frame has no colour table or no pixels.
    Damaged,
    // A frame, or all frames together, are larger than the limits below.
    TooLarge,
};

// Frame limits: a frame side as large as the largest texture, at most 4 M pixels (2048 × 2048)
// per frame and 16 M pixels (64 MB decoded) in all the frames of one file.
constexpr int kGifMaxFrameSide = 8192;
constexpr int64_t kGifMaxFramePixels = int64_t(1) << 22;
constexpr int64_t kGifMaxTotalPixels = int64_t(1) << 24;

// Decodes a whole GIF file from memory. On failure returns false with `picture` empty and,
// when `error` is given, the reason. A file may hold any number of frames, none included: the
// caller decides how many it needs. A file that ends after a whole frame without its trailer
// byte is accepted with the frames read.
bool DecodeGifPicture(const void* data, size_t size, GifPicture& picture, GifDecodeError* error = nullptr);
