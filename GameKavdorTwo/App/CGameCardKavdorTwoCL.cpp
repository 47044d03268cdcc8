#include "CGameCardKavdorTwoCL.h"

CGameCardKavdorTwoCL::CGameCardKavdorTwoCL()
    : m_gameSink([this] { return static_cast<GamePlayWindow*>(PlayWindow()); })
{
    SetGameDirectoryKey("kavdortwo");
}

CGameCardKavdorTwoCL::~CGameCardKavdorTwoCL() = default;

CGameCardKavdorTwoCL* GetApp()
{
    static CGameCardKavdorTwoCL app;
    return &app;
}

extern "C" __attribute__((visibility("default"))) VAppBaseCL* ExportInterface()
{
    return GetApp();
}
