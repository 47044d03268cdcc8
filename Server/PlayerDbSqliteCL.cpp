// Player records in an SQLite file, held by one server for as long as it is open: a second
// server refuses to start on it instead of overwriting the first one's results.

#include <climits>
#include <cstring>
#include <iterator>
#include <utility>

#include <sqlite3.h>

#include "PlayerDbCL.h"

namespace
{
using namespace PlayerDbText;

// Written to the database header's user_version when the table is created. A file without this
// mark belongs to some other program, and the store refuses it rather than adding its own table
// to it.
constexpr int kSchemaMark = 0x4B505331;

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
                                 "escapes INTEGER NOT NULL DEFAULT 0, "
                                 "password_hash TEXT)";

// Records made before passwords existed get NULL, and take the password of their next login.
const char* const kAddPasswordColumn = "ALTER TABLE players ADD COLUMN password_hash TEXT";

const char* const kSelectColumns = "SELECT id, nickname, sex, score, coins, wins, losses, draws, games, "
                                   "escapes, password_hash FROM players ";

// A prepared statement that is finalized on every way out of a call, so that Close never finds
// one still open.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
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
void BindNickname(sqlite3_stmt* stmt, int index, const std::string& nickname)
{
    sqlite3_bind_blob(stmt, index, nickname.data(), static_cast<int>(nickname.size()), SQLITE_TRANSIENT);
}

// Which server each player is logged in at. With one server per file it only ever names this
// one, but the file keeps the same tables as a shared database.
const char* const kCreatePresence = "CREATE TABLE IF NOT EXISTS presence ("
                                    "player_id INTEGER PRIMARY KEY, "
                                    "server TEXT NOT NULL, "
                                    "seen INTEGER NOT NULL)";
} // namespace

class SqlitePlayerDb : public PlayerDb
{
public:
    ~SqlitePlayerDb() override { Close(); }
    bool Open(const std::string& path) override;
    void Close() override;
    bool IsOpen() const override { return m_db != nullptr; }
    int FindByNickname(const std::string& nickname, StoredPlayer& out) override;
    int Insert(const std::string& nickname, int sex, int coins, const std::string& hash) override;
    int SetHashIfMissing(int id, const std::string& hash) override;
    bool Load(int id, PlayerRecord& out) override;
    bool Apply(const std::vector<PlayerChange>& changes) override;
    int Claim(int playerId, const std::string& server, int staleSeconds) override;
    bool Renew(const std::string& server) override;
    bool Release(int playerId, const std::string& server) override;

private:
    // What an opened file holds: nothing yet, this store's table, this store's table as it was
    // before passwords existed, or something else.
    enum class Contents
    {
        Empty,
        Ours,
        OursWithoutPasswords,
        Foreign,
        Error
    };

    bool FailDb(sqlite3* db, const std::string& what)
    {
        m_lastError = what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
        return false;
    }
    int ErrorDb(sqlite3* db, const std::string& what)
    {
        FailDb(db, what);
        return -1;
    }
    bool Exec(sqlite3* db, const char* sql);
    void RollbackIfOpen(sqlite3* db);
    bool Hold(sqlite3* db, const std::string& path);
    Contents Inspect(sqlite3* db);
    bool Prepare(sqlite3* db);
    bool ReadRow(sqlite3_stmt* stmt, PlayerRecord& out);

    sqlite3* m_db = nullptr;
};

bool SqlitePlayerDb::Exec(sqlite3* db, const char* sql)
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

void SqlitePlayerDb::RollbackIfOpen(sqlite3* db)
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

bool SqlitePlayerDb::Hold(sqlite3* db, const std::string& path)
{
    // In exclusive locking mode SQLite keeps every lock it takes until the connection closes.
    // The mode must be set before the file is first read, or a shared lock taken in the normal
    // mode would already have been given up.
    if (!Exec(db, "PRAGMA locking_mode = EXCLUSIVE"))
        return Fail(path + ": " + m_lastError);

    // BEGIN EXCLUSIVE takes the strongest lock at once, so that a second server fails here, at
    // Open, rather than at its first write; the lock outlives the COMMIT. There is no busy
    // timeout: whoever holds the file, another server or an operator's tool, keeps it for far
    // longer than a sensible wait, so waiting would only delay the refusal.
    int rc;
    {
        Statement stmt(db, "BEGIN EXCLUSIVE");
        if (!stmt.Ok())
            return FailDb(db, path + ": cannot lock the file");
        rc = sqlite3_step(stmt.Get());
        if (rc != SQLITE_DONE)
        {
            int primary = rc & 0xFF;
            if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
                return Fail(path + " is in use by another server");
            if (primary == SQLITE_NOTADB)
                return FailDb(db, path + ": not a player database");
            return FailDb(db, path + ": cannot lock the file");
        }
    }
    if (!Exec(db, "COMMIT"))
        return Fail(path + ": " + m_lastError);
    return true;
}

SqlitePlayerDb::Contents SqlitePlayerDb::Inspect(sqlite3* db)
{
    int mark = 0;
    {
        Statement stmt(db, "PRAGMA user_version");
        if (!stmt.Ok() || sqlite3_step(stmt.Get()) != SQLITE_ROW)
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
        if (count >= kColumnCount || name == nullptr || std::strcmp(name, kColumns[count]) != 0)
            matches = false;
        ++count;
    }
    if (rc != SQLITE_DONE)
    {
        FailDb(db, "cannot read the database");
        return Contents::Error;
    }
    if (matches && count == kColumnCount)
        return Contents::Ours;
    if (matches && count == kColumnCount - 1)
        return Contents::OursWithoutPasswords;
    Fail("not a player database: its players table does not have the expected columns");
    return Contents::Foreign;
}

bool SqlitePlayerDb::Prepare(sqlite3* db)
{
    // The file is already held, so nothing can change it between this look and the writes that
    // follow. Nothing is written unless the file is empty or ours, so that a file of some other
    // program keeps every byte it had.
    if (!Exec(db, "BEGIN IMMEDIATE"))
        return false;
    bool written = true;
    switch (Inspect(db))
    {
    case Contents::Ours:
        written = Exec(db, kCreatePresence);
        break;
    case Contents::Empty:
    {
        std::string mark = "PRAGMA user_version = " + std::to_string(kSchemaMark);
        written = Exec(db, kCreateTable) && Exec(db, kCreatePresence) && Exec(db, mark.c_str());
        break;
    }
    case Contents::OursWithoutPasswords:
        written = Exec(db, kAddPasswordColumn) && Exec(db, kCreatePresence);
        break;
    case Contents::Foreign:
    case Contents::Error:
        written = false;
        break;
    }
    if (!written || !Exec(db, "COMMIT"))
    {
        RollbackIfOpen(db);
        return false;
    }
    return true;
}

bool SqlitePlayerDb::Open(const std::string& path)
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

    // A write-protected file opens for reading only; a server could neither add players nor
    // record a hand in it.
    if (sqlite3_db_readonly(db, "main") == 1)
    {
        Fail(path + " is read-only");
        sqlite3_close(db);
        return false;
    }
    if (!Hold(db, path))
    {
        sqlite3_close(db);
        return false;
    }
    if (!Prepare(db))
    {
        m_lastError = path + ": " + m_lastError;
        sqlite3_close(db);
        return false;
    }

    // Write-ahead logging makes the commit of a hand one append to the log instead of a journal
    // and a database write. Since the locking mode is already exclusive, SQLite keeps the log's
    // index in this process's memory instead of a shared-memory file, and the database file
    // stays exclusively locked. A file system that cannot do it keeps the rollback journal,
    // which is just as safe, so a refusal is not an error.
    {
        Statement stmt(db, "PRAGMA journal_mode = WAL");
        if (stmt.Ok())
            sqlite3_step(stmt.Get());
    }

    m_db = db;
    m_lastError.clear();
    return true;
}

void SqlitePlayerDb::Close()
{
    if (m_db == nullptr)
        return;
    // Every statement is finalized by the call that made it, so the connection closes at once,
    // and closing it releases the exclusive lock.
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool SqlitePlayerDb::ReadRow(sqlite3_stmt* stmt, PlayerRecord& out)
{
    int values[kRecordColumns] = {};
    for (int column = 0; column < kRecordColumns; ++column)
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

    out = RecordOf(values, std::string(static_cast<const char*>(bytes), bytes != nullptr ? size : 0));
    return true;
}

int SqlitePlayerDb::FindByNickname(const std::string& nickname, StoredPlayer& out)
{
    std::string sql = std::string(kSelectColumns) + "WHERE nickname = ?1";
    Statement stmt(m_db, sql.c_str());
    if (!stmt.Ok())
    {
        FailDb(m_db, "cannot look up a player");
        return -1;
    }
    BindNickname(stmt.Get(), 1, nickname);
    int rc = sqlite3_step(stmt.Get());
    if (rc == SQLITE_DONE)
        return 0;
    if (rc != SQLITE_ROW)
    {
        FailDb(m_db, "cannot look up a player");
        return -1;
    }
    StoredPlayer player;
    if (!ReadRow(stmt.Get(), player.record))
        return -1;

    const int hashColumn = kRecordColumns;
    int type = sqlite3_column_type(stmt.Get(), hashColumn);
    if (type != SQLITE_NULL)
    {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.Get(), hashColumn));
        int size = sqlite3_column_bytes(stmt.Get(), hashColumn);
        if (type == SQLITE_TEXT && text != nullptr)
            player.hash.assign(text, static_cast<std::size_t>(size));
        if (type != SQLITE_TEXT || !IsStoreHash(player.hash))
        {
            Fail("damaged record: the password hash of player " + std::to_string(player.record.id) +
                 " was not made by this store");
            return -1;
        }
        player.hasHash = true;
    }
    out = std::move(player);
    return 1;
}

bool SqlitePlayerDb::Load(int id, PlayerRecord& out)
{
    if (m_db == nullptr)
        return Fail(PlayerDbText::kNotOpen);
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

bool SqlitePlayerDb::Apply(const std::vector<PlayerChange>& changes)
{
    if (m_db == nullptr)
        return Fail(PlayerDbText::kNotOpen);
    if (changes.empty())
        return true;

    // The stored values are added to rather than overwritten, so that a change committed
    // meanwhile (an escape penalty, say) is never lost to a copy read before it. RETURNING hands
    // back the sums, which are checked before COMMIT: SQLite would store a sum beyond the int
    // range, and a later Load would then take the record for damaged.
    Statement stmt(m_db, "UPDATE players SET score = score + ?2, coins = coins + ?3, wins = wins + ?4, "
                         "losses = losses + ?5, draws = draws + ?6, games = games + ?7, "
                         "escapes = escapes + ?8 WHERE id = ?1 "
                         "RETURNING score, coins, wins, losses, draws, games, escapes");
    if (!stmt.Ok())
        return FailDb(m_db, "cannot apply the changes of a hand");

    // The write lock is taken at the start, and a crash part way leaves the log to undo it all.
    if (!Exec(m_db, "BEGIN IMMEDIATE"))
        return false;
    sqlite3_stmt* update = stmt.Get();
    for (const PlayerChange& change : changes)
    {
        sqlite3_reset(update);
        const int values[] = {change.id,     change.score, change.coins, change.wins,
                              change.losses, change.draws, change.games, change.escapes};
        for (int index = 0; index < 1 + kChangedCount; ++index)
            sqlite3_bind_int(update, index + 1, values[index]);

        const std::string player = "player " + std::to_string(change.id);
        bool ok = true;
        int rc = sqlite3_step(update);
        if (rc == SQLITE_DONE)
            ok = Fail("no " + player + "; nothing was applied");
        else if (rc != SQLITE_ROW)
            ok = FailDb(m_db, "cannot apply the changes of " + player + "; nothing was applied");
        for (int column = 0; ok && column < kChangedCount; ++column)
        {
            sqlite3_int64 value = sqlite3_column_int64(update, column);
            if (sqlite3_column_type(update, column) != SQLITE_INTEGER || value < INT_MIN || value > INT_MAX)
            {
                const unsigned char* text = sqlite3_column_text(update, column);
                ok = Fail(player + ": " + kChangedColumns[column] + " would become " +
                          (text != nullptr ? reinterpret_cast<const char*>(text) : "NULL") +
                          ", outside the range of a stored number; nothing was applied");
            }
        }
        if (ok && (rc = sqlite3_step(update)) != SQLITE_DONE)
            ok = FailDb(m_db, "cannot apply the changes of " + player + "; nothing was applied");
        if (!ok)
        {
            // A statement still running would keep ROLLBACK from undoing its own change.
            sqlite3_reset(update);
            RollbackIfOpen(m_db);
            return false;
        }
    }
    sqlite3_reset(update);
    if (!Exec(m_db, "COMMIT"))
    {
        RollbackIfOpen(m_db);
        return false;
    }
    return true;
}

int SqlitePlayerDb::Insert(const std::string& nickname, int sex, int coins, const std::string& hash)
{
    if (m_db == nullptr)
        return Error(PlayerDbText::kNotOpen);
    // The file is held exclusively, so nothing else should add this nickname between the look
    // and the insert. Should a row be there all the same, the conflict clause keeps it.
    Statement stmt(m_db, "INSERT INTO players (nickname, sex, coins, password_hash) VALUES (?1, ?2, ?3, ?4) "
                         "ON CONFLICT (nickname) DO NOTHING");
    if (!stmt.Ok())
        return ErrorDb(m_db, "cannot add a player");
    BindNickname(stmt.Get(), 1, nickname);
    sqlite3_bind_int(stmt.Get(), 2, sex);
    sqlite3_bind_int(stmt.Get(), 3, coins);
    sqlite3_bind_text(stmt.Get(), 4, hash.c_str(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.Get()) != SQLITE_DONE)
        return ErrorDb(m_db, "cannot add a player");
    return sqlite3_changes(m_db);
}

int SqlitePlayerDb::SetHashIfMissing(int id, const std::string& hash)
{
    if (m_db == nullptr)
        return Error(PlayerDbText::kNotOpen);
    Statement stmt(m_db, "UPDATE players SET password_hash = ?1 WHERE id = ?2 AND password_hash IS NULL");
    if (!stmt.Ok())
        return ErrorDb(m_db, "cannot set the password of player " + std::to_string(id));
    sqlite3_bind_text(stmt.Get(), 1, hash.c_str(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt.Get(), 2, id);
    if (sqlite3_step(stmt.Get()) != SQLITE_DONE)
        return ErrorDb(m_db, "cannot set the password of player " + std::to_string(id));
    return sqlite3_changes(m_db);
}

int SqlitePlayerDb::Claim(int playerId, const std::string& server, int staleSeconds)
{
    if (m_db == nullptr)
        return Error(PlayerDbText::kNotOpen);
    // Taken when nobody has him, when this server has him already, or when the server that has
    // him has not said for too long that it is alive.
    Statement stmt(m_db,
                   "INSERT INTO presence (player_id, server, seen) VALUES (?1, ?2, unixepoch()) "
                   "ON CONFLICT (player_id) DO UPDATE SET server = excluded.server, seen = excluded.seen "
                   "WHERE presence.server = excluded.server OR presence.seen < unixepoch() - ?3 "
                   "RETURNING server");
    if (!stmt.Ok())
        return ErrorDb(m_db, "cannot mark player " + std::to_string(playerId) + " logged in");
    sqlite3_bind_int(stmt.Get(), 1, playerId);
    sqlite3_bind_text(stmt.Get(), 2, server.c_str(), static_cast<int>(server.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt.Get(), 3, staleSeconds);
    const int rc = sqlite3_step(stmt.Get());
    if (rc == SQLITE_ROW)
        return 1;
    if (rc == SQLITE_DONE)
        return 0;
    return ErrorDb(m_db, "cannot mark player " + std::to_string(playerId) + " logged in");
}

bool SqlitePlayerDb::Renew(const std::string& server)
{
    if (m_db == nullptr)
        return Fail(PlayerDbText::kNotOpen);
    Statement stmt(m_db, "UPDATE presence SET seen = unixepoch() WHERE server = ?1");
    if (!stmt.Ok())
        return FailDb(m_db, "cannot renew the players' marks");
    sqlite3_bind_text(stmt.Get(), 1, server.c_str(), static_cast<int>(server.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.Get()) != SQLITE_DONE)
        return FailDb(m_db, "cannot renew the players' marks");
    return true;
}

bool SqlitePlayerDb::Release(int playerId, const std::string& server)
{
    if (m_db == nullptr)
        return Fail(PlayerDbText::kNotOpen);
    Statement stmt(m_db, playerId != 0 ? "DELETE FROM presence WHERE server = ?1 AND player_id = ?2"
                                       : "DELETE FROM presence WHERE server = ?1");
    if (!stmt.Ok())
        return FailDb(m_db, "cannot clear a player's mark");
    sqlite3_bind_text(stmt.Get(), 1, server.c_str(), static_cast<int>(server.size()), SQLITE_TRANSIENT);
    if (playerId != 0)
        sqlite3_bind_int(stmt.Get(), 2, playerId);
    if (sqlite3_step(stmt.Get()) != SQLITE_DONE)
        return FailDb(m_db, "cannot clear a player's mark");
    return true;
}

std::unique_ptr<PlayerDb> MakeSqlitePlayerDb()
{
    return std::make_unique<SqlitePlayerDb>();
}
