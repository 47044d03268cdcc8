#include "KelSpriteCL.h"

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "KelLineCL.h"

namespace
{
// A texel colour that tells its position.
uint32_t Texel(int x, int y)
{
    return 0xFF000000u | static_cast<uint32_t>(x * 20 + 5) << 16 | static_cast<uint32_t>(y * 20 + 5) << 8 |
           0x80u;
}

std::vector<uint32_t> TellingPixels(int width, int height)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(Texel(x, y));
    return pixels;
}

using SpriteTest = DrawTest;
} // namespace

TEST_F(SpriteTest, AFifthTextureFlushesTheFullestBufferAndTakesIt)
{
    struct Case
    {
        int quads[4]; // of the four textures drawn first, in order
        int taken;    // the buffer the fifth texture takes
    };
    const Case cases[] = {
        {{1, 3, 2, 1}, 1},
        {{2, 1, 2, 1}, 2}, // equal counts: the later buffer
        {{1, 1, 1, 1}, 3},
    };
    const uint32_t colors[5] = {kRed, kGreen, kBlue, kYellow, kMagenta};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.taken);
        KelSpriteCL sprite(m_device);
        TestImageCL* images[5];
        for (int i = 0; i < 5; ++i)
            images[i] = MakeSolidImage(2, 2, colors[i]);
        BeginFrame();
        for (int t = 0; t < 4; ++t)
            for (int q = 0; q < c.quads[t]; ++q)
            {
                D3DXVECTOR2 position{static_cast<float>(t * 10 + q * 2), 0.0f};
                ASSERT_TRUE(sprite.Draw(images[t], nullptr, &position, nullptr, 0.0f, kWhite));
            }
        ASSERT_EQ(sprite.GetBufferCount(), 4);
        EXPECT_EQ(Count(Peek(), kBlack), kWidth * kHeight); // all still queued

        D3DXVECTOR2 position{0.0f, 20.0f};
        ASSERT_TRUE(sprite.Draw(images[4], nullptr, &position, nullptr, 0.0f, kWhite));
        EXPECT_EQ(sprite.GetBufferCount(), 4);
        std::vector<uint32_t> frame = Peek();
        for (int t = 0; t < 4; ++t)
        {
            bool taken = t == c.taken;
            EXPECT_EQ(sprite.GetBoundImage(t), taken ? images[4] : images[t]) << t;
            EXPECT_EQ(sprite.GetQueuedVertices(t), taken ? 4 : c.quads[t] * 4) << t;
            EXPECT_EQ(Count(frame, colors[t]), taken ? c.quads[t] * 4 : 0) << t;
        }
        EXPECT_EQ(Count(frame, colors[4]), 0);

        sprite.Flush();
        frame = EndFrame();
        for (int t = 0; t < 5; ++t)
            EXPECT_EQ(Count(frame, colors[t]), (t < 4 ? c.quads[t] : 1) * 4) << t;
        for (int t = 0; t < 4; ++t)
        {
            EXPECT_EQ(sprite.GetQueuedVertices(t), 0);
            EXPECT_EQ(sprite.GetBoundImage(t), nullptr);
        }
    }
}

// Quads of a batch drawn beneath (the canvas's pictures beneath its text) are drawn before
// anything of this batch, also when this batch draws on its own to rebind a buffer.
TEST_F(SpriteTest, TheBatchBeneathIsDrawnFirstWhenThisOneRebindsOrFlushes)
{
    KelSpriteCL pictures(m_device);
    KelSpriteCL text(m_device);
    text.SetDrawnBeneath(&pictures);
    TestImageCL* red = MakeSolidImage(8, 8, kRed);
    const uint32_t colors[5] = {kGreen, kBlue, kYellow, kMagenta, kWhite};
    TestImageCL* glyphs[5];
    for (int i = 0; i < 5; ++i)
        glyphs[i] = MakeSolidImage(2, 2, colors[i]);
    BeginFrame();
    const D3DXVECTOR2 origin{0.0f, 0.0f};
    ASSERT_TRUE(pictures.Draw(red, nullptr, &origin, nullptr, 0.0f, kWhite));
    // Five glyph pages on four buffers: the fifth rebinds one, which draws it at once.
    for (int i = 0; i < 5; ++i)
    {
        const D3DXVECTOR2 at{static_cast<float>(i * 2), 0.0f};
        ASSERT_TRUE(text.Draw(glyphs[i], nullptr, &at, nullptr, 0.0f, kWhite));
    }
    text.Flush();
    pictures.Flush();
    const std::vector<uint32_t> frame = EndFrame();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Count(frame, colors[i]), 4) << "glyph " << i << " lies on the picture";
    EXPECT_EQ(Count(frame, kRed), 64 - 4 * 4) << "the fifth glyph lies beside the picture";
}

// After a flush the four buffers are empty: new textures take them and nothing is drawn early.
// Drawing a loaded buffer there would put its quads on the target before pictures the canvas
// still holds in its other batch (text of a second font beneath a panel queued before it).
TEST_F(SpriteTest, TexturesAfterAFlushTakeTheEmptiedBuffersWithoutDrawing)
{
    KelSpriteCL sprite(m_device);
    const uint32_t colors[6] = {kRed, kGreen, kBlue, kYellow, kMagenta, kWhite};
    TestImageCL* images[6];
    for (int i = 0; i < 6; ++i)
        images[i] = MakeSolidImage(2, 2, colors[i]);
    BeginFrame();
    for (int t = 0; t < 4; ++t)
    {
        D3DXVECTOR2 position{static_cast<float>(t * 4), 0.0f};
        ASSERT_TRUE(sprite.Draw(images[t], nullptr, &position, nullptr, 0.0f, kWhite));
    }
    sprite.Flush();
    ASSERT_EQ(sprite.GetBufferCount(), 4);

    for (int t = 4; t < 6; ++t)
    {
        D3DXVECTOR2 position{static_cast<float>(t * 4), 8.0f};
        ASSERT_TRUE(sprite.Draw(images[t], nullptr, &position, nullptr, 0.0f, kWhite));
    }
    std::vector<uint32_t> frame = Peek();
    EXPECT_EQ(Count(frame, kMagenta), 0) << "the first new texture stays queued";
    EXPECT_EQ(Count(frame, kWhite), 0);
    int queued = 0;
    for (int b = 0; b < 4; ++b)
        queued += sprite.GetQueuedVertices(b);
    EXPECT_EQ(queued, 8);

    sprite.Flush();
    frame = EndFrame();
    for (int t = 0; t < 6; ++t)
        EXPECT_EQ(Count(frame, colors[t]), 4) << t;
}

TEST_F(SpriteTest, AFullBufferIsDrawnBeforeThe193rdQuad)
{
    KelSpriteCL sprite(m_device);
    TestImageCL* image = MakeSolidImage(1, 1, kRed);
    int quadsBefore = m_system.GetQuadCount();
    BeginFrame();
    for (int i = 0; i < 192; ++i)
    {
        D3DXVECTOR2 position{static_cast<float>(i % kWidth), static_cast<float>(i / kWidth)};
        ASSERT_TRUE(sprite.Draw(image, nullptr, &position, nullptr, 0.0f, kWhite));
    }
    EXPECT_EQ(sprite.GetQueuedVertices(0), 768);
    EXPECT_EQ(Count(Peek(), kRed), 0);

    D3DXVECTOR2 position{0.0f, 10.0f};
    ASSERT_TRUE(sprite.Draw(image, nullptr, &position, nullptr, 0.0f, kWhite));
    EXPECT_EQ(sprite.GetBufferCount(), 1);
    EXPECT_EQ(sprite.GetBoundImage(0), image); // the binding stays
    EXPECT_EQ(sprite.GetQueuedVertices(0), 4);
    std::vector<uint32_t> frame = Peek();
    EXPECT_EQ(Count(frame, kRed), 192);
    EXPECT_EQ(Pixel(frame, 0, 10), kBlack);
    EXPECT_EQ(m_system.GetQuadCount() - quadsBefore, 193);

    sprite.Flush();
    EXPECT_EQ(Pixel(EndFrame(), 0, 10), kRed);
}

// A picture queued in one buffer before a second buffer fills up stays beneath that buffer's
// quads: a table's background must not cover the first cards of a full hand.
TEST_F(SpriteTest, AFullBufferDrawsWhatOtherBuffersQueuedBeforeIt)
{
    KelSpriteCL sprite(m_device);
    TestImageCL* background = MakeSolidImage(kWidth, kHeight, kBlue);
    TestImageCL* card = MakeSolidImage(1, 1, kRed);
    BeginFrame();
    const D3DXVECTOR2 origin{0.0f, 0.0f};
    ASSERT_TRUE(sprite.Draw(background, nullptr, &origin, nullptr, 0.0f, kWhite));
    for (int i = 0; i < 200; ++i)
    {
        const D3DXVECTOR2 position{static_cast<float>(i % kWidth), static_cast<float>(i / kWidth)};
        ASSERT_TRUE(sprite.Draw(card, nullptr, &position, nullptr, 0.0f, kWhite));
    }
    sprite.Flush();
    const std::vector<uint32_t> frame = EndFrame();
    EXPECT_EQ(Count(frame, kRed), 200) << "every card lies on the background";
    EXPECT_EQ(Pixel(frame, 0, 0), kRed) << "the first card too";
}

TEST_F(SpriteTest, ARotatedQuadTurnsAroundItsWholePixelMiddle)
{
    // A 10 x 7 quad at (20, 20) turns around (5, 3), not (5, 3.5): the rotated quad's edges
    // fall on whole pixels. Scaling scales the centre with it.
    struct Case
    {
        float angle;
        float scale; // 0: none given
        KelRect covered;
    };
    const Case cases[] = {
        {kPi / 2, 0.0f, KelRect(21, 18, 28, 28)},
        {kPi, 0.0f, KelRect(20, 19, 30, 26)},
        {kPi / 2, 2.0f, KelRect(22, 16, 36, 36)},
    };
    const KelRect source(0, 0, 10, 7);
    const D3DXVECTOR2 position{20.0f, 20.0f};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.angle);
        KelSpriteCL sprite(m_device);
        D3DXVECTOR2 scale{c.scale, c.scale};
        BeginFrame();
        ASSERT_TRUE(
            sprite.Draw(nullptr, &source, &position, c.scale != 0.0f ? &scale : nullptr, c.angle, kGreen));
        sprite.Flush();
        std::vector<uint32_t> frame = EndFrame();
        EXPECT_EQ(Bounds(frame, kGreen), c.covered);
        EXPECT_EQ(Count(frame, kGreen), c.covered.Width() * c.covered.Height());
    }

    // The picture turns with the quad: pixel (20 + x, 20 + y) shows the point (y + 2, 8 - x) of
    // the image, its texel found with the size - 1 mapping.
    KelSpriteCL sprite(m_device);
    TestImageCL* image = MakeImage(10, 7, TellingPixels(10, 7));
    BeginFrame();
    ASSERT_TRUE(sprite.Draw(image, nullptr, &position, nullptr, kPi / 2, kWhite));
    sprite.Flush();
    std::vector<uint32_t> frame = EndFrame();
    for (int y = -2; y < 8; ++y)
        for (int x = 1; x < 8; ++x)
        {
            int tx = std::min((y + 2) * 10 / 9, 9);
            int ty = std::min((8 - x) * 7 / 6, 6);
            EXPECT_EQ(Pixel(frame, 20 + x, 20 + y), Texel(tx, ty)) << x << ", " << y;
        }
}

TEST_F(SpriteTest, TextureCoordinatesDivideByTheSizeMinusOne)
{
    KelSpriteCL sprite(m_device);
    TestImageCL* image = MakeImage(4, 3, TellingPixels(4, 3));
    TestImageCL* row = MakeImage(4, 1, TellingPixels(4, 1));
    TestImageCL* single = MakeSolidImage(1, 1, kYellow);
    BeginFrame();
    D3DXVECTOR2 whole{5.0f, 5.0f};
    sprite.Draw(image, nullptr, &whole, nullptr, 0.0f, kWhite);
    KelRect part(1, 1, 3, 3);
    D3DXVECTOR2 partAt{30.0f, 5.0f};
    sprite.Draw(image, &part, &partAt, nullptr, 0.0f, kWhite);
    // Four texels over six pixels: pixel x samples u = x / 6 * 4 / 3.
    KelRect stretched(10, 20, 16, 21);
    sprite.DrawStretched(row, nullptr, &stretched, kWhite);
    // A one-pixel image has no size - 1 to divide by; it still fills its quad.
    D3DXVECTOR2 singleAt{40.0f, 30.0f};
    D3DXVECTOR2 three{3.0f, 3.0f};
    sprite.Draw(single, nullptr, &singleAt, &three, 0.0f, kWhite);
    sprite.Flush();
    std::vector<uint32_t> frame = EndFrame();

    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Pixel(frame, 5 + x, 5 + y), Texel(x, y)) << x << ", " << y;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Pixel(frame, 30 + x, 5 + y), Texel(1 + x, 1 + y)) << x << ", " << y;
    const int stretchedTexels[6] = {0, 0, 1, 2, 3, 3};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(Pixel(frame, 10 + x, 20), Texel(stretchedTexels[x], 0)) << x;
    EXPECT_EQ(Bounds(frame, kYellow), KelRect(40, 30, 43, 33));
    EXPECT_EQ(Count(frame, kYellow), 9);
}

TEST_F(SpriteTest, EveryDrawFormPlacesItsQuad)
{
    KelSpriteCL sprite(m_device);
    TestImageCL* image = MakeSolidImage(4, 3, kGreen);
    TestImageCL* offset = MakeSolidImage(4, 3, kGreen);
    offset->SetOffset(2, 1);
    TestImageCL* animation = MakeSolidImage(2, 2, kRed);
    animation->SetCurrent(image); // draws its current frame instead of itself
    D3DXMATRIX doubled;
    D3DXMatrixScaling(&doubled, 2.0f, 2.0f, 1.0f);
    D3DXMATRIX moved;
    D3DXMatrixTranslation(&moved, 5.0f, 5.0f, 0.0f);
    const KelQuadVertex quad[4] = {
        {20, 10, 0, 0, kWhite}, {26, 10, 1, 0, kWhite}, {26, 14, 1, 1, kWhite}, {20, 14, 0, 1, kWhite}};
    const D3DXVECTOR2 at{10.0f, 5.0f};

    struct Case
    {
        const char* name;
        std::function<bool()> draw;
        KelRect covered;
    };
    const Case cases[] = {
        {"whole image", [&] { return sprite.Draw(image, nullptr, &at, nullptr, 0.0f, kWhite); },
         KelRect(10, 5, 14, 8)},
        {"scaled",
         [&]
         {
             D3DXVECTOR2 scale{2.0f, 3.0f};
             return sprite.Draw(image, nullptr, &at, &scale, 0.0f, kWhite);
         },
         KelRect(10, 5, 18, 14)},
        {"render offset, scaled with the picture",
         [&]
         {
             D3DXVECTOR2 scale{2.0f, 2.0f};
             return sprite.Draw(offset, nullptr, &at, &scale, 0.0f, kWhite);
         },
         KelRect(14, 7, 22, 13)},
        {"source rectangle",
         [&]
         {
             KelRect source(1, 1, 3, 2);
             return sprite.Draw(image, &source, &at, nullptr, 0.0f, kWhite);
         },
         KelRect(10, 5, 12, 6)},
        {"source rectangle limited to the image",
         [&]
         {
             KelRect source(0, 0, 10, 10);
             return sprite.Draw(image, &source, &at, nullptr, 0.0f, kWhite);
         },
         KelRect(10, 5, 14, 8)},
        {"untextured rectangle",
         [&]
         {
             KelRect source(0, 0, 5, 2);
             return sprite.Draw(nullptr, &source, &at, nullptr, 0.0f, kGreen);
         },
         KelRect(10, 5, 15, 7)},
        {"current frame of an animation",
         [&] { return sprite.Draw(animation, nullptr, &at, nullptr, 0.0f, kWhite); }, KelRect(10, 5, 14, 8)},
        {"through the matrix, position included",
         [&]
         {
             sprite.SetMatrix(doubled);
             D3DXVECTOR2 position{5.0f, 4.0f};
             return sprite.DrawTransformed(image, nullptr, &position, kWhite);
         },
         KelRect(10, 8, 18, 14)},
        {"stretched",
         [&]
         {
             KelRect destination(3, 4, 9, 6);
             return sprite.DrawStretched(image, nullptr, &destination, kWhite);
         },
         KelRect(3, 4, 9, 6)},
        {"quad", [&] { return sprite.DrawQuad(image, quad); }, KelRect(20, 10, 26, 14)},
        {"quad through the matrix",
         [&]
         {
             sprite.SetMatrix(moved);
             return sprite.DrawQuad(image, quad);
         },
         KelRect(25, 15, 31, 19)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        D3DXMATRIX identity;
        sprite.SetMatrix(*D3DXMatrixIdentity(&identity));
        BeginFrame();
        EXPECT_TRUE(c.draw());
        for (int i = 0; i < sprite.GetBufferCount(); ++i)
            EXPECT_NE(sprite.GetBoundImage(i), animation);
        sprite.Flush();
        std::vector<uint32_t> frame = EndFrame();
        EXPECT_EQ(Bounds(frame, kGreen), c.covered);
        EXPECT_EQ(Count(frame, kGreen), c.covered.Width() * c.covered.Height());
        EXPECT_EQ(Count(frame, kRed), 0);
    }

    // Without a picture there is nothing to draw.
    EXPECT_FALSE(sprite.Draw(nullptr, nullptr, &at, nullptr, 0.0f, kWhite));
    EXPECT_FALSE(sprite.DrawTransformed(nullptr, nullptr, &at, kWhite));
    EXPECT_FALSE(sprite.DrawStretched(image, nullptr, nullptr, kWhite));
    EXPECT_FALSE(sprite.DrawQuad(image, nullptr));
    for (int i = 0; i < sprite.GetBufferCount(); ++i)
        EXPECT_EQ(sprite.GetQueuedVertices(i), 0);
}

TEST_F(SpriteTest, QuadsOfAnImageStillLoadingAreDropped)
{
    KelSpriteCL sprite(m_device);
    TestImageCL* image = MakeSolidImage(2, 2, kBlue);
    image->Withhold(true);
    D3DXVECTOR2 at{4.0f, 4.0f};
    BeginFrame();
    ASSERT_TRUE(sprite.Draw(image, nullptr, &at, nullptr, 0.0f, kWhite));
    sprite.Flush();
    EXPECT_EQ(sprite.GetQueuedVertices(0), 0);
    EXPECT_EQ(sprite.GetBoundImage(0), nullptr);
    EXPECT_EQ(Count(EndFrame(), kBlue), 0);

    // Once the texture is there, the next frame shows it.
    image->Withhold(false);
    BeginFrame();
    sprite.Draw(image, nullptr, &at, nullptr, 0.0f, kWhite);
    sprite.Flush();
    EXPECT_EQ(Bounds(EndFrame(), kBlue), KelRect(4, 4, 6, 6));
}

TEST_F(SpriteTest, FailuresAreLogged)
{
    {
        KelSpriteCL sprite(nullptr);
        KelRect rect(0, 0, 2, 2);
        EXPECT_FALSE(sprite.Draw(nullptr, &rect, nullptr, nullptr, 0.0f, kWhite));
        sprite.Flush();
    }
    EXPECT_NE(ReadLog().find("创建KelSpriteCL时传入的设备指针为空 error"), std::string::npos);

    // Drawing outside a scene is refused by the device.
    KelSpriteCL sprite(m_device);
    KelLineCL line(m_device);
    KelRect rect(0, 0, 2, 2);
    sprite.Draw(nullptr, &rect, nullptr, nullptr, 0.0f, kWhite);
    sprite.Flush();
    line.AddLine(0, 0, -1, 5, 5, -1);
    EXPECT_TRUE(line.Flush());
    EXPECT_FALSE(line.Flush()); // nothing left
    std::string log = ReadLog();
    EXPECT_NE(log.find("绘制2D面片出错 KelSpriteCL::TextureBufferCL::Flush::DrawIndexedPrimitive  error"),
              std::string::npos);
    EXPECT_NE(log.find("绘制线段出错 KelLineCL::Flush::DrawIndexedPrimitive  error"), std::string::npos);
}
