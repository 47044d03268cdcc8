#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelWnd2DListCL.h"
#include "KelWnd2DScrollBarCL.h"

namespace
{
class ListTest : public ControlsTest
{
protected:
    KelWnd2DListCL* NewList(int rows)
    {
        auto* list = new KelWnd2DListCL("list", m_ui.GetDeskTopM(), 10, 10, 120, 100, 0);
        for (int i = 0; i < rows; ++i)
            list->AddItemM("row " + std::to_string(i));
        list->SetMsgFunM(KWM_SELECT, [this](KelWndMsg m) { m_selects.push_back(m.param1); });
        return list;
    }
    std::vector<int> m_selects;
};
} // namespace

TEST_F(ListTest, TheScrollBarComesWithTheSixthRow)
{
    KelWnd2DListCL* list = NewList(5);
    EXPECT_EQ(list->GetRowHeightM(), 18);
    EXPECT_EQ(list->GetScrollBar(), nullptr) << "5 rows are 90 pixels in 100";
    EXPECT_EQ(list->GetTextWidthM(), 120 - 5);
    list->AddItemM("row 5");
    KelWnd2DScrollBarCL* bar = list->GetScrollBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetBarRangeM(), std::make_pair(10, 60));
    EXPECT_EQ(bar->GetPosM(), std::make_pair(120 - 12, 0));
    EXPECT_EQ(list->GetTextWidthM(), 120 - 5 - 12);
    // One arrow click moves one row.
    bar->SetBarPosM(30);
    EXPECT_EQ(list->GetTopIndex(), 2);
    list->ClearItemsM();
    EXPECT_EQ(list->GetScrollBar(), nullptr);
}

TEST_F(ListTest, HoverClickAndSelection)
{
    KelWnd2DListCL* list = NewList(3);
    Post(WM_MOUSEMOVE, 20, 10 + 20); // row 1
    EXPECT_EQ(list->GetHotIndex(), 1);
    Post(WM_MOUSEMOVE, 20, 10 + 80); // below the last row: row 1 stays hot
    EXPECT_EQ(list->GetHotIndex(), 1);
    Click(20, 10 + 80);
    EXPECT_EQ(list->GetSelectIndexM(), 1);
    EXPECT_EQ(m_selects, (std::vector<int>{1}));

    // Clicking the selected row sends nothing, but closes an open popup.
    KelWnd2DPopupMenuCL menu;
    menu.AddItemM("a");
    menu.SetPlaceM(false);
    menu.ShowPopupM(true);
    EXPECT_EQ(m_ui.GetPopupM(), &menu);
    list->LClickM(0, POINT{20, 20});
    EXPECT_EQ(m_selects, (std::vector<int>{1}));
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);

    list->SetSelectIndexM(99);
    EXPECT_EQ(list->GetSelectIndexM(), 2);
    EXPECT_EQ(list->GetTopIndex(), 1);
    EXPECT_EQ(m_selects, (std::vector<int>{1, 2}));

    // The wheel on an empty list leaves the top at -1, which draws nothing.
    list->ClearItemsM();
    list->MouseWheelM(MAKEWPARAM(0, static_cast<WORD>(-120)), POINT{5, 5});
    EXPECT_EQ(list->GetTopIndex(), -1);
    Frame();
}

TEST_F(ListTest, PopupMenusFitTheirRowsAndCloseWhenARowIsClicked)
{
    KelWnd2DPopupMenuCL menu;
    menu.AddItemM("short");
    menu.AddItemM("a longer row");
    const int widest = m_fonts.GetFont("system")->GetTextWidth("a longer row");
    EXPECT_EQ(menu.GetSizeM(), std::make_pair(widest + 15, 2 * 18 + 3));
    EXPECT_EQ(menu.GetScrollBar(), nullptr);
    std::vector<int> chosen;
    menu.SetMsgFunM(KWM_SELECT, [&chosen](KelWndMsg m) { chosen.push_back(m.param1); });
    Post(WM_MOUSEMOVE, 100, 100);
    menu.ShowPopupM(true);
    EXPECT_EQ(menu.GetPosM(), std::make_pair(100, 100)) << "opened at the mouse";
    Post(WM_MOUSEMOVE, 105, 100 + 20);
    Click(105, 100 + 20);
    EXPECT_EQ(chosen, (std::vector<int>{1}));
    EXPECT_EQ(m_ui.GetPopupM(), nullptr);
}
