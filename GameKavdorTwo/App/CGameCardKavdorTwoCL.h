#pragma once
// The application object of the game: the card-table framework with this game's sink (category
// 105) and its directory key "kavdortwo". One object per process (GetApp); the host reaches it
// through ExportInterface, the module's only exported symbol.

#include "GameSink.h"
#include "VGameCardBaseCL.h"

class CGameCardKavdorTwoCL : public VGameCardBaseCL
{
public:
    CGameCardKavdorTwoCL();
    ~CGameCardKavdorTwoCL() override;

    // The framework's entering, then the game's table dialog with its windows.
    bool EnterGame() override;

    GameSink& GetGameSink() { return m_gameSink; }

protected:
    MsgSinkCL* GameSinkM() override { return &m_gameSink; }

private:
    GameSink m_gameSink;
};

// Built on the first call; destroyed at process exit.
CGameCardKavdorTwoCL* GetApp();

extern "C" VAppBaseCL* ExportInterface();
