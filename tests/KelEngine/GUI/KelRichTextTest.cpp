#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "KelWnd2DScrollBarCL.h"
#include "Win32/Clipboard.h"
#include "Win32/Keyboard.h"

namespace
{
class RichTextTest : public ControlsTest
{
protected:
    KelWnd2DRichEditIICL* Box(int w = 120, int h = 60)
    {
        return new KelWnd2DRichEditIICL("rich", m_ui.GetDeskTopM(), 10, 10, w, h, 0);
    }
    // Each item as "text@x,y#colour" (or "face:id@x,y").
    static std::vector<std::string> Layout(KelWnd2DRichEditIICL* box)
    {
        std::vector<std::string> out;
        for (const auto& item : box->GetItems())
        {
            char colour[16] = "";
            if (auto* text = dynamic_cast<KelRichTextItemCL*>(item.get()))
                std::snprintf(colour, sizeof colour, "#%08X", text->color);
            out.push_back((item->IsImage() ? "face:" : "") + item->Text() + "@" + std::to_string(item->x) +
                          "," + std::to_string(item->y) + colour);
        }
        return out;
    }
};
} // namespace

TEST_F(RichTextTest, MarkupSetsColoursCaseSensitivelyAndSelectionInAnyCase)
{
    // Each case: the texts of the items and their colours; items follow each other on the line.
    struct
    {
        const char* text;
        std::vector<std::pair<std::string, D3DCOLOR>> items;
    } const cases[] = {
        {"#RED#abc#END#def", {{"abc", 0xFFFF0000}, {"def", 0xFF000000}}},
        {"#red#abc", {{"abc", 0xFF000000}}}, // not in the table: the default colour
        {"a##b", {{"a##b", 0xFF000000}}},    // nothing between: plain characters
        {"#GREENBLUE#x#nosuch#y", {{"x", 0xFF00FFFF}, {"y", 0xFF000000}}},
        {"#select#s#SelectEnd#t", {{"s", 0xFF000000}, {"t", 0xFF000000}}}, // no colour change
    };
    for (const auto& c : cases)
    {
        KelWnd2DRichEditIICL* box = Box();
        box->AddTextM(c.text);
        const auto& items = box->GetItems();
        ASSERT_EQ(items.size(), c.items.size()) << c.text;
        for (size_t i = 0; i < items.size(); ++i)
        {
            auto* text = dynamic_cast<KelRichTextItemCL*>(items[i].get());
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->text, c.items[i].first) << c.text;
            EXPECT_EQ(text->color, c.items[i].second) << c.text;
            EXPECT_EQ(text->x, i == 0 ? 0 : items[i - 1]->x + items[i - 1]->width) << c.text;
        }
        box->CloseM();
        Frame();
    }
    // A stretch between two "#" longer than a marker name can be is plain text.
    KelWnd2DRichEditIICL* box = Box(4000);
    const std::string longName = "#" + std::string(300, 'n') + "#";
    box->AddTextM(longName + "z");
    EXPECT_EQ(box->GetPlainTextM(), longName + "z");
}

TEST_F(RichTextTest, SelectableRunsAreHotAsAWholeAcrossTheirLines)
{
    KelWnd2DRichEditIICL* box = Box(60);
    box->AddTextM("ab#SELECT#0123456789xyz#SELECTEND#q"); // the run wraps after 8 characters
    ASSERT_GE(box->GetItems().size(), 3u);
    const auto& items = box->GetItems();
    EXPECT_TRUE(items[1]->selectable);
    EXPECT_TRUE(items[2]->selectable);
    EXPECT_EQ(items[1]->group, items[2]->group);
    EXPECT_FALSE(items.back()->selectable);
    // Over the part on the second line: the whole run turns hot.
    Post(WM_MOUSEMOVE, 10 + 3, 10 + items[2]->y + 3);
    EXPECT_TRUE(items[1]->hot);
    EXPECT_TRUE(items[2]->hot);
    EXPECT_FALSE(items[0]->hot);
    Post(WM_MOUSEMOVE, 200, 200);
    EXPECT_FALSE(items[1]->hot);
}

TEST_F(RichTextTest, RunsWrapByCharactersAndFacesRaiseTheirLine)
{
    const std::string dou = "\xB6\xB7";
    const int charWidth = m_fonts.GetFont("system")->GetTextWidth(dou.c_str());
    ASSERT_GT(charWidth, 0);
    KelWnd2DRichEditIICL* box = Box(charWidth * 4 + charWidth / 2); // room for four and a half
    std::string run;
    for (int i = 0; i < 10; ++i)
        run += dou;
    box->AddTextM(run);
    ASSERT_EQ(box->GetItems().size(), 3u);
    EXPECT_EQ(box->GetItems()[0]->Text(), run.substr(0, 8)) << "four whole characters a line";
    EXPECT_EQ(box->GetItems()[2]->Text(), run.substr(0, 4));
    EXPECT_EQ(box->GetItems()[1]->y, 12 + 3);

    KelWnd2DRichEditIICL* faces = Box(200);
    faces->AddTextM("hi/01");
    ASSERT_EQ(faces->GetItems().size(), 2u);
    EXPECT_TRUE(faces->GetItems()[1]->IsImage());
    EXPECT_EQ(faces->GetItems()[1]->y, 0);
    EXPECT_EQ(faces->GetItems()[0]->y, 8) << "the text rests on the bottom of a 20-pixel line";
    faces->NewLineM();
    faces->NewLineM();
    faces->AddTextM("next");
    EXPECT_EQ(faces->GetItems().back()->y, 20 + 3) << "two NewLineM calls move down once";
    KelWnd2DRichEditIICL* empty = Box();
    empty->NewLineM();
    empty->AddTextM("x");
    EXPECT_EQ(empty->GetItems()[0]->y, 0);

    // Narrower than one character: one character a line, and the layout ends.
    KelWnd2DRichEditIICL* narrow = Box(3);
    narrow->AddTextM("abc");
    EXPECT_EQ(narrow->GetItems().size(), 3u);
}

TEST_F(RichTextTest, ScrollingIsClampedAndTheWheelStepsEighteenPixels)
{
    KelWnd2DRichEditIICL* box = Box(120, 40);
    box->AddTextM("short");
    box->SetScrollPosM(99999);
    EXPECT_EQ(box->GetScrollPos(), 0) << "shorter than the box";
    for (int i = 0; i < 10; ++i)
    {
        box->NewLineM();
        box->AddTextM("line " + std::to_string(i));
    }
    box->SetScrollPosM(99999);
    EXPECT_EQ(box->GetScrollPos(), box->GetLineTopM() + 20 - 40) << "a text line counts 20 high";
    EXPECT_TRUE(box->IsScrollAtEndM());
    box->SetScrollPosM(0);
    Post(WM_MOUSEMOVE, 20, 20);
    m_ui.PostMessageM(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(20, 20));
    EXPECT_EQ(box->GetScrollPos(), 18);
    m_ui.PostMessageM(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(20, 20));
    EXPECT_EQ(box->GetScrollPos(), 0);
}

TEST_F(RichTextTest, TypingMarkupBackspaceAndTheLengthLimit)
{
    KelWnd2DRichEditIICL* box = Box(200);
    box->SetEditableM(true);
    box->SetFocusM(true);
    m_ui.SetFocusWndM(box);
    for (char c : std::string("#BLUE"))
        m_ui.PostMessageM(nullptr, WM_CHAR, static_cast<unsigned char>(c), 0);
    EXPECT_EQ(box->GetPlainTextM(), "#BLUE") << "shown until the closing #";
    m_ui.PostMessageM(nullptr, WM_CHAR, '#', 0);
    EXPECT_EQ(box->GetPlainTextM(), "");
    m_ui.PostMessageM(nullptr, WM_CHAR, 'x', 0);
    ASSERT_EQ(box->GetItems().size(), 1u);
    EXPECT_EQ(dynamic_cast<KelRichTextItemCL*>(box->GetItems()[0].get())->color, 0xFF0000FFu);

    box->AddTextM("/01");
    m_ui.PostMessageM(nullptr, WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(box->GetPlainTextM(), "x") << "Backspace after a face removes it";
    box->AddTextM("#END#ok");
    m_ui.PostMessageM(nullptr, WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(box->GetPlainTextM(), "xo");

    Win32SetClipboardText(std::string(98, 'p')); // 2 + 98 = 100: allowed
    Win32SetKeyDown(VK_CONTROL, true);
    m_ui.PostMessageM(nullptr, WM_KEYDOWN, 'V', 0);
    EXPECT_EQ(box->GetPlainTextM().size(), 100u);
    Win32SetClipboardText("q"); // 101: refused
    m_ui.PostMessageM(nullptr, WM_KEYDOWN, 'V', 0);
    Win32SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(box->GetPlainTextM().size(), 100u);
}

TEST_F(RichTextTest, ScrollBarsClampReportAndSurviveAZeroTrack)
{
    auto* bar = new KelWnd2DScrollBarCL("bar", m_ui.GetDeskTopM(), 200, 10, 100, 0);
    EXPECT_EQ(bar->GetSizeM(), std::make_pair(12, 100));
    ASSERT_NE(bar->GetDownButton(), nullptr);
    EXPECT_EQ(bar->GetDownButton()->GetPosM(), std::make_pair(0, 90));
    bar->SetBarRangeM(0, 10);
    std::vector<std::pair<int, int>> reports;
    bar->SetMsgFunM(KWM_SCROLL, [&reports](KelWndMsg m) { reports.push_back({m.param1, m.param3}); });
    for (int i = 0; i < 11; ++i)
        Click(205, 10 + 95);
    EXPECT_EQ(bar->GetBarPosM(), 10);
    ASSERT_EQ(reports.size(), 10u) << "the eleventh click changes nothing and sends nothing";
    EXPECT_EQ(reports[0], std::make_pair(1, 10 + 7)); // 10 + 1/10 of the 72-pixel travel
    EXPECT_EQ(reports[9], std::make_pair(10, 10 + 72));

    bar->SetBarRangeM(0, 5);
    EXPECT_EQ(bar->GetBarPosM(), 10) << "left above a lowered maximum";
    Click(205, 10 + 5); // up: only the step
    EXPECT_EQ(bar->GetBarPosM(), 9);
    Click(205, 10 + 95); // down: clamped
    EXPECT_EQ(bar->GetBarPosM(), 5);

    // A bar no taller than its buttons: dragging the thumb keeps the minimum.
    auto* tiny = new KelWnd2DScrollBarCL("tiny", m_ui.GetDeskTopM(), 250, 10, 28, 0);
    tiny->SetBarRangeM(3, 50);
    tiny->SetBarPosM(3);
    Post(WM_LBUTTONDOWN, 255, 10 + 12, MK_LBUTTON);
    Post(WM_MOUSEMOVE, 255, 10 + 40, MK_LBUTTON);
    Post(WM_LBUTTONUP, 255, 10 + 40);
    EXPECT_EQ(tiny->GetBarPosM(), 3);
}
