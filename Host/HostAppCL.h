#pragma once
// kavdor-lobby: the program that owns the engine, the window, the sound and the connection,
// loads the game module and drives it, and shows the lobby between tables.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HostLobbyCL.h"
#include "HostNetCL.h"
#include "HostPlayersCL.h"
#include "HostScriptCL.h"
#include "HostTableRecordCL.h"
#include "HostWindowCL.h"
#include "KelConsoleCL.h"
#include "KelCriticalSectionManagerCL.h"
#include "KelEngineCL.h"
#include "KelFontManagerCL.h"
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
#include "NetServerCL.h"

class KavdorServerCL;
class KelScreenCL;
class VAppBaseCL;
class VGameCardBaseCL;

struct HostOptions
{
    bool headless = false;
    std::string script;
    // Frames to run (0: until the window closes or the script quits) and the frame-rate cap.
    int frames = 0;
    int fps = 60;
    // A remote table server "host:port"; empty: the embedded one.
    std::string server;
    // Where the embedded server keeps its records and the lobby remembers the nickname.
    std::string dataDir;
    // Where the program's runtime folder is (the module, the skin); empty: the program's own.
    std::string runDir;
    // Seconds a bot or a player has for a turn at the embedded server's tables.
    int turnSeconds = 30;
    // The embedded server's bots wait this long before acting, so that a person can follow.
    int botDelayMs = 800;
    // Where to append the account of what the table shows (see HostTableRecordCL); empty: none.
    std::string record;
};

// Exit codes.
enum HostExit
{
    kHostOk = 0,
    kHostScriptFailed = 1,
    kHostNoModule = 2,
    kHostNoEngine = 3,
    kHostNoServer = 4,
    kHostBadArguments = 64,
};

// A memory window that also shows its frames in the desktop window when there is one, so that
// snapshots work the same with and without a display.
class HostFrameWindowCL : public MemoryWindow
{
public:
    HostFrameWindowCL(int width, int height, HostSdlWindowCL* shown)
        : MemoryWindow(width, height), m_shown(shown)
    {
    }
    bool IsMinimised() const override { return m_shown != nullptr ? m_shown->IsMinimised() : false; }
    void PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override
    {
        MemoryWindow::PresentFrame(pixels, width, height, pitch);
        if (m_shown != nullptr)
            m_shown->PresentFrame(pixels, width, height, pitch);
    }
    void PresentBuffer(PixelBuffer& pixels, int width, int height, int pitch) override
    {
        if (m_shown != nullptr)
            m_shown->PresentFrame(pixels.data(), width, height, pitch);
        MemoryWindow::PresentBuffer(pixels, width, height, pitch);
    }

private:
    HostSdlWindowCL* m_shown;
};

class HostAppCL : private HostLobbyActions, private HostScriptTarget
{
public:
    explicit HostAppCL(HostOptions options);
    ~HostAppCL() override;
    HostAppCL(const HostAppCL&) = delete;
    HostAppCL& operator=(const HostAppCL&) = delete;

    // Runs the whole session; the exit code.
    int Run();

    // Measured by Run: frames drawn and the seconds they took.
    int FramesDrawn() const { return m_framesDrawn; }

private:
    // Start-up steps, each false with the reason printed.
    bool StartEngine();
    bool LoadModule();
    bool Connect();
    void Shutdown();

    VGameCardBaseCL* Game();
    void Frame();
    void PumpInput();
    void SyncClipboard(bool desktopChanged);
    void PumpNetwork();
    void OnLobbyMessage(uint16_t type, const uint8_t* payload, size_t length);
    void EnterTable();
    void LeaveTable();
    void Send(const std::vector<uint8_t>& message);
    void Reconnect();

    // HostLobbyActions
    void LobbyLogin(const std::string& nickname, const std::string& password, int sex, bool create) override;
    void LobbyQuickStart(int botLevel) override;
    void LobbySit(int table, bool watch, const std::string& password, int botLevel) override;
    void LobbyRefresh() override;

    // HostScriptTarget
    void Input(UINT message, WPARAM wparam, LPARAM lparam) override;
    KelWndBaseCL* FindShownWindow(const std::string& name) override;
    bool Snapshot(const std::string& path) override;
    const HostTraffic& Traffic() override { return m_net.Traffic(); }
    const VarnokPlayerInfo* SelfRecord() override;
    std::string LogText() override;
    const std::vector<std::string>& SoundsPlayed() override { return m_players.SoundsPlayed(); }
    KelWndBaseCL* Popup() override;
    int ShownFace(const std::string& nickname) override;

    std::string RememberedNickname() const;
    void RememberNickname(const std::string& nickname) const;
    uint64_t NowMs() const;

    HostOptions m_options;

    // The engine's managers, in the order the engine needs them made (the system first) and,
    // reversed, taken down.
    KelLogCL m_log;
    KelSystemCL m_system;
    KelCriticalSectionManagerCL m_criticalSections;
    KelConsoleCL m_console;
    KelRenderStateManagerCL m_states;
    KelLoadSystemCL m_loader;
    KelTextureInfoManagerCL m_textureInfo;
    KelFontManagerCL m_fonts;
    KelResourceManagerCL m_images;
    KelScreenManagerCL m_screens;
    KelSoundEngineCL m_sounds;
    KelMusicManagerCL m_music;
    KelEngineCL m_engine;
    std::unique_ptr<KelUIManagerCL> m_ui;

    std::unique_ptr<HostSdlWindowCL> m_sdlWindow;
    std::unique_ptr<HostFrameWindowCL> m_window;
    HostInputCL m_input;
    KelScreenCL* m_screen = nullptr;

    void* m_module = nullptr;
    VAppBaseCL* m_app = nullptr;

    // The embedded table server and the thread serving it.
    std::unique_ptr<KavdorServerCL> m_server;
    std::thread m_serverThread;
    std::atomic<bool> m_serverStop{false};
    std::string m_token;
    std::string m_address;
    uint16_t m_port = 0;

    NetClientCL m_client;
    HostNetCL m_net;
    HostPlayersCL m_players;
    HostTableRecordCL m_record;
    HostScriptCL m_script;
    // Owned by the desktop.
    HostLobbyCL* m_lobby = nullptr;

    // The clipboard text last shared between the desktop and the program (GBK).
    std::string m_clipboard;
    std::string m_nickname;
    std::string m_password;
    int m_sex = 0;
    bool m_loggedIn = false;
    bool m_atTable = false;
    bool m_quickStart = false;
    int m_quickStartBots = 1; // the bot level asked for with the quick start
    std::string m_tablePassword;
    uint64_t m_lastTableList = 0;
    uint64_t m_reconnectAt = 0;
    bool m_running = true;
    int m_framesDrawn = 0;
    uint64_t m_startMs = 0;
    size_t m_logStart = 0;
};
