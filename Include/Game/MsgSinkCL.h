#pragma once
// A message sink: the module's end of one category of the table protocol. The host delivers each
// message of the sink's category to OnMessage, whole (header included); the sink decodes the
// payload of the message's type field by field (NetMsgReaderCL) and calls that type's handler.
// A type without a decoder, a short payload, an overlong text length or any failure of the
// decoder or the handler makes OnMessage answer false; the failure never leaves it.
//
// Requests go out through the sender the host gave at registration; without one nothing is sent.

#include <cstdint>
#include <functional>
#include <string>

#include "HostInterfaces.h"
#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"

class MsgSinkCL
{
public:
    explicit MsgSinkCL(uint16_t category) : m_category(category) {}
    virtual ~MsgSinkCL();

    /* 1 */ virtual bool OnMessage(const uint8_t* bytes, int length);
    // The previous sender.
    /* 2 */ virtual MsgSender* SetSender(MsgSender* sender);
    /* 3 */ virtual uint16_t GetCategory();

    // Encodes a request of this category with the payload writer and sends it; false (and
    // nothing sent) without a sender or when a field is refused ("长度太长！" for a text of more
    // than 255 bytes, which is logged).
    bool SendRequest(uint16_t type, const std::function<void(NetMsgWriterCL&)>& payload);

    MsgSender* GetSender() const { return m_sender; }

protected:
    // Decodes and handles a payload of the type; false for a type without decoder. Errors are
    // thrown (NetMsgErrorCL) and caught by OnMessage.
    virtual bool Dispatch(uint16_t type, NetMsgReaderCL& reader) = 0;

private:
    uint32_t m_category;
    MsgSender* m_sender = nullptr;
    // A third field of the sink record, always 0.
    [[maybe_unused]] uint32_t m_reserved = 0;
};
