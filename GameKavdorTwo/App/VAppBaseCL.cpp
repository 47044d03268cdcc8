#include "VAppBaseCL.h"

#include <type_traits>

#include <dlfcn.h>

#include "EnginePointerBlock.h"
#include "KelConsoleCL.h"
#include "KelCriticalSectionManagerCL.h"
#include "KelEngineCL.h"
#include "KelFontManagerCL.h"
#include "KelGuard.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelMusicManagerCL.h"
#include "KelRenderStateManagerCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenManagerCL.h"
#include "KelSoundEngineCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "MsgSinkCL.h"
#include "Win32/PlaySound.h"
#include "Win32/ProcessState.h"

VAppBaseCL::VAppBaseCL() = default;

VAppBaseCL::~VAppBaseCL() = default;

void VAppBaseCL::SetNetMsgDispatcher(MsgDispatcher* dispatcher)
{
    m_dispatcher = dispatcher;
}

MsgDispatcher* VAppBaseCL::GetNetMsgDispatcher()
{
    return m_dispatcher;
}

void VAppBaseCL::SetNetMsgSender(MsgSender* sender)
{
    m_sender = sender;
}

MsgSender* VAppBaseCL::GetNetMsgSender()
{
    return m_sender;
}

void VAppBaseCL::SetPlayerService(PlayerService* service)
{
    m_players = service;
}

PlayerService* VAppBaseCL::GetPlayerService()
{
    return m_players;
}

void VAppBaseCL::SetWorkDirectory(const char* directory)
{
    m_workDirectory = directory != nullptr ? directory : "";
}

std::string VAppBaseCL::GetWorkDirectory()
{
    return m_workDirectory;
}

int VAppBaseCL::SetScreenSize(int width, int height)
{
    m_screenWidth = width;
    m_screenHeight = height;
    return OnScreenSizeHook(width, height) ? 1 : 0;
}

int VAppBaseCL::GetScreenWidth()
{
    return m_screenWidth;
}

int VAppBaseCL::GetScreenHeight()
{
    return m_screenHeight;
}

int VAppBaseCL::Initial()
{
    KEL_TRY
    KelLogPrintf("设置UI类型 GuiConfig\\guiConfig.xml");
    KelUIManagerCL::GetInstance()->SetGuiConfigM("Config\\Gui\\guiConfig.xml");
    return OnInitial();
    KEL_CATCH
}

int VAppBaseCL::Destroy()
{
    KEL_TRY
    OnDestroy();
    KelLogPrintf("释放界面");
    KelUIManagerCL::GetInstance()->DestroyDeskTopM();
    Win32SetPlaySoundDevice(nullptr);
    Win32AdoptProcessState(nullptr);
    return 1;
    KEL_CATCH
}

int VAppBaseCL::Render(KelCanvasCL* canvas)
{
    KEL_TRY
    OnRenderHook(canvas);
    KelUIManagerCL::GetInstance()->RenderM(canvas);
    // The statistics and font browser of the debug keys lie over the windows.
    KelSystemCL::GetInstance()->DrawDebugOverlay(canvas);
    return 1;
    KEL_CATCH
}

int VAppBaseCL::Update()
{
    KEL_TRY
    KelUIManagerCL::GetInstance()->UpDatedataM();
    return OnUpdateHook();
    KEL_CATCH
}

int VAppBaseCL::PostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    KEL_TRY
    if (KelUIManagerCL::GetInstance()->PostMessageM(window, message, wparam, lparam))
        return OnPostMessageHook(window, message, wparam, lparam) ? 1 : 0;
    return 0;
    KEL_CATCH
}

void VAppBaseCL::RevertKelEnginePoint(const EnginePointerBlock* block)
{
    KEL_TRY
    if (block == nullptr)
        return;
    // In the block's order; a null entry leaves the module's own instance in place.
    const auto install = [](auto* instance)
    {
        if (instance != nullptr)
            std::remove_pointer_t<decltype(instance)>::SetInstance(instance);
    };
    install(block->engine);
    install(block->fontManager);
    install(block->loadSystem);
    install(block->renderStateManager);
    install(block->resourceManager);
    install(block->screenManager);
    install(block->system);
    install(block->textureInfoManager);
    install(block->uiManager);
    install(block->musicManager);
    install(block->soundEngine);
    install(block->criticalSections);
    install(block->log);
    install(block->console);
    // One keyboard, clipboard and input method for the program: the host's, when it offers them.
    using HostState = const Win32ProcessState* (*)();
    if (auto hostState = reinterpret_cast<HostState>(dlsym(RTLD_DEFAULT, kKavdorHostProcessStateSymbol)))
    {
        Win32AdoptProcessState(hostState());
        KelLogPrintf("module: shares the host's keyboard, clipboard and input method");
    }
    // The buttons' click sounds of the module's windows play on the host's sound device: one
    // audio output for the whole program.
    if (block->soundEngine != nullptr && block->soundEngine->GetDirectSound() != nullptr)
        Win32SetPlaySoundDevice(block->soundEngine->GetDirectSound());
    KEL_CATCH
}

int VAppBaseCL::ScreenSizeChange(int width, int height)
{
    return OnScreenSizeHook(width, height) ? 1 : 0;
}

void VAppBaseCL::SetIsShow(uint8_t show)
{
    const uint8_t previous = m_isShow;
    m_isShow = show;
    if (show != previous)
        OnShowChanged(show);
}

uint8_t VAppBaseCL::GetIsShow()
{
    return m_isShow;
}

void VAppBaseCL::SetDllName(const char* name)
{
    m_dllName = name != nullptr ? name : "";
}

const char* VAppBaseCL::GetDllName()
{
    return m_dllName.c_str();
}

void VAppBaseCL::SetAppFlag()
{
    m_appFlag = 1;
}

uint8_t VAppBaseCL::GetAppFlag()
{
    return m_appFlag;
}

void VAppBaseCL::SetHostValueA(int32_t value)
{
    m_hostValueA = value;
}

int32_t VAppBaseCL::GetHostValueA()
{
    return m_hostValueA;
}

void VAppBaseCL::SetHostValueC(int32_t value)
{
    m_hostValueC = value;
}

int32_t VAppBaseCL::GetHostValueC()
{
    return m_hostValueC;
}

void VAppBaseCL::SetHostValueB(int32_t value)
{
    m_hostValueB = value;
}

int32_t VAppBaseCL::GetHostValueB()
{
    return m_hostValueB;
}

bool VAppBaseCL::HostHookA(int32_t, int32_t, int32_t, int32_t, int32_t)
{
    return false;
}

VarnokPlayerInfo* VAppBaseCL::GetSelfData()
{
    return GetVarnokPlayerInfo(GetSelfID());
}

int VAppBaseCL::GetSelfID()
{
    return m_players != nullptr ? m_players->GetSelfID() : 0;
}

VarnokPlayerInfo* VAppBaseCL::GetVarnokPlayerInfo(int playerId)
{
    return m_players != nullptr ? m_players->GetPlayerInfo(playerId) : nullptr;
}

VarnokPlayer* VAppBaseCL::GetVarnokPlayer(int playerId)
{
    return m_players != nullptr ? m_players->GetPlayer(playerId) : nullptr;
}

bool VAppBaseCL::AddHandle(MsgDispatcher* dispatcher, MsgSender* sender, MsgSinkCL* sink)
{
    if (dispatcher == nullptr || sender == nullptr || sink == nullptr)
        return false;
    if (!dispatcher->Add(sink))
        return false;
    sink->SetSender(sender);
    return true;
}

bool VAppBaseCL::RemoveHandle(MsgDispatcher* dispatcher, MsgSender* sender, MsgSinkCL* sink)
{
    if (dispatcher == nullptr || sender == nullptr || sink == nullptr)
        return false;
    dispatcher->Remove(sink);
    return true;
}

bool VAppBaseCL::AddNetMsgHandle(MsgSinkCL* sink)
{
    return AddHandle(m_dispatcher, m_sender, sink);
}

bool VAppBaseCL::RemoveNetMsgHandle(MsgSinkCL* sink)
{
    return RemoveHandle(m_dispatcher, m_sender, sink);
}

void* VAppBaseCL::Malloc(size_t size)
{
    return m_players != nullptr ? m_players->Malloc(size) : nullptr;
}

void VAppBaseCL::HostHookB(int32_t, int32_t, int32_t, int32_t, int32_t) {}

void VAppBaseCL::GetGameName(char* out)
{
    if (out != nullptr)
        out[0] = '\0';
}

int VAppBaseCL::OnInitial()
{
    return 1;
}

void VAppBaseCL::OnDestroy() {}

void VAppBaseCL::OnRenderHook(KelCanvasCL*) {}

int VAppBaseCL::OnUpdateHook()
{
    return 0;
}

bool VAppBaseCL::OnPostMessageHook(HWND, UINT, WPARAM, LPARAM)
{
    return true;
}

bool VAppBaseCL::OnScreenSizeHook(int, int)
{
    return true;
}

void VAppBaseCL::HostHookC(int32_t, int32_t) {}

void VAppBaseCL::HostHookD(int32_t) {}

void VAppBaseCL::OnShowChanged(uint8_t) {}

KelImageCL* VAppBaseCL::CreateGameIconBig()
{
    return nullptr;
}

int VAppBaseCL::HostHookE()
{
    return 0;
}

int VAppBaseCL::HostHookF()
{
    return 0;
}

bool VAppBaseCL::HostHookG(int32_t, int32_t)
{
    return false;
}

int VAppBaseCL::HostHookH(int32_t)
{
    return 0;
}

bool VAppBaseCL::HostHookI(int32_t)
{
    return false;
}

int VAppBaseCL::HostHookJ()
{
    return 0;
}

bool VAppBaseCL::HostHookK(int32_t, int32_t)
{
    return false;
}

bool VAppBaseCL::HostHookL(int32_t, int32_t)
{
    return false;
}
