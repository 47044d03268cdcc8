#pragma once
// One picture of a texture-info file: the image file it is cut from and the default drawing
// parameters of every texture made from it. A field whose element or attribute is missing in
// the file keeps the default given here.

#include <cstdint>
#include <map>
#include <string>

struct KelTextureEntry
{
    // The "ID" attribute; IDs are compared with case.
    std::string id;
    // The "image" attribute: the image file, relative to the image directory.
    std::string image;
    // The source rectangle in image pixels ("rect" element).
    int32_t left = 0;
    int32_t right = 0;
    int32_t top = 0;
    int32_t bottom = 0;
    // The translation applied when drawing ("offset" element).
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    // The colour the picture is modulated with ("color" element); opaque white leaves it as is.
    uint8_t red = 255;
    uint8_t green = 255;
    uint8_t blue = 255;
    uint8_t alpha = 255;
    // "scale" element.
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    // Rotation in degrees ("angle" element); textures turn it into radians.
    float angle = 0.0f;
    // Direct3D blend factors ("bland" element); 0 keeps the factor the device has.
    int32_t srcBland = 0;
    int32_t destBland = 0;
};

// The entries of one texture-info file by ID.
using KelTextureEntryMap = std::map<std::string, KelTextureEntry>;
