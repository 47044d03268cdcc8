#pragma once
// Player records: one row per nickname, with a salted password hash. The server checks a
// player's password at login and, after every hand, adds what the hand changed to the stored
// records of the table's players in one transaction, so that a crash never leaves half a result
// written. The records live in an SQLite file, which one server holds for as long as it is open
// (a second server refuses to start on it instead of overwriting the first one's results), or in
// a PostgreSQL database that several servers share (see PlayerDbCL.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PlayerDbCL.h"

// How a login ended. Ok: an existing record, and the password is right. Created: a new record
// was made with this password. WrongPassword: the nickname exists and the password does not
// match. Refused: the nickname, password or sex is not acceptable. Error: the store is not open,
// or the database or the password hashing failed. LastError() says why for the last three.
enum class LoginResult
{
    Ok,
    Created,
    WrongPassword,
    Refused,
    Error
};

// What a login may do with the nickname. LogInOrCreate: an existing record is checked, a new
// nickname gets a record (what older clients ask for). LogIn: only an existing record; a new
// nickname is refused, so that a mistyped name does not quietly make a second account. Create:
// only a new record; an existing nickname is refused as taken.
enum class LoginMode
{
    LogInOrCreate = 0,
    LogIn = 1,
    Create = 2
};

class PlayerStoreCL
{
public:
    // Coins a new player starts with.
    static constexpr int kStartingCoins = 1000;
    // Longest nickname and password, in bytes: both travel in fields whose length is one byte.
    static constexpr std::size_t kMaxNicknameBytes = 255;
    static constexpr std::size_t kMaxPasswordBytes = 255;

    PlayerStoreCL();
    ~PlayerStoreCL();
    PlayerStoreCL(const PlayerStoreCL&) = delete;
    PlayerStoreCL& operator=(const PlayerStoreCL&) = delete;

    // Opens the database, creating its tables when missing and bringing older ones up to date
    // (the password column, the presence table). `target` is an SQLite file, held exclusively
    // until Close, or a "postgresql://" URI. False, with the reason in LastError(), when it
    // cannot be opened, is not a player database, or (a file) is held by another server
    // ("<path> is in use by another server").
    bool Open(const std::string& target);
    // Releases the file; another store may open it afterwards.
    void Close();
    bool IsOpen() const;

    // How much work and memory a new password hash costs (see crypto_pwhash_str). Stored hashes
    // carry their own cost, so records made at any cost still verify. False, keeping the current
    // cost, when a value is outside the range the hashing library accepts.
    bool SetPasswordCost(unsigned long long opsLimit, std::size_t memLimit);

    // Checks a player's password, or makes a new record (starting coins, the given sex) with it
    // when the nickname is new. An existing record keeps its stored sex. A record made before
    // passwords existed takes the password of its next login. `out` is written for Ok and
    // Created only. Nicknames are 1 to 255 bytes without control bytes (below 0x20, and 0x7F);
    // passwords are 1 to 255 bytes of any value.
    // `mode` says whether a new or an existing nickname is refused (Refused, with the reason).
    // `trusted`: an existing record is admitted without its password being checked.
    LoginResult Login(const std::string& nickname, const std::string& password, int sex, PlayerRecord& out,
                      LoginMode mode = LoginMode::LogInOrCreate, bool trusted = false);
    // The record with this id; false when there is none.
    bool Load(int id, PlayerRecord& out);
    // Adds every change to its player's stored record in one transaction: all or nothing. False,
    // with nothing written, when an id is unknown or a stored value would leave the int range.
    // An empty list is true and writes nothing.
    bool Apply(const std::vector<PlayerChange>& changes);
    // Adds a change to an in-memory record the same way Apply adds it to the stored one, so that
    // copies kept in memory stay in step with what was committed. False, leaving the record as
    // it was, when the change is for another player or a value would leave the int range.
    static bool ApplyTo(const PlayerChange& change, PlayerRecord& record);

    // Which server a player is logged in at, in a database that several servers share: Claim
    // marks him logged in at `server` unless another server has him and said it was alive less
    // than `staleSeconds` ago (1 marked, 0 he is elsewhere, -1 error); Renew says the server is
    // alive; Release clears his mark (every mark of the server with playerId 0).
    int Claim(int playerId, const std::string& server, int staleSeconds);
    bool Renew(const std::string& server);
    bool Release(int playerId, const std::string& server);

    const std::string& LastError() const { return m_lastError; }

private:
    bool Fail(const std::string& what);
    // 1 found, 0 no such nickname, -1 database error or damaged record.
    int FindByNickname(const std::string& nickname, StoredPlayer& out);
    bool MakeHash(const std::string& password, std::string& hash);
    LoginResult CheckPassword(const StoredPlayer& player, const std::string& password, PlayerRecord& out);

    std::unique_ptr<PlayerDb> m_db;
    std::string m_lastError;
    unsigned long long m_opsLimit;
    std::size_t m_memLimit;
};
