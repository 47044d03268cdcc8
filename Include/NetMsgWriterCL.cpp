#include "NetMsgWriterCL.h"

#include "NetMsgReaderCL.h"

NetMsgWriterCL::NetMsgWriterCL(uint16_t category, uint16_t type)
{
    m_data = {static_cast<uint8_t>(category), static_cast<uint8_t>(category >> 8), static_cast<uint8_t>(type),
              static_cast<uint8_t>(type >> 8)};
}

NetMsgWriterCL& NetMsgWriterCL::U8(uint8_t value)
{
    m_data.push_back(value);
    return *this;
}

NetMsgWriterCL& NetMsgWriterCL::I32(int32_t value)
{
    uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        m_data.push_back(static_cast<uint8_t>(bits >> shift));
    return *this;
}

NetMsgWriterCL& NetMsgWriterCL::Bytes(const std::string& bytes)
{
    if (bytes.size() > 255)
        throw NetMsgErrorCL("长度太长！");
    m_data.push_back(static_cast<uint8_t>(bytes.size()));
    m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    return *this;
}

NetMsgWriterCL& NetMsgWriterCL::Cards(const std::vector<uint8_t>& cards)
{
    return Bytes(std::string(cards.begin(), cards.end()));
}

NetMsgWriterCL& NetMsgWriterCL::PlayerInfo(const NetPlayerInfo& info)
{
    for (int32_t value : info.values)
        I32(value);
    Bytes(info.nickname);
    return I32(info.extra);
}

NetMsgWriterCL& NetMsgWriterCL::ResultList(const std::vector<NetResultRecord>& records)
{
    if (records.size() > 255)
        throw NetMsgErrorCL("长度太长！");
    U8(static_cast<uint8_t>(records.size()));
    for (const NetResultRecord& record : records)
        I32(record.playerId).I32(record.score).I32(record.coins).I32(record.other);
    return *this;
}
