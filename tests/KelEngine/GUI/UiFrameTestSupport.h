#pragma once
// A window tree drawn on a real screen: the engine's managers, a screen with a software device on
// a 64 x 48 memory window, and a UI manager of the test's own drawn into each frame.

#include "EngineTestSupport.h"
#include "KelCanvasCL.h"
#include "KelUIManagerCL.h"

class UiFrameTest : public EngineTest
{
protected:
    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        m_ui.SetDeskTopSizeM(64, 48);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { DrawUi(canvas); });
    }
    void TearDown() override
    {
        // The windows hand their images back before the image cache goes.
        m_ui.DestroyDeskTopM();
        EngineTest::TearDown();
    }

    // What each frame draws: the manager's windows.
    virtual void DrawUi(KelCanvasCL* canvas) { m_ui.RenderM(canvas); }

    // One frame as the host runs it: the manager's update, then the drawing.
    void Frame()
    {
        m_ui.UpDatedataM();
        m_screen->RenderFrame();
    }

    KelUIManagerCL m_ui;
};
