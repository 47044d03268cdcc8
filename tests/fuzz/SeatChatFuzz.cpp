// Feeds arbitrary table chat to the seat window, as other players (or a damaged server) could send
// it: as the text of a room chat message through the application's room sink, as a whole room
// message, or straight to OnRecv_ImChat with any length. Four players sit at the table; their host
// objects check everything the window asks of them:
//  - nothing crashes and nothing is read past the input (AddressSanitizer);
//  - a face is 1 to 18, a sound one of the faces' voices or the props' effects;
//  - a bubble never holds more bytes than the input;
//  - media switches name a player at the table.
// The first byte picks the way in; the rest is the text or the message. The seeds are written in
// UTF-8, the encoding of the literals in the fuzz build (clang has no GBK execution character set).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CGameCardKavdorTwoCL.h"
#include "DlgGameWndCardBaseCL.h"
#include "FakeTableHost.h"
#include "KelLogCL.h"
#include "KelUIManagerCL.h"
#include "SeatSocialTables.h"

namespace
{
void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const int kIds[] = {1, 2, 3, 4};
size_t g_limit = 0;

std::set<std::string> Sounds()
{
    std::set<std::string> sounds;
    for (int n = 1; n <= kSeatFaceCount; ++n)
    {
        sounds.insert(SeatFaceVoice(n, true));
        sounds.insert(SeatFaceVoice(n, false));
    }
    for (int n = 1; n <= kSeatPropEffectCount; ++n)
        sounds.insert(SeatPropSound(n));
    return sounds;
}

bool AtTable(int playerId)
{
    for (int id : kIds)
        if (id == playerId)
            return true;
    return false;
}

class CheckingPlayer : public tabletest::IdlePlayer
{
public:
    explicit CheckingPlayer(int id) { info.id = id; }
    void PlaySound(const char* name) override
    {
        static const std::set<std::string> known = Sounds();
        Check(known.count(name) == 1, "an unknown sound");
    }
    void ShowFace(int face) override { Check(face >= 1 && face <= kSeatFaceCount, "a face out of range"); }
    void ShowBubble(const char* text) override
    {
        // Face bubbles are the window's own texts; a chat bubble is at most the input.
        Check(std::strlen(text) <= std::max<size_t>(g_limit, 64), "a bubble longer than the input");
    }
    void SetVideoOn(bool, int playerId) override { Check(AtTable(playerId), "video of nobody at the table"); }
    void SetAudioOn(bool, int playerId) override { Check(AtTable(playerId), "sound of nobody at the table"); }
};

class Players : public PlayerService
{
public:
    Players()
    {
        for (int id : kIds)
            players.push_back(std::make_unique<CheckingPlayer>(id));
    }
    int GetSelfID() override { return kIds[0]; }
    VarnokPlayerInfo* GetPlayerInfo(int id) override
    {
        CheckingPlayer* player = Find(id);
        return player != nullptr ? &player->info : nullptr;
    }
    VarnokPlayer* GetPlayer(int id) override { return Find(id); }
    void* Malloc(size_t size) override { return std::malloc(size); }
    CheckingPlayer* Find(int id)
    {
        for (const auto& player : players)
            if (player->info.id == id)
                return player.get();
        return nullptr;
    }
    std::vector<std::unique_ptr<CheckingPlayer>> players;
};

// The host's net: requests are counted and dropped.
class Net : public MsgDispatcher, public MsgSender
{
public:
    bool Add(MsgSinkCL*) override { return true; }
    void Remove(MsgSinkCL*) override {}
    void Send(const uint8_t*, int) override {}
};

class PlayWindow : public DlgGameWndCardBaseCL, public tabletest::IdleTablePlay
{
public:
    PlayWindow(KelWndBaseCL* parent, VGameCardBaseCL& app) : DlgGameWndCardBaseCL("gameWnd", parent, app) {}
};

class Table : public KelWnd2DBaseCL, public TableDialog
{
public:
    Table(KelWndBaseCL* desktop, VGameCardBaseCL& app) : KelWnd2DBaseCL("CDlgTableKavdorTwoCL", desktop, 0)
    {
        play = new PlayWindow(this, app);
    }
    void OnRecv_OnBaseRecPlayerWantToLeave(int, const std::string&) override {}
    void OnRecv_BaseRecPlayerExitType(int) override {}
    void OnRecv_BaseRecEnterPassWord() override {}
    KelWndBaseCL* GetGameWnd() override { return play; }
    KelWndBaseCL* GetChatWindow() override { return nullptr; }
    KelWndBaseCL* GetToolBar() override { return nullptr; }
    PlayWindow* play;
};

struct World
{
    World()
    {
        KelLogCL::GetInstance()->SetEnabled(0);
        app.SetNetMsgDispatcher(&net);
        app.SetNetMsgSender(&net);
        app.SetPlayerService(&players);
        app.AddNetMsgHandle(&app.GetRoomSink());
        table = new Table(ui.GetDeskTopM(), app);
        for (int seat = 0; seat < 4; ++seat)
        {
            NetPlayerInfo info;
            info.nickname = "p" + std::to_string(seat);
            info.values[NET_INFO_SEX] = seat % 2;
            table->play->SetSeatCount(4);
            table->play->OnPlayerIn(kIds[seat], seat, 2, info);
        }
        Check(table->play->GetPlayer(kIds[3]) != nullptr, "the players sit");
    }

    KelUIManagerCL ui;
    CGameCardKavdorTwoCL app;
    Net net;
    Players players;
    Table* table = nullptr;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World* world = new World();
    if (size == 0)
        return 0;
    // An exact copy, so that AddressSanitizer sees any read past the input's end.
    const std::vector<uint8_t> rest(data + 1, data + size);
    g_limit = rest.size();
    switch (data[0] % 3)
    {
    case 0:
        world->table->play->OnRecv_ImChat(std::string(rest.begin(), rest.end()));
        break;
    case 1:
    {
        // The text of a room chat message (at most 255 bytes), through the room sink.
        std::vector<uint8_t> message = {100, 0, 12, 0,
                                        static_cast<uint8_t>(std::min<size_t>(rest.size(), 255))};
        message.insert(message.end(), rest.begin(), rest.begin() + message[4]);
        world->app.GetRoomSink().OnMessage(message.data(), static_cast<int>(message.size()));
        break;
    }
    default:
        world->app.GetRoomSink().OnMessage(rest.empty() ? nullptr : rest.data(),
                                           static_cast<int>(rest.size()));
        break;
    }
    // Closed buttons of players who left go, as they do at the host's next frame.
    world->ui.UpDatedataM();
    // Players may leave and come back through whole room messages; the table is seated again.
    for (int seat = 0; seat < 4; ++seat)
        if (world->table->play->SeatAt(seat) == nullptr)
        {
            NetPlayerInfo info;
            world->table->play->OnPlayerIn(kIds[seat], seat, 2, info);
        }
    return 0;
}
