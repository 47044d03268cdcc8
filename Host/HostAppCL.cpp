#include "HostAppCL.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <dlfcn.h>
#include <sodium.h>
#include <stb/stb_image_write.h>

#include "EnginePointerBlock.h"
#include "KavdorServerCL.h"
#include "KelScreenCL.h"
#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"
#include "VAppBaseCL.h"
#include "VGameCardBaseCL.h"
#include "Win32/Clipboard.h"
#include "Win32/Files.h"
#include "Win32/Keyboard.h"
#include "Win32/Messages.h"
#include "Win32/PlaySound.h"
#include "Win32/Profile.h"
#include "Win32/Text.h"

namespace
{
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr uint64_t kTableListEveryMs = 3000;
constexpr uint64_t kReconnectAfterMs = 2000;

std::string Hex(const unsigned char* bytes, size_t size)
{
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i)
    {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// What the lobby says of a refused login: the server's reasons it knows in the user's words,
// any other reason as the server gave it.
std::string LoginProblem(int result, const std::string& reason)
{
    if (reason == "the nickname is taken")
        return "这个昵称已被注册，请换一个，或者直接登录";
    if (reason == "no player has this nickname")
        return "没有这个昵称的账号，请先注册";
    if (!reason.empty() && result != 2)
        return reason;
    switch (result)
    {
    case 1:
        return "服务器拒绝了登录";
    case 2:
        return "密码错误";
    case 3:
        return "玩家记录暂时不可用，请稍后再试";
    default:
        return "未知错误";
    }
}
int AcceptedCount(const HostTraffic& traffic, int category)
{
    const auto found = traffic.accepted.find(category);
    return found == traffic.accepted.end() ? 0 : found->second;
}
} // namespace

HostAppCL::HostAppCL(HostOptions options)
    : m_options(std::move(options)), m_net(
                                         [this](const std::vector<uint8_t>& message)
                                         {
                                             if (!m_client.IsConnected())
                                                 return false;
                                             Send(message);
                                             return true;
                                         })
{
}

HostAppCL::~HostAppCL()
{
    Shutdown();
}

uint64_t HostAppCL::NowMs() const
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

int HostAppCL::Run()
{
    m_startMs = NowMs();
    std::error_code ignored;
    m_logStart = static_cast<size_t>(std::filesystem::file_size("KelLogFile.txt", ignored));
    if (ignored)
        m_logStart = 0;
    if (!m_options.script.empty())
    {
        std::string error;
        if (!m_script.Load(m_options.script, error))
        {
            std::fprintf(stderr, "kavdor-lobby: %s\n", error.c_str());
            return kHostBadArguments;
        }
    }
    if (!m_options.record.empty())
    {
        std::string error;
        if (!m_record.Open(m_options.record, error))
        {
            std::fprintf(stderr, "kavdor-lobby: %s\n", error.c_str());
            return kHostBadArguments;
        }
    }
    if (!StartEngine())
        return kHostNoEngine;
    if (!LoadModule())
        return kHostNoModule;
    if (!Connect())
        return kHostNoServer;
    m_lobby = new HostLobbyCL(*this, !m_options.server.empty(), RememberedNickname());

    int exitCode = kHostOk;
    const uint64_t frameMs = m_options.fps > 0 ? 1000u / static_cast<uint64_t>(m_options.fps) : 0;
    while (m_running)
    {
        const uint64_t started = NowMs();
        Frame();
        ++m_framesDrawn;
        if (m_script.Loaded())
        {
            const HostScriptCL::Status status = m_script.Step(*this, NowMs());
            if (status == HostScriptCL::Status::Failed)
            {
                std::fprintf(stderr, "kavdor-lobby: %s\n", m_script.Failure().c_str());
                KelLogPrintf("host: %s", m_script.Failure().c_str());
                exitCode = kHostScriptFailed;
                m_running = false;
            }
            else if (status == HostScriptCL::Status::Done)
                m_running = false;
        }
        if (m_options.frames > 0 && m_framesDrawn >= m_options.frames)
            m_running = false;
        // An idle table must not take a core: frames wait for their turn.
        const uint64_t spent = NowMs() - started;
        if (m_running && spent < frameMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(frameMs - spent));
    }
    const double seconds = static_cast<double>(NowMs() - m_startMs) / 1000.0;
    KelLogPrintf("host: %d frames in %.1f s", m_framesDrawn, seconds);
    Shutdown();
    return exitCode;
}

// The card-table layer of the module's application object: the host calls it by position, as
// the whole table of operations.
VGameCardBaseCL* HostAppCL::Game()
{
    return static_cast<VGameCardBaseCL*>(m_app);
}

bool HostAppCL::StartEngine()
{
    m_log.Open();
    if (m_options.headless)
    {
        // Headless runs have neither a display nor a sound card; the mixer runs unheard.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
    else
    {
        m_sdlWindow = std::make_unique<HostSdlWindowCL>();
        if (!m_sdlWindow->Open("kavdor", kWidth, kHeight))
        {
            std::fprintf(stderr, "kavdor-lobby: %s (use --headless to run without a display)\n",
                         m_sdlWindow->Error().c_str());
            return false;
        }
    }
    m_window = std::make_unique<HostFrameWindowCL>(kWidth, kHeight, m_sdlWindow.get());
    if (!m_engine.KelObjLoaderInit(nullptr))
    {
        std::fprintf(stderr, "kavdor-lobby: the engine cannot start (see KelLogFile.txt)\n");
        return false;
    }
    m_screen = m_engine.CreateKelWindow("main");
    if (m_screen == nullptr || !m_screen->CreateDevice(m_window.get(), 0))
    {
        std::fprintf(stderr, "kavdor-lobby: no drawing device (see KelLogFile.txt)\n");
        return false;
    }
    m_engine.SetImageDirectory("image");
    m_ui = std::make_unique<KelUIManagerCL>();
    m_ui->SetGuiConfigM("Config\\Gui\\guiConfig.xml");
    m_ui->SetDeskTopSizeM(kWidth, kHeight);
    if (FAILED(m_sounds.Initialize(m_window.get())))
        KelLogPrintf("host: no sound output; the game runs silent");
    m_sounds.SetSoundDirectory("sound");
    // The buttons' click sounds share the engine's device: one audio output for the program.
    if (m_sounds.GetDirectSound() != nullptr)
        Win32SetPlaySoundDevice(m_sounds.GetDirectSound());
    m_screen->SetRenderCallback(
        [this](KelCanvasCL* canvas)
        {
            if (m_app != nullptr)
                m_app->Render(canvas);
            else if (m_ui != nullptr)
                m_ui->RenderM(canvas);
        });
    return true;
}

bool HostAppCL::LoadModule()
{
    std::string directory = KelGetModuleDirectory();
    const std::string library = ResolveWin32Path((directory + "\\game\\kavdortwo\\libkavdortwo.so").c_str());
    m_module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_module == nullptr)
    {
        std::fprintf(stderr, "kavdor-lobby: cannot load the game module %s: %s\n", library.c_str(),
                     dlerror());
        return false;
    }
    using Export = VAppBaseCL* (*)();
    auto exportInterface = reinterpret_cast<Export>(dlsym(m_module, "ExportInterface"));
    m_app = exportInterface != nullptr ? exportInterface() : nullptr;
    if (m_app == nullptr)
    {
        std::fprintf(stderr, "kavdor-lobby: %s is not a game module (no ExportInterface)\n", library.c_str());
        return false;
    }
    EnginePointerBlock block{&m_engine, &m_fonts,       &m_loader,  &m_states, &m_images, &m_screens,
                             &m_system, &m_textureInfo, m_ui.get(), &m_music,  &m_sounds, &m_criticalSections,
                             &m_log,    &m_console};
    m_app->RevertKelEnginePoint(&block);
    m_app->SetDllName("kavdortwo");
    m_app->SetWorkDirectory((directory + "\\game\\kavdortwo").c_str());
    m_app->SetNetMsgDispatcher(&m_net.RoomLevel());
    m_app->SetNetMsgSender(&m_net);
    m_app->SetPlayerService(&m_players);
    m_app->SetScreenSize(kWidth, kHeight);
    if (m_app->Initial() == 0)
        KelLogPrintf("host: the module did not register its room sink");
    return true;
}

bool HostAppCL::Connect()
{
    if (m_options.server.empty())
    {
        unsigned char token[16];
        randombytes_buf(token, sizeof token);
        m_token = Hex(token, sizeof token);
        KavdorServerOptions server;
        server.address = "127.0.0.1";
        server.port = 0;
        std::filesystem::create_directories(m_options.dataDir);
        server.database = (std::filesystem::path(m_options.dataDir) / "players.db").string();
        server.tables = 8;
        server.turnSeconds = m_options.turnSeconds;
        server.botDelayMs = m_options.botDelayMs;
        server.verbose = false;
        server.localToken = m_token;
        m_server = std::make_unique<KavdorServerCL>(server);
        if (!m_server->Start())
        {
            std::fprintf(stderr, "kavdor-lobby: the table server cannot start: %s\n",
                         m_server->LastError().c_str());
            return false;
        }
        m_address = "127.0.0.1";
        m_port = m_server->Port();
        m_serverThread = std::thread([this] { m_server->Run(m_serverStop); });
    }
    else
    {
        const size_t colon = m_options.server.rfind(':');
        m_address = m_options.server.substr(0, colon);
        const int port = colon == std::string::npos ? 7000 : std::atoi(m_options.server.c_str() + colon + 1);
        if (port <= 0 || port > 65535 || m_address.empty())
        {
            std::fprintf(stderr, "kavdor-lobby: --server takes HOST:PORT, not %s\n",
                         m_options.server.c_str());
            return false;
        }
        m_port = static_cast<uint16_t>(port);
    }
    if (!m_client.Connect(m_address, m_port))
    {
        std::fprintf(stderr, "kavdor-lobby: cannot reach the table server at %s:%u\n", m_address.c_str(),
                     m_port);
        return false;
    }
    return true;
}

void HostAppCL::Shutdown()
{
    if (m_app != nullptr)
    {
        if (m_atTable)
            Game()->ExitGame();
        m_atTable = false;
        // The module's Destroy takes every window down, the lobby included.
        m_app->Destroy();
        m_app = nullptr;
        m_lobby = nullptr;
    }
    m_client.Close();
    if (m_server != nullptr)
    {
        m_serverStop = true;
        if (m_serverThread.joinable())
            m_serverThread.join();
        m_server->Stop();
        m_server.reset();
    }
    if (m_ui != nullptr)
    {
        m_ui.reset();
        m_lobby = nullptr;
    }
    Win32SetPlaySoundDevice(nullptr);
    m_sounds.Release();
    m_players.ReleasePictures();
    if (m_screen != nullptr)
    {
        m_engine.KelObjLoaderDestroy();
        m_screen = nullptr;
    }
    if (m_module != nullptr)
    {
        dlclose(m_module);
        m_module = nullptr;
    }
}

void HostAppCL::Frame()
{
    PumpInput();
    PumpNetwork();
    const uint64_t now = NowMs();
    if (m_loggedIn && !m_atTable && now - m_lastTableList >= kTableListEveryMs)
        LobbyRefresh();
    if (!m_client.IsConnected() && m_reconnectAt != 0 && now >= m_reconnectAt)
        Reconnect();
    m_engine.OnUpdateM();
    for (const HostPlayersCL::PurchaseAnswer& answer : m_players.TakePurchaseAnswers())
        if (m_app != nullptr)
            Game()->OnRecv_BuyProp(answer.result, answer.propId);
    for (const std::string& face : m_players.TakePickedFaces())
        if (m_app != nullptr)
            Game()->OnRecv_OnChatFace(face);
    if (m_app != nullptr)
        m_app->Update();
    m_sounds.Update();
    if (m_screen != nullptr)
        m_screen->RenderFrame();
}

void HostAppCL::PumpInput()
{
    if (m_sdlWindow == nullptr)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
    {
        if (event.type == SDL_QUIT)
        {
            m_running = false;
            continue;
        }
        if (event.type == SDL_CLIPBOARDUPDATE)
        {
            SyncClipboard(true);
            continue;
        }
        if (event.type == SDL_WINDOWEVENT)
        {
            m_sdlWindow->OnWindowEvent(event.window);
            if (event.window.event == SDL_WINDOWEVENT_MINIMIZED && m_app != nullptr)
                m_app->SetIsShow(0);
            else if (event.window.event == SDL_WINDOWEVENT_RESTORED && m_app != nullptr)
                m_app->SetIsShow(1);
            continue;
        }
        // Mouse points in window pixels become points of the 800 x 600 frame.
        if (event.type == SDL_MOUSEMOTION)
            m_sdlWindow->ToFrame(event.motion.x, event.motion.y);
        else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP)
            m_sdlWindow->ToFrame(event.button.x, event.button.y);
        for (const HostMessage& message : m_input.Translate(event))
            Input(message.message, message.wparam, message.lparam);
    }
    SyncClipboard(false);
}

// The desktop's clipboard and the program's share one text: what the program copies is offered
// to the desktop, and what the desktop copies (reported by SDL_CLIPBOARDUPDATE) is pasted here.
void HostAppCL::SyncClipboard(bool desktopChanged)
{
    const std::string ours = Win32GetClipboardText();
    if (ours != m_clipboard)
    {
        m_clipboard = ours;
        SDL_SetClipboardText(GbkToUtf8(ours).c_str());
        return;
    }
    if (!desktopChanged || SDL_HasClipboardText() != SDL_TRUE)
        return;
    if (char* text = SDL_GetClipboardText())
    {
        m_clipboard = Utf8ToGbk(text);
        Win32SetClipboardText(m_clipboard);
        SDL_free(text);
    }
}

void HostAppCL::Input(UINT message, WPARAM wparam, LPARAM lparam)
{
    HWND window = m_window.get();
    // Scripted keys hold their key as the keyboard would (SDL's keys set it as they arrive).
    if (m_sdlWindow == nullptr && (message == WM_KEYDOWN || message == WM_KEYUP))
        Win32SetKeyDown(static_cast<int>(wparam), message == WM_KEYDOWN);
    m_engine.OnWindowMessage(window, message, wparam, lparam);
    if (m_app != nullptr)
        m_app->PostMessage(window, message, wparam, lparam);
    else if (m_ui != nullptr)
        m_ui->PostMessageM(window, message, wparam, lparam);
}

void HostAppCL::PumpNetwork()
{
    const bool wasConnected = m_client.IsConnected();
    std::vector<uint8_t> message;
    while (m_client.Receive(message, 0))
    {
        uint16_t category = 0;
        uint16_t type = 0;
        if (!NetMsgReaderCL::ReadHeader(message.data(), message.size(), category, type))
            continue;
        if (category == NET_CATEGORY_LOBBY)
        {
            OnLobbyMessage(type, message.data() + 4, message.size() - 4);
            continue;
        }
        if (category == NET_CATEGORY_ROOM && !m_players.Observe(message.data(), message.size()))
            continue;
        const int accepted = AcceptedCount(m_net.Traffic(), category);
        m_net.Deliver(message.data(), message.size());
        if (AcceptedCount(m_net.Traffic(), category) != accepted)
            m_record.Observe(message.data(), message.size());
        // The server's answer to leaving: the user is no longer at the table.
        if (category == NET_CATEGORY_ROOM && type == ROOM_EXIT_RESULT && message.size() >= 5 &&
            message[4] == 1)
            LeaveTable();
    }
    if (wasConnected && !m_client.IsConnected())
    {
        const std::string reason = m_client.CloseReason().empty() ? "连接中断" : m_client.CloseReason();
        KelLogPrintf("host: lost the connection to the table server: %s", reason.c_str());
        LeaveTable();
        m_loggedIn = false;
        if (m_lobby != nullptr)
            m_lobby->SetStatus("与服务器的连接已断开（" + reason + "），正在重新连接……");
        m_reconnectAt = NowMs() + kReconnectAfterMs;
    }
}

void HostAppCL::Reconnect()
{
    m_reconnectAt = 0;
    if (!m_client.Connect(m_address, m_port))
    {
        m_reconnectAt = NowMs() + kReconnectAfterMs;
        return;
    }
    KelLogPrintf("host: connected to the table server again");
    // The server puts a player whose seat it held back at his table after the login.
    if (!m_nickname.empty())
        LobbyLogin(m_nickname, m_password, m_sex, false);
}

void HostAppCL::Send(const std::vector<uint8_t>& message)
{
    if (!m_client.Send(message))
        KelLogPrintf("host: a message to the table server could not be sent");
}

void HostAppCL::OnLobbyMessage(uint16_t type, const uint8_t* payload, size_t length)
{
    try
    {
        NetMsgReaderCL reader(payload, static_cast<int>(length));
        switch (type)
        {
        case LOBBY_LOGIN_RESULT:
        {
            const int result = reader.ReadI32();
            const int id = reader.ReadI32();
            const NetPlayerInfo info = reader.ReadPlayerInfo();
            const std::string reason = reader.ReadBytes();
            if (result != 0)
            {
                KelLogPrintf("host: login refused (%d): %s", result, reason.c_str());
                if (m_lobby != nullptr)
                    m_lobby->OnLoginRefused(LoginProblem(result, reason));
                break;
            }
            m_players.SetSelf(id, info);
            m_loggedIn = true;
            RememberNickname(m_nickname);
            KelLogPrintf("host: logged in as %s (player %d)", m_nickname.c_str(), id);
            if (m_lobby != nullptr)
                m_lobby->OnLoggedIn(info);
            LobbyRefresh();
            break;
        }
        case LOBBY_TABLE_LIST:
        {
            std::vector<HostTableRow> tables(reader.ReadU8());
            for (HostTableRow& table : tables)
            {
                table.id = reader.ReadI32();
                const int flags = reader.ReadU8();
                table.password = (flags & 1) != 0;
                table.running = (flags & 2) != 0;
                table.hardBots = (flags & 4) != 0;
                for (int& player : table.players)
                    player = reader.ReadI32();
            }
            if (m_lobby != nullptr)
                m_lobby->OnTables(tables);
            if (m_quickStart && !m_atTable)
            {
                for (const HostTableRow& table : tables)
                    if (!table.password && !table.running && table.Seated() < 4)
                    {
                        Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT)
                                 .I32(table.id)
                                 .I32(-1)
                                 .U8(0)
                                 .U8(static_cast<uint8_t>(m_quickStartBots))
                                 .Data());
                        return;
                    }
                m_quickStart = false;
                if (m_lobby != nullptr)
                    m_lobby->SetStatus("没有空座位了，请稍后再试");
            }
            break;
        }
        case LOBBY_SIT_RESULT:
        {
            const int result = reader.ReadI32();
            const int table = reader.ReadI32();
            const int seat = reader.ReadI32();
            if (result != 0)
            {
                m_quickStart = false;
                if (m_lobby != nullptr)
                    m_lobby->SetStatus(result == 1 ? "座位已被占用或桌子已满" : "无法入座");
                break;
            }
            KelLogPrintf("host: seated at table %d, seat %d", table, seat);
            EnterTable();
            if (m_quickStart)
                Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_ADD_BOTS).Data());
            m_quickStart = false;
            break;
        }
        case LOBBY_ERROR:
        {
            const std::string reason = reader.ReadBytes();
            KelLogPrintf("host: the server refused a lobby request: %s", reason.c_str());
            if (m_lobby != nullptr)
                m_lobby->SetStatus(reason);
            break;
        }
        default:
            KelLogPrintf("host: unknown lobby message %u ignored", type);
            break;
        }
    }
    catch (const std::exception& error)
    {
        KelLogPrintf("host: malformed lobby message %u (%zu bytes): %s", type, length, error.what());
    }
}

void HostAppCL::EnterTable()
{
    if (m_app == nullptr || m_atTable)
        return;
    // The table's password travels in the module's saved settings of the user, which it reads
    // for the table-settings request it sends on entering.
    const std::string settings =
        KelGetModuleDirectory() + "\\save\\Game" + std::to_string(m_players.GetSelfID()) + ".ini";
    WritePrivateProfileStringA("Kavdor", "passWord", m_tablePassword.c_str(), settings.c_str());
    m_tablePassword.clear();
    Game()->SetGameNet(&m_net, &m_net.GameLevel());
    m_atTable = true;
    if (!Game()->EnterGame())
        KelLogPrintf("host: the module could not enter the game");
    if (m_lobby != nullptr)
        m_lobby->ShowM(false);
    // The lobby's tooltip under the mouse goes with it.
    m_ui->SetHoverWndM(nullptr);
}

void HostAppCL::LeaveTable()
{
    if (!m_atTable)
        return;
    m_atTable = false;
    if (m_app != nullptr)
        Game()->ExitGame();
    if (m_lobby != nullptr)
        m_lobby->ShowM(true);
    if (m_loggedIn)
        LobbyRefresh();
}

void HostAppCL::LobbyLogin(const std::string& nickname, const std::string& password, int sex, bool create)
{
    m_nickname = nickname;
    m_password = password;
    m_sex = sex;
    // The embedded server admits its own host by the token it was started with, and makes its
    // record at the first login. A remote server is told whether the account is to be made, so
    // that a mistyped nickname is refused rather than made into a second account.
    const bool embedded = m_options.server.empty();
    const std::string& secret = embedded ? m_token : password;
    const LoginMode mode = embedded ? LoginMode::LogInOrCreate
                           : create ? LoginMode::Create
                                    : LoginMode::LogIn;
    Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LOGIN)
             .Bytes(nickname)
             .U8(static_cast<uint8_t>(sex))
             .Bytes(secret)
             .U8(static_cast<uint8_t>(mode))
             .Data());
}

void HostAppCL::LobbyQuickStart(int botLevel)
{
    m_quickStart = true;
    m_quickStartBots = botLevel;
    LobbyRefresh();
}

void HostAppCL::LobbySit(int table, bool watch, const std::string& password, int botLevel)
{
    m_tablePassword = password;
    Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_SIT)
             .I32(table)
             .I32(-1)
             .U8(watch ? 1 : 0)
             .U8(static_cast<uint8_t>(botLevel))
             .Data());
}

void HostAppCL::LobbyRefresh()
{
    m_lastTableList = NowMs();
    Send(NetMsgWriterCL(NET_CATEGORY_LOBBY, LOBBY_LIST_TABLES).Data());
}

KelWndBaseCL* HostAppCL::FindShownWindow(const std::string& name)
{
    if (m_ui == nullptr || m_ui->GetDeskTopM() == nullptr)
        return nullptr;
    // Depth first over the shown windows of the desktop.
    std::vector<KelWndBaseCL*> pending{m_ui->GetDeskTopM()};
    while (!pending.empty())
    {
        KelWndBaseCL* window = pending.back();
        pending.pop_back();
        if (!window->IsShowM())
            continue;
        if (window->GetNameM() == name)
            return window;
        for (KelWndBaseCL* child : window->GetChildren())
            pending.push_back(child);
    }
    return nullptr;
}

bool HostAppCL::Snapshot(const std::string& path)
{
    int width = 0;
    int height = 0;
    const std::vector<uint32_t> frame = m_window->Frame(&width, &height);
    if (frame.empty())
        return false;
    std::vector<uint8_t> rgba(frame.size() * 4);
    for (size_t i = 0; i < frame.size(); ++i)
    {
        rgba[i * 4] = static_cast<uint8_t>(frame[i] >> 16);
        rgba[i * 4 + 1] = static_cast<uint8_t>(frame[i] >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(frame[i]);
        rgba[i * 4 + 3] = 255;
    }
    return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

const VarnokPlayerInfo* HostAppCL::SelfRecord()
{
    return m_loggedIn ? m_players.GetPlayerInfo(m_players.GetSelfID()) : nullptr;
}

KelWndBaseCL* HostAppCL::Popup()
{
    return m_ui != nullptr ? m_ui->GetPopupM() : nullptr;
}

int HostAppCL::ShownFace(const std::string& nickname)
{
    HostPlayerCL* player = m_players.FindByNickname(nickname);
    return player != nullptr ? player->ShownFace() : -1;
}

std::string HostAppCL::LogText()
{
    KelLogFlush();
    std::ifstream in("KelLogFile.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return m_logStart < text.size() ? text.substr(m_logStart) : std::string();
}

std::string HostAppCL::RememberedNickname() const
{
    char nickname[256] = {};
    const std::string file = (std::filesystem::path(m_options.dataDir) / "lobby.ini").string();
    GetPrivateProfileStringA("Lobby", "nickname", "", nickname, sizeof nickname, file.c_str());
    return nickname;
}

void HostAppCL::RememberNickname(const std::string& nickname) const
{
    // Only the nickname: a password is never kept.
    const std::string file = (std::filesystem::path(m_options.dataDir) / "lobby.ini").string();
    WritePrivateProfileStringA("Lobby", "nickname", nickname.c_str(), file.c_str());
}
