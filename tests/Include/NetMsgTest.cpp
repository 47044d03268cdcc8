#include <gtest/gtest.h>

#include "NetMsgReaderCL.h"
#include "NetMsgWriterCL.h"

TEST(NetMsg, EveryFieldKindRoundTrips)
{
    NetPlayerInfo info;
    for (int i = 0; i < 9; ++i)
        info.values[i] = i * 1000 - 3;
    info.nickname = "牌友";
    info.extra = -7;
    std::vector<NetResultRecord> results = {{11, -6, -6, 0}, {12, 2, 2, 0}};
    NetMsgWriterCL writer(NET_CATEGORY_ROOM, ROOM_PLAYER_IN);
    writer.U8(200).I32(-123456789).Bytes("").Cards({54, 1, 100}).PlayerInfo(info).ResultList(results);
    const std::vector<uint8_t>& data = writer.Data();
    EXPECT_EQ(data[0], 100);
    EXPECT_EQ(data[1], 0);
    EXPECT_EQ(data[2], 2);
    EXPECT_EQ(data[3], 0);

    uint16_t category = 0, type = 0;
    ASSERT_TRUE(NetMsgReaderCL::ReadHeader(data.data(), data.size(), category, type));
    EXPECT_EQ(category, NET_CATEGORY_ROOM);
    EXPECT_EQ(type, ROOM_PLAYER_IN);
    NetMsgReaderCL reader(data.data() + 4, static_cast<int>(data.size()) - 4);
    EXPECT_EQ(reader.ReadU8(), 200);
    EXPECT_EQ(reader.ReadI32(), -123456789);
    EXPECT_EQ(reader.ReadBytes(), "");
    EXPECT_EQ(reader.ReadCards(), (std::vector<uint8_t>{54, 1, 100}));
    NetPlayerInfo back = reader.ReadPlayerInfo();
    EXPECT_EQ(back.nickname, info.nickname);
    EXPECT_EQ(back.values[8], info.values[8]);
    EXPECT_EQ(back.extra, -7);
    std::vector<NetResultRecord> resultsBack = reader.ReadResultList();
    ASSERT_EQ(resultsBack.size(), 2u);
    EXPECT_EQ(resultsBack[0].score, -6);
    EXPECT_EQ(resultsBack[1].playerId, 12);
    EXPECT_TRUE(reader.IsEmpty());
}

TEST(NetMsg, ShortOrDamagedPayloadsThrowAndNeverReadPastTheEnd)
{
    const uint8_t three[] = {5, 2, 3};
    struct Case
    {
        const char* what;
        int length;
        int read; // 0 u8, 1 i32, 2 bytes
        const char* error;
    };
    const Case cases[] = {
        {"i32 from three bytes", 3, 1, "Object not valid."},
        {"u8 from nothing", 0, 0, "Object not valid."},
        {"bytes longer than the rest", 3, 2, "Out of buffer!"},
        {"negative length", -5, 0, "Object not valid."},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        NetMsgReaderCL reader(three, c.length);
        try
        {
            if (c.read == 0)
                reader.ReadU8();
            else if (c.read == 1)
                reader.ReadI32();
            else
                reader.ReadBytes();
            ADD_FAILURE() << "no error";
        }
        catch (const NetMsgErrorCL& e)
        {
            EXPECT_STREQ(e.what(), c.error);
        }
        EXPECT_TRUE(reader.IsEmpty());
    }
    uint16_t category = 0, type = 0;
    EXPECT_FALSE(NetMsgReaderCL::ReadHeader(three, 3, category, type));
}

TEST(NetMsg, TooLongBytesAreRefused)
{
    NetMsgWriterCL writer(NET_CATEGORY_ROOM, ROOM_REQ_CHAT);
    EXPECT_NO_THROW(writer.Bytes(std::string(255, 'a')));
    size_t size = writer.Data().size();
    try
    {
        writer.Bytes(std::string(256, 'a'));
        ADD_FAILURE() << "no error";
    }
    catch (const NetMsgErrorCL& e)
    {
        EXPECT_STREQ(e.what(), "长度太长！");
    }
    EXPECT_EQ(writer.Data().size(), size);
}
