#include "Gif/GifPicture.h"

#include <string>
#include <vector>

#include <gif_lib.h>
#include <gtest/gtest.h>

namespace
{

struct Rgb
{
    uint8_t r, g, b;
};

struct FrameSpec
{
    int left, top, width, height;
    int delay;       // hundredths of a second; < 0 writes no graphic control extension
    int transparent; // transparent index, or -1
    std::vector<Rgb> localColours;
    bool interlace;
    std::vector<uint8_t> indices; // width × height, row by row from the top
};

int WriteToString(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

ColorMapObject* MakeMap(const std::vector<Rgb>& colours)
{
    // Colour tables hold a power of two entries; the rest stay black.
    int size = 2;
    while (size < static_cast<int>(colours.size()))
        size *= 2;
    std::vector<GifColorType> entries(size, GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i)
        entries[i] = GifColorType{colours[i].r, colours[i].g, colours[i].b};
    return GifMakeMapObject(size, entries.data());
}

// Encodes a GIF with giflib's encoder; no global colour table when `global` is empty.
std::string EncodeGif(int width, int height, int background, const std::vector<Rgb>& global,
                      const std::vector<FrameSpec>& frames)
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, &WriteToString, &error);
    EXPECT_NE(gif, nullptr);
    if (gif == nullptr)
        return out;
    EGifSetGifVersion(gif, true);
    ColorMapObject* globalMap = global.empty() ? nullptr : MakeMap(global);
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, background, globalMap), GIF_OK);
    for (const FrameSpec& frame : frames)
    {
        if (frame.delay >= 0)
        {
            GraphicsControlBlock control{DISPOSE_DO_NOT, false, frame.delay, frame.transparent};
            GifByteType bytes[4];
            size_t length = EGifGCBToExtension(&control, bytes);
            EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), bytes), GIF_OK);
        }
        ColorMapObject* local = frame.localColours.empty() ? nullptr : MakeMap(frame.localColours);
        EXPECT_EQ(
            EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, local),
            GIF_OK);
        std::vector<int> order;
        if (frame.interlace)
        {
            // The encoder takes the rows in the order they are stored: the four interlace passes.
            const int start[4] = {0, 4, 2, 1};
            const int step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < frame.height; y += step[pass])
                    order.push_back(y);
        }
        else
            for (int y = 0; y < frame.height; ++y)
                order.push_back(y);
        for (int y : order)
        {
            std::vector<GifPixelType> line(frame.indices.begin() + y * frame.width,
                                           frame.indices.begin() + (y + 1) * frame.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
        if (local != nullptr)
            GifFreeMapObject(local);
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    if (globalMap != nullptr)
        GifFreeMapObject(globalMap);
    return out;
}

std::vector<uint8_t> IndexPattern(int width, int height, int colours)
{
    std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>((i * 7 + i / width) % colours);
    return indices;
}

const std::vector<Rgb> kGlobal = {{0, 0, 0}, {255, 0, 0}, {255, 0, 255}, {0, 0, 255}, {10, 200, 30}};
const std::vector<Rgb> kLocal = {{0, 255, 0}, {255, 255, 255}, {255, 0, 254}};

// What a pixel of colour `c` must become; `isTransparentIndex` for the frame's transparent index.
uint32_t Expected(const Rgb& c, bool isTransparentIndex)
{
    if (isTransparentIndex)
        return 0;
    uint32_t rgb = static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
    return rgb == 0xFF00FFu ? rgb : 0xFF000000u | rgb;
}

std::vector<FrameSpec> ThreeFrames()
{
    return {
        {0, 0, 8, 6, 5, -1, {}, false, IndexPattern(8, 6, 5)},
        {2, 1, 4, 3, 25, 1, {}, false, IndexPattern(4, 3, 5)},
        {5, 0, 3, 6, -1, -1, kLocal, true, IndexPattern(3, 6, 3)},
    };
}

TEST(GifPicture, DecodesEveryFrameWithItsPlaceDelayAndPixels)
{
    std::vector<FrameSpec> specs = ThreeFrames();
    std::string file = EncodeGif(8, 6, 3, kGlobal, specs);
    GifPicture picture;
    GifDecodeError error = GifDecodeError::Damaged;
    ASSERT_TRUE(DecodeGifPicture(file.data(), file.size(), picture, &error));
    EXPECT_EQ(error, GifDecodeError::None);
    EXPECT_EQ(picture.width, 8);
    EXPECT_EQ(picture.height, 6);
    EXPECT_EQ(picture.background, 0xFF0000FFu);
    ASSERT_EQ(picture.frames.size(), 3u);

    const int delays[3] = {100, 250, -1};
    for (size_t f = 0; f < 3; ++f)
    {
        SCOPED_TRACE(f);
        const FrameSpec& spec = specs[f];
        const GifFrame& frame = picture.frames[f];
        EXPECT_EQ(frame.left, spec.left);
        EXPECT_EQ(frame.top, spec.top);
        EXPECT_EQ(frame.width, spec.width);
        EXPECT_EQ(frame.height, spec.height);
        EXPECT_EQ(frame.delay, delays[f]);
        EXPECT_EQ(frame.transparent, spec.transparent >= 0);
        const std::vector<Rgb>& colours = spec.localColours.empty() ? kGlobal : spec.localColours;
        ASSERT_EQ(frame.pixels.size(), spec.indices.size());
        for (size_t i = 0; i < frame.pixels.size(); ++i)
            ASSERT_EQ(frame.pixels[i],
                      Expected(colours[spec.indices[i]], spec.indices[i] == spec.transparent))
                << "pixel " << i;
    }
    // The cases that matter are really there: magenta in frame 0, the transparent red in frame 1.
    EXPECT_EQ(picture.frames[0].pixels[1], 0x00FF00FFu);
    EXPECT_EQ(picture.frames[1].pixels[3], 0u);
    EXPECT_EQ(picture.frames[2].pixels[2], 0xFFFF00FEu);
}

TEST(GifPicture, DelaysAreHundredthsTimesTenAndAtLeast100)
{
    const std::pair<int, int> cases[] = {{0, 100},  {1, 100},    {10, 100},
                                         {11, 110}, {300, 3000}, {65535, 655350}};
    std::vector<FrameSpec> specs;
    for (const auto& c : cases)
        specs.push_back({0, 0, 2, 2, c.first, -1, {}, false, {0, 1, 2, 3}});
    std::string file = EncodeGif(2, 2, 0, kGlobal, specs);
    GifPicture picture;
    ASSERT_TRUE(DecodeGifPicture(file.data(), file.size(), picture));
    ASSERT_EQ(picture.frames.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(picture.frames[i].delay, cases[i].second) << cases[i].first;
}

TEST(GifPicture, FrameCountIsLeftToTheCaller)
{
    std::string none = EncodeGif(4, 4, 9, kGlobal, {});
    GifPicture picture;
    ASSERT_TRUE(DecodeGifPicture(none.data(), none.size(), picture));
    EXPECT_TRUE(picture.frames.empty());
    EXPECT_EQ(picture.width, 4);
    // A background index outside the table gives no background colour.
    EXPECT_EQ(picture.background, 0u);

    std::string one = EncodeGif(4, 4, 0, kGlobal, {{1, 1, 1, 1, 7, -1, {}, false, {4}}});
    ASSERT_TRUE(DecodeGifPicture(one.data(), one.size(), picture));
    ASSERT_EQ(picture.frames.size(), 1u);
    EXPECT_EQ(picture.frames[0].pixels, std::vector<uint32_t>{0xFF0AC81Eu});
    EXPECT_EQ(picture.background, 0xFF000000u);
}

TEST(GifPicture, CutFilesKeepOnlyWholeFrames)
{
    std::string file = EncodeGif(8, 6, 3, kGlobal, ThreeFrames());
    GifPicture whole;
    ASSERT_TRUE(DecodeGifPicture(file.data(), file.size(), whole));

    size_t accepted = 0;
    for (size_t cut = 0; cut < file.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        GifPicture picture;
        picture.width = 99;
        if (!DecodeGifPicture(file.data(), cut, picture))
        {
            EXPECT_TRUE(picture.frames.empty());
            EXPECT_EQ(picture.width, 0);
            continue;
        }
        ++accepted;
        // Only whole frames come back, each exactly as in the whole file.
        ASSERT_LE(picture.frames.size(), 3u);
        ASSERT_GE(picture.frames.size(), 1u);
        for (size_t f = 0; f < picture.frames.size(); ++f)
            EXPECT_EQ(picture.frames[f].pixels, whole.frames[f].pixels);
    }
    // Without the trailer byte, all three frames are there.
    GifPicture noTrailer;
    ASSERT_TRUE(DecodeGifPicture(file.data(), file.size() - 1, noTrailer));
    EXPECT_EQ(noTrailer.frames.size(), 3u);
    // Cuts inside the pixel data fail: most cut points are there.
    EXPECT_LT(accepted, file.size() / 4);
}

TEST(GifPicture, DamagedAndForeignDataIsRefused)
{
    std::string file = EncodeGif(8, 6, 3, kGlobal, ThreeFrames());
    // The first image descriptor follows the 13-byte header, the 8-entry colour table (24 bytes)
    // and the 8-byte graphic control extension; its LZW code size byte comes 10 bytes later.
    const size_t image = 13 + 24 + 8;
    ASSERT_EQ(file[image], ',');

    struct Case
    {
        const char* what;
        std::string bytes;
        GifDecodeError error;
    };
    std::vector<Case> cases = {
        {"empty", "", GifDecodeError::NotGif},
        {"two bytes", "GI", GifDecodeError::NotGif},
        {"png", "\x89PNG\r\n\x1a\n0000000000000", GifDecodeError::NotGif},
        {"lower-case signature", "gif89a" + file.substr(6), GifDecodeError::NotGif},
        {"signature only", "GIF89a", GifDecodeError::Damaged},
    };
    auto with = [&](const char* what, GifDecodeError error, auto change)
    {
        std::string bytes = file;
        change(bytes);
        cases.push_back({what, bytes, error});
    };
    with("unknown block", GifDecodeError::Damaged, [&](std::string& b) { b[image] = 'x'; });
    with("code size 12", GifDecodeError::Damaged, [&](std::string& b) { b[image + 10] = 12; });
    with("garbage codes", GifDecodeError::Damaged,
         [&](std::string& b)
         {
             for (size_t i = image + 12; i < image + 30; ++i)
                 b[i] = static_cast<char>(0xFF);
         });
    with("zero width", GifDecodeError::Damaged, [&](std::string& b) { b[image + 5] = b[image + 6] = 0; });
    with("frame 9000 wide", GifDecodeError::TooLarge,
         [&](std::string& b)
         {
             b[image + 5] = static_cast<char>(9000 & 0xFF);
             b[image + 6] = static_cast<char>(9000 >> 8);
         });
    with("frame 2049 x 2049", GifDecodeError::TooLarge,
         [&](std::string& b)
         {
             b[image + 5] = b[image + 7] = static_cast<char>(2049 & 0xFF);
             b[image + 6] = b[image + 8] = static_cast<char>(2049 >> 8);
         });
    with("frame 8192 x 512", GifDecodeError::Damaged,
         [&](std::string& b)
         {
             b[image + 5] = 0;
             b[image + 6] = 8192 >> 8;
             b[image + 7] = 0;
             b[image + 8] = 512 >> 8;
         });
    // Without any colour table a frame has no colours.
    // The encoder will not write such a file, so the global table of a two-colour file is taken
    // out: the flag in byte 10 and the six bytes of the table after the 13-byte header.
    std::string bare =
        EncodeGif(2, 2, 0, {{0, 0, 0}, {255, 255, 255}}, {{0, 0, 2, 2, 10, -1, {}, false, {0, 1, 1, 0}}});
    GifPicture check;
    ASSERT_TRUE(DecodeGifPicture(bare.data(), bare.size(), check));
    bare[10] = static_cast<char>(bare[10] & 0x7F);
    bare.erase(13, 6);
    cases.push_back({"no colour table", bare, GifDecodeError::Damaged});

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        GifPicture picture;
        GifDecodeError error = GifDecodeError::None;
        EXPECT_FALSE(DecodeGifPicture(c.bytes.data(), c.bytes.size(), picture, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(picture.frames.empty());
    }
    GifPicture picture;
    EXPECT_FALSE(DecodeGifPicture(nullptr, 100, picture));
}

TEST(GifPicture, ManyLargeFramesAreRefusedOnTheirTotal)
{
    // One 2048 × 2048 frame of one colour is encoded once; its blocks (graphic control
    // extension, descriptor, data) are then repeated to make files of four and five frames.
    std::string one =
        EncodeGif(2048, 2048, 0, kGlobal,
                  {{0, 0, 2048, 2048, 10, -1, {}, false, std::vector<uint8_t>(2048 * 2048, 1)}});
    const size_t header = 13 + 24;
    std::string head = one.substr(0, header);
    std::string frame = one.substr(header, one.size() - header - 1);
    auto repeat = [&](int count)
    {
        std::string file = head;
        for (int i = 0; i < count; ++i)
            file += frame;
        return file + ';';
    };
    GifPicture picture;
    std::string four = repeat(4);
    ASSERT_TRUE(DecodeGifPicture(four.data(), four.size(), picture));
    ASSERT_EQ(picture.frames.size(), 4u);
    EXPECT_EQ(picture.frames[3].pixels[2048 * 2048 - 1], 0xFFFF0000u);

    std::string five = repeat(5);
    GifDecodeError error = GifDecodeError::None;
    EXPECT_FALSE(DecodeGifPicture(five.data(), five.size(), picture, &error));
    EXPECT_EQ(error, GifDecodeError::TooLarge);
    EXPECT_TRUE(picture.frames.empty());
}

} // namespace
