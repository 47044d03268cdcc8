#pragma once
// What the module and the host (the lobby program that loads it) call on each other besides the
// application object: the host's message dispatcher and sender (one pair for the room level, one
// for the game level), its player service and player objects, and the message sink the module
// registers. The host calls by position, so the order of the operations is fixed.

#include <cstddef>
#include <cstdint>

class KelCanvasCL;
class MsgSinkCL;

// The host's record of a player: the id first, then the nickname (zero-terminated GBK), the sex
// (0 male, 1 female), and the score and coins the seat window shows.
struct VarnokPlayerInfo
{
    int32_t id = 0;
    char nickname[32] = {};
    int32_t sex = 0;
    int32_t score = 0;
    int32_t coins = 0;
    int32_t level = 0;
    int32_t wins = 0;
    int32_t losses = 0;
    int32_t draws = 0;
    int32_t escapes = 0;
    // The name of the player's picture: his portrait is the picture "Player_" + this name; empty
    // when he has none.
    char picture[16] = {};
};

// One entry of a player's package: a prop he can give, or a card he holds. Texts are GBK.
struct VarnokProp
{
    int32_t id = 0;
    char name[32] = {};
    // Coins for one piece, and the pieces the shop has for him.
    int32_t price = 0;
    int32_t count = 0;
    // For a card that works for a time (the double-score card): the seconds it still works; 0
    // when it does not work now.
    int32_t secondsLeft = 0;
};

// The result of a purchase, as the host answers it through the application's OnRecv_BuyProp
// (result, prop id).
enum VarnokBuyResult
{
    VARNOK_BUY_DONE = 0,
    VARNOK_BUY_NO_STOCK = 1,
    VARNOK_BUY_NO_MONEY = 2,
};

class MsgDispatcher
{
public:
    // True: every later message of the sink's category reaches its OnMessage, header included.
    /* 1 */ virtual bool Add(MsgSinkCL* sink) = 0;
    /* 2 */ virtual void Remove(MsgSinkCL* sink) = 0;

protected:
    virtual ~MsgDispatcher() = default;
};

class MsgSender
{
public:
    // Sends one complete message.
    /* 1 */ virtual void Send(const uint8_t* bytes, int length) = 0;

protected:
    virtual ~MsgSender() = default;
};

// The host's object of one player: his record, his sounds, his face and bubble, his picture.
class VarnokPlayer
{
public:
    /* 1 */ virtual VarnokPlayerInfo* GetPlayerInfo() = 0;
    // A sound named relative to the host's sound folder ("qipai\give.ogg").
    /* 2 */ virtual void PlaySound(const char* name) = 0;
    /* 3 */ virtual int GetCoins() = 0;
    /* 4 */ virtual void SetSoundOn(bool on) = 0;
    /* 5 */ virtual void ShowFace(int face) = 0;
    /* 6 */ virtual void ShowBubble(const char* text) = 0;
    /* 7 */ virtual void OpenFacePicker(int x, int y) = 0;
    /* 8 */ virtual void OpenSpeaker() = 0;
    /* 9 */ virtual void AddFriend(int playerId) = 0;
    // Seat -1, state 1 playing or 2 not, a flag, 0.
    /* 10 */ virtual void SetSeatState(int seat, int state, int flag, int reserved) = 0;
    // The three set-up calls before drawing the picture: none, 0, and the layout (3 for the
    // user's seat, 4 for the others).
    /* 11 */ virtual void PreparePicture() = 0;
    /* 12 */ virtual void SetPictureMode(int mode) = 0;
    /* 13 */ virtual void SetPictureLayout(int layout) = 0;
    /* 14 */ virtual void DrawPicture(KelCanvasCL* canvas, int layout, int x, int y) = 0;
    /* 15 */ virtual void SetVideoOn(bool on, int playerId) = 0;
    /* 16 */ virtual void SetAudioOn(bool on, int playerId) = 0;
    /* 17 */ virtual void ShowUserInfo() = 0;
    /* 18 */ virtual void ShowPackage() = 0;
    /* 19 */ virtual void ShowPromoter() = 0;
    /* 20 */ virtual void ShowMedia() = 0;
    // The player's video frame, over the picture drawn at the same point with the same layout.
    /* 21 */ virtual void DrawVideo(KelCanvasCL* canvas, int layout, int x, int y) = 0;
    // The user leaves the table: his camera and microphone stop.
    /* 22 */ virtual void StopMedia() = 0;
    // The player left the table.
    /* 23 */ virtual void LeaveTable() = 0;
    // Writes the current video frame as a bitmap file (a Windows path); false when nothing was
    // written.
    /* 24 */ virtual bool CaptureVideo(const char* path) = 0;
    // The player's package (the user's own object has one).
    /* 25 */ virtual int GetPropCount() = 0;
    // Null outside 0 ... count - 1.
    /* 26 */ virtual const VarnokProp* GetProp(int index) = 0;
    // Buys pieces of a prop for a target player (the user's own id for a card he keeps); the
    // host answers later through the application's OnRecv_BuyProp (VarnokBuyResult, prop id).
    /* 27 */ virtual void BuyProp(int propId, int count, int targetId) = 0;
    // Whether the media link to the player is up; when it is not, the module asks every minute
    // to keep it (KeepMediaLink).
    /* 28 */ virtual bool IsMediaLinked() = 0;
    /* 29 */ virtual void KeepMediaLink() = 0;
    // The user's friend system (the tool bar's friends button).
    /* 30 */ virtual void ShowFriends() = 0;

protected:
    virtual ~VarnokPlayer() = default;
};

class PlayerService
{
public:
    /* 1 */ virtual int GetSelfID() = 0;
    /* 2 */ virtual VarnokPlayerInfo* GetPlayerInfo(int id) = 0;
    /* 3 */ virtual VarnokPlayer* GetPlayer(int id) = 0;
    // Positions 4 to 12 belong to the host's other users; the module never calls them.
    /* 4 */ virtual void Reserved4() {}
    /* 5 */ virtual void Reserved5() {}
    /* 6 */ virtual void Reserved6() {}
    /* 7 */ virtual void Reserved7() {}
    /* 8 */ virtual void Reserved8() {}
    /* 9 */ virtual void Reserved9() {}
    /* 10 */ virtual void Reserved10() {}
    /* 11 */ virtual void Reserved11() {}
    /* 12 */ virtual void Reserved12() {}
    // Memory that travels to the host.
    /* 13 */ virtual void* Malloc(size_t size) = 0;

protected:
    virtual ~PlayerService() = default;
};
