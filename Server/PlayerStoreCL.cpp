#include "PlayerStoreCL.h"

#include <climits>
#include <cstring>
#include <utility>

#include <sodium.h>

namespace
{
// The fields of a PlayerChange after its id.
constexpr int kChangedCount = 7;

bool IsValidSex(int sex)
{
    return sex == 0 || sex == 1;
}

std::string Hex(unsigned char byte)
{
    const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0x0F];
}

// Why a nickname cannot be used, or empty when it can. Control bytes are refused because
// nicknames go into log lines, where a line break or an escape sequence could forge entries;
// bytes from 0x80 up are GBK and allowed.
std::string NicknameProblem(const std::string& nickname)
{
    if (nickname.empty())
        return "empty nickname";
    if (nickname.size() > PlayerStoreCL::kMaxNicknameBytes)
        return "nickname longer than " + std::to_string(PlayerStoreCL::kMaxNicknameBytes) + " bytes";
    for (std::size_t i = 0; i < nickname.size(); ++i)
    {
        unsigned char byte = static_cast<unsigned char>(nickname[i]);
        if (byte < 0x20 || byte == 0x7F)
            return "nickname contains the control byte " + Hex(byte) + " at offset " + std::to_string(i);
    }
    return {};
}

std::string PasswordProblem(const std::string& password)
{
    if (password.empty())
        return "empty password";
    if (password.size() > PlayerStoreCL::kMaxPasswordBytes)
        return "password longer than " + std::to_string(PlayerStoreCL::kMaxPasswordBytes) + " bytes";
    return {};
}
} // namespace

PlayerStoreCL::PlayerStoreCL()
    : m_opsLimit(crypto_pwhash_OPSLIMIT_INTERACTIVE), m_memLimit(crypto_pwhash_MEMLIMIT_INTERACTIVE)
{
}

PlayerStoreCL::~PlayerStoreCL()
{
    Close();
}

bool PlayerStoreCL::Fail(const std::string& what)
{
    m_lastError = what;
    return false;
}

bool PlayerStoreCL::Open(const std::string& target)
{
    Close();
    if (target.empty())
        return Fail("no database file given");
    if (target.find('\0') != std::string::npos)
        return Fail("the database file name contains a NUL byte");
    if (sodium_init() < 0)
        return Fail("the password hashing library cannot start");
    std::unique_ptr<PlayerDb> db = MakePlayerDb(target);
    if (db == nullptr)
        return Fail("this program was built without PostgreSQL; give an SQLite file instead");
    if (!db->Open(target))
        return Fail(db->LastError());
    m_db = std::move(db);
    m_lastError.clear();
    return true;
}

void PlayerStoreCL::Close()
{
    m_db.reset();
}

bool PlayerStoreCL::IsOpen() const
{
    return m_db != nullptr && m_db->IsOpen();
}

bool PlayerStoreCL::SetPasswordCost(unsigned long long opsLimit, std::size_t memLimit)
{
    if (opsLimit < crypto_pwhash_OPSLIMIT_MIN || opsLimit > crypto_pwhash_OPSLIMIT_MAX)
        return Fail("password cost: " + std::to_string(opsLimit) + " operations is outside " +
                    std::to_string(crypto_pwhash_OPSLIMIT_MIN) + " to " +
                    std::to_string(crypto_pwhash_OPSLIMIT_MAX));
    if (memLimit < crypto_pwhash_MEMLIMIT_MIN || memLimit > crypto_pwhash_MEMLIMIT_MAX)
        return Fail("password cost: " + std::to_string(memLimit) + " bytes of memory is outside " +
                    std::to_string(crypto_pwhash_MEMLIMIT_MIN) + " to " +
                    std::to_string(crypto_pwhash_MEMLIMIT_MAX));
    m_opsLimit = opsLimit;
    m_memLimit = memLimit;
    return true;
}

int PlayerStoreCL::FindByNickname(const std::string& nickname, StoredPlayer& out)
{
    const int found = m_db->FindByNickname(nickname, out);
    if (found < 0)
        Fail(m_db->LastError());
    return found;
}

bool PlayerStoreCL::MakeHash(const std::string& password, std::string& hash)
{
    // The salt is random for every hash, so equal passwords never show as equal hashes.
    char buffer[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(buffer, password.data(), password.size(), m_opsLimit, m_memLimit) != 0)
        return Fail("cannot hash the password: not enough memory for a cost of " +
                    std::to_string(m_memLimit) + " bytes");
    hash.assign(buffer);
    return true;
}

LoginResult PlayerStoreCL::CheckPassword(const StoredPlayer& player, const std::string& password,
                                         PlayerRecord& out)
{
    if (!player.hasHash)
    {
        // The record was made before passwords existed: the first password it is given is its
        // own from now on.
        std::string hash;
        if (!MakeHash(password, hash))
            return LoginResult::Error;
        const int set = m_db->SetHashIfMissing(player.record.id, hash);
        if (set < 0)
        {
            Fail(m_db->LastError());
            return LoginResult::Error;
        }
        if (set != 1)
        {
            Fail("player " + std::to_string(player.record.id) + " changed while its password was set");
            return LoginResult::Error;
        }
        out = player.record;
        return LoginResult::Ok;
    }

    // The hash string carries its own salt and cost, so the check works whatever cost is set now.
    if (crypto_pwhash_str_verify(player.hash.c_str(), password.data(), password.size()) != 0)
    {
        Fail("wrong password for player " + std::to_string(player.record.id));
        return LoginResult::WrongPassword;
    }
    out = player.record;
    return LoginResult::Ok;
}

LoginResult PlayerStoreCL::Login(const std::string& nickname, const std::string& password, int sex,
                                 PlayerRecord& out, LoginMode mode, bool trusted)
{
    if (!IsOpen())
    {
        Fail(PlayerDbText::kNotOpen);
        return LoginResult::Error;
    }
    std::string problem = NicknameProblem(nickname);
    if (problem.empty())
        problem = PasswordProblem(password);
    if (problem.empty() && !IsValidSex(sex))
        problem = "sex must be 0 (male) or 1 (female)";
    if (!problem.empty())
    {
        Fail(problem);
        return LoginResult::Refused;
    }

    // Look first, so that the usual login of a known player writes nothing.
    StoredPlayer player;
    int found = FindByNickname(nickname, player);
    if (found < 0)
        return LoginResult::Error;
    if (found > 0 && mode == LoginMode::Create)
    {
        Fail("the nickname is taken");
        return LoginResult::Refused;
    }
    if (found == 0 && mode == LoginMode::LogIn)
    {
        Fail("no player has this nickname");
        return LoginResult::Refused;
    }
    if (found > 0 && trusted)
    {
        out = player.record;
        return LoginResult::Ok;
    }
    if (found > 0)
        return CheckPassword(player, password, out);

    std::string hash;
    if (!MakeHash(password, hash))
        return LoginResult::Error;
    // Should another server add this nickname between the look and the insert, its row is kept
    // and the password decides, as for any existing record.
    const int inserted = m_db->Insert(nickname, sex, kStartingCoins, hash);
    if (inserted < 0)
    {
        Fail(m_db->LastError());
        return LoginResult::Error;
    }

    found = FindByNickname(nickname, player);
    if (found < 0)
        return LoginResult::Error;
    if (found == 0)
    {
        Fail("the new player record has disappeared");
        return LoginResult::Error;
    }
    if (inserted == 0)
    {
        if (mode == LoginMode::Create)
        {
            Fail("the nickname is taken");
            return LoginResult::Refused;
        }
        return CheckPassword(player, password, out);
    }
    out = player.record;
    return LoginResult::Created;
}

bool PlayerStoreCL::Load(int id, PlayerRecord& out)
{
    if (!IsOpen())
        return Fail(PlayerDbText::kNotOpen);
    return m_db->Load(id, out) || Fail(m_db->LastError());
}

bool PlayerStoreCL::Apply(const std::vector<PlayerChange>& changes)
{
    if (!IsOpen())
        return Fail(PlayerDbText::kNotOpen);
    if (changes.empty())
        return true;
    return m_db->Apply(changes) || Fail(m_db->LastError());
}

int PlayerStoreCL::Claim(int playerId, const std::string& server, int staleSeconds)
{
    if (!IsOpen())
        return Fail(PlayerDbText::kNotOpen) ? 0 : -1;
    const int claimed = m_db->Claim(playerId, server, staleSeconds);
    if (claimed < 0)
        Fail(m_db->LastError());
    return claimed;
}

bool PlayerStoreCL::Renew(const std::string& server)
{
    if (!IsOpen())
        return Fail(PlayerDbText::kNotOpen);
    return m_db->Renew(server) || Fail(m_db->LastError());
}

bool PlayerStoreCL::Release(int playerId, const std::string& server)
{
    if (!IsOpen())
        return Fail(PlayerDbText::kNotOpen);
    return m_db->Release(playerId, server) || Fail(m_db->LastError());
}

PlayerRecord PlayerDbText::RecordOf(const int (&values)[kRecordColumns], std::string nickname)
{
    PlayerRecord record;
    record.id = values[0];
    record.nickname = std::move(nickname);
    record.sex = values[2];
    record.score = values[3];
    record.coins = values[4];
    record.wins = values[5];
    record.losses = values[6];
    record.draws = values[7];
    record.games = values[8];
    record.escapes = values[9];
    return record;
}

bool PlayerDbText::IsStoreHash(const std::string& hash)
{
    static const char kPrefix[] = "$argon2";
    return hash.size() < crypto_pwhash_STRBYTES && hash.compare(0, std::strlen(kPrefix), kPrefix) == 0 &&
           hash.find('\0') == std::string::npos;
}

std::unique_ptr<PlayerDb> MakePlayerDb(const std::string& target)
{
    return IsPostgresTarget(target) ? MakePostgresPlayerDb() : MakeSqlitePlayerDb();
}

bool IsPostgresTarget(const std::string& target)
{
    return target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0;
}

bool PlayerStoreCL::ApplyTo(const PlayerChange& change, PlayerRecord& record)
{
    if (change.id != record.id)
        return false;
    int* const fields[] = {&record.score, &record.coins, &record.wins,   &record.losses,
                           &record.draws, &record.games, &record.escapes};
    const int adds[] = {change.score, change.coins, change.wins,   change.losses,
                        change.draws, change.games, change.escapes};
    int sums[kChangedCount];
    for (int index = 0; index < kChangedCount; ++index)
    {
        if (__builtin_add_overflow(*fields[index], adds[index], &sums[index]))
            return false;
    }
    for (int index = 0; index < kChangedCount; ++index)
        *fields[index] = sums[index];
    return true;
}
