#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "DSound/DSound.h"
#include "KelMBString.h"
#include "KelMessageBoxCL.h"
#include "KelWnd2DButtonCL.h"
#include "KelWnd2DCheckCL.h"
#include "KelWnd2DDialogCL.h"
#include "KelWnd2DEditCL.h"
#include "KelWnd2DTextListCL.h"
#include "Win32/PlaySound.h"
#include "Win32/Time.h"

namespace
{
uint32_t Rgb(uint32_t argb)
{
    return argb & 0xFFFFFF;
}

// The messages a window sends, as "code" or "code:sender".
class Recorder
{
public:
    void Watch(KelWndBaseCL* window, std::initializer_list<int> codes)
    {
        for (int code : codes)
            window->SetMsgFunM(code,
                               [this, code](KelWndMsg m) {
                                   seen.push_back(std::to_string(code) +
                                                  (m.sender != nullptr ? ":" + m.sender->GetNameM() : ""));
                               });
    }
    std::vector<std::string> seen;
};
} // namespace

TEST_F(ControlsTest, ButtonsTakeTheirSizeFromTheNormalImage)
{
    struct
    {
        const char* id;
        int w, h;
        int expectW, expectH;
    } const cases[] = {
        {"btn", 4095, 4095, 30, 12},
        {"btn", 120, 4095, 120, 12},
        {"", 4095, 4095, 4095, 4095},
        {"nothing", 50, 4095, 50, 4095},
    };
    int i = 0;
    for (const auto& c : cases)
    {
        auto* button = new KelWnd2DButtonCL(("b" + std::to_string(i++)).c_str(), m_ui.GetDeskTopM(), "skin",
                                            c.id, 0, 0, c.w, c.h);
        EXPECT_EQ(button->GetSizeM(), std::make_pair(c.expectW, c.expectH)) << c.id << " " << c.w;
    }
    EXPECT_NE(CreateConfigButton("cfg", m_ui.GetDeskTopM(), "button", 0, 0, 100, 25), nullptr);
    EXPECT_EQ(CreateConfigButton("none", m_ui.GetDeskTopM(), "nosuchelement", 0, 0, 100, 25), nullptr);
}

TEST_F(ControlsTest, PressDraggedOffAndReleasedOutsideDoesNotClick)
{
    auto* button = new KelWnd2DButtonCL("go", m_ui.GetDeskTopM(), "skin", "btn", 20, 20);
    button->SetSoundOnM(false);
    Recorder record;
    record.Watch(button, {KWM_LBUTTONDOWN, KWM_LBUTTONUP, KWM_LCLICK});

    Post(WM_MOUSEMOVE, 25, 25);
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kHover);
    Post(WM_LBUTTONDOWN, 25, 25, MK_LBUTTON);
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kPressed);
    Post(WM_MOUSEMOVE, 100, 100, MK_LBUTTON);
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kHover) << "moved off while held";
    Post(WM_LBUTTONUP, 100, 100);
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kNormal);
    EXPECT_EQ(record.seen, (std::vector<std::string>{"1001:go", "1002:go"}));

    record.seen.clear();
    Click(30, 25);
    EXPECT_EQ(record.seen, (std::vector<std::string>{"1001:go", "1003:go", "1002:go"}));
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kHover);
}

TEST_F(ControlsTest, StateImagesAreDrawnAndADisabledButtonIsSilent)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    m_folder.Write("click.wav",
                   []
                   {
                       std::string wav = "RIFF" + std::string("\x2c\x11\0\0", 4) + "WAVEfmt " +
                                         std::string("\x10\0\0\0\1\0\1\0", 8) +
                                         std::string("\x44\xac\0\0\x88\x58\1\0\2\0\x10\0", 12) + "data" +
                                         std::string("\x08\x11\0\0", 4);
                       for (int i = 0; i < 0x1108 / 2; ++i)
                           wav += std::string("\x40\x1f", 2); // a level of 8000
                       return wav;
                   }());
    IDirectSound8* clicks = Win32GetPlaySoundDevice();
    ASSERT_NE(clicks, nullptr);
    std::atomic<int> loudest{0};
    DirectSoundSetCaptureHook(clicks,
                              [&loudest](const int16_t* s, size_t frames, int channels, int)
                              {
                                  for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i)
                                      loudest = std::max<int>(loudest, s[i]);
                              });
    const auto heard = [&loudest]
    {
        for (int waited = 0; waited < 2000 && loudest < 7000; waited += 10)
            Sleep(10);
        return loudest.load();
    };

    auto* button = new KelWnd2DButtonCL("b", m_ui.GetDeskTopM(), "skin", "btn", 10, 10);
    button->SetSoundM(Path("click.wav"));
    EXPECT_EQ(Rgb(Frame().At(12, 12)), Rgb(skin::kButton[0]));
    Post(WM_MOUSEMOVE, 15, 15);
    EXPECT_EQ(Rgb(Frame().At(12, 12)), Rgb(skin::kButton[1]));
    Post(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    EXPECT_EQ(Rgb(Frame().At(12, 12)), Rgb(skin::kButton[2]));
    EXPECT_GE(heard(), 7000) << "the press played the click";
    Post(WM_LBUTTONUP, 15, 15);
    PlaySoundA(nullptr, nullptr, 0);
    Sleep(50);
    loudest = 0;

    button->EnableM(false);
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kDisabled);
    EXPECT_EQ(Rgb(Frame().At(12, 12)), Rgb(skin::kButton[3]));
    Post(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    Post(WM_LBUTTONUP, 15, 15);
    Sleep(100);
    EXPECT_EQ(loudest.load(), 0) << "a disabled button plays nothing";
    EXPECT_EQ(button->GetState(), KelWnd2DButtonCL::kDisabled);
    button->EnableM(true);
    EXPECT_EQ(Rgb(Frame().At(12, 12)), Rgb(skin::kButton[0]));
    DirectSoundSetCaptureHook(clicks, nullptr);
}

TEST_F(ControlsTest, SmallImagesAreTiledAsNinePartsAndLargeOnesDrawnOnce)
{
    // A 9 x 9 picture of 3 x 3 cells on a 40 x 20 button: corners once, middles repeated.
    new KelWnd2DButtonCL("tiled", m_ui.GetDeskTopM(), "skin", "tile", 10, 10, 40, 20);
    // As wide as its picture: drawn once, the rest of the button left alone.
    new KelWnd2DButtonCL("once", m_ui.GetDeskTopM(), "skin", "tile", 100, 10, 9, 20);
    const TestFrame frame = Frame();
    struct
    {
        int x, y;
        int cell;
    } const probes[] = {
        {10, 10, 0}, {49, 10, 2}, {10, 29, 6}, {49, 29, 8}, // corners
        {13, 10, 1}, {40, 10, 1}, {46, 11, 1},              // top edge, repeated up to the corner
        {10, 13, 3}, {10, 26, 3}, {49, 20, 5}, {30, 29, 7}, // sides and bottom
        {13, 13, 4}, {45, 26, 4},                           // centre
    };
    for (const auto& p : probes)
        EXPECT_EQ(frame.At(p.x, p.y), Rgb(skin::kCells[p.cell])) << p.x << "," << p.y;
    EXPECT_EQ(frame.At(100, 10), Rgb(skin::kCells[0]));
    EXPECT_EQ(frame.At(108, 18), Rgb(skin::kCells[8]));
    EXPECT_EQ(frame.At(104, 24), 0x646464u) << "below the picture: nothing";
}

TEST_F(ControlsTest, CheckBoxesToggleAndRadioGroupsKeepOneTicked)
{
    auto* box = new KelWnd2DCheckCL("agree", m_ui.GetDeskTopM(), "", 10, 10, 0);
    EXPECT_EQ(box->GetSizeM(), std::make_pair(12, 12));
    Recorder record;
    record.Watch(box, {KWM_CHECKCHANGED});
    EXPECT_EQ(Rgb(Frame().At(15, 15)), Rgb(skin::kCheck[0]));
    Click(15, 15);
    EXPECT_TRUE(box->IsCheckM());
    EXPECT_EQ(Rgb(Frame().At(15, 15)), Rgb(skin::kCheck[4])) << "ticked, mouse over it";
    Click(15, 15);
    EXPECT_FALSE(box->IsCheckM());
    EXPECT_EQ(record.seen, (std::vector<std::string>{"3000:agree", "3000:agree"}));

    // A caption in a 16-pixel font next to the 12-pixel box: 2 pixels up, 16 high, the caption
    // 5 pixels after the box.
    m_fonts.CreateFont("f16", "宋体", 8, 16, 1, nullptr);
    auto* captioned = new KelWnd2DCheckCL("c", m_ui.GetDeskTopM(), "", 10, 50, 0);
    captioned->SetFontNameM("f16");
    captioned->LayoutM("abc");
    EXPECT_EQ(captioned->GetPosM(), std::make_pair(10, 48));
    EXPECT_EQ(captioned->GetSizeM().second, 16);
    EXPECT_EQ(captioned->GetCaptionX(), 17);

    auto* group = new KelWnd2DRadioGroupCL("group", m_ui.GetDeskTopM(), 100, 100, 0);
    KelWnd2DCheckCL* first = group->AddRadioM("one", "", 0, 0);
    KelWnd2DCheckCL* second = group->AddRadioM("two", "", 0, 20);
    Recorder radio;
    radio.Watch(group, {KWM_RADIOCHANGED});
    EXPECT_EQ(group->GetSelectM(), -1);
    EXPECT_EQ(Rgb(Frame().At(105, 105)), Rgb(skin::kRadio[0])) << "radio boxes use the radio skin";
    Click(105, 125);
    EXPECT_EQ(group->GetSelectM(), 1);
    Click(105, 125); // the ticked one again: it stays ticked and still reports
    EXPECT_TRUE(second->IsCheckM());
    EXPECT_FALSE(first->IsCheckM());
    Click(105, 105);
    EXPECT_EQ(group->GetSelectM(), 0);
    EXPECT_EQ(radio.seen, (std::vector<std::string>{"3001:two", "3001:two", "3001:one"}));
    group->SelectM(1);
    EXPECT_TRUE(second->IsCheckM());
    EXPECT_FALSE(first->IsCheckM());
}

TEST_F(ControlsTest, DialogsPlaceTheirButtonsAndDrawTheirFrame)
{
    auto* dialog =
        new KelWnd2DDialogCL("dlg", m_ui.GetDeskTopM(), 10, 10, 300, 150, KWS_SYSCLOSE | KWS_SYSMIN);
    dialog->CreateOKButton();
    dialog->CreateCancelButton();
    auto* ok = dynamic_cast<KelWnd2DBaseCL*>(dialog->GetOKButton());
    auto* cancel = dynamic_cast<KelWnd2DBaseCL*>(dialog->GetCancelButton());
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ok->GetPosM(), std::make_pair(5, 120));
    EXPECT_EQ(cancel->GetPosM(), std::make_pair(152, 120));
    EXPECT_EQ(ok->GetSizeM(), std::make_pair(142, 25));
    EXPECT_EQ(cancel->GetSizeM(), std::make_pair(142, 25));
    EXPECT_EQ(ok->GetTextM(), "确定");
    EXPECT_EQ(cancel->GetTextM(), " 取消 ");
    auto* close = dynamic_cast<KelWnd2DBaseCL*>(dialog->FindChildM("sysBtnClose"));
    auto* minimise = dynamic_cast<KelWnd2DBaseCL*>(dialog->FindChildM("sysBtnMin"));
    ASSERT_NE(close, nullptr);
    ASSERT_NE(minimise, nullptr);
    EXPECT_EQ(dialog->FindChildM("sysBtnFunc"), nullptr);
    EXPECT_EQ(close->GetPosM(), std::make_pair(270, 2));
    EXPECT_EQ(minimise->GetPosM(), std::make_pair(250, 2));
    EXPECT_EQ(dialog->GetTitleRectM(), KelRect(0, 0, 300, 20));

    dialog->SetTitleM("Title");
    auto* check = new KelWnd2DCheckCL("check", dialog, "Sound on", 180, 40, 0);
    check->SetCheckM(true);
    new KelWnd2DButtonCL("tiled", dialog, "skin", "tile", 180, 65, 80, 30);
    const TestFrame frame = Frame();
    Snapshot(frame, "dialog");
    EXPECT_EQ(frame.At(12, 12), Rgb(skin::kBarLeft));
    EXPECT_EQ(frame.At(60, 12), Rgb(skin::kBarMiddle));
    EXPECT_EQ(frame.At(305, 12), Rgb(skin::kBarRight));
    EXPECT_EQ(frame.At(285, 20), Rgb(skin::kClose[0]));
    EXPECT_EQ(frame.At(10, 30), Rgb(skin::kCorner)) << "up-left corner below the bar";
    EXPECT_EQ(frame.At(100, 30), Rgb(skin::kEdge)) << "up edge";
    EXPECT_EQ(frame.At(11, 100), Rgb(skin::kEdge)) << "left edge";
    EXPECT_EQ(frame.At(100, 100), Rgb(skin::kBack)) << "tiled background";
    EXPECT_EQ(frame.At(20, 135), Rgb(skin::kOk[0])) << "the OK button";
    // The title is drawn in black on the middle bar, centred.
    int black = 0;
    for (int x = 130; x < 190; ++x)
        for (int y = 14; y < 26; ++y)
            black += frame.At(x, y) == 0 ? 1 : 0;
    EXPECT_GT(black, 20);
}

TEST_F(ControlsTest, DialogButtonsEndTheDialogAndMinimiseToggles)
{
    auto* dialog =
        new KelWnd2DDialogCL("dlg", m_ui.GetDeskTopM(), 10, 10, 300, 150, KWS_SYSCLOSE | KWS_SYSMIN);
    dialog->CreateOKButton();
    Recorder record;
    record.Watch(dialog, {KWM_DLGEND, KWM_DLGMIN, KWM_DLGCANCEL, KWM_DLGOK});
    Click(265, 18); // minimise
    EXPECT_TRUE(dialog->IsMinimised());
    EXPECT_EQ(dialog->GetSizeM(), std::make_pair(300, 20));
    EXPECT_FALSE(dialog->PtInWindowM(20, 40));
    Click(20, 140); // where the OK button was: the minimised dialog lets nothing through
    EXPECT_TRUE(dialog->IsAliveM());
    Click(265, 18);
    EXPECT_FALSE(dialog->IsMinimised());
    EXPECT_EQ(record.seen, (std::vector<std::string>{"3005:dlg", "3005:dlg"}));
    Frame();
    Click(20, 140);
    EXPECT_TRUE(dialog->GetResultM());
    EXPECT_FALSE(dialog->IsAliveM());
    EXPECT_EQ(record.seen, (std::vector<std::string>{"3005:dlg", "3005:dlg", "3004:dlg", "3007:dlg"}));

    auto* other = new KelWnd2DDialogCL("other", m_ui.GetDeskTopM(), 10, 10, 300, 150, KWS_SYSCLOSE);
    Recorder closing;
    closing.Watch(other, {KWM_DLGEND, KWM_DLGCANCEL, KWM_DLGOK});
    Frame();
    Click(285, 18); // close acts as Cancel
    EXPECT_FALSE(other->GetResultM());
    EXPECT_EQ(closing.seen, (std::vector<std::string>{"3004:other", "3006:other"}));
}

TEST_F(ControlsTest, FrameResizingStopsAtTheMinimum)
{
    auto* dialog = new KelWnd2DDialogCL("dlg", m_ui.GetDeskTopM(), 50, 50, 200, 150, KWS_RESIZE);
    Frame();                                             // the inner rectangle is known once drawn
    Post(WM_LBUTTONDOWN, 50 + 198, 50 + 80, MK_LBUTTON); // on the right edge
    Post(WM_MOUSEMOVE, 50 + 48, 50 + 80, MK_LBUTTON);
    Post(WM_LBUTTONUP, 50 + 48, 50 + 80);
    EXPECT_EQ(dialog->GetSizeM(), std::make_pair(60, 150));
    EXPECT_EQ(dialog->GetPosM(), std::make_pair(50, 50));

    Frame();
    Post(WM_LBUTTONDOWN, 50 + 30, 50 + 148, MK_LBUTTON); // on the bottom edge
    Post(WM_MOUSEMOVE, 50 + 30, 50 + 178, MK_LBUTTON);
    Post(WM_LBUTTONUP, 50 + 30, 50 + 178);
    EXPECT_EQ(dialog->GetSizeM(), std::make_pair(60, 180));

    // Inside the frame nothing is resized, and without KWS_RESIZE the frame is fixed.
    Post(WM_LBUTTONDOWN, 50 + 30, 50 + 60, MK_LBUTTON);
    Post(WM_MOUSEMOVE, 50 + 10, 50 + 60, MK_LBUTTON);
    Post(WM_LBUTTONUP, 50 + 10, 50 + 60);
    EXPECT_EQ(dialog->GetSizeM(), std::make_pair(60, 180));
    auto* fixed = new KelWnd2DDialogCL("fixed", m_ui.GetDeskTopM(), 100, 30, 100, 100, 0);
    Frame();
    Post(WM_LBUTTONDOWN, 100 + 98, 30 + 60, MK_LBUTTON);
    Post(WM_MOUSEMOVE, 100 + 50, 30 + 60, MK_LBUTTON);
    Post(WM_LBUTTONUP, 100 + 50, 30 + 60);
    EXPECT_EQ(fixed->GetSizeM(), std::make_pair(100, 100));
}

TEST_F(ControlsTest, LongTitlesAreCutToFitTheBar)
{
    const auto sixEach = [](const std::string& text) { return static_cast<int>(text.size()) * 6; };
    EXPECT_EQ(KelWnd2DDialogCL::FitTitle("short", 100, sixEach), "short");
    // 70 pixels of room: 11 characters and "..." would be 84; 8 and "..." are 66.
    EXPECT_EQ(KelWnd2DDialogCL::FitTitle(std::string(30, 'a'), 100, sixEach), "aaaaaaaa...");
    // Double-byte characters are never cut in half.
    const std::string wide = "\xB6\xB7\xB5\xD8\xD6\xF7\xB6\xB7\xB5\xD8\xD6\xF7\xB6\xB7";
    const std::string cut = KelWnd2DDialogCL::FitTitle(wide, 60, sixEach);
    EXPECT_EQ(cut.size() % 2, 1u) << cut; // whole pairs and "..."
    EXPECT_LE(sixEach(cut), 30);
}

TEST_F(ControlsTest, ModalDialogsTakeTheMouseUntilClosed)
{
    auto* behind = new KelWnd2DButtonCL("behind", m_ui.GetDeskTopM(), "skin", "btn", 5, 200);
    behind->SetSoundOnM(false);
    Recorder record;
    record.Watch(behind, {KWM_LCLICK});
    auto* dialog = new KelWnd2DDialogCL("modal", m_ui.GetDeskTopM(), 100, 10, 150, 100, KWS_SYSCLOSE);
    dialog->SetPopUpDlgM();
    EXPECT_TRUE(dialog->IsModal());
    Click(10, 205);
    EXPECT_TRUE(record.seen.empty());
    dialog->Cancel();
    EXPECT_FALSE(dialog->IsModal());
    Frame();
    Click(10, 205);
    EXPECT_EQ(record.seen, (std::vector<std::string>{"1003:behind"}));
}

TEST_F(ControlsTest, FramedPanelsStretchTheirEdgesAndMissingSkinsDrawNothing)
{
    new KelWnd2DFrameCL("panel", m_ui.GetDeskTopM(), "skin", "panel", 20, 20, 50, 40);
    new KelWnd2DFrameCL("bare", m_ui.GetDeskTopM(), "skin", "nosuch", 100, 20, 50, 40);
    WriteGuiConfig("");
    auto* plain =
        new KelWnd2DDialogCL("plain", m_ui.GetDeskTopM(), 180, 20, 100, 80, KWS_SYSCLOSE | KWS_SYSMIN);
    EXPECT_EQ(plain->FindChildM("sysBtnClose"), nullptr) << "no skin, no system buttons";
    EXPECT_EQ(plain->GetTitleRectM().Height(), 0);
    const TestFrame frame = Frame();
    EXPECT_EQ(frame.At(21, 21), Rgb(skin::kCorner));
    EXPECT_EQ(frame.At(40, 21), Rgb(skin::kEdge));
    EXPECT_EQ(frame.At(21, 40), Rgb(skin::kEdge));
    EXPECT_EQ(frame.At(40, 40), Rgb(skin::kBack));
    EXPECT_EQ(frame.At(68, 58), Rgb(skin::kCorner));
    EXPECT_EQ(frame.At(120, 40), 0x646464u);
    EXPECT_EQ(frame.At(220, 60), 0x646464u);
}

// Text drawn after a panel lies on it: the panel's pictures, still waiting in the image batch
// when the label flushes its text, must not be drawn over the text afterwards.
TEST_F(ControlsTest, ALabelCreatedAfterAPanelIsDrawnOnIt)
{
    new KelWnd2DFrameCL("panel", m_ui.GetDeskTopM(), "skin", "panel", 20, 20, 60, 40);
    new KelWnd2DLabelCL("over", m_ui.GetDeskTopM(), "WWWW", 0xFFFFFFFFu, 24, 24, 50, 30);
    const TestFrame frame = Frame();
    int white = 0;
    for (int y = 24; y < 54; ++y)
        for (int x = 24; x < 74; ++x)
            white += frame.At(x, y) == 0xFFFFFFu ? 1 : 0;
    EXPECT_GT(white, 10) << "the label's text is hidden under the panel";
}

TEST(KelMBStringTest, PositionsCountCharactersOfOneOrTwoBytes)
{
    // "斗a地主" in GBK: three double-byte characters and one single.
    const std::string dou = "\xB6\xB7";
    const std::string di = "\xB5\xD8";
    const std::string zhu = "\xD6\xF7";
    KelMBString text(dou + "a" + di + zhu);
    EXPECT_EQ(text.GetCount(), 4);
    EXPECT_EQ(text.GetByteLength(), 7);
    EXPECT_EQ(text.GetCharacters()[0], 0xB7B6);
    EXPECT_EQ(text.CharacterBytes(2), di);
    EXPECT_EQ(text.Range(1, 3), "a" + di);
    EXPECT_EQ(text.Range(1, 0), "a" + di) << "b <= 0 means count - 1";
    EXPECT_EQ(text.Range(3, 3), "");
    EXPECT_EQ(text.Suffix(2).GetBytes(), di + zhu);
    EXPECT_EQ(text.FindFirst('a'), 1);
    EXPECT_EQ(text.FindLast(0xF7D6), 3);
    EXPECT_EQ(text.FindFirst('z'), -1);
    text.Insert("bc", 1);
    EXPECT_EQ(text.GetBytes(), dou + "bca" + di + zhu);
    text.Insert("!", 99);
    EXPECT_EQ(text.GetBytes(), dou + "bca" + di + zhu + "!");
    text.Erase(0, 2);
    EXPECT_EQ(text.GetBytes(), "ca" + di + zhu + "!");
    text.Erase(3, 100);
    EXPECT_EQ(text.GetBytes(), "ca" + di);
    // A lead byte without its second byte stays one character.
    text.Assign("x\xB6");
    EXPECT_EQ(text.GetCount(), 2);
}

TEST(KelWnd2DTextListTest, TextIsWrappedCharacterByCharacter)
{
    const auto tenEach = [](const std::string& c) { return c.empty() ? 0 : 10; };
    const std::vector<std::string> lines = KelWnd2DTextListCL::Wrap(std::string(25, 'x'), 100, tenEach);
    EXPECT_EQ(lines,
              (std::vector<std::string>{std::string(10, 'x'), std::string(10, 'x'), std::string(5, 'x')}));
    // Double-byte characters stay whole; a first character wider than the limit starts with an
    // empty line.
    EXPECT_EQ(KelWnd2DTextListCL::Wrap("\xB6\xB7\xB5\xD8", 15, tenEach),
              (std::vector<std::string>{"\xB6\xB7", "\xB5\xD8"}));
    EXPECT_EQ(KelWnd2DTextListCL::Wrap("ab", 5, tenEach), (std::vector<std::string>{"", "a", "b"}));
}

TEST_F(ControlsTest, TextListsWrapToTheirWidthAndContinueTheLastLine)
{
    auto* list = new KelWnd2DTextListCL("lines", m_ui.GetDeskTopM(), 0, 0, 64, 100, 0);
    // The system font draws these characters 6 pixels wide: 60 pixels of room is 10 of them.
    list->AddLineTextM(std::string(25, 'x'), 1);
    ASSERT_EQ(list->GetLineCountM(), 3);
    EXPECT_EQ(list->GetLine(2), std::string(5, 'x'));
    list->InsertTextM(std::string(7, 'y'), false);
    ASSERT_EQ(list->GetLineCountM(), 4);
    EXPECT_EQ(list->GetLine(2), std::string(5, 'x') + "yyyyy");
    EXPECT_EQ(list->GetLine(3), "yy");
    EXPECT_EQ(list->GetLineHeightM(), 12 + 6);
    EXPECT_EQ(list->GetVisibleLinesM(), 100 / 18);
}

TEST_F(ControlsTest, MessageBoxesAreCentredModalAndAnswerWithTheirButtons)
{
    auto* box = new KelMessageBoxCL("ask", "Question", "Leave the table now?", KWS_MB_OKCANCEL);
    EXPECT_EQ(box->GetPosM(), std::make_pair((320 - 350) / 2, (240 - 150) / 2));
    EXPECT_TRUE(box->IsModal());
    EXPECT_NE(box->FindChildM("KelMessageBoxCL_back"), nullptr);
    auto* text = dynamic_cast<KelWnd2DTextListCL*>(box->FindChildM("message_text"));
    ASSERT_NE(text, nullptr);
    EXPECT_GE(text->GetLineCountM(), 1);
    Recorder record;
    record.Watch(box, {KWM_MSGBOXOK, KWM_MSGBOXCANCEL, KWM_DLGEND, KWM_DLGCANCEL});
    auto* cancel = dynamic_cast<KelWnd2DBaseCL*>(box->FindChildM("messageBox_cancel"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->GetPosM(), std::make_pair((350 - 160) / 3 * 2 + 80, 100));
    const POINT at = cancel->GetPosInScreenM(5, 5);
    Frame();
    Click(at.x, at.y);
    EXPECT_EQ(record.seen, (std::vector<std::string>{"4002:ask"}));
    EXPECT_FALSE(box->IsAliveM());
    EXPECT_FALSE(box->IsModal());
    Frame();

    auto* ok = new KelMessageBoxCL("ok", "Note", "Saved.", KWS_MB_OK);
    auto* okButton = dynamic_cast<KelWnd2DBaseCL*>(ok->FindChildM("messageBox_ok"));
    ASSERT_NE(okButton, nullptr);
    EXPECT_EQ(okButton->GetPosM(), std::make_pair((350 - 80) / 2, 110));
    EXPECT_EQ(okButton->GetSizeM(), std::make_pair(80, 20));
    EXPECT_EQ(okButton->GetTextM(), "确定");
    std::vector<int> answers;
    ok->SetMsgFunM(KWM_MSGBOXOK, [&answers](KelWndMsg m) { answers.push_back(m.param1); });
    Snapshot(Frame(), "message_box");
    const POINT okAt = okButton->GetPosInScreenM(5, 5);
    Click(okAt.x, okAt.y);
    EXPECT_EQ(answers, (std::vector<int>{1}));
    Frame();

    // Without button bits: no buttons, and the close button is the dialog's Cancel.
    auto* bare = new KelMessageBoxCL("bare", "Wait", "Dealing...", 0);
    EXPECT_EQ(bare->FindChildM("messageBox_ok"), nullptr);
    EXPECT_EQ(bare->FindChildM("messageBox_cancel"), nullptr);
    Recorder closing;
    closing.Watch(bare, {KWM_MSGBOXOK, KWM_MSGBOXCANCEL, KWM_DLGEND, KWM_DLGCANCEL});
    auto* close = dynamic_cast<KelWnd2DBaseCL*>(bare->FindChildM("sysBtnClose"));
    ASSERT_NE(close, nullptr);
    Frame();
    const POINT closeAt = close->GetPosInScreenM(5, 5);
    Click(closeAt.x, closeAt.y);
    EXPECT_EQ(closing.seen, (std::vector<std::string>{"3004:bare", "3006:bare"}));
}
