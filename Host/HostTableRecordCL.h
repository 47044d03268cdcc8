#pragma once
// A written account of what the table showed, for comparing hosts that sat at one table: every
// message of the hand that the module took (the own cards dealt, the base cards, the landlord,
// each play and pass, the result) becomes one line of a text file, written as it arrives so
// that a host that dies leaves what it saw. Lines:
//
//   deal ID C,C,...        the cards the server gave player ID (a deal, or the hand as it stands
//                          when the user comes back to his seat)
//   base C,C,...           the base cards
//   landlord ID
//   play ID C,C,...        a play, cards as the server's card codes
//   pass ID
//   result ID:SCORE:COINS ...   the hand's result, seat by seat

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

class HostTableRecordCL
{
public:
    // Appends to `path`; false, with the reason in `error`, when it cannot be opened.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return m_out.is_open(); }
    // One whole message (header and payload) that the module accepted. Messages of no interest
    // are skipped; one that does not read as its type says is logged and skipped.
    void Observe(const uint8_t* message, size_t size);

private:
    std::ofstream m_out;
};
