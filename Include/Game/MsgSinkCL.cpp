#include "MsgSinkCL.h"

#include <exception>

#include "KelLogCL.h"

MsgSinkCL::~MsgSinkCL() = default;

bool MsgSinkCL::OnMessage(const uint8_t* bytes, int length)
{
    uint16_t category = 0;
    uint16_t type = 0;
    if (bytes == nullptr || length < 4 ||
        !NetMsgReaderCL::ReadHeader(bytes, static_cast<size_t>(length), category, type))
        return false;
    try
    {
        NetMsgReaderCL reader(bytes + 4, length - 4);
        return Dispatch(type, reader);
    }
    catch (const std::exception& error)
    {
        KelLogPrintf("消息处理失败 category=%u type=%u : %s", static_cast<unsigned>(category),
                     static_cast<unsigned>(type), error.what());
    }
    catch (...)
    {
        KelLogPrintf("消息处理失败 category=%u type=%u", static_cast<unsigned>(category),
                     static_cast<unsigned>(type));
    }
    return false;
}

MsgSender* MsgSinkCL::SetSender(MsgSender* sender)
{
    MsgSender* previous = m_sender;
    m_sender = sender;
    return previous;
}

uint16_t MsgSinkCL::GetCategory()
{
    return static_cast<uint16_t>(m_category);
}

bool MsgSinkCL::SendRequest(uint16_t type, const std::function<void(NetMsgWriterCL&)>& payload)
{
    if (m_sender == nullptr)
        return false;
    try
    {
        NetMsgWriterCL writer(GetCategory(), type);
        if (payload)
            payload(writer);
        const std::vector<uint8_t>& data = writer.Data();
        m_sender->Send(data.data(), static_cast<int>(data.size()));
        return true;
    }
    catch (const std::exception& error)
    {
        KelLogPrintf("%s", error.what());
        return false;
    }
}
