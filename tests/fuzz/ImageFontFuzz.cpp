// Feeds arbitrary bytes to the image-font loader as its XML file and checks what must hold for
// any input (no device here: the pages' pictures are not loaded, the glyph table is):
//  - a file that does not parse is refused and leaves the font empty;
//  - measuring text with a loaded font never fails;
//  - loading the same file again gives the same glyph table.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "KelFontCL.h"

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

bool SameGlyphs(const KelFontCL& a, const KelFontCL& b)
{
    for (unsigned code = 0; code < 0x10000; ++code)
        if (std::memcmp(&a.GetGlyph(code), &b.GetGlyph(code), sizeof(KelGlyph)) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/kavdor-image-font-fuzz-" + std::to_string(getpid()) + ".xml";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    KelFontCL font;
    if (!font.LoadImageFont(path.c_str()))
    {
        for (unsigned code = 0; code < 0x10000; code += 97)
            Check(font.GetGlyph(code).width == 0, "a refused file left glyphs");
        return 0;
    }
    font.GetTextWidth("0123456789");
    font.GetTextWidth("\xb5\xd8\xd6\xf7"); // two GBK characters
    font.GetTextWidth("");

    KelFontCL again;
    Check(again.LoadImageFont(path.c_str()), "the same file was refused the second time");
    Check(SameGlyphs(font, again), "the same file gave another glyph table");
    return 0;
}
