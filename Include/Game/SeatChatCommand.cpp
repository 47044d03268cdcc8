#include "SeatChatCommand.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
const char kPrefix[] = "@ID:";

struct TagText
{
    SeatCommandTag tag;
    const char* text;
};
const TagText kTags[] = {
    {SeatCommandTag::VideoOn, "打开视频"}, {SeatCommandTag::VideoOff, "关闭视频"},
    {SeatCommandTag::AudioOn, "打开音频"}, {SeatCommandTag::AudioOff, "关闭音频"},
    {SeatCommandTag::Face, "人物表情"},    {SeatCommandTag::Effect, "特效文件"},
    {SeatCommandTag::Bubble, "聊天气泡"},
};

#ifdef KAVDOR_GBK_LITERALS
static_assert(kSeatCommandTagBytes == 8, "a tag is four GBK characters");
#endif

std::optional<SeatChatCommand> Refused(std::string* why, const char* reason)
{
    if (why != nullptr)
        *why = reason;
    return std::nullopt;
}

// A positive decimal number of at most `highest`, digits only.
std::optional<int> Decimal(const std::string& digits, long long highest)
{
    if (digits.empty() || digits.size() > 10)
        return std::nullopt;
    long long value = 0;
    for (char c : digits)
    {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > highest)
        return std::nullopt;
    return static_cast<int>(value);
}
} // namespace

std::optional<SeatChatCommand> ParseSeatChatCommand(const std::string& text, std::string* why)
{
    const size_t prefix = sizeof kPrefix - 1;
    if (text.compare(0, prefix, kPrefix) != 0)
        return Refused(why, "not a command");
    if (text.size() > kSeatCommandMaxBytes)
        return Refused(why, "longer than a chat line");
    const size_t hash = text.find('#', prefix);
    if (hash == std::string::npos)
        return Refused(why, "no '#' after the sender");
    const std::optional<int> sender =
        Decimal(text.substr(prefix, hash - prefix), std::numeric_limits<int>::max());
    if (!sender)
        return Refused(why, "the sender is not a player id");
    const size_t tagStart = hash + 1;
    if (text.size() - tagStart < kSeatCommandTagBytes)
        return Refused(why, "shorter than its tag");
    for (const TagText& tag : kTags)
        if (text.compare(tagStart, kSeatCommandTagBytes, tag.text) == 0)
            return SeatChatCommand{*sender, tag.tag, text.substr(tagStart + kSeatCommandTagBytes)};
    return Refused(why, "unknown tag");
}

std::optional<int> SeatCommandNumber(const std::string& argument, int highest)
{
    return Decimal(argument, highest);
}

std::string FormatSeatChatCommand(int senderId, SeatCommandTag tag, int number, const std::string& text)
{
    char line[kSeatCommandMaxBytes + 64];
    switch (tag)
    {
    case SeatCommandTag::VideoOn:
        std::snprintf(line, sizeof line, "@ID:%d#打开视频", senderId);
        break;
    case SeatCommandTag::VideoOff:
        std::snprintf(line, sizeof line, "@ID:%d#关闭视频", senderId);
        break;
    case SeatCommandTag::AudioOn:
        std::snprintf(line, sizeof line, "@ID:%d#打开音频", senderId);
        break;
    case SeatCommandTag::AudioOff:
        std::snprintf(line, sizeof line, "@ID:%d#关闭音频", senderId);
        break;
    case SeatCommandTag::Face:
        std::snprintf(line, sizeof line, "@ID:%d#人物表情%d", senderId, number);
        break;
    case SeatCommandTag::Effect:
        std::snprintf(line, sizeof line, "@ID:%d#特效文件%d", senderId, number);
        break;
    case SeatCommandTag::Bubble:
        // The text may be as long as a chat line; it is not cut here, so that an overlong
        // line is refused whole by the sender rather than sent cut.
        std::snprintf(line, sizeof line, "@ID:%d#聊天气泡", senderId);
        return line + text;
    }
    return line;
}
