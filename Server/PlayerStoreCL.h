#pragma once
// Player records kept in an SQLite database file: one row per nickname. The server loads a
// record at login and saves the records of a table's players after every hand, in one
// transaction, so that a crash never leaves half a result written.

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

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

class PlayerStoreCL
{
public:
    // Coins a new player starts with.
    static constexpr int kStartingCoins = 1000;

    PlayerStoreCL();
    ~PlayerStoreCL();
    PlayerStoreCL(const PlayerStoreCL&) = delete;
    PlayerStoreCL& operator=(const PlayerStoreCL&) = delete;

    // Opens the database file, creating it and its table when missing. False, with the reason
    // in LastError(), when the file cannot be opened or is not a player database.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }

    // The record of a nickname; a new one (starting coins, the given sex) when the nickname is
    // new. An existing record keeps its stored sex. False for an empty nickname or a database
    // error.
    bool LoadOrCreate(const std::string& nickname, int sex, PlayerRecord& out);
    // The record with this id; false when there is none.
    bool Load(int id, PlayerRecord& out);
    // Writes every record (matched by id) in one transaction: all or nothing.
    bool Save(const std::vector<PlayerRecord>& records);

    const std::string& LastError() const { return m_lastError; }

private:
    // What an opened file holds: nothing yet, this store's table, or something else.
    enum class Contents
    {
        Empty,
        Ours,
        Foreign,
        Error
    };

    bool Fail(const std::string& what);
    bool FailDb(sqlite3* db, const std::string& what);
    bool Exec(sqlite3* db, const char* sql);
    void RollbackIfOpen(sqlite3* db);
    Contents Inspect(sqlite3* db);
    bool Prepare(sqlite3* db);
    bool ReadRow(sqlite3_stmt* stmt, PlayerRecord& out);
    // 1 found, 0 no such nickname, -1 database error.
    int FindByNickname(const std::string& nickname, PlayerRecord& out);

    sqlite3* m_db = nullptr;
    std::string m_lastError;
};
