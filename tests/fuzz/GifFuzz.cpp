// Feeds arbitrary bytes to the GIF decoder and checks what must hold for any input:
//  - a refused input leaves the picture empty;
//  - every frame decoded is within the limits, has a pixel for each place of its rectangle and
//    a delay that is either "none" (-1) or at least 100 ms;
//  - a pixel is opaque, or transparent black, or magenta with alpha 0; transparent black only
//    appears in frames that name a transparent colour.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Gif/GifPicture.h"

namespace
{

void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GifPicture picture;
    GifDecodeError error = GifDecodeError::None;
    bool decoded = DecodeGifPicture(data, size, picture, &error);
    Check(decoded == (error == GifDecodeError::None), "result and reason disagree");
    if (!decoded)
    {
        Check(picture.frames.empty() && picture.width == 0 && picture.height == 0,
              "refused input left frames");
        return 0;
    }
    Check(picture.width >= 0 && picture.width <= 0xFFFF && picture.height >= 0 && picture.height <= 0xFFFF,
          "screen size out of range");
    Check(picture.background == 0 || (picture.background >> 24) == 0xFF, "background not opaque");
    int64_t total = 0;
    for (const GifFrame& frame : picture.frames)
    {
        Check(frame.width > 0 && frame.height > 0 && frame.width <= kGifMaxFrameSide &&
                  frame.height <= kGifMaxFrameSide,
              "frame size out of range");
        int64_t area = static_cast<int64_t>(frame.width) * frame.height;
        Check(area <= kGifMaxFramePixels, "frame too large");
        Check(frame.pixels.size() == static_cast<size_t>(area), "pixel count differs from the frame size");
        Check(frame.left >= 0 && frame.top >= 0 && frame.left <= 0xFFFF && frame.top <= 0xFFFF,
              "frame position out of range");
        Check(frame.delay == -1 || frame.delay >= 100, "delay below 100 ms");
        total += area;
        for (uint32_t pixel : frame.pixels)
        {
            uint32_t alpha = pixel >> 24;
            Check(alpha == 0xFF || pixel == 0 || pixel == 0x00FF00FFu, "pixel with a partial alpha");
            Check(pixel != 0 || frame.transparent, "transparent pixel in a frame without transparency");
        }
    }
    Check(total <= kGifMaxTotalPixels, "frames too large together");
    return 0;
}
