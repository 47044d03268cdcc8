#include "PlayerStoreCL.h"

#include <sqlite3.h>

#include <climits>
#include <cstring>
#include <iterator>
#include <utility>

namespace
{
// Written to the database header's user_version when the table is created. A file without this
// mark belongs to some other program, and the store refuses it rather than adding its own table
// to it.
constexpr int kSchemaMark = 0x4B505331;

// How long a call waits for another process that holds the file's write lock before giving up.
constexpr int kBusyTimeoutMs = 2000;

// Nicknames travel in protocol fields whose length is one byte.
constexpr std::size_t kMaxNicknameBytes = 255;

const char* const kNotOpen = "store is not open";

const char* const kColumns[] = {"id", "nickname", "sex", "score", "coins", "wins", "losses", "draws",
                                "games", "escapes"};

const char* const kCreateTable = "CREATE TABLE players ("
                                 "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                 "nickname BLOB UNIQUE NOT NULL, "
                                 "sex INTEGER NOT NULL DEFAULT 0, "
                                 "score INTEGER NOT NULL DEFAULT 0, "
                                 "coins INTEGER NOT NULL DEFAULT 0, "
                                 "wins INTEGER NOT NULL DEFAULT 0, "
                                 "losses INTEGER NOT NULL DEFAULT 0, "
                                 "draws INTEGER NOT NULL DEFAULT 0, "
                                 "games INTEGER NOT NULL DEFAULT 0, "
                                 "escapes INTEGER NOT NULL DEFAULT 0)";

const char* const kSelectColumns =
    "SELECT id, nickname, sex, score, coins, wins, losses, draws, games, escapes FROM players ";

// A prepared statement that is finalized on every way out of a call, so that Close never finds
// one still open.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_rc == SQLITE_OK && m_stmt != nullptr; }
    sqlite3_stmt* Get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// Nicknames are bound as BLOBs: they are GBK bytes, not UTF-8 text, and are compared byte for
// byte.
void BindNickname(sqlite3_stmt* stmt, const std::string& nickname)
{
    sqlite3_bind_blob(stmt, 1, nickname.data(), static_cast<int>(nickname.size()), SQLITE_TRANSIENT);
}

bool IsValidSex(int sex)
{
    return sex == 0 || sex == 1;
}
} // namespace

PlayerStoreCL::PlayerStoreCL() = default;

PlayerStoreCL::~PlayerStoreCL()
{
    Close();
}

bool PlayerStoreCL::Fail(const std::string& what)
{
    m_lastError = what;
    return false;
}

bool PlayerStoreCL::FailDb(sqlite3* db, const std::string& what)
{
    m_lastError = what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    return false;
}

bool PlayerStoreCL::Exec(sqlite3* db, const char* sql)
{
    Statement stmt(db, sql);
    if (!stmt.Ok())
        return FailDb(db, std::string("cannot prepare \"") + sql + "\"");
    int rc;
    while ((rc = sqlite3_step(stmt.Get())) == SQLITE_ROW)
    {
    }
    if (rc != SQLITE_DONE)
        return FailDb(db, std::string("\"") + sql + "\" failed");
    return true;
}

void PlayerStoreCL::RollbackIfOpen(sqlite3* db)
{
    // A failed statement may already have ended the transaction; a second ROLLBACK would only
    // replace the useful error message with "no transaction is active".
    if (sqlite3_get_autocommit(db) == 0)
    {
        std::string reason = m_lastError;
        Exec(db, "ROLLBACK");
        m_lastError = reason;
    }
}

PlayerStoreCL::Contents PlayerStoreCL::Inspect(sqlite3* db)
{
    int mark = 0;
    {
        Statement stmt(db, "PRAGMA user_version");
        if (!stmt.Ok())
        {
            FailDb(db, "cannot read the database");
            return Contents::Error;
        }
        if (sqlite3_step(stmt.Get()) != SQLITE_ROW)
        {
            FailDb(db, "cannot read the database");
            return Contents::Error;
        }
        mark = sqlite3_column_int(stmt.Get(), 0);
    }
    sqlite3_int64 objects = 0;
    {
        Statement stmt(db, "SELECT count(*) FROM sqlite_master");
        if (!stmt.Ok() || sqlite3_step(stmt.Get()) != SQLITE_ROW)
        {
            FailDb(db, "cannot read the database");
            return Contents::Error;
        }
        objects = sqlite3_column_int64(stmt.Get(), 0);
    }
    if (objects == 0 && mark == 0)
        return Contents::Empty;
    if (mark != kSchemaMark)
    {
        Fail("not a player database: it holds data of another program");
        return Contents::Foreign;
    }

    Statement stmt(db, "SELECT name FROM pragma_table_info('players') ORDER BY cid");
    if (!stmt.Ok())
    {
        FailDb(db, "cannot read the database");
        return Contents::Error;
    }
    std::size_t count = 0;
    bool matches = true;
    int rc;
    while ((rc = sqlite3_step(stmt.Get())) == SQLITE_ROW)
    {
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.Get(), 0));
        if (count >= std::size(kColumns) || name == nullptr || std::strcmp(name, kColumns[count]) != 0)
            matches = false;
        ++count;
    }
    if (rc != SQLITE_DONE)
    {
        FailDb(db, "cannot read the database");
        return Contents::Error;
    }
    if (!matches || count != std::size(kColumns))
    {
        Fail("not a player database: its players table does not have the expected columns");
        return Contents::Foreign;
    }
    return Contents::Ours;
}

bool PlayerStoreCL::Prepare(sqlite3* db)
{
    // Read the header and the schema in one snapshot, so that another process creating the
    // table at the same moment cannot make the file look half made.
    if (!Exec(db, "BEGIN"))
        return false;
    Contents contents = Inspect(db);
    RollbackIfOpen(db);
    if (contents == Contents::Ours)
        return true;
    if (contents != Contents::Empty)
        return false;

    // A new file. Take the write lock and look again: another process may have created the
    // table since the first look.
    if (!Exec(db, "BEGIN IMMEDIATE"))
        return false;
    contents = Inspect(db);
    if (contents == Contents::Empty)
    {
        std::string mark = "PRAGMA user_version = " + std::to_string(kSchemaMark);
        if (!Exec(db, kCreateTable) || !Exec(db, mark.c_str()) || !Exec(db, "COMMIT"))
        {
            RollbackIfOpen(db);
            return false;
        }
        return true;
    }
    RollbackIfOpen(db);
    return contents == Contents::Ours;
}

bool PlayerStoreCL::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return Fail("no database file given");
    if (path.find('\0') != std::string::npos)
        return Fail("the database file name contains a NUL byte");

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
    {
        FailDb(db, "cannot open " + path);
        sqlite3_close(db);
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);

    // Nothing is written before the file is known to be empty or ours, so that a file of some
    // other program keeps every byte it had.
    if (!Prepare(db))
    {
        m_lastError = path + ": " + m_lastError;
        sqlite3_close(db);
        return false;
    }

    // Write-ahead logging lets readers go on while a hand's results are saved. Some file systems
    // cannot share the memory it needs, and a read-only file cannot change mode; the default
    // rollback journal works there too, so a refusal is not an error.
    {
        Statement stmt(db, "PRAGMA journal_mode = WAL");
        if (stmt.Ok())
            sqlite3_step(stmt.Get());
    }

    m_db = db;
    m_lastError.clear();
    return true;
}

void PlayerStoreCL::Close()
{
    if (m_db == nullptr)
        return;
    // Every statement is finalized by the call that made it, so the connection closes at once.
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool PlayerStoreCL::ReadRow(sqlite3_stmt* stmt, PlayerRecord& out)
{
    int values[10] = {};
    for (int column = 0; column < 10; ++column)
    {
        if (column == 1)
            continue;
        sqlite3_int64 value = sqlite3_column_int64(stmt, column);
        if (sqlite3_column_type(stmt, column) != SQLITE_INTEGER || value < INT_MIN || value > INT_MAX)
            return Fail(std::string("damaged record: column ") + kColumns[column] + " is not a number");
        values[column] = static_cast<int>(value);
    }
    const void* bytes = sqlite3_column_blob(stmt, 1);
    int size = sqlite3_column_bytes(stmt, 1);

    PlayerRecord record;
    record.id = values[0];
    record.nickname.assign(static_cast<const char*>(bytes), bytes != nullptr ? size : 0);
    record.sex = values[2];
    record.score = values[3];
    record.coins = values[4];
    record.wins = values[5];
    record.losses = values[6];
    record.draws = values[7];
    record.games = values[8];
    record.escapes = values[9];
    out = std::move(record);
    return true;
}

int PlayerStoreCL::FindByNickname(const std::string& nickname, PlayerRecord& out)
{
    std::string sql = std::string(kSelectColumns) + "WHERE nickname = ?1";
    Statement stmt(m_db, sql.c_str());
    if (!stmt.Ok())
    {
        FailDb(m_db, "cannot look up a player");
        return -1;
    }
    BindNickname(stmt.Get(), nickname);
    int rc = sqlite3_step(stmt.Get());
    if (rc == SQLITE_DONE)
        return 0;
    if (rc != SQLITE_ROW)
    {
        FailDb(m_db, "cannot look up a player");
        return -1;
    }
    return ReadRow(stmt.Get(), out) ? 1 : -1;
}

bool PlayerStoreCL::LoadOrCreate(const std::string& nickname, int sex, PlayerRecord& out)
{
    if (m_db == nullptr)
        return Fail(kNotOpen);
    if (nickname.empty())
        return Fail("empty nickname");
    if (nickname.size() > kMaxNicknameBytes)
        return Fail("nickname longer than " + std::to_string(kMaxNicknameBytes) + " bytes");
    if (!IsValidSex(sex))
        return Fail("sex must be 0 (male) or 1 (female)");

    // Look first, so that the usual login of a known player takes no write lock.
    int found = FindByNickname(nickname, out);
    if (found != 0)
        return found > 0;

    {
        // Another process may add the same nickname between the look and this insert; the
        // conflict clause then keeps its row, and the second look below returns it.
        Statement stmt(m_db, "INSERT INTO players (nickname, sex, coins) VALUES (?1, ?2, ?3) "
                             "ON CONFLICT (nickname) DO NOTHING");
        if (!stmt.Ok())
            return FailDb(m_db, "cannot add a player");
        BindNickname(stmt.Get(), nickname);
        sqlite3_bind_int(stmt.Get(), 2, sex);
        sqlite3_bind_int(stmt.Get(), 3, kStartingCoins);
        if (sqlite3_step(stmt.Get()) != SQLITE_DONE)
            return FailDb(m_db, "cannot add a player");
    }

    found = FindByNickname(nickname, out);
    if (found == 0)
        return Fail("the new player record has disappeared");
    return found > 0;
}

bool PlayerStoreCL::Load(int id, PlayerRecord& out)
{
    if (m_db == nullptr)
        return Fail(kNotOpen);
    std::string sql = std::string(kSelectColumns) + "WHERE id = ?1";
    Statement stmt(m_db, sql.c_str());
    if (!stmt.Ok())
        return FailDb(m_db, "cannot load a player");
    sqlite3_bind_int(stmt.Get(), 1, id);
    int rc = sqlite3_step(stmt.Get());
    if (rc == SQLITE_DONE)
        return Fail("no player with id " + std::to_string(id));
    if (rc != SQLITE_ROW)
        return FailDb(m_db, "cannot load a player");
    return ReadRow(stmt.Get(), out);
}

bool PlayerStoreCL::Save(const std::vector<PlayerRecord>& records)
{
    if (m_db == nullptr)
        return Fail(kNotOpen);
    for (const PlayerRecord& record : records)
    {
        if (!IsValidSex(record.sex))
            return Fail("player " + std::to_string(record.id) + ": sex must be 0 (male) or 1 (female)");
    }
    if (records.empty())
        return true;

    // The nickname is the player's identity and is never rewritten; everything else is.
    Statement stmt(m_db, "UPDATE players SET sex = ?2, score = ?3, coins = ?4, wins = ?5, losses = ?6, "
                         "draws = ?7, games = ?8, escapes = ?9 WHERE id = ?1");
    if (!stmt.Ok())
        return FailDb(m_db, "cannot save players");

    // The write lock is taken at the start, so that waiting for another process happens before
    // anything is written, and a crash part way leaves the journal to undo it all.
    if (!Exec(m_db, "BEGIN IMMEDIATE"))
        return false;
    for (const PlayerRecord& record : records)
    {
        sqlite3_stmt* update = stmt.Get();
        sqlite3_reset(update);
        const int values[] = {record.id,   record.sex,    record.score, record.coins, record.wins,
                              record.losses, record.draws, record.games, record.escapes};
        for (int index = 0; index < 9; ++index)
            sqlite3_bind_int(update, index + 1, values[index]);
        if (sqlite3_step(update) != SQLITE_DONE)
        {
            FailDb(m_db, "cannot save player " + std::to_string(record.id));
            RollbackIfOpen(m_db);
            return false;
        }
        if (sqlite3_changes(m_db) != 1)
        {
            Fail("no player with id " + std::to_string(record.id) + "; nothing was saved");
            RollbackIfOpen(m_db);
            return false;
        }
    }
    sqlite3_reset(stmt.Get());
    if (!Exec(m_db, "COMMIT"))
    {
        RollbackIfOpen(m_db);
        return false;
    }
    return true;
}
