#pragma once
// The records and message numbers of the table protocol: room messages (category 100), game
// messages (category 105) and the lobby messages between the host and the table server.

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t NET_CATEGORY_LOBBY = 1;
constexpr uint16_t NET_CATEGORY_ROOM = 100;
constexpr uint16_t NET_CATEGORY_GAME = 105;

// A player as the room messages carry him: nine numbers, the nickname (GBK) and one more
// number. The table server fills the numbers as NET_INFO_* below.
struct NetPlayerInfo
{
    int32_t values[9] = {};
    std::string nickname;
    int32_t extra = 0;
};

enum NetPlayerInfoValue
{
    NET_INFO_LEVEL = 0,
    NET_INFO_SCORE = 1,
    NET_INFO_WINS = 2,
    NET_INFO_LOSSES = 3,
    NET_INFO_DRAWS = 4,
    NET_INFO_GAMES = 5,
    NET_INFO_ESCAPE_RATE = 6, // per cent of games left by force
    NET_INFO_COINS = 7,
    NET_INFO_SEX = 8,         // 0 male, 1 female
    // `extra` holds the number of escapes.
};

// One line of a hand's result.
struct NetResultRecord
{
    int32_t playerId = 0;
    int32_t score = 0;
    int32_t coins = 0;
    int32_t other = 0;
};

// Room messages from the server.
enum NetRoomMessage
{
    ROOM_EXIT_RESULT = 1,
    ROOM_PLAYER_IN = 2,
    ROOM_PLAYER_OUT = 3,
    ROOM_READY = 4,
    ROOM_START_READY = 5,
    ROOM_GAME_RESULT = 6,
    ROOM_WANT_TO_LEAVE = 7,
    ROOM_START_BET = 8,
    ROOM_GAME_RUNNING = 10,
    ROOM_PLAYER_EXIT = 11,
    ROOM_CHAT = 12,
    ROOM_EXIT_TYPE = 13,
    ROOM_PLAYER_INFO = 14,
    ROOM_ENTER_PASSWORD = 15,
    ROOM_PASSWORD_RESULT = 16,
    ROOM_LOTTERY_WIN = 18,
    ROOM_COIN_COST = 21,
};

// Room requests from the module.
enum NetRoomRequest
{
    ROOM_REQ_LEAVE_WITH_REASON = 1,
    ROOM_REQ_FORCE_LEAVE = 2,
    ROOM_REQ_READY = 3,
    ROOM_REQ_ENTER_GAME = 7,
    ROOM_REQ_LEAVE = 8,
    ROOM_REQ_CHAT = 9,
    ROOM_REQ_EXIT_BUTTON = 10,
    ROOM_REQ_LEAVE_ANSWER = 11,
    ROOM_REQ_TABLE_SETTINGS = 12,
    ROOM_REQ_PASSWORD = 13,
    ROOM_REQ_STAKE = 14,
};

// Game messages from the server.
enum NetGameMessage
{
    GAME_BID_TURN = 4,
    GAME_DEAL = 5,
    GAME_CARD_COUNT = 7,
    GAME_PLAY_TURN = 8,
    GAME_PLAY_ANSWER = 9,
    GAME_PLAY = 10,
    GAME_BASE_CARDS = 12,
    GAME_LANDLORD = 13,
    GAME_SCORE_INFO = 14,
    GAME_TURN_SECONDS = 15,
    GAME_BID_THREE = 16,
};

// Game requests from the module.
enum NetGameRequest
{
    GAME_REQ_BID = 2, // 0 = 1 point, 1 = 2 points, 2 = 3 points, 3 = no bid
    GAME_REQ_PLAY = 3,
    GAME_REQ_PASS = 4,
    GAME_REQ_TRUSTEESHIP = 5,
};

// Lobby requests from the host, and the server's answers.
enum NetLobbyMessage
{
    LOBBY_LOGIN = 1,          // bytes nickname, u8 sex, bytes password[, u8 mode: 0 either, 1 log in, 2 create]
    LOBBY_LIST_TABLES = 2,    // -
    LOBBY_SIT = 3,            // i32 table, i32 seat (-1 = any free seat), u8 watch[, u8 bots: 1 easy, 2 hard]
    LOBBY_LEAVE_TABLE = 4,    // -
    LOBBY_ADD_BOTS = 5,       // - : bots take the free seats of the own table
    LOBBY_LOGIN_RESULT = 101, // i32 result, i32 player id, PlayerInfo, bytes reason
    LOBBY_TABLE_LIST = 102,   // u8 count, then per table: i32 id, u8 flags (1 password, 2 running, 4 hard bots), 4 x i32 player id
    LOBBY_SIT_RESULT = 103,   // i32 result, i32 table, i32 seat
    LOBBY_ERROR = 104,        // bytes reason
};
