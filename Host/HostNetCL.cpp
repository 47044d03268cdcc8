#include "HostNetCL.h"

#include "Game/MsgSinkCL.h"
#include "KelLogCL.h"
#include "NetMsgReaderCL.h"

bool HostDispatcherCL::Add(MsgSinkCL* sink)
{
    if (sink == nullptr)
        return false;
    m_sinks[sink->GetCategory()] = sink;
    return true;
}

void HostDispatcherCL::Remove(MsgSinkCL* sink)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end();)
        it = it->second == sink ? m_sinks.erase(it) : std::next(it);
}

MsgSinkCL* HostDispatcherCL::Find(int category) const
{
    const auto found = m_sinks.find(category);
    return found == m_sinks.end() ? nullptr : found->second;
}

void HostNetCL::Send(const uint8_t* bytes, int length)
{
    uint16_t category = 0;
    uint16_t type = 0;
    if (bytes == nullptr || length < 0 ||
        !NetMsgReaderCL::ReadHeader(bytes, static_cast<size_t>(length), category, type))
    {
        KelLogPrintf("host: the module sent a message without a header (%d bytes); dropped", length);
        return;
    }
    ++m_traffic.sent[category];
    if (!m_transmit(std::vector<uint8_t>(bytes, bytes + length)))
        KelLogPrintf("host: request %u/%u not sent: no connection", category, type);
}

void HostNetCL::Deliver(const uint8_t* bytes, size_t length)
{
    uint16_t category = 0;
    uint16_t type = 0;
    if (!NetMsgReaderCL::ReadHeader(bytes, length, category, type))
        return;
    MsgSinkCL* sink = m_game.Find(category);
    if (sink == nullptr)
        sink = m_room.Find(category);
    if (sink == nullptr)
    {
        ++m_traffic.unrouted[category];
        return;
    }
    if (sink->OnMessage(bytes, static_cast<int>(length)))
        ++m_traffic.accepted[category];
    else
    {
        ++m_traffic.refused[category];
        KelLogPrintf("host: the module refused message %u/%u (%zu bytes)", category, type, length);
    }
}
