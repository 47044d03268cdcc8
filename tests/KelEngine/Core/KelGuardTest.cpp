#include "KelGuard.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "KelLogCL.h"
#include "TestFolder.h"

namespace
{
class GuardedTableCL
{
public:
    int Deal(bool fail)
    {
        KEL_TRY
        if (fail)
            throw std::runtime_error("no cards");
        return 25;
        KEL_CATCH
    }

    bool OnMessage(bool fail)
    {
        KEL_TRY
        if (fail)
            throw 7;
        return true;
        KEL_CATCH_RETURN(false)
    }
};

// The log writes whole buffers only, so that what reaches the file before the log is closed
// is what the guard flushed. An entry written before the failure shows that nothing else
// flushes it.
class KelGuardFlushTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_log.SetLineBuffered(false);
        ASSERT_TRUE(m_log.Open());
        m_log.Printf("before the failure");
        ASSERT_EQ(ReadLog().find("before the failure"), std::string::npos) << "the log is not buffered";
    }

    // Read through a descriptor of its own while the log is still open.
    std::string ReadLog() const { return m_folder.Read("KelLogFile.txt"); }

    TestFolder m_folder{true};
    KelLogCL m_log;
    GuardedTableCL m_table;
};
} // namespace

TEST_F(KelGuardFlushTest, FailureIsLoggedFlushedAndRethrown)
{
    EXPECT_EQ(m_table.Deal(false), 25);
    EXPECT_THROW(m_table.Deal(true), std::runtime_error);
    const std::string text = ReadLog();
    EXPECT_NE(text.find("-- before the failure\n"), std::string::npos) << text;
    EXPECT_NE(text.find("-- File:tests/KelEngine/Core/KelGuardTest.cpp  Line:"), std::string::npos) << text;
    EXPECT_NE(text.find("  Function:{anonymous}::GuardedTableCL::Deal\n"), std::string::npos) << text;
}

TEST_F(KelGuardFlushTest, MessageEntryReturnsItsFailureValueFlushed)
{
    EXPECT_TRUE(m_table.OnMessage(false));
    EXPECT_FALSE(m_table.OnMessage(true));
    const std::string text = ReadLog();
    EXPECT_NE(text.find("-- before the failure\n"), std::string::npos) << text;
    EXPECT_NE(text.find("GuardedTableCL::OnMessage\n"), std::string::npos) << text;
}

TEST(KelGuard, QualifiedNameFromSignature)
{
    struct Case
    {
        const char* signature;
        const char* name;
    };
    const Case cases[] = {
        {"bool KelLogCL::Open()", "KelLogCL::Open"},
        {"virtual void KelUIManagerCL::PostMessage(HWND, UINT, WPARAM, LPARAM)",
         "KelUIManagerCL::PostMessage"},
        {"const char* KelFontCL::GetName() const", "KelFontCL::GetName"},
        {"std::map<int, std::basic_string<char> > KelTexCL::Ids(int)", "KelTexCL::Ids"},
        {"KelScreenCL::KelScreenCL()", "KelScreenCL::KelScreenCL"},
        {"static LONG KelLogCL::Filter(EXCEPTION_POINTERS*)", "KelLogCL::Filter"},
        {"", ""},
    };
    for (const Case& c : cases)
    {
        char out[64];
        KelQualifiedName(c.signature, out, sizeof(out));
        EXPECT_STREQ(out, c.name) << c.signature;
    }
    char small[5];
    KelQualifiedName("bool KelLogCL::Open()", small, sizeof(small));
    EXPECT_STREQ(small, "KelL");
}
