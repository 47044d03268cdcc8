#include "HostTableRecordCL.h"

#include <exception>

#include "KelLogCL.h"
#include "NetMsgReaderCL.h"
#include "NetMsgTypes.h"

namespace
{
std::string CardList(const std::vector<uint8_t>& cards)
{
    std::string text;
    for (uint8_t card : cards)
        text += (text.empty() ? "" : ",") + std::to_string(card);
    return text;
}
} // namespace

bool HostTableRecordCL::Open(const std::string& path, std::string& error)
{
    m_out.open(path, std::ios::binary | std::ios::app);
    if (!m_out.is_open())
    {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void HostTableRecordCL::Observe(const uint8_t* message, size_t size)
{
    uint16_t category = 0;
    uint16_t type = 0;
    if (!m_out.is_open() || !NetMsgReaderCL::ReadHeader(message, size, category, type))
        return;
    NetMsgReaderCL reader(message + 4, static_cast<int>(size - 4));
    std::string line;
    try
    {
        if (category == NET_CATEGORY_GAME && type == GAME_DEAL)
        {
            const int id = reader.ReadI32();
            line = "deal " + std::to_string(id) + " " + CardList(reader.ReadCards());
        }
        else if (category == NET_CATEGORY_GAME && type == GAME_BASE_CARDS)
            line = "base " + CardList(reader.ReadCards());
        else if (category == NET_CATEGORY_GAME && type == GAME_LANDLORD)
            line = "landlord " + std::to_string(reader.ReadI32());
        else if (category == NET_CATEGORY_GAME && type == GAME_PLAY)
        {
            const int id = reader.ReadI32();
            const std::vector<uint8_t> cards = reader.ReadCards();
            line = cards.empty() ? "pass " + std::to_string(id)
                                 : "play " + std::to_string(id) + " " + CardList(cards);
        }
        else if (category == NET_CATEGORY_ROOM && type == ROOM_GAME_RESULT)
        {
            line = "result";
            for (const NetResultRecord& seat : reader.ReadResultList())
                line += " " + std::to_string(seat.playerId) + ":" + std::to_string(seat.score) + ":" +
                        std::to_string(seat.coins);
        }
    }
    catch (const std::exception& e)
    {
        KelLogPrintf("host: table record: message %d/%d does not read: %s", category, type, e.what());
        return;
    }
    if (line.empty())
        return;
    m_out << line << '\n';
    m_out.flush();
}
