#pragma once
// Decoding of one message's payload. Every read checks the bounds first; a read past the end
// empties the reader and throws NetMsgErrorCL, so that a short or damaged message is dropped
// as a whole and never read beyond its end.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "NetMsgTypes.h"

class NetMsgErrorCL : public std::runtime_error
{
public:
    explicit NetMsgErrorCL(const char* text) : std::runtime_error(text) {}
};

class NetMsgReaderCL
{
public:
    // An empty or negative range gives an empty reader.
    NetMsgReaderCL(const uint8_t* data, int length);

    // Typed reads fail with "Object not valid.".
    uint8_t ReadU8();
    int32_t ReadI32();
    // A length byte and that many bytes; the bytes themselves fail with "Out of buffer!".
    std::string ReadBytes();
    std::vector<uint8_t> ReadCards();
    NetPlayerInfo ReadPlayerInfo();
    std::vector<NetResultRecord> ReadResultList();

    int Remaining() const { return m_end - m_current; }
    bool IsEmpty() const { return m_current >= m_end; }

    // Splits a whole message into category, type and payload; false when it is shorter than
    // its four-byte header.
    static bool ReadHeader(const uint8_t* message, size_t size, uint16_t& category, uint16_t& type);

private:
    // Copies `count` bytes; "Out of buffer!" when fewer remain.
    void ReadRaw(void* out, int count);

    const uint8_t* m_data;
    int m_current;
    int m_end;
};
