// The table's chat commands as text: what the seat window sends byte for byte, and which lines
// from the network it takes as commands. The texts are GBK, as every literal here is compiled.

#include "SeatChatCommand.h"

#include <string>

#include <gtest/gtest.h>

#include "SeatSocialTables.h"

TEST(SeatChatCommand, SentLinesAreTheDocumentedFormats)
{
    EXPECT_EQ(FormatSeatChatCommand(42, SeatCommandTag::VideoOn), "@ID:42#打开视频");
    EXPECT_EQ(FormatSeatChatCommand(42, SeatCommandTag::VideoOff), "@ID:42#关闭视频");
    EXPECT_EQ(FormatSeatChatCommand(42, SeatCommandTag::AudioOn), "@ID:42#打开音频");
    EXPECT_EQ(FormatSeatChatCommand(42, SeatCommandTag::AudioOff), "@ID:42#关闭音频");
    EXPECT_EQ(FormatSeatChatCommand(7, SeatCommandTag::Face, 18), "@ID:7#人物表情18");
    EXPECT_EQ(FormatSeatChatCommand(7, SeatCommandTag::Effect, 4), "@ID:7#特效文件4");
    // A bubble's text is taken as it is, "%" included.
    EXPECT_EQ(FormatSeatChatCommand(7, SeatCommandTag::Bubble, 0, "50% 好"), "@ID:7#聊天气泡50% 好");
    // Each tag is four GBK characters, eight bytes.
    EXPECT_EQ(kSeatCommandTagBytes, 8u);
}

TEST(SeatChatCommand, EverySentLineParsesBackToItsCommand)
{
    const struct
    {
        SeatCommandTag tag;
        int number;
        std::string text;
        std::string argument;
    } cases[] = {
        {SeatCommandTag::VideoOn, 0, "", ""},
        {SeatCommandTag::VideoOff, 0, "", ""},
        {SeatCommandTag::AudioOn, 0, "", ""},
        {SeatCommandTag::AudioOff, 0, "", ""},
        {SeatCommandTag::Face, 7, "", "7"},
        {SeatCommandTag::Effect, 3, "", "3"},
        {SeatCommandTag::Bubble, 0, "#@ID:9#打开视频", "#@ID:9#打开视频"},
    };
    for (const auto& c : cases)
    {
        const std::string line = FormatSeatChatCommand(2147483647, c.tag, c.number, c.text);
        const std::optional<SeatChatCommand> parsed = ParseSeatChatCommand(line);
        ASSERT_TRUE(parsed.has_value()) << line;
        EXPECT_EQ(parsed->senderId, 2147483647) << line;
        EXPECT_EQ(parsed->tag, c.tag) << line;
        EXPECT_EQ(parsed->argument, c.argument) << line;
    }
}

TEST(SeatChatCommand, MalformedLinesFromTheNetworkAreRefusedWithTheReason)
{
    const struct
    {
        std::string text;
        const char* reason;
    } cases[] = {
        {"hello", "not a command"},
        {"@ID:", "no '#' after the sender"},
        {"@ID:12人物表情3", "no '#' after the sender"},
        {"@ID:12#", "shorter than its tag"},
        {"@ID:12#人物表", "shorter than its tag"},
        {"@ID:#人物表情3", "the sender is not a player id"},
        {"@ID:0#人物表情3", "the sender is not a player id"},
        {"@ID:-5#人物表情3", "the sender is not a player id"},
        {"@ID:12a#人物表情3", "the sender is not a player id"},
        {"@ID: 12#人物表情3", "the sender is not a player id"},
        {"@ID:2147483648#人物表情3", "the sender is not a player id"},
        {"@ID:99999999999999999999#人物表情3", "the sender is not a player id"},
        {"@ID:12#人物表请3", "unknown tag"},
        {"@ID:12#abcdefgh", "unknown tag"},
        {"@ID:12#聊天气泡" + std::string(241, 'x'), "longer than a chat line"},
    };
    for (const auto& c : cases)
    {
        std::string why;
        EXPECT_FALSE(ParseSeatChatCommand(c.text, &why).has_value()) << c.text;
        EXPECT_EQ(why, c.reason) << c.text;
    }
    // The longest line a chat message carries is still a command.
    const std::string longest = "@ID:12#聊天气泡" + std::string(240, 'x');
    ASSERT_EQ(longest.size(), 255u);
    EXPECT_TRUE(ParseSeatChatCommand(longest).has_value());
}

TEST(SeatChatCommand, NumbersAreSmallDecimalsInRange)
{
    EXPECT_EQ(SeatCommandNumber("1", 18), 1);
    EXPECT_EQ(SeatCommandNumber("18", 18), 18);
    EXPECT_EQ(SeatCommandNumber("07", 18), 7);
    for (const std::string bad : {"", "0", "19", "-1", "+3", "3x", " 3", "3 ", "4294967297"})
        EXPECT_FALSE(SeatCommandNumber(bad, 18).has_value()) << bad;
    EXPECT_FALSE(SeatCommandNumber(std::string(240, '9'), 18).has_value());
    EXPECT_FALSE(SeatCommandNumber("5", 4).has_value());
}

TEST(SeatSocialTables, FacesAndPropsAsTheMenusAndChatShowThem)
{
    ASSERT_NE(FindSeatFace(1), nullptr);
    EXPECT_EQ(FindSeatFace(0), nullptr);
    EXPECT_EQ(FindSeatFace(19), nullptr);
    EXPECT_STREQ(FindSeatFace(1)->label, "早上好");
    EXPECT_STREQ(FindSeatFace(8)->label, "讨厌 ");
    EXPECT_STREQ(FindSeatFace(18)->label, "火眼");
    // Face 7 says "handsome" from a woman and "beauty" from a man; the others are the same.
    EXPECT_STREQ(SeatFaceBubble(*FindSeatFace(7), true), "“哦哟~ 帅哥！”");
    EXPECT_STREQ(SeatFaceBubble(*FindSeatFace(7), false), "“哦哟~ 美女！”");
    EXPECT_STREQ(SeatFaceRecord(*FindSeatFace(7), false), "色眯眯,眼前一亮！“哦哟~ 美女！”");
    EXPECT_STREQ(SeatFaceBubble(*FindSeatFace(4), false), "“@#$#%#。。。”");
    EXPECT_STREQ(SeatFaceRecord(*FindSeatFace(12), true), "感动得热泪盈眶（这…是真的吗？）");
    EXPECT_EQ(SeatFaceVoice(3, true), "effect\\ogg\\woman1_3.ogg");
    EXPECT_EQ(SeatFaceVoice(3, false), "effect\\ogg\\man2_3.ogg");

    EXPECT_EQ(SeatPropEffectByName("闪烁红心"), 1);
    EXPECT_EQ(SeatPropEffectByName("板砖"), 4);
    EXPECT_EQ(SeatPropEffectByName("双倍积分卡"), 0);
    EXPECT_EQ(FindSeatPropEffect(3)->effectLine, nullptr);
    EXPECT_STREQ(FindSeatPropEffect(2)->action, "赠送了一朵鲜花。");
    EXPECT_EQ(SeatPropSound(2), "effect\\ogg\\effect_2.ogg");
}
