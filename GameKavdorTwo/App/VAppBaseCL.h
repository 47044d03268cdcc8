#pragma once
// The generic plug-in layer of the application object: what the host hands over (its message
// dispatcher and sender, its player service, the engine, the screen size), the frame, input and
// GUI forwarding, and hooks the host may call. The host calls the application object's
// operations by position: the order below, continued by VGameCardBaseCL, is fixed.

#include <cstdint>
#include <string>

#include "HostInterfaces.h"
#include "Win32/WinTypes.h"

class KelCanvasCL;
class KelImageCL;
struct EnginePointerBlock;

class VAppBaseCL
{
public:
    VAppBaseCL();

    /* 0 */ virtual ~VAppBaseCL();
    /* 1 */ virtual void SetNetMsgDispatcher(MsgDispatcher* dispatcher);
    /* 2 */ virtual MsgDispatcher* GetNetMsgDispatcher();
    /* 3 */ virtual void SetNetMsgSender(MsgSender* sender);
    /* 4 */ virtual MsgSender* GetNetMsgSender();
    /* 5 */ virtual void SetPlayerService(PlayerService* service);
    /* 6 */ virtual PlayerService* GetPlayerService();
    /* 7 */ virtual void SetWorkDirectory(const char* directory);
    /* 8 */ virtual std::string GetWorkDirectory();
    /* 9 */ virtual int SetScreenSize(int width, int height);
    /* 10 */ virtual int GetScreenWidth();
    /* 11 */ virtual int GetScreenHeight();
    /* 12 */ virtual int Initial();
    /* 13 */ virtual int Destroy();
    /* 14 */ virtual int Render(KelCanvasCL* canvas);
    /* 15 */ virtual int Update();
    /* 16 */ virtual int PostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    /* 17 */ virtual void RevertKelEnginePoint(const EnginePointerBlock* block);
    /* 18 */ virtual int ScreenSizeChange(int width, int height);
    /* 19 */ virtual void SetIsShow(uint8_t show);
    /* 20 */ virtual uint8_t GetIsShow();
    /* 21 */ virtual void SetDllName(const char* name);
    /* 22 */ virtual const char* GetDllName();
    /* 23 */ virtual void SetAppFlag();
    /* 24 */ virtual uint8_t GetAppFlag();
    /* 25 */ virtual void SetHostValueA(int32_t value);
    /* 26 */ virtual int32_t GetHostValueA();
    /* 27 */ virtual void SetHostValueC(int32_t value);
    /* 28 */ virtual int32_t GetHostValueC();
    /* 29 */ virtual void SetHostValueB(int32_t value);
    /* 30 */ virtual int32_t GetHostValueB();
    /* 31 */ virtual bool HostHookA(int32_t, int32_t, int32_t, int32_t, int32_t);
    /* 32 */ virtual VarnokPlayerInfo* GetSelfData();
    /* 33 */ virtual int GetSelfID();
    /* 34 */ virtual VarnokPlayerInfo* GetVarnokPlayerInfo(int playerId);
    /* 35 */ virtual VarnokPlayer* GetVarnokPlayer(int playerId);
    /* 36 */ virtual bool AddNetMsgHandle(MsgSinkCL* sink);
    /* 37 */ virtual bool RemoveNetMsgHandle(MsgSinkCL* sink);
    /* 38 */ virtual void* Malloc(size_t size);
    /* 39 */ virtual void HostHookB(int32_t, int32_t, int32_t, int32_t, int32_t);
    /* 40 */ virtual void GetGameName(char* out);
    /* 41 */ virtual int OnInitial();
    /* 42 */ virtual void OnDestroy();
    /* 43 */ virtual void OnRenderHook(KelCanvasCL* canvas);
    /* 44 */ virtual int OnUpdateHook();
    /* 45 */ virtual bool OnPostMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    /* 46 */ virtual bool OnScreenSizeHook(int width, int height);
    /* 47 */ virtual void HostHookC(int32_t, int32_t);
    /* 48 */ virtual void HostHookD(int32_t);
    /* 49 */ virtual void OnShowChanged(uint8_t show);
    /* 50 */ virtual KelImageCL* CreateGameIconBig();
    /* 51 */ virtual int HostHookE();
    /* 52 */ virtual int HostHookF();
    /* 53 */ virtual bool HostHookG(int32_t, int32_t);
    /* 54 */ virtual int HostHookH(int32_t);
    /* 55 */ virtual bool HostHookI(int32_t);
    /* 56 */ virtual int HostHookJ();
    /* 57 */ virtual bool HostHookK(int32_t, int32_t);
    /* 58 */ virtual bool HostHookL(int32_t, int32_t);

    VAppBaseCL(const VAppBaseCL&) = delete;
    VAppBaseCL& operator=(const VAppBaseCL&) = delete;

protected:
    // Registration of a sink with a dispatcher and sender pair.
    static bool AddHandle(MsgDispatcher* dispatcher, MsgSender* sender, MsgSinkCL* sink);
    static bool RemoveHandle(MsgDispatcher* dispatcher, MsgSender* sender, MsgSinkCL* sink);

private:
    std::string m_dllName;
    MsgDispatcher* m_dispatcher = nullptr;
    MsgSender* m_sender = nullptr;
    PlayerService* m_players = nullptr;
    std::string m_workDirectory;
    int32_t m_screenWidth = 0;
    int32_t m_screenHeight = 0;
    uint8_t m_isShow = 1;
    uint8_t m_appFlag = 0;
    int32_t m_hostValueA = 0;
    int32_t m_hostValueB = 0;
    int32_t m_hostValueC = 0;
};
