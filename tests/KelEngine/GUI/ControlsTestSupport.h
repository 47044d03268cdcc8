#pragma once
// A skin for the control tests, written into the test's folder: solid-coloured TGA pictures, the
// texture-info set "skin" that names them, and the GUI configuration pointing at them. Each
// piece has its own colour, so a frame shows which picture was drawn where.

#include <string>

#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Messages.h"

namespace skin
{
// Button state images btn_0 ... btn_3 (30 x 12).
constexpr uint32_t kButton[4] = {0xFFC00000, 0xFF00C000, 0xFF0000C0, 0xFF808080};
// Check box images chk0 ... chk5 and radio images rad0 ... rad5 (12 x 12).
constexpr uint32_t kCheck[6] = {0xFF100000, 0xFF200000, 0xFF300000, 0xFF400000, 0xFF500000, 0xFF600000};
constexpr uint32_t kRadio[6] = {0xFF001000, 0xFF002000, 0xFF003000, 0xFF004000, 0xFF005000, 0xFF006000};
// Dialog pieces.
constexpr uint32_t kBarLeft = 0xFF101080;
constexpr uint32_t kBarMiddle = 0xFF2020A0;
constexpr uint32_t kBarRight = 0xFF3030C0;
constexpr uint32_t kCorner = 0xFFE0E000;
constexpr uint32_t kEdge = 0xFF00E0E0;
constexpr uint32_t kBack = 0xFFF0F0F0;
constexpr uint32_t kClose[4] = {0xFFFF4000, 0xFFFF5000, 0xFFFF6000, 0xFFFF7000};
constexpr uint32_t kMin[4] = {0xFF40FF00, 0xFF50FF00, 0xFF60FF00, 0xFF70FF00};
// The "button" element's images (OK and Cancel).
constexpr uint32_t kOk[4] = {0xFF804000, 0xFF805000, 0xFF806000, 0xFF807000};
// Nine-part picture 9 x 9: cell (column, row) has colour kCells[row * 3 + column].
constexpr uint32_t kCells[9] = {0xFF010101, 0xFF020202, 0xFF030303, 0xFF040404, 0xFF050505,
                                0xFF060606, 0xFF070707, 0xFF080808, 0xFF090909};
// Rich text faces and scroll bar pieces.
constexpr uint32_t kFace = 0xFF20C020;
constexpr uint32_t kArrow = 0xFF404040;
constexpr uint32_t kThumb = 0xFF606060;
constexpr uint32_t kTrack = 0xFFA0A0A0;
} // namespace skin

class ControlsTest : public EngineTestBase<TestClockCL>
{
protected:
    ControlsTest() : EngineTestBase(320, 240) {}

    void SetUp() override;
    void TearDown() override
    {
        m_ui.DestroyDeskTopM();
        EngineTestBase::TearDown();
    }

    bool Post(UINT message, int x, int y, WPARAM keys = 0)
    {
        return m_ui.PostMessageM(nullptr, message, keys, MAKELPARAM(x, y));
    }
    void Click(int x, int y)
    {
        Post(WM_MOUSEMOVE, x, y);
        Post(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Post(WM_LBUTTONUP, x, y);
    }
    // One frame as the host runs it: the manager's update, then the windows drawn.
    TestFrame Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
        return ReadFrame();
    }
    // With KAVDOR_SNAPSHOT_DIR set, writes the frame there as <name>.png for people to look at.
    static void Snapshot(const TestFrame& frame, const char* name);
    // Writes the skin's GUI configuration with the given body inside its root.
    void WriteGuiConfig(const std::string& body);

    KelUIManagerCL m_ui;
};
