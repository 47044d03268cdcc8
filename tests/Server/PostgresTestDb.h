#pragma once
// A fresh database on the throwaway PostgreSQL server that scripts/with-postgres starts (its
// address in KAVDOR_TEST_POSTGRES), dropped again at the end of the test. Without that server,
// Available() is false and the tests that need one are skipped.

#include <atomic>
#include <cstdlib>
#include <string>

#include <libpq-fe.h>
#include <unistd.h>

class PostgresTestDb
{
public:
    PostgresTestDb()
    {
        const char* base = std::getenv("KAVDOR_TEST_POSTGRES");
        if (base == nullptr || *base == '\0')
            return;
        m_base = base;
        static std::atomic<int> counter{0};
        m_name = "kavdor_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        m_error = Admin("DROP DATABASE IF EXISTS " + m_name);
        if (m_error.empty())
            m_error = Admin("CREATE DATABASE " + m_name);
        if (!m_error.empty())
            return;
        // The base ends with "/database"; the test's own database takes its place.
        const size_t slash = m_base.rfind('/');
        m_uri = m_base.substr(0, slash + 1) + m_name;
    }
    ~PostgresTestDb()
    {
        if (!m_uri.empty())
            Admin("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
    }
    PostgresTestDb(const PostgresTestDb&) = delete;
    PostgresTestDb& operator=(const PostgresTestDb&) = delete;

    static bool Available()
    {
        const char* base = std::getenv("KAVDOR_TEST_POSTGRES");
        return base != nullptr && *base != '\0';
    }
    // The connection URI of the test's database; empty when it could not be made.
    const std::string& Uri() const { return m_uri; }
    const std::string& Error() const { return m_error; }
    // Runs SQL in the test's database (to look at what the store wrote); empty when it worked,
    // else the error. `value` gets the first column of the first row, if any.
    std::string Run(const std::string& sql, std::string* value = nullptr) const
    {
        return Exec(m_uri, sql, value);
    }

private:
    std::string Admin(const std::string& sql) const { return Exec(m_base, sql, nullptr); }
    static std::string Exec(const std::string& uri, const std::string& sql, std::string* value)
    {
        PGconn* conn = PQconnectdb(uri.c_str());
        std::string error;
        if (PQstatus(conn) != CONNECTION_OK)
            error = PQerrorMessage(conn);
        else
        {
            PGresult* result = PQexec(conn, sql.c_str());
            const ExecStatusType status = PQresultStatus(result);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
                error = PQresultErrorMessage(result);
            else if (value != nullptr && PQntuples(result) > 0)
                *value = PQgetvalue(result, 0, 0);
            PQclear(result);
        }
        PQfinish(conn);
        return error;
    }

    std::string m_base;
    std::string m_name;
    std::string m_uri;
    std::string m_error;
};
