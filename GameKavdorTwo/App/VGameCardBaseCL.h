#pragma once
// The card-table framework layer of the application object: the room sink (category 100) and the
// room state it keeps (room name, game-running and leaving flags, coin cost, effect level), the
// game-level dispatcher and sender, the table's directories and pictures, entering and leaving a
// game table, and the getters of the table's windows. Operations 59 to 98 continue VAppBaseCL's.

#include <string>

#include "RoomSink.h"
#include "TableWindows.h"
#include "VAppBaseCL.h"

class KelWndBaseCL;

class VGameCardBaseCL : public VAppBaseCL, private RoomSinkOwner
{
public:
    VGameCardBaseCL();
    ~VGameCardBaseCL() override;

    int OnInitial() override;
    void OnDestroy() override;
    void GetGameName(char* out) override;
    KelImageCL* CreateGameIconBig() override;

    /* 59 */ virtual int GetSeatCount();
    /* 60 */ virtual int GetSeatOffsetX(int seat);
    /* 61 */ virtual int GetSeatOffsetY(int seat);
    /* 62 */ virtual int GetSeatOffsetX2(int seat);
    /* 63 */ virtual int GetSeatOffsetY2(int seat);
    /* 64 */ virtual KelImageCL* CreateTableImage();
    /* 65 */ virtual KelImageCL* CreateTableStartGameImage();
    /* 66 */ virtual KelImageCL* CreatePlayerReadyImage();
    /* 67 */ virtual KelImageCL* CreateStoolMouseOutImage();
    /* 68 */ virtual KelImageCL* CreateStoolMouseInImage();
    /* 69 */ virtual bool EnterGame();
    /* 70 */ virtual bool ExitGame();
    /* 71 */ virtual uint8_t IsExiting();
    /* 72 */ virtual void SetExiting(uint8_t exiting);
    /* 73 */ virtual void GetWorkDir(char* out);
    /* 74 */ virtual void GetImageDir(char* out);
    /* 75 */ virtual const char* GetGameDirName();
    /* 76 */ virtual int UseFrameImagePath();
    /* 77 */ virtual void UseSelfImagePath();
    /* 78 */ virtual void SetGameNet(MsgSender* sender, MsgDispatcher* dispatcher);
    /* 79 */ virtual MsgSender* GetGameNetSender();
    /* 80 */ virtual MsgDispatcher* GetGameNetDispatcher();
    /* 81 */ virtual bool AddGameNetMsgHandle(MsgSinkCL* sink);
    /* 82 */ virtual bool RemoveGameNetMsgHandle(MsgSinkCL* sink);
    /* 83 */ virtual const char* GetScoreTitle(int score);
    /* 84 */ virtual void OnRecv_OnTalkToAllforXLB(int type, const char* sender, const char* text);
    /* 85 */ virtual void OnRecv_OnChatFace(const std::string& text);
    /* 86 */ virtual void OnRecv_OnGameRoomInfo(const std::string& text);
    /* 87 */ virtual void OnRecv_BuyProp(int32_t first, int32_t second);
    /* 88 */ virtual KelWndBaseCL* GetDlgTable();
    /* 89 */ virtual KelWndBaseCL* GetDlgExtraA();
    /* 90 */ virtual KelWndBaseCL* GetDlgGameWnd();
    /* 91 */ virtual KelWndBaseCL* GetDlgExtraB();
    /* 92 */ virtual KelWndBaseCL* GetDlgPlayerInfo();
    /* 93 */ virtual KelWndBaseCL* GetDlgChatWindow();
    /* 94 */ virtual KelWndBaseCL* GetDlgToolBarCL();
    /* 95 */ virtual void SetGameRuning(uint8_t running);
    /* 96 */ virtual uint8_t IsGameRuning();
    /* 97 */ virtual void SetEffectLevel(int level);
    /* 98 */ virtual int GetEffectLevel();

    RoomSink& GetRoomSink() { return m_roomSink; }
    const std::string& GetRoomName() const { return m_roomName; }
    int GetCoinCost() const { return m_coinCost; }
    // The saved-settings file of the user: module directory + "\save\Game<id>.ini".
    std::string GetSavedSettingsPath();

protected:
    void SetGameDirectoryKey(const std::string& key) { m_directoryKey = key; }
    // The game's own sink, registered with the game-level pair after the room sink.
    virtual MsgSinkCL* GameSinkM() { return nullptr; }
    TablePlayWindow* PlayWindow();
    // The seat part of the game window: the play window, or the seat window alone.
    TableSeatWindow* SeatWindow();
    TableChatWindow* ChatWindow();
    TableDialog* Table();

private:
    // The room messages' effects.
    void OnPlayerIn(int playerId, int seat, int state, const NetPlayerInfo& info) override;
    void OnPlayerOut(int playerId) override;
    void OnReady(int playerId, bool ready) override;
    void OnStartGame() override;
    void OnGameResult(const std::vector<NetResultRecord>& records) override;
    void OnPlayerWantToLeave(int playerId, const std::string& text) override;
    void OnGameRunning(bool running) override;
    void OnExiting(bool exiting) override;
    void OnChat(const std::string& text) override;
    void OnPlayerExitType(int type) override;
    void OnPlayerInfoChanged(int playerId, const NetPlayerInfo& info) override;
    void OnEnterPassword() override;
    void OnPasswordResult(int result) override;
    void OnLotteryWin(int amount) override;
    void SetCoinCost(int coins) override;
    void SendTableSettings();

    RoomSink m_roomSink{this};
    std::string m_roomName = "---VARNOK游戏世界---";
    std::string m_frameImageDirectory;
    std::string m_directoryKey;
    MsgDispatcher* m_gameDispatcher = nullptr;
    MsgSender* m_gameSender = nullptr;
    uint8_t m_leaving = 0;
    uint8_t m_running = 0;
    int32_t m_effectLevel = 1;
    int32_t m_coinCost = 0;
};
