#include "KelCanvasCL.h"

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "KelFontCL.h"
#include "KelLineCL.h"

namespace
{
using CanvasTest = DrawTest;
using CanvasFrameTest = EngineDrawTest;

int QueuedVertices(KelSpriteCL* sprite)
{
    int count = 0;
    for (int i = 0; i < sprite->GetBufferCount(); ++i)
        count += sprite->GetQueuedVertices(i);
    return count;
}

bool IsScaling(const D3DXMATRIX& matrix, float x, float y)
{
    D3DXMATRIX expected;
    D3DXMatrixScaling(&expected, x, y, 1.0f);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (matrix.m[row][column] != expected.m[row][column])
                return false;
    return true;
}
} // namespace

TEST_F(CanvasTest, AFilledRectangleIsDrawnAtOnceUnderLaterImages)
{
    KelCanvasCL* canvas = Canvas();
    TestImageCL* image = MakeSolidImage(4, 4, kBlue);
    BeginFrame();
    canvas->FillRect(10, 10, 30, 20, kRed);
    EXPECT_EQ(QueuedVertices(canvas->GetImageSprite()), 0);
    EXPECT_EQ(Bounds(Peek(), kRed), KelRect(10, 10, 30, 20));

    D3DXVECTOR2 at{12.0f, 12.0f};
    canvas->GetImageSprite()->Draw(image, nullptr, &at, nullptr, 0.0f, kWhite);
    canvas->FlushImages();
    std::vector<uint32_t> frame = EndFrame();
    EXPECT_EQ(Bounds(frame, kBlue), KelRect(12, 12, 16, 16));
    EXPECT_EQ(Count(frame, kRed), 20 * 10 - 16);
}

TEST_F(CanvasTest, EveryDrawingIsRelativeToTheOrigin)
{
    KelCanvasCL* canvas = Canvas();
    canvas->SetOrigin(5.0f, 5.0f);
    canvas->Translate(2.0f, 3.0f);
    float x = 0.0f;
    float y = 0.0f;
    canvas->GetOrigin(&x, &y);
    EXPECT_EQ(x, 7.0f);
    EXPECT_EQ(y, 8.0f);

    const KelQuadVertex quad[4] = {
        {30, 20, 0, 0, kYellow}, {34, 20, 0, 0, kYellow}, {34, 22, 0, 0, kYellow}, {30, 22, 0, 0, kYellow}};
    BeginFrame();
    canvas->FillRect(KelRect(0, 0, 4, 4), kRed);
    canvas->SetColor(kGreen);
    canvas->DrawLine(0, 10, 5, 10);
    canvas->FlushLines();           // otherwise the first point would join the line's end
    canvas->DrawPoint(0.0f, 30.0f); // the first point of a batch has no segment
    canvas->DrawPoint(4.0f, 30.0f);
    canvas->FlushLines();
    canvas->DrawRect(20, 0, 25, 3, kBlue);
    EXPECT_TRUE(canvas->DrawQuad(nullptr, quad));
    canvas->FlushImages();
    std::vector<uint32_t> frame = EndFrame();

    EXPECT_EQ(Bounds(frame, kRed), KelRect(7, 8, 11, 12));
    // Lines leave out their last pixel.
    EXPECT_EQ(Count(frame, kGreen), 5 + 4);
    EXPECT_EQ(Pixel(frame, 7, 18), kGreen);
    EXPECT_EQ(Pixel(frame, 11, 18), kGreen);
    EXPECT_EQ(Pixel(frame, 7, 38), kGreen);
    EXPECT_EQ(Pixel(frame, 10, 38), kGreen);
    EXPECT_EQ(Bounds(frame, kBlue), KelRect(27, 8, 33, 12));
    EXPECT_EQ(Bounds(frame, kYellow), KelRect(37, 28, 41, 30));

    // Reset brings the origin and both batches' matrices back.
    D3DXMATRIX scaled;
    canvas->GetTextSprite()->SetMatrix(*D3DXMatrixScaling(&scaled, 2.0f, 2.0f, 1.0f));
    canvas->Reset();
    canvas->GetOrigin(&x, &y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_TRUE(IsScaling(canvas->GetTextSprite()->GetMatrix(), 1.0f, 1.0f));
    EXPECT_TRUE(IsScaling(canvas->GetImageSprite()->GetMatrix(), 1.0f, 1.0f));
    EXPECT_EQ(canvas->GetTargetWidth(), kWidth);
    EXPECT_EQ(canvas->GetTargetHeight(), kHeight);
}

TEST_F(CanvasTest, ARectangleOutlineIsDrawnAtOnceInItsColour)
{
    KelCanvasCL* canvas = Canvas();
    BeginFrame();
    canvas->SetColor(kRed);
    canvas->DrawLine(0, 40, 10, 40); // queued before: drawn first, in its own colour
    canvas->DrawRect(2, 2, 8, 6, kGreen);
    EXPECT_EQ(canvas->GetLine()->GetVertexCount(), 0);
    EXPECT_EQ(canvas->GetColor(), kGreen);
    std::vector<uint32_t> frame = Peek();
    EXPECT_EQ(Count(frame, kRed), 10);
    // Each edge leaves out its last pixel: the bottom-left corner stays empty. The top and left
    // edges share the top-left one.
    EXPECT_EQ(Count(frame, kGreen), 6 + 4 + 6 + 4 - 1);
    EXPECT_EQ(Bounds(frame, kGreen), KelRect(2, 2, 9, 7));
    EXPECT_EQ(Pixel(frame, 8, 2), kGreen);
    EXPECT_EQ(Pixel(frame, 8, 6), kGreen);
    EXPECT_EQ(Pixel(frame, 2, 5), kGreen);
    EXPECT_EQ(Pixel(frame, 2, 6), kBlack);
    EXPECT_EQ(Pixel(frame, 5, 4), kBlack);
    EndFrame();
    EXPECT_EQ(canvas->SetLineWidth(2.0f), 1.0f);
    EXPECT_EQ(canvas->GetLine()->GetWidth(), 2.0f);
}

TEST_F(CanvasTest, AFullLineBatchIsDrawnBeforeTheNextSegment)
{
    // Eight entries: a batch is drawn once its indices reach six.
    KelLineCL line(m_device, 8);
    line.SetColor(kRed);
    BeginFrame();
    for (int i = 0; i < 3; ++i)
        line.AddLine(0.0f, static_cast<float>(i * 2), -1.0f, 10.0f, static_cast<float>(i * 2), -1.0f);
    EXPECT_EQ(line.GetVertexCount(), 6);
    EXPECT_EQ(Count(Peek(), kRed), 0);
    line.AddPoint(20.0f, 20.0f, -1.0f);
    EXPECT_EQ(line.GetVertexCount(), 1);
    EXPECT_EQ(Count(Peek(), kRed), 30);
    line.SetColor(kGreen);
    line.AddPoint(25.0f, 20.0f, -1.0f); // from the previous point
    EXPECT_TRUE(line.Flush());
    EXPECT_FALSE(line.Flush());
    std::vector<uint32_t> frame = EndFrame();
    // The segment runs from the first point's colour towards the second's.
    EXPECT_EQ(Pixel(frame, 20, 20), kRed);
    for (int x = 21; x < 25; ++x)
        EXPECT_NE(Pixel(frame, x, 20), kBlack) << x;
    uint32_t nearEnd = Pixel(frame, 24, 20);
    EXPECT_GT((nearEnd >> 8) & 0xFF, (nearEnd >> 16) & 0xFF);
    EXPECT_EQ(Pixel(frame, 25, 20), kBlack);
}

TEST_F(CanvasTest, BatchesKeepWorkingThroughADeviceLoss)
{
    KelCanvasCL* canvas = Canvas();
    TestImageCL* image = MakeSolidImage(4, 4, kBlue);
    auto drawFrame = [&](uint32_t fill)
    {
        BeginFrame();
        canvas->FillRect(0, 0, 10, 10, fill);
        D3DXVECTOR2 at{20.0f, 20.0f};
        canvas->GetImageSprite()->Draw(image, nullptr, &at, nullptr, 0.0f, kWhite);
        canvas->SetColor(kGreen);
        canvas->DrawLine(30, 5, 40, 5);
        canvas->FlushLines();
        canvas->FlushImages();
        m_camera->End();
        m_device->EndScene();
        return m_device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(drawFrame(kRed), D3D_OK);

    m_device->SimulateDeviceLost();
    EXPECT_EQ(drawFrame(kYellow), D3DERR_DEVICELOST);
    EXPECT_TRUE(m_camera->OnLostDevice());
    EXPECT_TRUE(canvas->GetImageSprite()->OnLostDevice());
    EXPECT_TRUE(canvas->GetLine()->OnLostDevice());
    D3DPRESENT_PARAMETERS parameters = TestPresentParameters(m_window);
    ASSERT_EQ(m_device->Reset(&parameters), D3D_OK); // nothing of the batches is in the default pool
    EXPECT_TRUE(m_camera->OnResetDevice());

    ASSERT_EQ(drawFrame(kYellow), D3D_OK);
    std::vector<uint32_t> frame = m_window.Frame();
    EXPECT_EQ(Bounds(frame, kYellow), KelRect(0, 0, 10, 10));
    EXPECT_EQ(Bounds(frame, kBlue), KelRect(20, 20, 24, 24));
    EXPECT_EQ(Bounds(frame, kGreen), KelRect(30, 5, 40, 6));
}

TEST_F(CanvasFrameTest, TextDrawnBeforeImagesLiesAboveThem)
{
    int height = 0;
    int width = 0;
    int weight = 0;
    bool missing = false;
    m_screen->SetRenderCallback(
        [&](KelCanvasCL* canvas)
        {
            EXPECT_EQ(canvas->GetFont(), m_fonts.GetFont("system"));
            height = canvas->GetFontHeight();
            width = canvas->GetTextWidth("HH");
            weight = canvas->GetFontWeight();
            canvas->SetTextColor(0xFFFFFFFF);
            canvas->DrawText("HH", 10, 10, nullptr, false, 0);
            // Queued on the image batch after the text, over the same place.
            KelRect area(0, 0, 40, 30);
            D3DXVECTOR2 at{5.0f, 5.0f};
            canvas->GetImageSprite()->Draw(nullptr, &area, &at, nullptr, 0.0f, kBlue);
            // An unknown font draws nothing.
            canvas->SetFont("no such font");
            missing = canvas->GetFont() == nullptr && canvas->GetFontHeight() == 0;
            canvas->DrawText("HH", 10, 30, nullptr, false, 0);
        });
    m_screen->RenderFrame();
    std::vector<uint32_t> frame = Frame();
    EXPECT_EQ(height, 12);
    EXPECT_GT(width, 0);
    EXPECT_EQ(weight, 1);
    EXPECT_TRUE(missing);
    int white = 0;
    int blue = 0;
    for (int y = 5; y < 35; ++y)
        for (int x = 5; x < 45; ++x)
        {
            white += Pixel(frame, x, y) == kWhite ? 1 : 0;
            blue += Pixel(frame, x, y) == kBlue ? 1 : 0;
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(white + blue, 40 * 30);
}

TEST_F(CanvasFrameTest, TextScaleScalesGlyphsAndTheirPlaces)
{
    auto textBounds = [&](float scale)
    {
        m_screen->SetRenderCallback(
            [&](KelCanvasCL* canvas)
            {
                canvas->SetTextScale(scale, scale);
                canvas->DrawText("H", 10, 10, nullptr, false, 0);
            });
        m_screen->RenderFrame();
        std::vector<uint32_t> frame = Frame();
        KelRect bounds(kWidth, kHeight, -1, -1);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (Pixel(frame, x, y) == kWhite)
                {
                    bounds.left = std::min(bounds.left, x);
                    bounds.top = std::min(bounds.top, y);
                    bounds.right = std::max(bounds.right, x + 1);
                    bounds.bottom = std::max(bounds.bottom, y + 1);
                }
        return bounds;
    };
    KelRect plain = textBounds(1.0f);
    ASSERT_GT(plain.Width(), 0);
    KelRect doubled = textBounds(2.0f);
    EXPECT_EQ(doubled.Width(), plain.Width() * 2);
    EXPECT_EQ(doubled.Height(), plain.Height() * 2);
    EXPECT_EQ(doubled.left - 10, (plain.left - 10) * 2);
    EXPECT_EQ(doubled.top - 10, (plain.top - 10) * 2);

    // The scale stays with the font; selecting it again gives the text batch its scale.
    KelCanvasCL* canvas = m_screen->GetCanvas();
    EXPECT_EQ(m_fonts.GetFont("system")->GetScaleX(), 2.0f);
    canvas->SetFont("system");
    float x = 0.0f;
    float y = 0.0f;
    canvas->GetTextScale(&x, &y);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_TRUE(IsScaling(canvas->GetTextSprite()->GetMatrix(), 2.0f, 2.0f));
    EXPECT_EQ(canvas->GetFontHeight(), 24);
}

// The canvas keeps the selected font between frames; a font the manager has deleted since
// (destroyed by name or swept as unused) must not be used through it.
TEST_F(CanvasFrameTest, AFontDeletedByTheManagerIsNotUsedAnyMore)
{
    KelCanvasCL* canvas = m_screen->GetCanvas();
    ASSERT_NE(canvas, nullptr);
    ASSERT_NE(m_fonts.CreateFont("digits", "宋体", 8, 16, 1, nullptr), nullptr);
    canvas->SetFont("digits");
    ASSERT_EQ(canvas->GetFont(), m_fonts.GetFont("digits"));
    EXPECT_EQ(canvas->GetFontHeight(), 16);
    m_fonts.DestroyFont("digits");
    EXPECT_EQ(canvas->GetFont(), nullptr);
    EXPECT_EQ(canvas->GetFontHeight(), 0);
    EXPECT_EQ(canvas->GetTextWidth("12"), 0);

    KelFontCL* unused = m_fonts.CreateFont("unused", "宋体", 8, 16, 1, nullptr);
    ASSERT_NE(unused, nullptr);
    canvas->SetFont("unused");
    ASSERT_EQ(canvas->GetFont(), unused);
    unused->ReleaseReference();
    m_fonts.Sweep();
    EXPECT_EQ(canvas->GetFont(), nullptr);
    canvas->DrawText("12", 0, 0, nullptr, false, 0);
    EXPECT_EQ(canvas->GetTextSprite()->GetBufferCount(), 0);
}

TEST_F(CanvasFrameTest, TextScaleFollowsAFontFoundLaterAndRefusesEmptyScales)
{
    KelCanvasCL* canvas = m_screen->GetCanvas();
    ASSERT_NE(canvas, nullptr);
    // Named before it exists: the batch takes the font's scale once the font is there.
    canvas->SetFont("later");
    EXPECT_EQ(canvas->GetFont(), nullptr);
    KelFontCL* later = m_fonts.CreateFont("later", "宋体", 6, 12, 1, nullptr);
    ASSERT_NE(later, nullptr);
    later->SetScale(2.0f, 3.0f);
    ASSERT_EQ(canvas->GetFont(), later);
    float x = 0.0f;
    float y = 0.0f;
    canvas->GetTextScale(&x, &y);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 3.0f);

    // The font refuses an empty scale, and so does the canvas: both keep measuring alike.
    canvas->SetTextScale(0.0f, 1.0f);
    canvas->GetTextScale(&x, &y);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(later->GetScaleX(), 2.0f);
}
