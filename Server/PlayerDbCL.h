#pragma once
// Where the player records are kept: the statements that differ between the database engines,
// behind one face. PlayerStoreCL checks nicknames and passwords and makes the hashes; a PlayerDb
// only stores and finds. Two engines: an SQLite file held by one server (the default), and a
// PostgreSQL database that several servers share.
//
// Both hold the same tables:
//   players  (id, nickname, sex, score, coins, wins, losses, draws, games, escapes, password_hash)
//   presence (player_id, server, seen): which server a player is logged in at, and when that
//            server last said it is alive, so that two servers never seat the same player.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

struct PlayerRecord
{
    int id = 0;           // unique, from 1 up; never reused
    std::string nickname; // GBK bytes, as typed; unique (compared byte for byte)
    int sex = 0;          // 0 male, 1 female
    int score = 0;
    int coins = 0;
    int wins = 0;
    int losses = 0;
    int draws = 0;
    int games = 0;
    int escapes = 0;
};

// What one hand changes in one player's record: every field is added to the stored value.
struct PlayerChange
{
    int id = 0;
    int score = 0;
    int coins = 0;
    int wins = 0;
    int losses = 0;
    int draws = 0;
    int games = 0;
    int escapes = 0;
};

// A record found by nickname, with its password hash (empty when none is stored yet).
struct StoredPlayer
{
    PlayerRecord record;
    bool hasHash = false;
    std::string hash;
};

class PlayerDb
{
public:
    virtual ~PlayerDb() = default;

    // Every call that fails says why here.
    const std::string& LastError() const { return m_lastError; }

    // Opens the database, creating or bringing up to date its tables. `target` is a file path
    // or a connection URI, as the engine takes it.
    virtual bool Open(const std::string& target) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // 1 found, 0 no such nickname, -1 database error or damaged record (a hash this store did
    // not make counts as damage).
    virtual int FindByNickname(const std::string& nickname, StoredPlayer& out) = 0;
    // 1 added, 0 the nickname exists already (nothing changed), -1 error.
    virtual int Insert(const std::string& nickname, int sex, int coins, const std::string& hash) = 0;
    // Gives a record made before passwords existed its first hash: 1 set, 0 the record has a
    // hash by now or is gone, -1 error.
    virtual int SetHashIfMissing(int id, const std::string& hash) = 0;
    virtual bool Load(int id, PlayerRecord& out) = 0;
    // All the changes in one transaction, added to the stored values (never read, changed and
    // written back, so that changes made at the same time by other servers all count). False,
    // with nothing written, when an id is unknown or a sum would leave the int range.
    virtual bool Apply(const std::vector<PlayerChange>& changes) = 0;

    // Marks the player logged in at `server` (now: seconds of the clock all servers share, the
    // database's own where it has one). 1 done; 0 another server has him and said it was alive
    // less than `staleSeconds` ago; -1 error.
    virtual int Claim(int playerId, const std::string& server, int staleSeconds) = 0;
    // The server is alive: its players' marks are renewed.
    virtual bool Renew(const std::string& server) = 0;
    // The player left the server (or every player of it, with playerId 0).
    virtual bool Release(int playerId, const std::string& server) = 0;

protected:
    bool Fail(const std::string& what)
    {
        m_lastError = what;
        return false;
    }
    int Error(const std::string& what)
    {
        m_lastError = what;
        return -1;
    }
    std::string m_lastError;
};

// The engine for a target: PostgreSQL for "postgresql://" and "postgres://" URIs, else an SQLite
// file.
std::unique_ptr<PlayerDb> MakePlayerDb(const std::string& target);
bool IsPostgresTarget(const std::string& target);
std::unique_ptr<PlayerDb> MakeSqlitePlayerDb();
// Null where the program was built without libpq.
std::unique_ptr<PlayerDb> MakePostgresPlayerDb();

// What both engines share: the players table's columns, and the checks of what they read.
namespace PlayerDbText
{
constexpr const char* kNotOpen = "store is not open";
// The columns of the players table, in order. Tables made before passwords existed have all but
// the last one.
constexpr const char* kColumns[] = {"id",     "nickname", "sex",   "score",   "coins",        "wins",
                                    "losses", "draws",    "games", "escapes", "password_hash"};
constexpr std::size_t kColumnCount = std::size(kColumns);
// The columns that make up a PlayerRecord; the password hash never leaves the store.
constexpr int kRecordColumns = 10;
// The columns whose stored values a hand changes, in the order of PlayerChange after its id.
constexpr const char* kChangedColumns[] = {"score", "coins", "wins", "losses", "draws", "games", "escapes"};
constexpr int kChangedCount = static_cast<int>(std::size(kChangedColumns));

// A record from the numbers of its columns (values[1], the nickname's place, is not used).
PlayerRecord RecordOf(const int (&values)[kRecordColumns], std::string nickname);
// Whether a stored hash is one this store made (crypto_pwhash_str's form). Another one cannot be
// checked, and taking it for a wrong password would hide that someone wrote to the column.
bool IsStoreHash(const std::string& hash);
} // namespace PlayerDbText
