#include "CGameCardKavdorTwoCL.h"

#include "CDlgTableKavdorTwoCL.h"
#include "KelGuard.h"

CGameCardKavdorTwoCL::CGameCardKavdorTwoCL()
    : m_gameSink([this] { return static_cast<GamePlayWindow*>(PlayWindow()); })
{
    SetGameDirectoryKey("kavdortwo");
}

CGameCardKavdorTwoCL::~CGameCardKavdorTwoCL() = default;

bool CGameCardKavdorTwoCL::EnterGame()
{
    KEL_TRY
    VGameCardBaseCL::EnterGame();
    // The desktop owns the table dialog; leaving the game deletes it.
    auto* table = new CDlgTableKavdorTwoCL();
    table->CreateWnd();
    return true;
    KEL_CATCH
}

CGameCardKavdorTwoCL* GetApp()
{
    static CGameCardKavdorTwoCL app;
    return &app;
}

extern "C" __attribute__((visibility("default"))) VAppBaseCL* ExportInterface()
{
    return GetApp();
}
