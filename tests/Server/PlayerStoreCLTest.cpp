#include "PlayerStoreCL.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <set>

#include <gtest/gtest.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PostgresTestDb.h"
#include "TestFolder.h"

static void PrintTo(LoginResult result, std::ostream* out)
{
    const char* const names[] = {"Ok", "Created", "WrongPassword", "Refused", "Error"};
    *out << names[static_cast<int>(result)];
}

namespace
{
// A direct connection to a database file, for building files of other programs and of older
// versions of the store, and for looking at what the store wrote without going through it. It
// never waits for a lock: the store holds its file while open, and a test that reads the file
// then should fail at once, not after a timeout.
class RawDb
{
public:
    explicit RawDb(const std::filesystem::path& path)
    {
        if (sqlite3_open(path.string().c_str(), &m_db) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
    }
    ~RawDb() { sqlite3_close(m_db); }

    void Exec(const std::string& sql)
    {
        int rc = Try(sql);
        if (rc != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(m_db);
    }
    // The result code of running `sql`, without judging it.
    int Try(const std::string& sql) { return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); }
    long long Number(const std::string& sql)
    {
        long long value = -1;
        Query(sql, [&value](sqlite3_stmt* stmt) { value = sqlite3_column_int64(stmt, 0); });
        return value;
    }
    std::string Text(const std::string& sql)
    {
        std::string value;
        Query(sql,
              [&value](sqlite3_stmt* stmt)
              {
                  const unsigned char* text = sqlite3_column_text(stmt, 0);
                  value = text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
              });
        return value;
    }

private:
    void Query(const std::string& sql, const std::function<void(sqlite3_stmt*)>& read)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            read(stmt);
        else
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
    }

    sqlite3* m_db = nullptr;
};

std::set<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// The players table as the store made it before passwords existed.
const char* const kTableWithoutPasswords = "CREATE TABLE players ("
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
const char* const kStoreMark = "PRAGMA user_version = 1263555377"; // 0x4B505331

class PlayerStoreCLTest : public ::testing::Test
{
protected:
    std::filesystem::path DbFile() const { return m_folder.Path() / "players.db"; }
    std::string DbPath() const { return DbFile().string(); }

    virtual ~PlayerStoreCLTest() = default;
    // Where this test's records live: its own file (the engine tests below may give a
    // PostgreSQL database instead).
    virtual std::string Target() const { return DbPath(); }
    // The first column of the first row of `sql`, run on the test's database behind the store's
    // back (closed first, for a file: the store holds it while open).
    virtual std::string Text(const std::string& sql) { return RawDb(DbFile()).Text(sql); }
    long long Number(const std::string& sql) { return std::stoll(Text(sql)); }

    // Opens `store` on this test's database with the cheapest password hashing, so that the
    // tests spend their time on the store rather than on the hash.
    void OpenFast(PlayerStoreCL& store)
    {
        ASSERT_TRUE(store.SetPasswordCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN))
            << store.LastError();
        ASSERT_TRUE(store.Open(Target())) << store.LastError();
    }

    struct NewPlayer
    {
        const char* nickname;
        int sex;
        PlayerRecord* record;
    };
    // Opens `store` on this test's file and has it create each new player in turn, with the
    // password kPassword.
    void OpenWithPlayers(PlayerStoreCL& store, std::initializer_list<NewPlayer> players)
    {
        ASSERT_NO_FATAL_FAILURE(OpenFast(store));
        for (const NewPlayer& player : players)
            ASSERT_EQ(LoginResult::Created,
                      store.Login(player.nickname, kPassword, player.sex, *player.record))
                << store.LastError();
    }

    static constexpr const char* kPassword = "secret";
    TestFolder m_folder;
};

// The tests that hold for every database engine run on an SQLite file and, when
// scripts/with-postgres started a throwaway server, on a PostgreSQL database of their own.
class PlayerStoreEngineTest : public PlayerStoreCLTest, public ::testing::WithParamInterface<std::string>
{
protected:
    void SetUp() override
    {
        if (GetParam() != "postgresql")
            return;
        if (!PostgresTestDb::Available())
            GTEST_SKIP() << "no PostgreSQL server to test with (scripts/with-postgres starts one)";
        m_postgres = std::make_unique<PostgresTestDb>();
        ASSERT_FALSE(m_postgres->Uri().empty()) << m_postgres->Error();
    }
    std::string Target() const override { return m_postgres != nullptr ? m_postgres->Uri() : DbPath(); }
    std::string Text(const std::string& sql) override
    {
        if (m_postgres == nullptr)
            return PlayerStoreCLTest::Text(sql);
        std::string value = "NULL";
        const std::string error = m_postgres->Run(sql, &value);
        EXPECT_TRUE(error.empty()) << sql << ": " << error;
        return value;
    }
    bool IsSqlite() const { return m_postgres == nullptr; }

    std::unique_ptr<PostgresTestDb> m_postgres;
};

INSTANTIATE_TEST_SUITE_P(Engines, PlayerStoreEngineTest, ::testing::Values("sqlite", "postgresql"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

PlayerRecord Sentinel()
{
    PlayerRecord record;
    record.id = -7;
    record.nickname = "untouched";
    record.coins = 55;
    return record;
}

void ExpectSameRecord(const PlayerRecord& expected, const PlayerRecord& actual)
{
    EXPECT_EQ(expected.id, actual.id);
    EXPECT_EQ(expected.nickname, actual.nickname);
    EXPECT_EQ(expected.sex, actual.sex);
    EXPECT_EQ(expected.score, actual.score);
    EXPECT_EQ(expected.coins, actual.coins);
    EXPECT_EQ(expected.wins, actual.wins);
    EXPECT_EQ(expected.losses, actual.losses);
    EXPECT_EQ(expected.draws, actual.draws);
    EXPECT_EQ(expected.games, actual.games);
    EXPECT_EQ(expected.escapes, actual.escapes);
}

void ExpectStored(PlayerStoreCL& store, const PlayerRecord& expected)
{
    PlayerRecord loaded;
    ASSERT_TRUE(store.Load(expected.id, loaded)) << store.LastError();
    ExpectSameRecord(expected, loaded);
}

PlayerRecord With(PlayerRecord record, int score, int coins, int wins, int losses, int draws, int games,
                  int escapes)
{
    record.score = score;
    record.coins = coins;
    record.wins = wins;
    record.losses = losses;
    record.draws = draws;
    record.games = games;
    record.escapes = escapes;
    return record;
}

// Takes a lower address-space limit for as long as it lives, so that a large allocation fails
// the same way on every machine, whatever its memory and overcommit setting.
class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_AS, &m_previous);
        rlimit lower = m_previous;
        if (lower.rlim_cur == RLIM_INFINITY || lower.rlim_cur > bytes)
            lower.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_AS, &lower) == 0;
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_previous); }
    bool IsSet() const { return m_set; }

private:
    rlimit m_previous{};
    bool m_set = false;
};

// A forked process driven step by step over a pipe, so that the parent decides when it acts.
// The child is started before the parent opens any database: SQLite must not be used on both
// sides of a fork with a connection that was open when it happened.
class ChildProcess
{
public:
    // Runs `body` in the child; its return value is the child's exit code. `body` calls Wait()
    // to block until the parent calls Go().
    explicit ChildProcess(const std::function<int(ChildProcess&)>& body)
    {
        if (pipe(m_toChild) != 0 || pipe(m_toParent) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0)
        {
            close(m_toChild[1]);
            close(m_toParent[0]);
            // _exit: the child must not run the test framework's or the fixture's clean-up.
            _exit(body(*this));
        }
        close(m_toChild[0]);
        close(m_toParent[1]);
    }
    ~ChildProcess()
    {
        // Closing the pipe ends a child still waiting for a step.
        Finish();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // In the parent: lets the child take its next step, and waits until it has reported it done
    // or, after its last step, has exited.
    bool Go()
    {
        char byte = 'g';
        return write(m_toChild[1], &byte, 1) == 1 && read(m_toParent[0], &byte, 1) >= 0;
    }
    // In the child: reports the previous step done and waits for the next Go. False when the
    // parent has gone.
    bool Wait(bool first = false)
    {
        char byte = 'd';
        if (!first && write(m_toParent[1], &byte, 1) != 1)
            return false;
        return read(m_toChild[0], &byte, 1) == 1;
    }
    // In the parent: the child's exit code, or -1 when it did not exit normally.
    int Finish()
    {
        if (m_pid <= 0)
            return -1;
        close(m_toChild[1]);
        close(m_toParent[0]);
        int status = 0;
        pid_t pid = m_pid;
        m_pid = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

private:
    pid_t m_pid = 0;
    int m_toChild[2] = {-1, -1};
    int m_toParent[2] = {-1, -1};
};
} // namespace

TEST_P(PlayerStoreEngineTest, NewNicknamesGetFreshRecordsWithDistinctStableIds)
{
    // Nicknames that only a byte-for-byte, parameter-bound comparison keeps apart: GBK text,
    // a GBK prefix of another one, case variants, quotes and SQL, bytes that are not UTF-8.
    const std::vector<std::string> nicknames = {
        "张三",
        "\xD5\xC5",
        "斗地主高手",
        "abc",
        "ABC",
        "O'Brien \"Bob\"; DROP TABLE players; --",
        "\x80\xFF\xFE'%_\\ ~",
    };
    PlayerStoreCL store;
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));

    std::vector<PlayerRecord> created;
    std::set<int> ids;
    for (std::size_t i = 0; i < nicknames.size(); ++i)
    {
        PlayerRecord record;
        ASSERT_EQ(LoginResult::Created, store.Login(nicknames[i], kPassword, static_cast<int>(i % 2), record))
            << store.LastError();
        EXPECT_GE(record.id, 1);
        PlayerRecord expected;
        expected.id = record.id;
        expected.nickname = nicknames[i];
        expected.sex = static_cast<int>(i % 2);
        expected.coins = PlayerStoreCL::kStartingCoins;
        ExpectSameRecord(expected, record);
        ids.insert(record.id);
        created.push_back(record);
    }
    EXPECT_EQ(nicknames.size(), ids.size());

    // A second login finds the same record, keeping its stored sex whatever the client says.
    for (const PlayerRecord& expected : created)
    {
        PlayerRecord again;
        ASSERT_EQ(LoginResult::Ok, store.Login(expected.nickname, kPassword, 1 - expected.sex, again))
            << store.LastError();
        ExpectSameRecord(expected, again);
        ExpectStored(store, expected);
    }
    store.Close();
    EXPECT_EQ(static_cast<long long>(nicknames.size()), Number("SELECT count(*) FROM players"));
}

TEST_P(PlayerStoreEngineTest, OnlyTheRightPasswordLogsIn)
{
    // Passwords are bytes with a length: one that starts with or holds a NUL byte must not be
    // cut short to the text before it.
    const std::string zeroPassword("\0\xFF", 2);
    PlayerStoreCL store;
    PlayerRecord zhang;
    PlayerRecord wang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 1, &zhang}, {"wang", 0, &wang}}));
    PlayerRecord zero;
    ASSERT_EQ(LoginResult::Created, store.Login("zero", zeroPassword, 0, zero)) << store.LastError();

    struct Case
    {
        const char* nickname;
        std::string password;
        const PlayerRecord* player;
    };
    const Case wrong[] = {
        {"张三", "Secret", &zhang},
        {"张三", "secret ", &zhang},
        {"张三", "secre", &zhang},
        {"张三", std::string("secret\0", 7), &zhang},
        {"wang", std::string("\0\xFF", 2) + "secret", &wang},
        {"zero", std::string("\0\xFE", 2), &zero},
        {"zero", std::string("\0", 1), &zero},
    };
    for (const Case& c : wrong)
    {
        SCOPED_TRACE(testing::Message()
                     << c.nickname << " with a password of " << c.password.size() << " bytes");
        PlayerRecord out = Sentinel();
        EXPECT_EQ(LoginResult::WrongPassword, store.Login(c.nickname, c.password, 0, out));
        ExpectSameRecord(Sentinel(), out);
        EXPECT_FALSE(store.LastError().empty());
        EXPECT_EQ(std::string::npos, store.LastError().find("ecre")) << store.LastError();
        ExpectStored(store, *c.player);
    }
    for (const auto& [nickname, password, player] :
         {Case{"张三", kPassword, &zhang}, Case{"wang", kPassword, &wang}, Case{"zero", zeroPassword, &zero}})
    {
        PlayerRecord out;
        EXPECT_EQ(LoginResult::Ok, store.Login(nickname, password, 0, out)) << store.LastError();
        ExpectSameRecord(*player, out);
    }
    store.Close();

    // Only a salted hash is stored: two players with one password have different hashes, and
    // the password is nowhere in the file.
    const std::string zhangHash =
        Text("SELECT password_hash FROM players WHERE id = " + std::to_string(zhang.id));
    const std::string wangHash =
        Text("SELECT password_hash FROM players WHERE id = " + std::to_string(wang.id));
    EXPECT_EQ(0u, zhangHash.rfind("$argon2", 0)) << zhangHash;
    EXPECT_EQ(0u, wangHash.rfind("$argon2", 0)) << wangHash;
    EXPECT_NE(zhangHash, wangHash);
    EXPECT_EQ(0, Number("SELECT count(*) FROM players WHERE password_hash IS NULL"));
    if (!IsSqlite())
        return;
    std::ifstream file(DbFile(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(std::string::npos, bytes.find(kPassword));
}

// A login that may only log in refuses a new nickname, and one that may only create refuses a
// known nickname, whatever its password; neither writes anything when it refuses.
TEST_P(PlayerStoreEngineTest, ALoginModeRefusesTheNicknameItMayNotUse)
{
    PlayerStoreCL store;
    PlayerRecord known;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"known", 1, &known}}));
    struct Case
    {
        const char* nickname;
        const char* password;
        LoginMode mode;
        LoginResult result;
        const char* reason; // part of LastError() for refusals
    };
    const Case cases[] = {
        {"known", kPassword, LoginMode::LogIn, LoginResult::Ok, nullptr},
        {"known", "other", LoginMode::LogIn, LoginResult::WrongPassword, nullptr},
        {"known", kPassword, LoginMode::Create, LoginResult::Refused, "taken"},
        {"known", "other", LoginMode::Create, LoginResult::Refused, "taken"},
        {"newcomer", kPassword, LoginMode::LogIn, LoginResult::Refused, "no player"},
        {"newcomer", kPassword, LoginMode::Create, LoginResult::Created, nullptr},
        {"newcomer", kPassword, LoginMode::LogIn, LoginResult::Ok, nullptr},
        {"newcomer", kPassword, LoginMode::Create, LoginResult::Refused, "taken"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.nickname << " mode " << static_cast<int>(c.mode) << " password " << c.password);
        PlayerRecord out = Sentinel();
        EXPECT_EQ(c.result, store.Login(c.nickname, c.password, 0, out, c.mode));
        if (c.reason != nullptr)
        {
            EXPECT_NE(std::string::npos, store.LastError().find(c.reason)) << store.LastError();
            ExpectSameRecord(Sentinel(), out);
        }
        if (c.result == LoginResult::Ok || c.result == LoginResult::Created)
        {
            EXPECT_EQ(std::string(c.nickname), out.nickname);
        }
    }
    ExpectStored(store, known);
    store.Close();
    EXPECT_EQ(2, Number("SELECT count(*) FROM players"));
}

TEST_P(PlayerStoreEngineTest, PasswordsVerifyWhateverCostTheyWereMadeWith)
{
    // 1 MiB and three passes: dearer than the tests' cost, still quick.
    const unsigned long long dearOps = 3;
    const std::size_t dearMemory = 1 << 20;
    PlayerRecord dear;
    {
        PlayerStoreCL store;
        ASSERT_TRUE(store.SetPasswordCost(dearOps, dearMemory)) << store.LastError();
        ASSERT_TRUE(store.Open(Target())) << store.LastError();
        ASSERT_EQ(LoginResult::Created, store.Login("dear", "one", 0, dear)) << store.LastError();
    }
    PlayerRecord cheap;
    {
        PlayerStoreCL store;
        ASSERT_NO_FATAL_FAILURE(OpenFast(store));
        PlayerRecord out;
        EXPECT_EQ(LoginResult::Ok, store.Login("dear", "one", 0, out)) << store.LastError();
        EXPECT_EQ(LoginResult::WrongPassword, store.Login("dear", "two", 0, out));
        ASSERT_EQ(LoginResult::Created, store.Login("cheap", "two", 0, cheap)) << store.LastError();
    }
    {
        PlayerStoreCL store;
        ASSERT_TRUE(store.SetPasswordCost(dearOps, dearMemory)) << store.LastError();
        ASSERT_TRUE(store.Open(Target())) << store.LastError();
        PlayerRecord out;
        EXPECT_EQ(LoginResult::Ok, store.Login("cheap", "two", 0, out)) << store.LastError();
        EXPECT_EQ(LoginResult::WrongPassword, store.Login("cheap", "one", 0, out));
    }
    // The set cost is the one the hashes were made with (memory is counted in KiB there).
    EXPECT_NE(
        std::string::npos,
        Text("SELECT password_hash FROM players WHERE id = " + std::to_string(dear.id)).find("m=1024,t=3,"));
    EXPECT_NE(
        std::string::npos,
        Text("SELECT password_hash FROM players WHERE id = " + std::to_string(cheap.id)).find("m=8,t=1,"));
}

TEST_F(PlayerStoreCLTest, PasswordCostOutsideTheLibraryRangeIsRefused)
{
    PlayerStoreCL store;
    ASSERT_TRUE(store.SetPasswordCost(2, 16 * 1024)) << store.LastError();
    struct Case
    {
        unsigned long long ops;
        std::size_t memory;
    };
    const Case cases[] = {
        {crypto_pwhash_OPSLIMIT_MIN - 1, crypto_pwhash_MEMLIMIT_MIN},
        {crypto_pwhash_OPSLIMIT_MAX + 1ull, crypto_pwhash_MEMLIMIT_MIN},
        {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN - 1},
        {crypto_pwhash_OPSLIMIT_MIN, 0},
        {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MAX + std::size_t{1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.ops << " operations, " << c.memory << " bytes");
        EXPECT_FALSE(store.SetPasswordCost(c.ops, c.memory));
        EXPECT_NE(std::string::npos, store.LastError().find("password cost")) << store.LastError();
    }
    // The refusals kept the cost set before them.
    ASSERT_TRUE(store.Open(DbPath())) << store.LastError();
    PlayerRecord record;
    ASSERT_EQ(LoginResult::Created, store.Login("zhang", "pw", 0, record)) << store.LastError();
    store.Close();
    RawDb raw(DbFile());
    EXPECT_NE(std::string::npos, raw.Text("SELECT password_hash FROM players").find("m=16,t=2,"));
}

TEST_F(PlayerStoreCLTest, HashingThatRunsOutOfMemoryIsAnErrorAndAddsNobody)
{
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves its shadow memory up front and aborts on an impossible
    // allocation instead of returning null, so the failure cannot be staged under it.
    GTEST_SKIP() << "not under AddressSanitizer";
#endif
    PlayerStoreCL store;
    PlayerRecord zhang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 0, &zhang}}));
    // The largest cost the library accepts asks for 4 TiB, far beyond the limit set here.
    ASSERT_TRUE(store.SetPasswordCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MAX))
        << store.LastError();
    {
        AddressSpaceLimit limit(rlim_t{1} << 40);
        ASSERT_TRUE(limit.IsSet());
        PlayerRecord out = Sentinel();
        EXPECT_EQ(LoginResult::Error, store.Login("newcomer", "pw", 0, out));
        EXPECT_NE(std::string::npos, store.LastError().find("hash")) << store.LastError();
        ExpectSameRecord(Sentinel(), out);
        // Checking a stored hash uses the cost it was made with, so known players still log in.
        EXPECT_EQ(LoginResult::Ok, store.Login("张三", kPassword, 0, out)) << store.LastError();
        ExpectSameRecord(zhang, out);
    }
    store.Close();
    RawDb raw(DbFile());
    EXPECT_EQ(1, raw.Number("SELECT count(*) FROM players"));
}

TEST_P(PlayerStoreEngineTest, RecordsSurviveARestart)
{
    PlayerRecord zhang;
    PlayerRecord quote;
    {
        PlayerStoreCL store;
        ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 1, &zhang}, {"it's me", 0, &quote}}));
        ASSERT_TRUE(store.Apply({{zhang.id, -30, -30, 0, 1, 0, 1, 1}, {quote.id, 45, 45, 1, 0, 0, 1, 0}}))
            << store.LastError();
        zhang = With(zhang, -30, 970, 0, 1, 0, 1, 1);
        quote = With(quote, 45, 1045, 1, 0, 0, 1, 0);
        store.Close();
        EXPECT_FALSE(store.IsOpen());
    }

    PlayerStoreCL store;
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    PlayerRecord loaded;
    ASSERT_EQ(LoginResult::Ok, store.Login("张三", kPassword, 0, loaded)) << store.LastError();
    ExpectSameRecord(zhang, loaded);
    EXPECT_EQ(LoginResult::WrongPassword, store.Login("it's me", "guess", 0, loaded));
    ExpectStored(store, quote);

    PlayerRecord newcomer;
    ASSERT_EQ(LoginResult::Created, store.Login("newcomer", "pw", 0, newcomer)) << store.LastError();
    EXPECT_NE(zhang.id, newcomer.id);
    EXPECT_NE(quote.id, newcomer.id);
}

TEST_F(PlayerStoreCLTest, IdsOfRemovedPlayersAreNotGivenAgain)
{
    PlayerStoreCL store;
    PlayerRecord first;
    PlayerRecord last;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"first", 0, &first}, {"last", 0, &last}}));
    store.Close();
    {
        // An operator removes the newest player by hand while the server is stopped.
        RawDb raw(DbFile());
        raw.Exec("DELETE FROM players WHERE nickname = CAST('last' AS BLOB)");
        ASSERT_EQ(1, raw.Number("SELECT count(*) FROM players"));
    }
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    PlayerRecord next;
    ASSERT_EQ(LoginResult::Created, store.Login("next", "pw", 0, next)) << store.LastError();
    EXPECT_GT(next.id, last.id);
    EXPECT_FALSE(store.Load(last.id, next));
}

TEST_P(PlayerStoreEngineTest, ApplyAddsToTheStoredValues)
{
    PlayerStoreCL store;
    PlayerRecord a;
    PlayerRecord b;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"甲", 0, &a}, {"乙", 1, &b}}));
    PlayerRecord aCopy = a;
    PlayerRecord bCopy = b;

    // A hand, then an escape penalty and a second hand for one player in one batch: every change
    // counts, none replaces another.
    const std::vector<std::vector<PlayerChange>> batches = {
        {{a.id, 10, -10, 1, 0, 0, 1, 0}, {b.id, -10, 10, 0, 1, 0, 1, 0}},
        {{a.id, -30, -30, 0, 0, 0, 0, 1}, {a.id, 4, 4, 0, 0, 1, 1, 0}, {b.id, 2, 2, 0, 0, 1, 1, 0}},
    };
    for (const std::vector<PlayerChange>& batch : batches)
    {
        ASSERT_TRUE(store.Apply(batch)) << store.LastError();
        for (const PlayerChange& change : batch)
            ASSERT_TRUE(PlayerStoreCL::ApplyTo(change, change.id == a.id ? aCopy : bCopy));
    }
    const PlayerRecord aExpected = With(a, -16, 964, 1, 0, 1, 2, 1);
    const PlayerRecord bExpected = With(b, -8, 1012, 0, 1, 1, 2, 0);
    ExpectStored(store, aExpected);
    ExpectStored(store, bExpected);
    // The in-memory copies followed the same way.
    ExpectSameRecord(aExpected, aCopy);
    ExpectSameRecord(bExpected, bCopy);

    EXPECT_TRUE(store.Apply({})) << store.LastError();
    ExpectStored(store, aExpected);
}

TEST_P(PlayerStoreEngineTest, ApplyWritesAllChangesOrNone)
{
    PlayerStoreCL store;
    PlayerRecord a;
    PlayerRecord b;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"甲", 0, &a}, {"乙", 1, &b}}));
    // Bring a's score and b's coins within a few points of the ends of the int range.
    ASSERT_TRUE(store.Apply({{a.id, INT_MAX - 5, 0, 0, 0, 0, 0, 0},
                             {b.id, 0, -b.coins, 0, 0, 0, 0, 0},
                             {b.id, 0, INT_MIN + 5, 0, 0, 0, 0, 0}}))
        << store.LastError();
    a.score = INT_MAX - 5;
    b.coins = INT_MIN + 5;

    const PlayerChange aGood{a.id, -1, 1, 1, 0, 0, 1, 0};
    const PlayerChange bGood{b.id, 1, 1, 0, 1, 0, 1, 0};
    struct Case
    {
        const char* name;
        std::vector<PlayerChange> batch;
        const char* reason;
    };
    const Case cases[] = {
        {"unknown id in the middle", {aGood, {b.id + 100, 1, 1, 0, 0, 0, 1, 0}, bGood}, "no player"},
        {"unknown id last", {aGood, bGood, {b.id + 100, 1, 1, 0, 0, 0, 1, 0}}, "no player"},
        {"id zero", {aGood, {0, 1, 1, 0, 0, 0, 1, 0}}, "no player"},
        {"score above the int range", {bGood, {a.id, 6, 0, 0, 0, 0, 0, 0}}, "score"},
        {"coins below the int range", {aGood, {b.id, 0, -6, 0, 0, 0, 0, 0}}, "coins"},
        {"two changes that leave the range only together",
         {{a.id, 3, 0, 0, 0, 0, 0, 0}, {a.id, 3, 0, 0, 0, 0, 0, 0}},
         "score"},
        {"a counter far above the range",
         {aGood, {b.id, 0, 0, 0, 0, 0, INT_MAX, 0}, {b.id, 0, 0, 0, 0, 0, INT_MAX, 0}},
         "games"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(store.Apply(c.batch));
        EXPECT_NE(std::string::npos, store.LastError().find(c.reason)) << store.LastError();
        ExpectStored(store, a);
        ExpectStored(store, b);
    }

    // The store is still usable after the failed batches, and the ends of the range are values
    // like any other.
    ASSERT_TRUE(store.Apply({{a.id, 5, 0, 0, 0, 0, 0, 0}, {b.id, 0, -5, 0, 0, 0, 0, 0}}))
        << store.LastError();
    a.score = INT_MAX;
    b.coins = INT_MIN;
    ExpectStored(store, a);
    ExpectStored(store, b);
    store.Close();
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    ExpectStored(store, a);
    ExpectStored(store, b);
}

TEST_F(PlayerStoreCLTest, ApplyToRefusesWhatApplyWouldRefuse)
{
    PlayerRecord record;
    record.id = 4;
    record.nickname = "zhang";
    record.score = INT_MAX - 1;
    record.coins = INT_MIN + 1;
    record.escapes = INT_MAX;
    struct Case
    {
        const char* name;
        PlayerChange change;
    };
    const Case cases[] = {
        {"another player", {5, 1, 0, 0, 0, 0, 0, 0}},
        {"score above the range", {4, 2, 0, 0, 0, 0, 0, 0}},
        {"coins below the range", {4, 0, -2, 0, 0, 0, 0, 0}},
        // Earlier fields would fit: none of them may change either.
        {"last field above the range", {4, 1, -1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        PlayerRecord copy = record;
        EXPECT_FALSE(PlayerStoreCL::ApplyTo(c.change, copy));
        ExpectSameRecord(record, copy);
    }
}

TEST_F(PlayerStoreCLTest, OneServerHoldsTheFileUntilItCloses)
{
    PlayerStoreCL first;
    PlayerRecord zhang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(first, {{"张三", 0, &zhang}}));

    PlayerStoreCL second;
    ASSERT_TRUE(second.SetPasswordCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN));
    EXPECT_FALSE(second.Open(DbPath()));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(std::string::npos, second.LastError().find(DbPath() + " is in use")) << second.LastError();
    PlayerRecord record = Sentinel();
    EXPECT_EQ(LoginResult::Error, second.Login("张三", kPassword, 0, record));
    EXPECT_EQ("store is not open", second.LastError());

    // Not even a reader gets in, and the refused opener has not loosened the hold on its way out.
    {
        RawDb raw(DbFile());
        EXPECT_EQ(SQLITE_BUSY, raw.Try("SELECT count(*) FROM players"));
    }
    ASSERT_TRUE(first.Apply({{zhang.id, 5, 5, 1, 0, 0, 1, 0}})) << first.LastError();
    zhang = With(zhang, 5, 1005, 1, 0, 0, 1, 0);
    EXPECT_FALSE(second.Open(DbPath()));
    EXPECT_NE(std::string::npos, second.LastError().find("in use")) << second.LastError();

    first.Close();
    ASSERT_TRUE(second.Open(DbPath())) << second.LastError();
    ASSERT_EQ(LoginResult::Ok, second.Login("张三", kPassword, 0, record)) << second.LastError();
    ExpectSameRecord(zhang, record);
    EXPECT_FALSE(first.Open(DbPath()));
    EXPECT_NE(std::string::npos, first.LastError().find("in use")) << first.LastError();
    second.Close();
    ASSERT_TRUE(first.Open(DbPath())) << first.LastError();
    ExpectStored(first, zhang);
    // Closing leaves the database file alone, with no log or lock file beside it.
    first.Close();
    EXPECT_EQ(std::set<std::string>{"players.db"}, FilesIn(m_folder.Path()));
}

TEST_F(PlayerStoreCLTest, AnotherProcessCannotOpenAHeldFile)
{
    // What the child saw, one bit per fault; 0 when all went as it should.
    enum : int
    {
        OpenedAHeldFile = 1,
        RefusedForAnotherReason = 2,
        CouldNotOpenAfterRelease = 4,
        DidNotSeeTheParentsWrites = 8,
        LostTheParent = 16,
    };
    const std::string path = DbPath();
    ChildProcess child(
        [&path](ChildProcess& self) -> int
        {
            int faults = 0;
            PlayerStoreCL store;
            store.SetPasswordCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN);
            if (!self.Wait(true))
                return LostTheParent;
            if (store.Open(path))
                faults |= OpenedAHeldFile;
            else if (store.LastError().find("in use") == std::string::npos)
                faults |= RefusedForAnotherReason;
            store.Close();
            if (!self.Wait())
                return faults | LostTheParent;
            PlayerRecord record;
            if (!store.Open(path))
                faults |= CouldNotOpenAfterRelease;
            else if (store.Login("张三", "secret", 0, record) != LoginResult::Ok || record.wins != 1)
                faults |= DidNotSeeTheParentsWrites;
            return faults;
        });
    ASSERT_TRUE(child.Started());

    PlayerStoreCL store;
    PlayerRecord zhang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 0, &zhang}}));
    ASSERT_TRUE(store.Apply({{zhang.id, 0, 0, 1, 0, 0, 1, 0}})) << store.LastError();
    ASSERT_TRUE(child.Go());
    store.Close();
    ASSERT_TRUE(child.Go());
    EXPECT_EQ(0, child.Finish());
}

TEST_F(PlayerStoreCLTest, FilesWithoutPasswordsAreMigratedAndTakeTheNextLoginsPassword)
{
    {
        // A file as an older server left it: write-ahead log on, no password column.
        RawDb raw(DbFile());
        raw.Exec("PRAGMA journal_mode = WAL");
        raw.Exec(kTableWithoutPasswords);
        raw.Exec(kStoreMark);
        raw.Exec("INSERT INTO players (nickname, sex, score, coins, wins, losses, draws, games, escapes) "
                 "VALUES (CAST('veteran' AS BLOB), 1, 12, 900, 3, 4, 1, 8, 2), "
                 "(CAST('sleeper' AS BLOB), 0, 0, 1000, 0, 0, 0, 0, 0)");
    }
    PlayerRecord veteran;
    veteran.nickname = "veteran";
    veteran.sex = 1;
    veteran = With(veteran, 12, 900, 3, 4, 1, 8, 2);

    PlayerStoreCL store;
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    store.Close();
    {
        // Opening alone adds the column, and keeps every row.
        RawDb raw(DbFile());
        EXPECT_EQ(11, raw.Number("SELECT count(*) FROM pragma_table_info('players')"));
        EXPECT_EQ("password_hash", raw.Text("SELECT name FROM pragma_table_info('players') WHERE cid = 10"));
        EXPECT_EQ(2, raw.Number("SELECT count(*) FROM players WHERE password_hash IS NULL"));
        veteran.id =
            static_cast<int>(raw.Number("SELECT id FROM players WHERE nickname = CAST('veteran' AS BLOB)"));
    }

    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    PlayerRecord out;
    ASSERT_EQ(LoginResult::Ok, store.Login("veteran", "first", 0, out)) << store.LastError();
    ExpectSameRecord(veteran, out);
    out = Sentinel();
    EXPECT_EQ(LoginResult::WrongPassword, store.Login("veteran", "second", 0, out));
    ExpectSameRecord(Sentinel(), out);
    EXPECT_EQ(LoginResult::Created, store.Login("newcomer", "pw", 0, out)) << store.LastError();
    store.Close();

    // The password holds across a restart, and the file now opens as one of this version.
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    EXPECT_EQ(LoginResult::WrongPassword, store.Login("veteran", "second", 0, out));
    EXPECT_EQ(LoginResult::Ok, store.Login("veteran", "first", 0, out)) << store.LastError();
    ExpectSameRecord(veteran, out);
    store.Close();
    RawDb raw(DbFile());
    EXPECT_EQ(0u, raw.Text("SELECT password_hash FROM players WHERE nickname = CAST('veteran' AS BLOB)")
                      .rfind("$argon2", 0));
    EXPECT_EQ(1, raw.Number("SELECT count(*) FROM players WHERE password_hash IS NULL"));
}

TEST_F(PlayerStoreCLTest, HashesNotMadeByTheStoreAreErrorsNotWrongPasswords)
{
    PlayerStoreCL store;
    PlayerRecord zhang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 0, &zhang}}));
    store.Close();
    // What someone editing the file by hand might leave in the column.
    const char* const hashes[] = {"'secret'", "X'2461726776'", "42", "''"};
    for (const char* hash : hashes)
    {
        SCOPED_TRACE(hash);
        {
            RawDb raw(DbFile());
            raw.Exec(std::string("UPDATE players SET password_hash = ") + hash);
        }
        ASSERT_NO_FATAL_FAILURE(OpenFast(store));
        PlayerRecord out = Sentinel();
        EXPECT_EQ(LoginResult::Error, store.Login("张三", kPassword, 0, out));
        EXPECT_NE(std::string::npos, store.LastError().find("damaged")) << store.LastError();
        ExpectSameRecord(Sentinel(), out);
        store.Close();
    }
}

TEST_F(PlayerStoreCLTest, OpenLeavesFilesOfOtherProgramsUntouched)
{
    const auto makeSqlite = [](std::vector<std::string> statements)
    {
        return [statements](const std::filesystem::path& file)
        {
            RawDb raw(file);
            for (const std::string& sql : statements)
                raw.Exec(sql);
        };
    };
    const auto writeBytes = [](std::string bytes)
    {
        return [bytes](const std::filesystem::path& file)
        {
            std::ofstream out(file, std::ios::binary);
            out << bytes;
        };
    };
    std::string noise(3 * 4096 + 17, '\0');
    std::mt19937 random(7);
    for (char& c : noise)
        c = static_cast<char>(random());

    struct Case
    {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
    };
    const Case cases[] = {
        {"random bytes", writeBytes(noise)},
        {"short text", writeBytes("[players]\nzhang=1\n")},
        {"database of another program", makeSqlite({"CREATE TABLE accounts (name TEXT, balance INTEGER)",
                                                    "INSERT INTO accounts VALUES ('x', 1)"})},
        {"players table with other columns", makeSqlite({"CREATE TABLE players (name TEXT, level INTEGER)",
                                                         "INSERT INTO players VALUES ('x', 3)"})},
        {"players table with the same columns but no mark of this store",
         makeSqlite({kTableWithoutPasswords})},
        {"marked players table with another last column",
         makeSqlite({"CREATE TABLE players (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "nickname BLOB UNIQUE NOT NULL, sex INTEGER, score INTEGER, coins INTEGER, "
                     "wins INTEGER, losses INTEGER, draws INTEGER, games INTEGER, escapes INTEGER, "
                     "password TEXT)",
                     kStoreMark})},
        {"marked players table missing a column",
         makeSqlite({"CREATE TABLE players (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "nickname BLOB UNIQUE NOT NULL, sex INTEGER, score INTEGER, coins INTEGER, "
                     "wins INTEGER, losses INTEGER, draws INTEGER, games INTEGER)",
                     kStoreMark})},
        {"empty database marked by another program", makeSqlite({"PRAGMA user_version = 7"})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        const std::filesystem::path file = folder.Path() / "other.db";
        c.make(file);
        const std::string before = folder.Read("other.db");
        ASSERT_FALSE(before.empty());

        PlayerStoreCL store;
        EXPECT_FALSE(store.Open(file.string()));
        EXPECT_FALSE(store.IsOpen());
        EXPECT_NE(std::string::npos, store.LastError().find("other.db")) << store.LastError();
        EXPECT_EQ(before, folder.Read("other.db"));
        EXPECT_EQ(std::set<std::string>{"other.db"}, FilesIn(folder.Path()));
        PlayerRecord record;
        EXPECT_EQ(LoginResult::Error, store.Login("zhang", "pw", 0, record));
        EXPECT_EQ("store is not open", store.LastError());
    }
}

TEST_F(PlayerStoreCLTest, OpenFailsWhereNoFileCanBeMade)
{
    PlayerStoreCL store;
    EXPECT_FALSE(store.Open(""));
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_FALSE(store.Open((m_folder.Path() / "missing" / "players.db").string()));
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "missing"));
}

TEST_F(PlayerStoreCLTest, WriteProtectedFileIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not stop the superuser";
    PlayerStoreCL store;
    PlayerRecord zhang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 0, &zhang}}));
    store.Close();
    const std::string before = m_folder.Read("players.db");
    std::filesystem::permissions(DbFile(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(store.Open(DbPath()));
    EXPECT_NE(std::string::npos, store.LastError().find("read-only")) << store.LastError();
    EXPECT_EQ(before, m_folder.Read("players.db"));
    std::filesystem::permissions(DbFile(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_P(PlayerStoreEngineTest, ClosedStoreRefusesEveryCall)
{
    PlayerStoreCL neverOpened;
    PlayerStoreCL closed;
    PlayerRecord existing;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(closed, {{"张三", 0, &existing}}));
    closed.Close();
    closed.Close();

    for (PlayerStoreCL* store : {&neverOpened, &closed})
    {
        PlayerRecord record = Sentinel();
        EXPECT_FALSE(store->IsOpen());
        EXPECT_EQ(LoginResult::Error, store->Login("张三", kPassword, 0, record));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Load(existing.id, record));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Apply({{existing.id, 1, 1, 1, 0, 0, 1, 0}}));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Apply({}));
        EXPECT_EQ("store is not open", store->LastError());
        ExpectSameRecord(Sentinel(), record);
    }
}

TEST_P(PlayerStoreEngineTest, RefusesBadNicknamesPasswordsSexesAndIds)
{
    PlayerStoreCL store;
    ASSERT_NO_FATAL_FAILURE(OpenFast(store));
    std::string everyByte;
    for (int byte = 0; byte < 255; ++byte)
        everyByte += static_cast<char>(byte);
    struct Case
    {
        std::string nickname;
        std::string password;
        int sex;
        LoginResult expected;
    };
    const Case cases[] = {
        {"", "pw", 0, LoginResult::Refused},
        {std::string(256, 'x'), "pw", 0, LoginResult::Refused},
        {std::string(4000, 'y'), "pw", 1, LoginResult::Refused},
        // Control bytes could forge log lines.
        {"line\nbreak", "pw", 0, LoginResult::Refused},
        {"carriage\rreturn", "pw", 0, LoginResult::Refused},
        {"\x1B[31mred", "pw", 0, LoginResult::Refused},
        {"tab\there", "pw", 0, LoginResult::Refused},
        {std::string("nul\0", 4), "pw", 0, LoginResult::Refused},
        {"unit\x1F", "pw", 0, LoginResult::Refused},
        {"delete\x7F", "pw", 0, LoginResult::Refused},
        {"zhang", "", 0, LoginResult::Refused},
        {"zhang", std::string(256, 'p'), 0, LoginResult::Refused},
        {"zhang", "pw", 2, LoginResult::Refused},
        {"zhang", "pw", -1, LoginResult::Refused},
        {std::string(255, 'x'), "pw", 1, LoginResult::Created},
        {"张", everyByte, 0, LoginResult::Created},
        {"\x80 ~\xFF", std::string(1, '\0'), 0, LoginResult::Created},
        // A known nickname is checked like a new one before its password is.
        {"张", "", 0, LoginResult::Refused},
        {"张", "pw", 3, LoginResult::Refused},
    };
    long long created = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.nickname.size() << "-byte nickname, " << c.password.size()
                                        << "-byte password, sex " << c.sex);
        PlayerRecord record = Sentinel();
        EXPECT_EQ(c.expected, store.Login(c.nickname, c.password, c.sex, record)) << store.LastError();
        if (c.expected == LoginResult::Created)
        {
            ++created;
            EXPECT_EQ(c.nickname, record.nickname);
            EXPECT_EQ(LoginResult::Ok, store.Login(c.nickname, c.password, c.sex, record))
                << store.LastError();
            continue;
        }
        ExpectSameRecord(Sentinel(), record);
        EXPECT_FALSE(store.LastError().empty());
        // The reason goes to the log as it is: it must not carry the nickname's control bytes.
        for (char byte : store.LastError())
            EXPECT_FALSE(static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) << store.LastError();
    }

    PlayerRecord record = Sentinel();
    for (int id : {0, -1, 12345})
    {
        EXPECT_FALSE(store.Load(id, record)) << id;
        EXPECT_FALSE(store.LastError().empty());
    }
    ExpectSameRecord(Sentinel(), record);
    store.Close();
    EXPECT_EQ(created, Number("SELECT count(*) FROM players"));
}

// A player is marked at one server at a time: another server gets him only once the first lets
// him go or has not said for too long that it is alive.
TEST_P(PlayerStoreEngineTest, APlayerIsMarkedAtOneServerAtATime)
{
    PlayerStoreCL store;
    PlayerRecord zhang;
    PlayerRecord wang;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 0, &zhang}, {"wang", 0, &wang}}));
    EXPECT_EQ(1, store.Claim(zhang.id, "server-a", 30)) << store.LastError();
    EXPECT_EQ(0, store.Claim(zhang.id, "server-b", 30));
    EXPECT_EQ(1, store.Claim(zhang.id, "server-a", 30)) << "a server may mark its own player again";
    EXPECT_EQ(1, store.Claim(wang.id, "server-b", 30)) << store.LastError();
    ASSERT_TRUE(store.Renew("server-a")) << store.LastError();

    // Only the server that has him lets him go.
    ASSERT_TRUE(store.Release(zhang.id, "server-b")) << store.LastError();
    EXPECT_EQ(0, store.Claim(zhang.id, "server-b", 30));
    ASSERT_TRUE(store.Release(zhang.id, "server-a")) << store.LastError();
    EXPECT_EQ(1, store.Claim(zhang.id, "server-b", 30)) << store.LastError();

    // A mark older than the stale time (here: any mark) no longer holds him.
    EXPECT_EQ(1, store.Claim(wang.id, "server-c", -1)) << store.LastError();
    // A server that stops lets all its players go at once.
    ASSERT_TRUE(store.Release(0, "server-b")) << store.LastError();
    EXPECT_EQ(1, store.Claim(zhang.id, "server-a", 30)) << store.LastError();
    EXPECT_EQ(0, store.Claim(wang.id, "server-a", 30));
    store.Close();
    EXPECT_EQ(2, Number("SELECT count(*) FROM presence"));
}

// Two servers on one shared database save hands of the same players at the same time, in
// opposite orders: every change counts, and neither waits for the other for ever.
TEST_P(PlayerStoreEngineTest, TwoServersSavingTheSamePlayersLoseNothing)
{
    if (IsSqlite())
        GTEST_SKIP() << "an SQLite file is held by one server";
    PlayerStoreCL first;
    PlayerStoreCL second;
    PlayerRecord a;
    PlayerRecord b;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(first, {{"甲", 0, &a}, {"乙", 1, &b}}));
    ASSERT_NO_FATAL_FAILURE(OpenFast(second));
    constexpr int kHands = 150;
    auto play = [&](PlayerStoreCL& store, bool reversed, std::string& error)
    {
        for (int hand = 0; hand < kHands && error.empty(); ++hand)
        {
            std::vector<PlayerChange> changes = {{a.id, 1, 2, 1, 0, 0, 1, 0}, {b.id, -1, -2, 0, 1, 0, 1, 0}};
            if (reversed)
                std::swap(changes[0], changes[1]);
            if (!store.Apply(changes))
                error = store.LastError();
        }
    };
    std::string firstError;
    std::string secondError;
    std::thread other([&] { play(second, true, secondError); });
    play(first, false, firstError);
    other.join();
    EXPECT_EQ("", firstError);
    EXPECT_EQ("", secondError);
    ExpectStored(first, With(a, 2 * kHands, 1000 + 4 * kHands, 2 * kHands, 0, 0, 2 * kHands, 0));
    ExpectStored(second, With(b, -2 * kHands, 1000 - 4 * kHands, 0, 2 * kHands, 0, 2 * kHands, 0));
}
