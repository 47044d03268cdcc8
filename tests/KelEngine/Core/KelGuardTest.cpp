#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "KelGuard.h"
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
} // namespace

TEST(KelGuard, FailureIsLoggedFlushedAndRethrown)
{
    TestFolder folder(true);
    KelLogCL log;
    GuardedTableCL table;
    EXPECT_EQ(table.Deal(false), 25);
    EXPECT_THROW(table.Deal(true), std::runtime_error);
    // The entry is on disk while the log is still open.
    std::string text = folder.Read("KelLogFile.txt");
    EXPECT_NE(text.find("-- File:tests/KelEngine/Core/KelGuardTest.cpp  Line:"), std::string::npos) << text;
    EXPECT_NE(text.find("  Function:{anonymous}::GuardedTableCL::Deal\n"), std::string::npos) << text;
}

TEST(KelGuard, MessageEntryReturnsItsFailureValue)
{
    TestFolder folder(true);
    KelLogCL log;
    GuardedTableCL table;
    EXPECT_TRUE(table.OnMessage(false));
    EXPECT_FALSE(table.OnMessage(true));
    EXPECT_NE(folder.Read("KelLogFile.txt").find("GuardedTableCL::OnMessage\n"), std::string::npos);
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
        {"virtual void KelUIManagerCL::PostMessage(HWND, UINT, WPARAM, LPARAM)", "KelUIManagerCL::PostMessage"},
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
