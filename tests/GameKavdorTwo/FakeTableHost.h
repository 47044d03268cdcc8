#pragma once
// The host's side of a table as the window tests fake it: a player object that does nothing, a
// player service over a map of such objects, a room or game level that keeps what is sent, and
// the engine's system object with a module directory the test chooses.
// A test derives its own player from IdlePlayer and overrides only the operations it records or
// answers, so each fake says what the test looks at and nothing else.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "HostInterfaces.h"
#include "KelSystemCL.h"
#include "TableWindows.h"

namespace tabletest
{
// The user's id in the window tests.
constexpr int kSelfId = 42;

// A player object of the host that keeps his record and answers every other operation as a host
// with nothing to show would: no coins, no props, no capture, and a media link that holds.
class IdlePlayer : public VarnokPlayer
{
public:
    IdlePlayer() = default;
    IdlePlayer(int id, const char* nickname, int sex = 0)
    {
        info.id = id;
        std::snprintf(info.nickname, sizeof info.nickname, "%s", nickname);
        info.sex = sex;
    }

    VarnokPlayerInfo* GetPlayerInfo() override { return &info; }
    void PlaySound(const char*) override {}
    int GetCoins() override { return 0; }
    void SetSoundOn(bool) override {}
    void ShowFace(int) override {}
    void ShowBubble(const char*) override {}
    void OpenFacePicker(int, int) override {}
    void OpenSpeaker() override {}
    void AddFriend(int) override {}
    void SetSeatState(int, int, int, int) override {}
    void PreparePicture() override {}
    void SetPictureMode(int) override {}
    void SetPictureLayout(int) override {}
    void DrawPicture(KelCanvasCL*, int, int, int) override {}
    void SetVideoOn(bool, int) override {}
    void SetAudioOn(bool, int) override {}
    void ShowUserInfo() override {}
    void ShowPackage() override {}
    void ShowPromoter() override {}
    void ShowMedia() override {}
    void DrawVideo(KelCanvasCL*, int, int, int) override {}
    void StopMedia() override {}
    void LeaveTable() override {}
    bool CaptureVideo(const char*) override { return false; }
    int GetPropCount() override { return 0; }
    const VarnokProp* GetProp(int) override { return nullptr; }
    void BuyProp(int, int, int) override {}
    bool IsMediaLinked() override { return true; }
    void KeepMediaLink() override {}
    void ShowFriends() override {}

    VarnokPlayerInfo info;
};

// The game's half of a play window doing nothing: the hand's operations and the action bar's
// questions. A test window derives from it next to the seat window it tests (or implements the
// seat operations itself) and overrides only what it records.
class IdleTablePlay : public TablePlayWindow
{
public:
    void OnStartGame() override {}
    void SetGameRunning(bool) override {}
    void OnEndGame() override {}
    void OnClickOutCard(int) override {}
    int GetSeatCall(int) override { return 0; }
    void ShowCall(int, int) override {}
    void OnDealCard(int, const std::vector<uint8_t>&) override {}
    void OnPlayerHaveCardNum(int, int) override {}
    void OnOutCard(int, bool) override {}
    void OnOutCardResult(const std::vector<uint8_t>&) override {}
    void OnReceivePlayerCurOutCard(int, const std::vector<uint8_t>&) override {}
    void DelCountDownWnd() override {}
    void SetCurrentBidder(int) override {}
    void SetCallNumNull() override {}
    void OnReceiveBaseCard(const std::vector<uint8_t>&) override {}
    void SetLandlord(int) override {}
    void SetScoreInfo(int, int) override {}
    void SetTurnSeconds(int) override {}
    void PlayCallThreeVoice(int) override {}
};

// The host's player service over the test's player objects, keyed by id; the service owns them.
// GetPlayer answers with the test's own type, so a test reaches its recordings without a cast.
template <class Player>
class FakePlayerService : public PlayerService
{
    static_assert(std::is_base_of_v<IdlePlayer, Player>);

public:
    int GetSelfID() override { return kSelfId; }
    VarnokPlayerInfo* GetPlayerInfo(int id) override
    {
        Player* player = GetPlayer(id);
        return player != nullptr ? &player->info : nullptr;
    }
    Player* GetPlayer(int id) override
    {
        const auto found = players.find(id);
        return found != players.end() ? found->second.get() : nullptr;
    }
    void* Malloc(size_t size) override { return std::malloc(size); }

    // Seats a new player object made from the id and the test's own arguments.
    template <class... Args>
    Player& Add(int id, Args&&... args)
    {
        players[id] = std::make_unique<Player>(id, std::forward<Args>(args)...);
        return *players[id];
    }

    std::map<int, std::unique_ptr<Player>> players;
};

// The host's dispatcher and sender of one level: every sink is accepted, every message kept.
class FakeNet : public MsgDispatcher, public MsgSender
{
public:
    bool Add(MsgSinkCL*) override { return true; }
    void Remove(MsgSinkCL*) override {}
    void Send(const uint8_t* bytes, int length) override { sent.emplace_back(bytes, bytes + length); }

    // Takes the messages sent so far.
    std::vector<std::vector<uint8_t>> Take() { return std::exchange(sent, {}); }

    std::vector<std::vector<uint8_t>> sent;
};

// A room-level message as the host carries it: the room's category, the type, the payload.
inline std::vector<uint8_t> RoomMessage(uint16_t type, const std::vector<uint8_t>& payload = {})
{
    std::vector<uint8_t> message = {100, 0, static_cast<uint8_t>(type), static_cast<uint8_t>(type >> 8)};
    // Byte by byte: GCC 12 warns of a false overrun when a range insert into this fresh vector
    // is inlined.
    for (uint8_t byte : payload)
        message.push_back(byte);
    return message;
}

// A text field of a message: its length byte, then its bytes.
inline std::vector<uint8_t> TextField(const std::string& text)
{
    std::vector<uint8_t> field = {static_cast<uint8_t>(text.size())};
    for (char c : text)
        field.push_back(static_cast<uint8_t>(c));
    return field;
}

// A 32-bit field of a message, low byte first.
inline std::vector<uint8_t> IntField(int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

// The engine's system object with the module directory the test sets; names the module makes
// with MakePath lie in that directory.
class ModuleSystem : public KelSystemCL
{
public:
    const std::string& GetModuleDirectory() override { return directory; }
    std::string MakePath(const std::string& name) override { return directory + "\\" + name; }
    std::string directory;
};

// A folder as the module sees paths: absolute, with backslashes.
inline std::string WinPath(const std::filesystem::path& path)
{
    std::string text = std::filesystem::absolute(path).lexically_normal().string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}
} // namespace tabletest
