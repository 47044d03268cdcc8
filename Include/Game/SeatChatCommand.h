#pragma once
// The commands the seat window sends to the other players inside ordinary table chat: media
// switches, faces, prop effects and chat bubbles, written as
//
//     "@ID:" <sender's id in decimal> "#" <tag of four GBK characters> <argument>
//
// Every such line comes from the network, so the parser takes nothing on trust: a line that is
// longer than a chat message can be, a sender that is not a positive decimal number, a missing
// "#", a line shorter than its tag or an unknown tag is refused with the reason, and numbers in
// an argument are read only when they are small decimal numbers in range.

#include <optional>
#include <string>

enum class SeatCommandTag
{
    VideoOn,
    VideoOff,
    AudioOn,
    AudioOff,
    Face,
    Effect,
    Bubble,
};

struct SeatChatCommand
{
    int senderId = 0;
    SeatCommandTag tag = SeatCommandTag::Bubble;
    std::string argument;
};

// The bytes of a tag (8 when the sources' literals are GBK).
constexpr size_t kSeatCommandTagBytes = sizeof("打开视频") - 1;
// The longest text a table chat message carries.
constexpr size_t kSeatCommandMaxBytes = 255;

// The command of a chat line, or none with the reason in `why` (when given).
std::optional<SeatChatCommand> ParseSeatChatCommand(const std::string& text, std::string* why = nullptr);

// The argument as a number from 1 to `highest`, or none when it is anything else.
std::optional<int> SeatCommandNumber(const std::string& argument, int highest);

// The line that sends a command: "@ID:%d#打开视频" and the like; `number` is the face or effect
// number of those two tags, `text` the bubble's text.
std::string FormatSeatChatCommand(int senderId, SeatCommandTag tag, int number = 0,
                                  const std::string& text = "");
