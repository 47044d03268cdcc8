#pragma once
// One player at the table as the seat window keeps him: a seated player (state 2) in the entry
// of his seat, or a watcher (state 1) in an entry after the seats. The game's play window keeps
// more per seat and makes its own records through the seat window's factory (CreateSeatRecord).

#include <array>

#include "NetMsgTypes.h"

class KelWnd2DButtonCL;
class VarnokPlayer;

// The small buttons of a seat, in the order they are made and laid out.
enum GameSeatButton
{
    kSeatBtnUserInfo,
    kSeatBtnPackage,
    kSeatBtnFriend,
    kSeatBtnVideo,
    kSeatBtnAudio,
    kSeatBtnCapture,
    kSeatBtnZoom,
    kSeatBtnCount,
};

struct GameSeatRecordCL
{
    virtual ~GameSeatRecordCL() = default;

    int playerId = 0;
    // The host's object of the player; the host keeps it while the program runs.
    VarnokPlayer* player = nullptr;
    // The seat; for a watcher, the seat he watches.
    int seat = -1;
    // 1 watcher, 2 seated player.
    int state = 0;
    // The player's record as the room message brought it.
    NetPlayerInfo info;
    bool ready = false;
    // The sum of the player's score changes over the hands played at this table.
    int scoreTotal = 0;
    // Whether the seat shows the player's video, and whether his sound is on.
    bool videoOn = true;
    bool audioOn = true;
    // The seat's buttons: children of the seat window, which owns them.
    std::array<KelWnd2DButtonCL*, kSeatBtnCount> buttons{};
};
