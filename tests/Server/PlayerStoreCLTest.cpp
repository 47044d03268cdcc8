#include "PlayerStoreCL.h"
#include "TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <thread>

namespace
{
// A direct connection to a database file, for building files of other programs and for looking
// at what the store wrote without going through it.
class RawDb
{
public:
    explicit RawDb(const std::filesystem::path& path)
    {
        if (sqlite3_open(path.string().c_str(), &m_db) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~RawDb() { sqlite3_close(m_db); }

    void Exec(const std::string& sql)
    {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << (message != nullptr ? message : "?");
        sqlite3_free(message);
    }
    long long Number(const std::string& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        long long value = -1;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        else
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
        return value;
    }

private:
    sqlite3* m_db = nullptr;
};

std::set<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class PlayerStoreCLTest : public ::testing::Test
{
protected:
    std::filesystem::path DbFile() const { return m_folder.Path() / "players.db"; }
    std::string DbPath() const { return DbFile().string(); }

    struct NewPlayer
    {
        const char* nickname;
        int sex;
        PlayerRecord* record;
    };
    // Opens `store` on this test's file and has it create each new player in turn.
    void OpenWithPlayers(PlayerStoreCL& store, std::initializer_list<NewPlayer> players)
    {
        ASSERT_TRUE(store.Open(DbPath())) << store.LastError();
        for (const NewPlayer& player : players)
            ASSERT_TRUE(store.LoadOrCreate(player.nickname, player.sex, *player.record)) << store.LastError();
    }

    TestFolder m_folder;
};

PlayerRecord Played(PlayerRecord record, int score, int coins)
{
    record.score = score;
    record.coins = coins;
    record.wins += 1;
    record.losses += 2;
    record.draws += 3;
    record.games += 6;
    record.escapes += 4;
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
} // namespace

TEST_F(PlayerStoreCLTest, NewNicknamesGetFreshRecordsWithDistinctStableIds)
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
        "\x01\x7F\x80\xFF\xFE'%_\\\x1A",
    };
    PlayerStoreCL store;
    ASSERT_TRUE(store.Open(DbPath())) << store.LastError();

    std::vector<PlayerRecord> created;
    std::set<int> ids;
    for (std::size_t i = 0; i < nicknames.size(); ++i)
    {
        PlayerRecord record;
        ASSERT_TRUE(store.LoadOrCreate(nicknames[i], static_cast<int>(i % 2), record)) << store.LastError();
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
        ASSERT_TRUE(store.LoadOrCreate(expected.nickname, 1 - expected.sex, again)) << store.LastError();
        ExpectSameRecord(expected, again);
        PlayerRecord byId;
        ASSERT_TRUE(store.Load(expected.id, byId)) << store.LastError();
        ExpectSameRecord(expected, byId);
    }
    RawDb raw(DbFile());
    EXPECT_EQ(static_cast<long long>(nicknames.size()), raw.Number("SELECT count(*) FROM players"));
}

TEST_F(PlayerStoreCLTest, RecordsSurviveARestart)
{
    PlayerRecord zhang;
    PlayerRecord quote;
    {
        PlayerStoreCL store;
        ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"张三", 1, &zhang}, {"it's me", 0, &quote}}));
        zhang = Played(zhang, -30, 970);
        quote = Played(quote, 45, 1045);
        ASSERT_TRUE(store.Save({zhang, quote})) << store.LastError();
        store.Close();
        EXPECT_FALSE(store.IsOpen());
    }

    PlayerStoreCL store;
    ASSERT_TRUE(store.Open(DbPath())) << store.LastError();
    PlayerRecord loaded;
    ASSERT_TRUE(store.LoadOrCreate("张三", 0, loaded)) << store.LastError();
    ExpectSameRecord(zhang, loaded);
    ASSERT_TRUE(store.Load(quote.id, loaded)) << store.LastError();
    ExpectSameRecord(quote, loaded);

    PlayerRecord newcomer;
    ASSERT_TRUE(store.LoadOrCreate("newcomer", 0, newcomer));
    EXPECT_NE(zhang.id, newcomer.id);
    EXPECT_NE(quote.id, newcomer.id);
}

TEST_F(PlayerStoreCLTest, IdsOfRemovedPlayersAreNotGivenAgain)
{
    PlayerStoreCL store;
    PlayerRecord first;
    PlayerRecord last;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"first", 0, &first}, {"last", 0, &last}}));
    {
        // An operator removes the newest player by hand.
        RawDb raw(DbFile());
        raw.Exec("DELETE FROM players WHERE nickname = CAST('last' AS BLOB)");
        ASSERT_EQ(1, raw.Number("SELECT count(*) FROM players"));
    }
    PlayerRecord next;
    ASSERT_TRUE(store.LoadOrCreate("next", 0, next)) << store.LastError();
    EXPECT_GT(next.id, last.id);
    EXPECT_FALSE(store.Load(last.id, next));
}

TEST_F(PlayerStoreCLTest, SaveWritesAllRecordsOrNone)
{
    PlayerStoreCL store;
    PlayerRecord a;
    PlayerRecord b;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(store, {{"甲", 0, &a}, {"乙", 1, &b}}));
    const PlayerRecord aPlayed = Played(a, 10, 1100);
    const PlayerRecord bPlayed = Played(b, -10, 900);

    PlayerRecord missing = aPlayed;
    missing.id = b.id + 100;
    PlayerRecord zeroId = aPlayed;
    zeroId.id = 0;
    PlayerRecord badSex = bPlayed;
    badSex.sex = 2;
    struct Case
    {
        const char* name;
        std::vector<PlayerRecord> batch;
    };
    const Case cases[] = {
        {"unknown id in the middle", {aPlayed, missing, bPlayed}},
        {"unknown id last", {aPlayed, bPlayed, missing}},
        {"id zero", {aPlayed, zeroId}},
        {"sex out of range", {aPlayed, badSex}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(store.Save(c.batch));
        EXPECT_FALSE(store.LastError().empty());
        PlayerRecord loaded;
        ASSERT_TRUE(store.Load(a.id, loaded)) << store.LastError();
        ExpectSameRecord(a, loaded);
        ASSERT_TRUE(store.Load(b.id, loaded)) << store.LastError();
        ExpectSameRecord(b, loaded);
    }

    // The store is still usable after the failed batches, and a good batch lands whole.
    ASSERT_TRUE(store.Save({aPlayed, bPlayed})) << store.LastError();
    PlayerRecord loaded;
    ASSERT_TRUE(store.Load(a.id, loaded));
    ExpectSameRecord(aPlayed, loaded);
    ASSERT_TRUE(store.Load(b.id, loaded));
    ExpectSameRecord(bPlayed, loaded);
}

TEST_F(PlayerStoreCLTest, TwoStoresShareOneFileAndWaitForEachOther)
{
    PlayerStoreCL first;
    PlayerStoreCL second;
    ASSERT_TRUE(first.Open(DbPath())) << first.LastError();
    ASSERT_TRUE(second.Open(DbPath())) << second.LastError();

    PlayerRecord mine;
    PlayerRecord theirs;
    ASSERT_TRUE(first.LoadOrCreate("张三", 1, mine));
    ASSERT_TRUE(second.LoadOrCreate("张三", 0, theirs));
    ExpectSameRecord(mine, theirs);

    // Another process holds the write lock for a moment; the save waits for it instead of
    // failing at once.
    RawDb other(DbFile());
    other.Exec("BEGIN IMMEDIATE");
    other.Exec("UPDATE players SET score = 5");
    std::thread release([&other]
                        {
                            std::this_thread::sleep_for(std::chrono::milliseconds(300));
                            other.Exec("COMMIT");
                        });
    const PlayerRecord played = Played(mine, 77, 1234);
    const bool saved = second.Save({played});
    release.join();
    ASSERT_TRUE(saved) << second.LastError();

    PlayerRecord loaded;
    ASSERT_TRUE(first.Load(mine.id, loaded)) << first.LastError();
    ExpectSameRecord(played, loaded);
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
        {"database of another program",
         makeSqlite({"CREATE TABLE accounts (name TEXT, balance INTEGER)",
                     "INSERT INTO accounts VALUES ('x', 1)"})},
        {"players table with other columns",
         makeSqlite({"CREATE TABLE players (name TEXT, level INTEGER)",
                     "INSERT INTO players VALUES ('x', 3)"})},
        {"players table with the same columns but no mark of this store",
         makeSqlite({"CREATE TABLE players (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "nickname BLOB UNIQUE NOT NULL, sex INTEGER, score INTEGER, coins INTEGER, "
                     "wins INTEGER, losses INTEGER, draws INTEGER, games INTEGER, escapes INTEGER)"})},
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
        EXPECT_FALSE(store.LoadOrCreate("zhang", 0, record));
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

TEST_F(PlayerStoreCLTest, ClosedStoreRefusesEveryCall)
{
    PlayerStoreCL neverOpened;
    PlayerStoreCL closed;
    PlayerRecord existing;
    ASSERT_NO_FATAL_FAILURE(OpenWithPlayers(closed, {{"张三", 0, &existing}}));
    closed.Close();
    closed.Close();

    for (PlayerStoreCL* store : {&neverOpened, &closed})
    {
        PlayerRecord record;
        record.nickname = "untouched";
        EXPECT_FALSE(store->IsOpen());
        EXPECT_FALSE(store->LoadOrCreate("张三", 0, record));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Load(existing.id, record));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Save({existing}));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_FALSE(store->Save({}));
        EXPECT_EQ("store is not open", store->LastError());
        EXPECT_EQ("untouched", record.nickname);
    }
}

TEST_F(PlayerStoreCLTest, RefusesBadNicknamesSexesAndIds)
{
    PlayerStoreCL store;
    ASSERT_TRUE(store.Open(DbPath())) << store.LastError();
    struct Case
    {
        std::string nickname;
        int sex;
        bool accepted;
    };
    const Case cases[] = {
        {"", 0, false},
        {std::string(256, 'x'), 0, false},
        {std::string(4000, 'y'), 1, false},
        {"zhang", 2, false},
        {"zhang", -1, false},
        {std::string(255, 'x'), 1, true},
        {"张", 0, true},
    };
    long long accepted = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.nickname.size() << " bytes, sex " << c.sex);
        PlayerRecord record;
        EXPECT_EQ(c.accepted, store.LoadOrCreate(c.nickname, c.sex, record)) << store.LastError();
        if (c.accepted)
        {
            ++accepted;
            EXPECT_EQ(c.nickname, record.nickname);
        }
        else
        {
            EXPECT_FALSE(store.LastError().empty());
            EXPECT_EQ(0, record.id);
        }
    }
    RawDb raw(DbFile());
    EXPECT_EQ(accepted, raw.Number("SELECT count(*) FROM players"));

    PlayerRecord record;
    for (int id : {0, -1, 12345})
    {
        EXPECT_FALSE(store.Load(id, record)) << id;
        EXPECT_FALSE(store.LastError().empty());
    }
    EXPECT_EQ(0, record.id);
}
