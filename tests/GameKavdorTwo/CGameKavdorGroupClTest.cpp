// Cards and card groups as the table shows them: which picture a card asks for, how a group is
// laid out, raised, counted, hit and drawn. The skin is made here: every card picture a solid
// colour of its own (red channel = the card's code) and every digit of the count font another,
// so a pixel of a rendered frame tells which card or digit lies on top there.

#include "CGameKavdorGroupCl.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include "CGameCardKavdorTwoCL.h"
#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelFontManagerCL.h"
#include "KelSpriteCL.h"
#include "KelTextureCL.h"

namespace
{
constexpr uint32_t kBackground = 0x646464; // the screen's clear colour
constexpr int kDigitWidth = 6;
constexpr int kDigitHeight = 10;

uint32_t CardColour(int code)
{
    return static_cast<uint32_t>(code) << 16 | 0x8020;
}

uint32_t DigitColour(int digit)
{
    return static_cast<uint32_t>(0x10 + 0x10 * digit) << 8 | 0xF0;
}

// The code of the card whose colour the pixel has; -1 for anything else.
int CodeOf(uint32_t pixel)
{
    return (pixel & 0xFFFF) == 0x8020 ? static_cast<int>(pixel >> 16) : -1;
}

// The cards the set names, by code. Code 7 is missing from the set and code 8's picture file
// is missing: both must show the placeholder.
std::vector<int> SkinCodes()
{
    std::vector<int> codes;
    for (int code = 1; code <= 54; ++code)
        if (code != 7)
            codes.push_back(code);
    codes.push_back(200);
    codes.push_back(255);
    return codes;
}

// A canvas that notes the drawing calls the cards and groups make, and draws them as usual.
class RecordingCanvas : public KelCanvasCL
{
public:
    struct Text
    {
        std::string font;
        std::string text;
        int x, y;       // as passed
        float ox, oy;   // the origin at the time
        D3DCOLOR color; // the text colour at the time
    };
    struct Fill
    {
        KelRect rect;
        float ox, oy;
        D3DCOLOR color;
    };

    using KelCanvasCL::KelCanvasCL;

    void SetFont(const char* name) override
    {
        fonts.push_back(name != nullptr ? name : "");
        KelCanvasCL::SetFont(name);
    }
    void DrawText(const char* text, int x, int y, const KelRect* clip, bool centre, int maxChars) override
    {
        float ox = 0;
        float oy = 0;
        GetOrigin(&ox, &oy);
        texts.push_back({GetFontName(), text, x, y, ox, oy, GetTextColor()});
        KelCanvasCL::DrawText(text, x, y, clip, centre, maxChars);
    }
    void FillRect(const KelRect& rect, D3DCOLOR color) override
    {
        float ox = 0;
        float oy = 0;
        GetOrigin(&ox, &oy);
        fills.push_back({rect, ox, oy, color});
        KelCanvasCL::FillRect(rect, color);
    }
    void DrawRect(int left, int top, int right, int bottom, D3DCOLOR color) override
    {
        float ox = 0;
        float oy = 0;
        GetOrigin(&ox, &oy);
        outlines.push_back({KelRect(left, top, right, bottom), ox, oy, color});
        KelCanvasCL::DrawRect(left, top, right, bottom, color);
    }

    std::vector<std::string> fonts;
    std::vector<Text> texts;
    std::vector<Fill> fills;
    std::vector<Fill> outlines;
};

class CardGroupTest : public EngineTestBase<>
{
protected:
    CardGroupTest() : EngineTestBase(400, 200) {}

    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        std::string xml = "<textureInfo name=\"card\" type=\"2D\">\n";
        for (int code : SkinCodes())
        {
            const std::string id = GameCardItemCL::ImageId(static_cast<uint8_t>(code));
            if (code != 8)
                m_folder.Write("card/" + id + ".tga", SolidTga(60, 78, 0xFF000000 | CardColour(code)));
            xml += "<group><texture ID=\"" + id + "\" image=\"card\\" + id +
                   ".tga\"><rect left=\"0\" top=\"0\" right=\"60\" bottom=\"78\"/></texture></group>\n";
        }
        m_folder.Write("config/card.xml", xml + "</textureInfo>\n");
        std::string font = "<font name=\"TextNumberYellow\">\n";
        for (int digit = 0; digit < 10; ++digit)
        {
            const std::string name = "font/d" + std::to_string(digit) + ".tga";
            m_folder.Write(name, SolidTga(kDigitWidth, kDigitHeight, 0xFF000000 | DigitColour(digit)));
            font += "<texture ID=\"" + std::to_string(digit) + "\" image=\"font\\d" + std::to_string(digit) +
                    ".tga\"><rect left=\"0\" top=\"0\" right=\"6\" bottom=\"10\"/></texture>\n";
        }
        m_folder.Write("config/TextNumberYellow.xml", font + "</font>\n");

        // The cards load from the frame's image directory, which the application remembers when
        // it starts; the game's own directory is current afterwards until the cards switch.
        m_textureInfo.SetImageDirectoryVerbatim(m_folder.WinPath());
        m_textureInfo.LoadAllTextureInfo();
        GetApp()->OnInitial();
        ASSERT_NE(m_fonts.LoadImageFont(Path("config\\TextNumberYellow.xml").c_str()), nullptr);
    }

    // Replaces the card pictures by one sheet of them, eight to a row, as the real skin has.
    void UseCardSheet()
    {
        const std::vector<int> codes = SkinCodes();
        const int rows = (static_cast<int>(codes.size()) + 7) / 8;
        std::vector<uint32_t> pixels(static_cast<size_t>(480 * 78 * rows), 0);
        std::string xml = "<textureInfo name=\"card\" type=\"2D\">\n";
        for (size_t i = 0; i < codes.size(); ++i)
        {
            const int left = static_cast<int>(i % 8) * 60;
            const int top = static_cast<int>(i / 8) * 78;
            for (int y = top; y < top + 78; ++y)
                for (int x = left; x < left + 60; ++x)
                    pixels[static_cast<size_t>(y * 480 + x)] = 0xFF000000 | CardColour(codes[i]);
            xml += "<texture ID=\"" + GameCardItemCL::ImageId(static_cast<uint8_t>(codes[i])) +
                   "\" image=\"card\\sheet.tga\"><rect left=\"" + std::to_string(left) + "\" top=\"" +
                   std::to_string(top) + "\" right=\"" + std::to_string(left + 60) + "\" bottom=\"" +
                   std::to_string(top + 78) + "\"/></texture>\n";
        }
        m_folder.Write("card/sheet.tga", Tga(480, 78 * rows, pixels));
        m_folder.Write("config/card.xml", xml + "</textureInfo>\n");
        ASSERT_TRUE(m_textureInfo.LoadTextureInfo("card", Path("config\\card.xml")));
    }

    void TearDown() override
    {
        GetApp()->OnDestroy();
        EngineTestBase::TearDown();
    }

    // Renders the groups, in order, through a recording canvas on the screen's device.
    TestFrame Render(std::vector<CGameKavdorGroupCl*> groups, const char* snapshot)
    {
        m_canvas = std::make_unique<RecordingCanvas>(m_device);
        const TestFrame frame = RenderFrame(
            [&](KelCanvasCL*)
            {
                for (CGameKavdorGroupCl* group : groups)
                    group->DrawM(m_canvas.get());
                m_canvas->FlushText();
            });
        Snapshot(frame, snapshot);
        return frame;
    }

    static void Snapshot(const TestFrame& frame, const char* name)
    {
        const char* folder = std::getenv("KAVDOR_SNAPSHOT_DIR");
        if (folder == nullptr)
            return;
        std::vector<uint8_t> rgb;
        for (uint32_t pixel : frame.pixels)
            for (int shift : {16, 8, 0})
                rgb.push_back(static_cast<uint8_t>(pixel >> shift));
        const std::string path = (std::filesystem::path(folder) / (std::string(name) + ".png")).string();
        stbi_write_png(path.c_str(), frame.width, frame.height, 3, rgb.data(), frame.width * 3);
    }

    static void Fill(CGameKavdorGroupCl& group, const std::vector<int>& codes)
    {
        group.DestroyCard();
        for (int code : codes)
            group.AddCard(static_cast<uint8_t>(code));
    }

    std::unique_ptr<RecordingCanvas> m_canvas;
};

std::vector<int> Codes(CGameKavdorGroupCl& group)
{
    std::vector<int> codes;
    for (int i = 0; i < group.GetCardNum(); ++i)
        codes.push_back(group.GetCard(i)->GetCardCode());
    return codes;
}
} // namespace

TEST_F(CardGroupTest, EveryCodeAsksForItsOwnPicture)
{
    const struct
    {
        int code;
        const char* id;
        int suit, face;
    } cases[] = {
        {1, "1_0", 0, 1},
        {13, "13_0", 0, 13},
        {14, "1_1", 1, 1},
        {27, "1_2", 2, 1},
        {39, "13_2", 2, 13},
        {40, "1_3", 3, 1},
        {52, "13_3", 3, 13},
        {53, "53", 5, 53},
        {54, "54", 4, 54},
        {200, "cardBack_kavdor", 255, 255},
        {255, "cardBack_trevan", 255, 255},
        {0, "cardBack_trevan", 255, 255},
        {100, "cardBack_trevan", 255, 255},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(GameCardItemCL::ImageId(static_cast<uint8_t>(c.code)), c.id) << c.code;
        GameCardItemCL item(static_cast<uint8_t>(c.code));
        EXPECT_EQ(item.GetSuit(), c.suit) << c.code;
        EXPECT_EQ(item.GetFace(), c.face) << c.code;
        EXPECT_EQ(item.GetWidth(), 60);
        EXPECT_EQ(item.GetHeight(), 78);
        EXPECT_EQ(item.GetSelectFlag(), 0);
    }

    // Side by side, each shows its own picture.
    CGameKavdorGroupCl group;
    const std::vector<int> shown = {14, 52, 53, 54, 200, 255};
    Fill(group, shown);
    group.SetPosition(0, 0);
    group.SetAlign(0);
    group.SetDirection(GameCardGroupCL::kColumn);
    const TestFrame column = Render({&group}, "cards_column");
    for (size_t i = 0; i + 1 < shown.size(); ++i)
        EXPECT_EQ(CodeOf(column.At(30, 8 * static_cast<int>(i) + 4)), shown[i]) << i;
    EXPECT_EQ(CodeOf(column.At(30, 8 * 5 + 70)), 255);
    EXPECT_EQ(column.At(30, 8 * 5 + 78), kBackground) << "the last card ends 78 pixels down";
    EXPECT_EQ(column.At(60, 4), kBackground) << "a card is 60 pixels wide";
}

TEST_F(CardGroupTest, RemovingTakesTheFirstOfTwoEqualCodesAndOnlyValidIndexes)
{
    CGameKavdorGroupCl group;
    Fill(group, {5, 18, 5, 30});
    group.GetCard(0)->SetCardSelect(1);
    ASSERT_TRUE(group.DelCardByCard(5));
    EXPECT_EQ(Codes(group), (std::vector<int>{18, 5, 30}));
    EXPECT_EQ(group.GetCard(1)->GetSelectFlag(), 0) << "the picked 5, the first, went";
    EXPECT_FALSE(group.DelCardByCard(7));
    EXPECT_TRUE(group.DelCardByCard(5));
    EXPECT_FALSE(group.DelCardByCard(5));
    EXPECT_EQ(Codes(group), (std::vector<int>{18, 30}));

    for (int index : {-1, 2, 3, 1000})
        EXPECT_FALSE(group.DelCard(index)) << index;
    EXPECT_EQ(group.GetCardNum(), 2);
    EXPECT_EQ(group.GetCard(-1), nullptr);
    EXPECT_EQ(group.GetCard(2), nullptr);
    EXPECT_TRUE(group.DelCard(1));
    EXPECT_EQ(Codes(group), (std::vector<int>{18}));

    Fill(group, {1, 2, 3});
    group.SetSelectFlag(1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(group.GetCard(i)->GetSelectFlag(), 1);
    group.GetCard(1)->SetCardSelect(7);
    EXPECT_EQ(group.GetCard(1)->GetSelectFlag(), 1) << "a flag is 0 or 1";
    group.SetSelectFlag(0);
    EXPECT_EQ(group.GetCard(2)->GetSelectFlag(), 0);
    group.DestroyCard();
    EXPECT_EQ(group.GetCardNum(), 0);
    EXPECT_EQ(group.GetCard(0), nullptr);
}

TEST_F(CardGroupTest, SnapOffsetsPlaceTheGroupAgainstItsAnchor)
{
    const struct
    {
        int mode, align, cards;
        int x, y;
    } cases[] = {
        {0, 4, 25, -192, -39}, // (60 + 25 x 13) / 2, truncated
        {0, 1, 25, -385, 0},   {0, 3, 25, 0, -78},   {0, 0, 25, 0, 0},     {0, 2, 25, 0, 0},
        {0, 4, 1, -36, -39},   {0, 4, 0, -30, -39},  {1, 3, 5, 0, -128},   {1, 4, 5, -30, -64},
        {1, 1, 5, -60, 0},     {2, 4, 12, -30, -39}, {3, 4, 20, -30, -39}, {3, 3, 20, 0, -78},
        {2, 1, 12, -60, 0},
    };
    for (const auto& c : cases)
    {
        CGameKavdorGroupCl group;
        for (int i = 0; i < c.cards; ++i)
            group.AddCard(static_cast<uint8_t>(1 + i % 54));
        group.SetDirection(c.mode);
        group.SetAlign(c.align);
        EXPECT_EQ(group.GetSnapOffsetX(), c.x) << c.mode << " " << c.align << " " << c.cards;
        EXPECT_EQ(group.GetSnapOffsetY(), c.y) << c.mode << " " << c.align << " " << c.cards;
    }
}

TEST_F(CardGroupTest, ARowOverlapsLaterCardsAndRaisesPickedOnes)
{
    CGameKavdorGroupCl hand;
    const std::vector<int> codes = {54, 53, 41, 2, 15, 28, 13, 26, 39, 52};
    Fill(hand, codes);
    hand.SetDirection(GameCardGroupCL::kRow);
    hand.SetAlign(GameCardGroupCL::kAlignCentre);
    hand.SetPosition(200, 100);
    hand.GetCard(4)->SetCardSelect(1);
    const TestFrame frame = Render({&hand}, "cards_row");
    // Corner: (200 - 190 / 2, 100 - 39).
    const int left = 105;
    const int top = 61;
    for (int i = 0; i < 9; ++i)
        if (i != 4)
        {
            EXPECT_EQ(CodeOf(frame.At(left + 11 * i, top + 70)), codes[i]) << i;
            EXPECT_EQ(CodeOf(frame.At(left + 11 * i + 10, top + 70)), codes[i]) << i;
        }
    EXPECT_EQ(frame.At(left - 1, top + 70), kBackground);
    EXPECT_EQ(frame.At(left + 99 + 60, top + 70), kBackground);
    EXPECT_EQ(CodeOf(frame.At(left + 99 + 59, top + 77)), codes[9]);
    EXPECT_EQ(frame.At(left + 99, top + 78), kBackground);
    // The picked card stands 16 pixels above the row, and what it leaves below is card 3.
    EXPECT_EQ(CodeOf(frame.At(left + 44, top - 16)), codes[4]);
    EXPECT_EQ(frame.At(left + 44, top - 17), kBackground);
    EXPECT_EQ(frame.At(left + 33, top - 1), kBackground);
    EXPECT_EQ(CodeOf(frame.At(left + 44, top + 61)), codes[4]);
    EXPECT_EQ(CodeOf(frame.At(left + 44, top + 62)), codes[3]);
    EXPECT_EQ(CodeOf(frame.At(left + 55, top + 10)), codes[5]) << "card 5 lies over the raised card";
}

TEST_F(CardGroupTest, AColumnMovesPickedCardsRight)
{
    CGameKavdorGroupCl played;
    const std::vector<int> codes = {3, 16, 29, 42};
    Fill(played, codes);
    played.SetDirection(GameCardGroupCL::kColumn);
    played.SetAlign(GameCardGroupCL::kAlignBottom);
    played.SetPosition(50, 150);
    played.GetCard(1)->SetCardSelect(1);
    const TestFrame frame = Render({&played}, "cards_column_picked");
    // Corner: (50, 150 - (78 + 40)).
    const int top = 32;
    EXPECT_EQ(CodeOf(frame.At(50, top)), codes[0]);
    EXPECT_EQ(CodeOf(frame.At(50 + 21, top + 8)), codes[0]) << "card 1 moved right by 22";
    EXPECT_EQ(CodeOf(frame.At(50 + 22, top + 8)), codes[1]);
    EXPECT_EQ(CodeOf(frame.At(50 + 81, top + 8)), codes[1]);
    EXPECT_EQ(CodeOf(frame.At(50 + 30, top + 16)), codes[2]);
    EXPECT_EQ(CodeOf(frame.At(50 + 30, top + 24 + 77)), codes[3]);
    EXPECT_EQ(frame.At(50, top + 24 + 78), kBackground);
}

TEST_F(CardGroupTest, CompactGroupsShowSomeCardsAndTheCount)
{
    const struct
    {
        int mode, cards, drawn;
        const char* text;
        int textX, textY;
    } cases[] = {
        {GameCardGroupCL::kCompactRow, 12, 5, "12", 35, 50},
        {GameCardGroupCL::kCompactRow, 3, 3, "03", 27, 50},
        {GameCardGroupCL::kCompactColumn, 20, 15, "20", 15, 76},
        {GameCardGroupCL::kCompactColumn, 1, 1, "01", 15, 48},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.text) + " in mode " + std::to_string(c.mode));
        CGameKavdorGroupCl hand;
        std::vector<int> codes;
        for (int i = 0; i < c.cards; ++i)
            codes.push_back(30 + i);
        Fill(hand, codes);
        hand.SetDirection(c.mode);
        hand.SetAlign(0);
        hand.SetPosition(100, 50);
        const TestFrame frame = Render({&hand}, "cards_compact");

        // Through the canvas: the count in the digit font, in white, where the table puts it;
        // the font is back to the system font afterwards.
        ASSERT_EQ(m_canvas->texts.size(), 1u);
        const RecordingCanvas::Text& count = m_canvas->texts[0];
        EXPECT_EQ(count.text, c.text);
        EXPECT_EQ(count.font, "TextNumberYellow");
        EXPECT_EQ(count.color, 0xFFFFFFFFu);
        EXPECT_EQ(count.x, c.textX);
        EXPECT_EQ(count.y, c.textY);
        EXPECT_EQ(count.ox, 100.0f);
        EXPECT_EQ(count.oy, 50.0f);
        EXPECT_EQ(m_canvas->fonts.back(), "system");

        // Through the pixels: the last card drawn is on top at its far edge, the next is not
        // drawn, and both digits lie over the cards.
        const bool row = c.mode == GameCardGroupCL::kCompactRow;
        const int step = row ? 4 : 2;
        const int last = (c.drawn - 1) * step;
        if (row)
        {
            EXPECT_EQ(CodeOf(frame.At(100 + last + 59, 50 + 30)), codes[c.drawn - 1]);
            EXPECT_EQ(frame.At(100 + last + 61, 50 + 30), kBackground);
        }
        else
        {
            EXPECT_EQ(CodeOf(frame.At(100 + 30, 50 + last + 77)), codes[c.drawn - 1]);
            EXPECT_EQ(frame.At(100 + 30, 50 + last + 79), kBackground);
        }
        for (int digit = 0; digit < 2; ++digit)
            EXPECT_EQ(frame.At(100 + c.textX + kDigitWidth * digit + 3, 50 + c.textY + 5),
                      DigitColour(c.text[digit] - '0'))
                << digit;
    }

    // An empty compact group draws nothing, not even "00".
    CGameKavdorGroupCl empty;
    empty.SetDirection(GameCardGroupCL::kCompactRow);
    const TestFrame frame = Render({&empty}, "cards_compact_empty");
    EXPECT_TRUE(m_canvas->texts.empty());
    EXPECT_TRUE(m_canvas->fonts.empty());
    EXPECT_EQ(frame.At(15, 55), kBackground);
}

TEST_F(CardGroupTest, HitTestFindsTheTopCardWithInclusiveEdges)
{
    CGameKavdorGroupCl row;
    Fill(row, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    row.SetDirection(GameCardGroupCL::kRow);
    row.SetAlign(0);
    row.SetPosition(0, 0);
    const struct
    {
        int qx, qy;
        int index; // -1: none
    } cases[] = {
        {35, 10, 3},  {63, 10, 5}, {0, 0, 0},    {159, 78, 9}, {160, 10, -1},
        {-1, 10, -1}, {35, 78, 3}, {35, 79, -1}, {35, -1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(row.GetCard(c.qx, c.qy), c.index < 0 ? nullptr : row.GetCard(c.index))
            << c.qx << "," << c.qy;

    // A raised card is found where it stands; below it the card beneath is found.
    row.GetCard(3)->SetCardSelect(1);
    EXPECT_EQ(row.GetCard(35, -16), row.GetCard(3));
    EXPECT_EQ(row.GetCard(35, 70), row.GetCard(2));
    EXPECT_EQ(row.GetCard(35, -17), nullptr);

    // The anchor and alignment move the test with the drawing.
    row.SetAlign(GameCardGroupCL::kAlignCentre);
    row.SetPosition(200, 100);
    EXPECT_EQ(row.GetCard(200 - 95 + 63, 100 - 39 + 10), row.GetCard(5));

    CGameKavdorGroupCl column;
    Fill(column, {1, 2, 3, 4});
    column.SetDirection(GameCardGroupCL::kColumn);
    column.GetCard(2)->SetCardSelect(1);
    EXPECT_EQ(column.GetCard(10, 17), column.GetCard(1)) << "card 2 moved right, card 1 shows";
    EXPECT_EQ(column.GetCard(30, 17), column.GetCard(2));
    EXPECT_EQ(column.GetCard(82, 17), column.GetCard(2));
    EXPECT_EQ(column.GetCard(83, 17), nullptr);

    // Compact groups are tested at the corner: the last card wins anywhere on the first.
    CGameKavdorGroupCl compact;
    Fill(compact, {1, 2, 3, 4, 5, 6, 7});
    compact.SetDirection(GameCardGroupCL::kCompactRow);
    EXPECT_EQ(compact.GetCard(1, 1), compact.GetCard(6));
    EXPECT_EQ(compact.GetCard(70, 1), nullptr);
}

// What the hit test finds at a pixel is the card drawn there, in rows and columns, with picked
// cards, against any anchor: both place the group with the same offsets. A card's right and
// bottom edges count as the card, so the first pixel past an edge may find the card whose edge
// it is; those pixels are left out here (the edges are tested above).
TEST_F(CardGroupTest, HitTestAgreesWithTheDrawing)
{
    const struct
    {
        int mode, align, x, y;
    } layouts[] = {
        {GameCardGroupCL::kRow, GameCardGroupCL::kAlignCentre, 200, 110},
        {GameCardGroupCL::kRow, GameCardGroupCL::kAlignRight, 390, 100},
        {GameCardGroupCL::kColumn, GameCardGroupCL::kAlignBottom, 120, 195},
        {GameCardGroupCL::kColumn, GameCardGroupCL::kAlignCentre, 200, 100},
    };
    for (const auto& layout : layouts)
    {
        SCOPED_TRACE(std::to_string(layout.mode) + "/" + std::to_string(layout.align));
        CGameKavdorGroupCl group;
        Fill(group, {44, 45, 46, 47, 48, 49, 50, 51, 52});
        for (int picked : {2, 3, 7})
            group.GetCard(picked)->SetCardSelect(1);
        group.SetDirection(layout.mode);
        group.SetAlign(layout.align);
        group.SetPosition(layout.x, layout.y);
        const TestFrame frame = Render(
            {&group}, ("cards_hit_" + std::to_string(layout.mode) + std::to_string(layout.align)).c_str());
        int checked = 0;
        for (int y = 0; y < frame.height; y += 3)
            for (int x = 0; x < frame.width; x += 3)
            {
                const int code = CodeOf(frame.At(x, y));
                if (code < 0 || x == 0 || y == 0 || CodeOf(frame.At(x - 1, y)) != code ||
                    CodeOf(frame.At(x, y - 1)) != code)
                    continue;
                GameCardItemCL* hit = group.GetCard(x, y);
                ASSERT_NE(hit, nullptr) << x << "," << y;
                EXPECT_EQ(hit->GetCardCode(), code) << x << "," << y;
                ++checked;
            }
        EXPECT_GT(checked, 300);
    }
}

TEST_F(CardGroupTest, AMissingPictureShowsAPlaceholderUnderTheCardsAfterIt)
{
    // Code 7 is not in the set, code 8's picture file is missing.
    for (int code : {7, 8})
        EXPECT_EQ(GameCardItemCL(static_cast<uint8_t>(code)).GetImage(), nullptr) << code;
    EXPECT_NE(ReadLog().find("card/7_0"), std::string::npos);

    CGameKavdorGroupCl row;
    Fill(row, {1, 7, 2});
    row.SetDirection(GameCardGroupCL::kRow);
    row.SetAlign(0);
    row.SetPosition(20, 30);
    const TestFrame frame = Render({&row}, "cards_placeholder");

    ASSERT_EQ(m_canvas->fills.size(), 1u);
    const RecordingCanvas::Fill& fill = m_canvas->fills[0];
    EXPECT_EQ(fill.rect.left, 0);
    EXPECT_EQ(fill.rect.top, 0);
    EXPECT_EQ(fill.rect.right, 60);
    EXPECT_EQ(fill.rect.bottom, 78);
    EXPECT_EQ(fill.color, 0xC8FFFFFFu);
    EXPECT_EQ(fill.ox, 31.0f);
    EXPECT_EQ(fill.oy, 30.0f);
    ASSERT_EQ(m_canvas->outlines.size(), 1u);
    EXPECT_EQ(m_canvas->outlines[0].color, 0xFF000000u);
    ASSERT_EQ(m_canvas->texts.size(), 2u);
    EXPECT_EQ(m_canvas->texts[0].text, "7");
    EXPECT_EQ(m_canvas->texts[0].x, 1);
    EXPECT_EQ(m_canvas->texts[0].y, 1);
    EXPECT_EQ(m_canvas->texts[1].text, "黑桃");
    EXPECT_EQ(m_canvas->texts[1].x, 1);
    EXPECT_EQ(m_canvas->texts[1].y, 13);
    for (const auto& text : m_canvas->texts)
        EXPECT_EQ(text.color, 0xFF000000u);

    // Pixels: card 0's strip, the placeholder's strip with dark writing on pale ground, and
    // card 2 over the rest of it, with none of the writing on top.
    EXPECT_EQ(CodeOf(frame.At(25, 60)), 1);
    const uint32_t pale = frame.At(31 + 5, 30 + 60);
    for (int shift : {0, 8, 16})
        EXPECT_GT((pale >> shift) & 0xFF, 0xC0u) << "white over card 0";
    int dark = 0;
    for (int y = 30 + 1; y < 30 + 26; ++y)
        for (int x = 31 + 1; x < 42; ++x)
            dark += (frame.At(x, y) & 0xFF) < 0x40 ? 1 : 0;
    EXPECT_GT(dark, 5) << "the face and suit are written on the strip";
    for (int y = 30; y < 30 + 78; ++y)
        for (int x = 42; x < 42 + 60; ++x)
            ASSERT_EQ(CodeOf(frame.At(x, y)), 2) << x << "," << y;
}

TEST_F(CardGroupTest, TheNewRoundMarkerIsNeverDrawnAndTheOriginComesBack)
{
    CGameKavdorGroupCl played;
    Fill(played, {100});
    played.SetDirection(GameCardGroupCL::kRow);
    played.SetAlign(GameCardGroupCL::kAlignCentre);
    played.SetPosition(200, 100);
    const TestFrame frame = Render({&played}, "cards_marker");
    EXPECT_EQ(frame.At(200, 100), kBackground);
    EXPECT_TRUE(m_canvas->fills.empty()) << "not even a placeholder";

    // Every mode, with picked cards and a missing picture, leaves the origin where it was.
    for (int mode = 0; mode < 4; ++mode)
    {
        CGameKavdorGroupCl group;
        Fill(group, {7, 9, 100, 11, 12, 13});
        group.GetCard(1)->SetCardSelect(1);
        group.SetDirection(mode);
        group.SetAlign(GameCardGroupCL::kAlignCentre);
        group.SetPosition(123, 45);
        RecordingCanvas canvas(m_device);
        canvas.SetOrigin(3.0f, 4.0f);
        RenderFrame([&](KelCanvasCL*) { group.DrawM(&canvas); });
        float x = 0;
        float y = 0;
        canvas.GetOrigin(&x, &y);
        EXPECT_EQ(x, 3.0f) << mode;
        EXPECT_EQ(y, 4.0f) << mode;
    }
}

TEST_F(CardGroupTest, AnUnknownModeIsRefused)
{
    CGameKavdorGroupCl group;
    group.SetDirection(GameCardGroupCL::kCompactColumn);
    for (int mode : {-1, 4, 99})
    {
        group.SetDirection(mode);
        EXPECT_EQ(group.GetDirection(), GameCardGroupCL::kCompactColumn) << mode;
    }
    EXPECT_NE(ReadLog().find("牌组排列方式无效 99"), std::string::npos);
}

// A hand of 33 and four played groups on one sheet of pictures go out as one batch: nothing is
// drawn before the frame's end, and every card is queued in one buffer, in drawing order.
TEST_F(CardGroupTest, TheCardsOfASheetCollectInOneBatch)
{
    UseCardSheet();
    CGameKavdorGroupCl hand;
    for (int i = 0; i < 33; ++i)
        hand.AddCard(static_cast<uint8_t>(9 + (i * 5) % 46)); // all with pictures
    for (int picked : {3, 4, 20})
        hand.GetCard(picked)->SetCardSelect(1);
    hand.SetDirection(GameCardGroupCL::kRow);
    hand.SetAlign(GameCardGroupCL::kAlignCentre);
    hand.SetPosition(200, 150);
    CGameKavdorGroupCl played[4];
    const int placing[4][4] = {{GameCardGroupCL::kRow, GameCardGroupCL::kAlignCentre, 200, 80},
                               {GameCardGroupCL::kColumn, GameCardGroupCL::kAlignRight, 390, 20},
                               {GameCardGroupCL::kRow, 0, 10, 10},
                               {GameCardGroupCL::kColumn, 0, 10, 100}};
    int cards = hand.GetCardNum();
    for (int seat = 0; seat < 4; ++seat)
    {
        for (int i = 0; i <= seat + 2; ++i)
            played[seat].AddCard(static_cast<uint8_t>(10 + 13 * (i % 4)));
        played[seat].SetDirection(placing[seat][0]);
        played[seat].SetAlign(placing[seat][1]);
        played[seat].SetPosition(placing[seat][2], placing[seat][3]);
        cards += played[seat].GetCardNum();
    }

    std::vector<int> queued;
    const TestFrame frame = RenderFrame(
        [&](KelCanvasCL* canvas)
        {
            hand.DrawM(canvas);
            for (CGameKavdorGroupCl& group : played)
                group.DrawM(canvas);
            KelSpriteCL* sprite = canvas->GetImageSprite();
            for (int buffer = 0; buffer < sprite->GetBufferCount(); ++buffer)
                if (sprite->GetQueuedVertices(buffer) > 0)
                    queued.push_back(sprite->GetQueuedVertices(buffer));
        });
    Snapshot(frame, "cards_sheet_table");
    EXPECT_EQ(queued, (std::vector<int>{4 * cards}));
    // Drawn in order: the hand's last card over the one before, played cards over the hand.
    const int left = 200 + hand.GetSnapOffsetX();
    EXPECT_EQ(CodeOf(frame.At(left + 11 * 32 + 30, 150)), hand.GetCard(32)->GetCardCode());
    EXPECT_EQ(CodeOf(frame.At(left + 11 * 31 + 5, 150)), hand.GetCard(31)->GetCardCode());
    EXPECT_EQ(CodeOf(frame.At(200, 80)), played[0].GetCard(2)->GetCardCode());
}
