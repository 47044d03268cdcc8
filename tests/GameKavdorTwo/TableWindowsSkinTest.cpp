// The action bar and the turn clock with the generated skin, loaded from the runtime folder as
// the host and the module load it: every picture they ask for is found in the directory they
// ask in, and drawn, pixel for pixel, where it belongs. With KAVDOR_SNAPSHOT_DIR set the frames
// are written there for people to look at.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "CDlgFunctionBarCL.h"
#include "CGameCardKavdorTwoCL.h"
#include "DlgCountDownCL.h"
#include "KelFontCL.h"
#include "KelGuiPieces.h"
#include "KelImageCL.h"
#include "KelTextureCL.h"
#include "KelWnd2DButtonCL.h"
#include "TableWindowTestSupport.h"

using namespace tabletest;

namespace
{
constexpr int kBarX = kScreenWidth / 2;
constexpr int kBarY = kScreenHeight - 297;
constexpr int kClockX = 60;
constexpr int kClockY = 420;

std::string WinPath(const std::filesystem::path& path)
{
    std::string text = std::filesystem::absolute(path).lexically_normal().string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

// A picture (w x h, read through `colour`) that the frame shows at (x, y): every opaque pixel is
// there as it is. Half-transparent pixels, blended with what lies beneath, are not compared, but
// at least a quarter of the picture must be opaque for the comparison to mean anything.
template <class ColourOf>
::testing::AssertionResult PictureAt(const TestFrame& frame, int x, int y, int w, int h, ColourOf colour)
{
    int opaque = 0;
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px)
        {
            const D3DCOLOR pixel = colour(px, py);
            if ((pixel >> 24) != 0xFF)
                continue;
            ++opaque;
            if (frame.At(x + px, y + py) != (pixel & 0xFFFFFF))
                return ::testing::AssertionFailure()
                       << "pixel (" << px << ", " << py << ") at (" << x + px << ", " << y + py << ") is "
                       << std::hex << frame.At(x + px, y + py) << " instead of " << (pixel & 0xFFFFFF);
        }
    if (opaque * 4 < w * h)
        return ::testing::AssertionFailure()
               << "a picture of " << w << " x " << h << " with " << opaque << " opaque pixels";
    return ::testing::AssertionSuccess();
}

// A button's normal picture at its place on the screen.
::testing::AssertionResult ButtonAt(const TestFrame& frame, KelWndBaseCL* window)
{
    auto* button = dynamic_cast<KelWnd2DButtonCL*>(window);
    if (button == nullptr || button->GetStateImage(0) == nullptr)
        return ::testing::AssertionFailure() << "no button with a picture";
    KelTextureCL* picture = button->GetStateImage(0);
    const POINT place = button->GetPosInScreenM(0, 0);
    return PictureAt(frame, place.x, place.y, picture->GetWidth(), picture->GetHeight(),
                     [picture](int x, int y)
                     {
                         D3DCOLOR colour = 0;
                         picture->GetPointColor(x, y, &colour);
                         return colour;
                     });
}

// Nothing but felt where a hidden button would be.
bool FeltAt(const TestFrame& frame, KelWndBaseCL* window)
{
    auto* button = dynamic_cast<KelWnd2DButtonCL*>(window);
    const POINT place = button->GetPosInScreenM(0, 0);
    const auto [w, h] = button->GetSizeM();
    for (int y = place.y; y < place.y + h; ++y)
        for (int x = place.x; x < place.x + w; ++x)
            if (frame.At(x, y) != kFelt)
                return false;
    return true;
}

// A glyph of the font at (x, y) of the screen.
::testing::AssertionResult GlyphAt(const TestFrame& frame, KelFontCL* font, char c, int x, int y)
{
    const KelGlyph& glyph = font->GetGlyph(static_cast<unsigned char>(c));
    KelImageCL* page = font->GetPage(glyph.page);
    if (page == nullptr || glyph.width == 0)
        return ::testing::AssertionFailure() << "no glyph '" << c << "'";
    return PictureAt(frame, x, y, glyph.width, glyph.height,
                     [&](int px, int py)
                     {
                         D3DCOLOR colour = 0;
                         page->GetPointColor(glyph.x + px, glyph.y + py, &colour);
                         return colour;
                     });
}

class TableWindowsSkinTest : public TableWindowTest
{
protected:
    void SetUp() override
    {
        TableWindowTest::SetUp();
        ASSERT_TRUE(std::filesystem::exists(m_run / "image" / "config" / "gameWndEX.xml"))
            << "the skin is generated into " << m_run;
        // The runtime folder is the module directory; the host's pictures are current when the
        // game starts.
        m_system.directory = WinPath(m_run);
        m_textureInfo.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textureInfo.LoadAllTextureInfo();
        m_font = m_fonts.LoadImageFont(WinPath(m_run / "image" / "config" / "TextNumberYellow.xml").c_str());
        ASSERT_NE(m_font, nullptr);
        GetApp()->OnInitial();
        m_play = OpenTable();
        m_bar = new CDlgFunctionBarCL(m_play);
    }

    const std::filesystem::path m_run = KAVDOR_RUN_FOLDER;
    KelFontCL* m_font = nullptr;
    FakePlayWindow* m_play = nullptr;
    CDlgFunctionBarCL* m_bar = nullptr;
};
} // namespace

TEST_F(TableWindowsSkinTest, BidButtonsAndTheClock)
{
    m_play->calls = {0, 1, 0, 0};
    m_bar->ShowCall(true, 0);
    new DlgCountDownCL("callCardWindow_1", m_play, 15, kClockX, kClockY, 10);
    m_ticks.Advance(5500);
    const TestFrame frame = Frame();
    Snapshot(frame, "skin_bids_and_clock");

    EXPECT_TRUE(FeltAt(frame, m_bar->FindChildM("m_callScore1")));
    for (const char* name : {"m_callScore2", "m_callScore3", "m_callNo"})
        EXPECT_TRUE(ButtonAt(frame, m_bar->FindChildM(name))) << name;
    EXPECT_FALSE(ButtonAt(frame, m_bar->FindChildM("m_ready")));

    // The clock's picture, and 9 seconds left in the yellow digits on it.
    const int digitsX = kClockX + 17;
    const int digitsY = kClockY + 11;
    const int digitsRight = digitsX + 2 * m_font->GetGlyph('0').width;
    const int digitsBottom = digitsY + m_font->GetGlyph('0').height;
    KelTexturePtr clock = KelCreateGuiTexture("gameWndEX", "countDown_back");
    ASSERT_NE(clock, nullptr);
    EXPECT_TRUE(PictureAt(frame, kClockX + 5, kClockY, clock->GetWidth(), clock->GetHeight(),
                          [&](int x, int y)
                          {
                              D3DCOLOR colour = 0;
                              const int sx = kClockX + 5 + x;
                              const int sy = kClockY + y;
                              // Under the digits the picture does not show as it is.
                              if (sx < digitsX || sx >= digitsRight || sy < digitsY || sy >= digitsBottom)
                                  clock->GetPointColor(x, y, &colour);
                              return colour;
                          }));
    EXPECT_TRUE(GlyphAt(frame, m_font, '0', digitsX, digitsY));
    EXPECT_TRUE(GlyphAt(frame, m_font, '9', digitsX + m_font->GetGlyph('0').width, digitsY));
}

TEST_F(TableWindowsSkinTest, ReadyThenPlayPassAndHint)
{
    m_bar->ShowReady(true);
    TestFrame frame = Frame();
    Snapshot(frame, "skin_ready");
    EXPECT_TRUE(ButtonAt(frame, m_bar->FindChildM("m_ready")));

    m_bar->ShowOutCard(true, true);
    frame = Frame();
    Snapshot(frame, "skin_follow");
    EXPECT_FALSE(ButtonAt(frame, m_bar->FindChildM("m_ready")));
    for (const char* name : {"m_outCard", "m_unOutCard", "m_hint"})
        EXPECT_TRUE(ButtonAt(frame, m_bar->FindChildM(name))) << name;
}
