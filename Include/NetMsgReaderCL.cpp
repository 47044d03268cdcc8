#include "NetMsgReaderCL.h"

#include <cstring>

NetMsgReaderCL::NetMsgReaderCL(const uint8_t* data, int length)
    : m_data(data), m_current(0), m_end(data != nullptr && length > 0 ? length : 0)
{
}

void NetMsgReaderCL::ReadRaw(void* out, int count)
{
    if (m_current >= m_end || count > m_end - m_current)
    {
        m_current = m_end;
        throw NetMsgErrorCL("Out of buffer!");
    }
    memcpy(out, m_data + m_current, static_cast<size_t>(count));
    m_current += count;
}

uint8_t NetMsgReaderCL::ReadU8()
{
    uint8_t value = 0;
    try
    {
        ReadRaw(&value, 1);
    }
    catch (const NetMsgErrorCL&)
    {
        throw NetMsgErrorCL("Object not valid.");
    }
    return value;
}

int32_t NetMsgReaderCL::ReadI32()
{
    uint8_t bytes[4];
    try
    {
        ReadRaw(bytes, 4);
    }
    catch (const NetMsgErrorCL&)
    {
        throw NetMsgErrorCL("Object not valid.");
    }
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

std::string NetMsgReaderCL::ReadBytes()
{
    int length = ReadU8();
    std::string text(static_cast<size_t>(length), '\0');
    if (length > 0)
        ReadRaw(text.data(), length);
    return text;
}

std::vector<uint8_t> NetMsgReaderCL::ReadCards()
{
    std::string bytes = ReadBytes();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

NetPlayerInfo NetMsgReaderCL::ReadPlayerInfo()
{
    NetPlayerInfo info;
    for (int32_t& value : info.values)
        value = ReadI32();
    info.nickname = ReadBytes();
    info.extra = ReadI32();
    return info;
}

std::vector<NetResultRecord> NetMsgReaderCL::ReadResultList()
{
    int count = ReadU8();
    std::vector<NetResultRecord> records;
    for (int i = 0; i < count; ++i)
    {
        NetResultRecord record;
        record.playerId = ReadI32();
        record.score = ReadI32();
        record.coins = ReadI32();
        record.other = ReadI32();
        records.push_back(record);
    }
    return records;
}

bool NetMsgReaderCL::ReadHeader(const uint8_t* message, size_t size, uint16_t& category, uint16_t& type)
{
    if (message == nullptr || size < 4)
        return false;
    category = static_cast<uint16_t>(message[0] | message[1] << 8);
    type = static_cast<uint16_t>(message[2] | message[3] << 8);
    return true;
}
