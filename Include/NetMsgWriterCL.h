#pragma once
// Encoding of one message: category, type, then the payload fields in order, little-endian
// and packed.

#include <cstdint>
#include <string>
#include <vector>

#include "NetMsgTypes.h"

class NetMsgWriterCL
{
public:
    NetMsgWriterCL(uint16_t category, uint16_t type);

    NetMsgWriterCL& U8(uint8_t value);
    NetMsgWriterCL& I32(int32_t value);
    // A length byte and the bytes; longer than 255 bytes throws NetMsgErrorCL("长度太长！").
    NetMsgWriterCL& Bytes(const std::string& bytes);
    NetMsgWriterCL& Cards(const std::vector<uint8_t>& cards);
    NetMsgWriterCL& PlayerInfo(const NetPlayerInfo& info);
    NetMsgWriterCL& ResultList(const std::vector<NetResultRecord>& records);

    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};
