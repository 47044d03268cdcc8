#include "Win32/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

using namespace std::string_view_literals;

namespace
{
// u8"" literals stay UTF-8 whatever the execution character set, so they spell the UTF-8 side of
// a case while plain literals, compiled to GBK, spell the GBK side.
std::string Utf8(std::u8string_view text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

struct DecodeCase
{
    const char* what;
    std::string_view gbk;
    std::u32string_view unicode;
    std::u8string_view utf8;
};

// GBK input, including damaged input, and what each decoder must make of it.
const DecodeCase kDecodeCases[] = {
    {"empty", ""sv, U""sv, u8""sv},
    {"ascii", "Seat 3: ready!"sv, U"Seat 3: ready!"sv, u8"Seat 3: ready!"sv},
    {"chinese", "中文字体"sv, U"中文字体"sv, u8"中文字体"sv},
    {"mixed", "Hi 中文, 2 张牌!"sv, U"Hi 中文, 2 张牌!"sv, u8"Hi 中文, 2 张牌!"sv},
    {"euro single byte of code page 936", "\x80"sv, U"\u20AC"sv, u8"\u20AC"sv},
    {"trail byte that looks like a backslash", "\x81\x5C"sv, U"\u4E57"sv, u8"\u4E57"sv},
    {"embedded nul", "a\0中"sv, U"a\0中"sv, u8"a\0中"sv},
    {"invalid byte in the middle", "中\xFF文"sv, U"中文"sv, u8"中文"sv},
    {"run of invalid bytes", "\xFF\xFF" "A" "\xFF" "中"sv, U"A中"sv, u8"A中"sv},
    {"lead byte before a space drops only the lead byte", "\x81 x"sv, U" x"sv, u8" x"sv},
    {"lead byte before DEL drops only the lead byte", "\x81\x7F"sv, U"\x7F"sv, u8"\x7F"sv},
    {"truncated lead byte at the end", "中\xD6"sv, U"中"sv, u8"中"sv},
    {"lone lead byte", "\xD6"sv, U""sv, u8""sv},
};

struct EncodeCase
{
    const char* what;
    std::u32string_view unicode;
    std::string_view gbk;
};

// Unicode text, including characters GBK lacks, and its GBK form.
const EncodeCase kEncodeCases[] = {
    {"empty", U""sv, ""sv},
    {"ascii", U"Table 7, seat 3: ready!"sv, "Table 7, seat 3: ready!"sv},
    {"chinese", U"中文字体"sv, "中文字体"sv},
    {"euro", U"\u20AC5"sv, "\x80" "5"sv},
    {"emoji outside the basic plane", U"A\U0001F600B"sv, "AB"sv},
    {"hangul and thai", U"中\uAC00\u0E01文"sv, "中文"sv},
    {"embedded nul", U"a\0中"sv, "a\0中"sv},
};
} // namespace

TEST(TextTest, LiteralsOfTheTestsAreGbk)
{
    // Every other expectation here relies on the compiler turning narrow literals into GBK.
    EXPECT_EQ(std::string("中文"), std::string("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(Utf8(u8"中文"), std::string("\xE4\xB8\xAD\xE6\x96\x87"));
}

TEST(TextTest, DecodesGbkAndSkipsDamagedBytes)
{
    for (const DecodeCase& c : kDecodeCases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GbkToUnicode(c.gbk), std::u32string(c.unicode));
        EXPECT_EQ(GbkToUtf8(c.gbk), Utf8(c.utf8));
    }
}

TEST(TextTest, EncodesGbkAndSkipsWhatGbkLacks)
{
    for (const EncodeCase& c : kEncodeCases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UnicodeToGbk(c.unicode), std::string(c.gbk));
        EXPECT_EQ(Utf8ToGbk(GbkToUtf8(UnicodeToGbk(c.unicode))), std::string(c.gbk));
    }
}

TEST(TextTest, SkipsCodePointsThatAreNotCharacters)
{
    const std::u32string text = {U'中', 0xD800, U'A', 0x110000, 0xFFFFFFFF, U'文'};
    EXPECT_EQ(UnicodeToGbk(text), std::string("中A文"));
}

TEST(TextTest, SkipsDamagedUtf8)
{
    struct Case
    {
        const char* what;
        std::string_view utf8;
        std::string_view gbk;
    };
    const Case cases[] = {
        {"truncated character in the middle", "\xE4\xB8" "A"sv, "A"sv},
        {"lone continuation byte", "\x80\xE4\xB8\xAD"sv, "中"sv},
        {"byte that never occurs in UTF-8", "\xE4\xB8\xAD\xFF\xE6\x96\x87"sv, "中文"sv},
        {"truncated character at the end", "\xE4\xB8\xAD\xE6\x96"sv, "中"sv},
        {"overlong encoding of a slash", "a\xC0\xAF" "b"sv, "ab"sv},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf8ToGbk(c.utf8), std::string(c.gbk));
    }
}

TEST(TextTest, ConversionsDoNotCarryBytesOver)
{
    // The two halves of 中, given to separate calls, must not join up.
    EXPECT_EQ(GbkToUtf8("\xD6"), "");
    EXPECT_EQ(GbkToUtf8("\xD0"), "");
    EXPECT_EQ(GbkToUnicode("\xD6"), U"");
    EXPECT_EQ(GbkToUnicode("\xD0"), U"");
    EXPECT_EQ(Utf8ToGbk("\xE4\xB8"), "");
    EXPECT_EQ(Utf8ToGbk("\xAD"), "");
    EXPECT_EQ(GbkToUtf8("中"), Utf8(u8"中"));
}

TEST(TextTest, EveryGbkCharacterRoundTrips)
{
    // Walks the whole double-byte range: each pair that decodes to a character must encode back
    // to the same pair in both directions. The count tells the full GBK table (over 21000
    // characters) from the much smaller GB2312.
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
    {
        for (int trail = 0x40; trail <= 0xFE; ++trail)
        {
            if (trail == 0x7F)
            {
                continue;
            }
            const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u32string unicode = GbkToUnicode(pair);
            if (unicode == GbkToUnicode(pair.substr(1)))
            {
                // Not a character: the lead byte alone was dropped, by both decoders.
                EXPECT_EQ(GbkToUtf8(pair), GbkToUtf8(pair.substr(1))) << std::hex << lead << ' ' << trail;
                continue;
            }
            ++characters;
            ASSERT_EQ(unicode.size(), 1u) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(UnicodeToGbk(unicode), pair) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(Utf8ToGbk(GbkToUtf8(pair)), pair) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_GT(characters, 21000);
}

TEST(TextTest, ThreadsConvertIndependently)
{
    // Each thread converts its own text repeatedly; a converter shared between threads would
    // mix their states and garble some results.
    const std::string texts[] = {"中文字体 Test", "张牌\xFF" "A\xD6", "Hello \x80 world", "两人对局开始"};
    std::vector<std::string> expected;
    for (const std::string& text : texts)
    {
        expected.push_back(GbkToUtf8(text));
    }
    std::vector<int> mismatches(std::size(texts), 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < std::size(texts); ++i)
    {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 2000; ++n)
            {
                std::string utf8 = GbkToUtf8(texts[i]);
                if (utf8 != expected[i] || Utf8ToGbk(utf8) != Utf8ToGbk(expected[i]))
                {
                    ++mismatches[i];
                }
            }
        });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    for (size_t i = 0; i < std::size(texts); ++i)
    {
        EXPECT_EQ(mismatches[i], 0) << "text " << i;
    }
}
