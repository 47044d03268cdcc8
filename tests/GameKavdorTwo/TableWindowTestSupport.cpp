#include "TableWindowTestSupport.h"

#include <cstdlib>
#include <filesystem>

#include <stb/stb_image_write.h>

#include "CGameCardKavdorTwoCL.h"
#include "KelCanvasCL.h"
#include "Win32/Messages.h"
#include "Win32/Time.h"

namespace tabletest
{
namespace
{
// Near the end of the tick counter's range, so that every clock sum in a test wraps round.
constexpr DWORD kFirstTick = 0xFFFFF000u;

std::string TextureEntry(const std::string& id, const std::string& picture, int w, int h)
{
    return "<texture ID=\"" + id + "\" image=\"" + picture + "\"><rect left=\"0\" top=\"0\" right=\"" +
           std::to_string(w) + "\" bottom=\"" + std::to_string(h) + "\"/></texture>";
}
} // namespace

uint32_t DigitColour(int digit)
{
    return static_cast<uint32_t>((0x20 + 0x18 * digit) << 16 | 0xA0 << 8 | (0xF0 - 0x10 * digit));
}

std::optional<int> DigitOfColour(uint32_t colour)
{
    for (int digit = 0; digit < 10; ++digit)
        if (DigitColour(digit) == (colour & 0xFFFFFF))
            return digit;
    return std::nullopt;
}

const std::array<ButtonLook, 8>& ButtonLooks()
{
    // The action buttons share a size, as the bar spaces them by the first one's width; the
    // state pictures differ in their low bits.
    static const std::array<ButtonLook, 8> looks = {{
        {"kaishiBtn", 100, 36, {0xC02020, 0xC02021, 0xC02022, 0x808080}},
        {"gameTable_call1", 80, 34, {0x10C010, 0x10C011, 0x10C012, 0x808081}},
        {"gameTable_call2", 80, 34, {0x20C020, 0x20C021, 0x20C022, 0x808082}},
        {"gameTable_call3", 80, 34, {0x30C030, 0x30C031, 0x30C032, 0x808083}},
        {"gameTable_callNo", 80, 34, {0xE08010, 0xE08011, 0xE08012, 0x808084}},
        {"gameTable_outCard", 80, 34, {0x1010E0, 0x1010E1, 0x1010E2, 0x808085}},
        {"gameTable_jump", 80, 34, {0xE0E010, 0xE0E011, 0xE0E012, 0x808086}},
        {"gameTable_hint", 80, 34, {0x10E0E0, 0x10E0E1, 0x10E0E2, 0x808087}},
    }};
    return looks;
}

FakeTicks::FakeTicks()
{
    s_now = kFirstTick;
    Win32SetTickSource([] { return s_now.load(); });
}

FakeTicks::~FakeTicks()
{
    Win32SetTickSource(nullptr);
}

VarnokPlayer* TwoPlayers::GetPlayer(int id)
{
    if (id == kSelfId)
        return &self;
    return id == kOtherId ? &other : nullptr;
}

FakePlayWindow::FakePlayWindow(KelWndBaseCL* parent) : KelWnd2DBaseCL("FakePlayWindow", parent, 0)
{
    SetSizeM(kScreenWidth, kScreenHeight);
}

bool FakePlayWindow::DrawM(KelCanvasCL* canvas)
{
    canvas->FillRect(0, 0, m_w, m_h, 0xFF000000 | kFelt);
    // Where the play window keeps the action bar: the centre line of the table, above the hand.
    if (KelWnd2DBaseCL* bar = dynamic_cast<KelWnd2DBaseCL*>(FindChildM("CDlgFunctionBarCL")))
        bar->SetPosM(m_w / 2, m_h - 297);
    return true;
}

FakeTable::FakeTable(KelWndBaseCL* desktop) : KelWnd2DBaseCL("CDlgTableKavdorTwoCL", desktop, 0)
{
    SetSizeM(kScreenWidth, kScreenHeight);
    play = new FakePlayWindow(this);
}

void TableWindowTest::SetUp()
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    m_system.directory = m_folder.WinPath();
    // The engine clock starts on the test's ticks.
    m_engine.OnUpdateM();
    m_ui.SetDeskTopSizeM(kScreenWidth, kScreenHeight);
    m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
    CGameCardKavdorTwoCL* app = GetApp();
    app->GetRoomSink().SetSender(&m_room);
    app->GetGameSink().SetSender(&m_game);
    app->SetPlayerService(&m_players);
}

void TableWindowTest::TearDown()
{
    CGameCardKavdorTwoCL* app = GetApp();
    app->GetRoomSink().SetSender(nullptr);
    app->GetGameSink().SetSender(nullptr);
    app->SetPlayerService(nullptr);
    // The windows hand their pictures back before the engine goes.
    m_ui.DestroyDeskTopM();
    app->OnDestroy();
    EngineTestBase::TearDown();
}

void TableWindowTest::LoadSkin()
{
    std::string wndEx = "<textureInfo name=\"gameWndEX\" type=\"2D\">";
    std::string game = "<textureInfo name=\"kavdortwoTextureInfo\" type=\"2D\">";
    m_folder.Write("image/skin/clock.tga", SolidTga(kClockWidth, kClockHeight, 0xFF000000 | kClockBack));
    wndEx += TextureEntry("countDown_back", "skin\\clock.tga", kClockWidth, kClockHeight);
    for (const ButtonLook& look : ButtonLooks())
        for (int state = 0; state < 4; ++state)
        {
            const std::string id = std::string(look.imageId) + "_" + std::to_string(state);
            m_folder.Write("image/skin/" + id + ".tga",
                           SolidTga(look.width, look.height, 0xFF000000 | look.colours[state]));
            (id.starts_with("kaishiBtn") ? wndEx : game) +=
                TextureEntry(id, "skin\\" + id + ".tga", look.width, look.height);
        }
    m_folder.Write("image/config/gameWndEX.xml", wndEx + "</textureInfo>");
    m_folder.Write("game/kavdortwo/Texturekavdortwo/kavdortwotextureInfo.xml", game + "</textureInfo>");

    // The digits side by side in one picture, as the real font has them.
    std::vector<uint32_t> digits;
    for (int y = 0; y < kDigitHeight; ++y)
        for (int x = 0; x < 10 * kDigitWidth; ++x)
            digits.push_back(0xFF000000 | DigitColour(x / kDigitWidth));
    m_folder.Write("image/skin/digits.tga", Tga(10 * kDigitWidth, kDigitHeight, digits));
    std::string font = "<textureInfo name=\"TextNumberYellow\">";
    for (int digit = 0; digit < 10; ++digit)
        font += "<texture ID=\"" + std::to_string(digit) + "\" image=\"skin\\digits.tga\"><rect left=\"" +
                std::to_string(digit * kDigitWidth) + "\" top=\"0\" right=\"" +
                std::to_string((digit + 1) * kDigitWidth) + "\" bottom=\"" + std::to_string(kDigitHeight) +
                "\"/></texture>";
    m_folder.Write("image/config/TextNumberYellow.xml", font + "</textureInfo>");

    const std::string image = m_folder.WinPath() + "\\image";
    m_textureInfo.SetImageDirectoryVerbatim(image);
    m_textureInfo.LoadAllTextureInfo();
    ASSERT_NE(m_fonts.LoadImageFont((image + "\\config\\TextNumberYellow.xml").c_str()), nullptr);
    // The host's folder is current when the game starts: it becomes the frame image directory.
    GetApp()->OnInitial();
}

FakePlayWindow* TableWindowTest::OpenTable()
{
    m_table = new FakeTable(m_ui.GetDeskTopM());
    return m_table->play;
}

TestFrame TableWindowTest::Frame()
{
    m_engine.OnUpdateM();
    m_ui.UpDatedataM();
    m_screen->RenderFrame();
    return ReadFrame();
}

TestFrame TableWindowTest::DrawAgain()
{
    m_screen->RenderFrame();
    return ReadFrame();
}

void TableWindowTest::Click(int x, int y)
{
    m_ui.PostMessageM(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    m_ui.PostMessageM(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    m_ui.PostMessageM(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void WriteSnapshot(const TestFrame& frame, const std::string& name)
{
    const char* folder = std::getenv("KAVDOR_SNAPSHOT_DIR");
    if (folder == nullptr)
        return;
    std::vector<uint8_t> rgb;
    for (uint32_t pixel : frame.pixels)
        for (int shift : {16, 8, 0})
            rgb.push_back(static_cast<uint8_t>(pixel >> shift));
    const std::string path = (std::filesystem::path(folder) / (name + ".png")).string();
    stbi_write_png(path.c_str(), frame.width, frame.height, 3, rgb.data(), frame.width * 3);
}
} // namespace tabletest
