#include <gtest/gtest.h>

#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "KelLogCL.h"
#include "KelRect.h"
#include "KelTextureInfoManagerCL.h"
#include "KelXmlFile.h"
#include "TestFolder.h"

namespace
{
// A file with entries at several depths, parameter elements left out or partly given, and
// elements that must not be taken as entries.
const char kGuiInfo[] = R"(<?xml version="1.0" encoding="gb2312"?>
<textureInfo name="gui" type="2D">
    <texture ID="top" image="top.tga">
        <rect left="1" right="65" top="2" bottom="34"/>
        <color red="10" green="20" blue="30" alpha="40"/>
        <scale x="0.500" y="2.250"/>
        <offset x="-3" y="7"/>
        <angle angle="90.500"/>
        <bland srcBland="5" destBland="6"/>
        <texture ID="insideTexture" image="never.tga"/>
    </texture>
    <group>
        <subgroup>
            <TEXTURE ID="deep" image="gui\deep.tga">
                <rect left="4" bottom="8"/>
            </TEXTURE>
        </subgroup>
        <texture ID="bare" image="bare.tga"/>
        <texture ID="partial">
            <color red="300" alpha="0"/>
            <scale y="3"/>
            <bland destBland="2"/>
        </texture>
    </group>
    <rect left="99"/>
</textureInfo>
)";

class KelTextureInfoTest : public LogFolderTest
{
protected:
    KelTextureInfoManagerCL m_manager;

    // Writes a file below the test folder and loads it under the info name.
    bool Load(const std::string& infoName, const std::string& relative, const std::string& content)
    {
        m_folder.Write(relative, content);
        return m_manager.LoadTextureInfo(infoName, Path(relative));
    }

    std::vector<std::string> Names()
    {
        std::list<std::string> names;
        m_manager.GetInfoNames(names);
        return {names.begin(), names.end()};
    }
};

KelTextureEntry Entry(const char* id, const char* image)
{
    KelTextureEntry entry;
    entry.id = id;
    entry.image = image;
    return entry;
}

void ExpectSameEntry(const KelTextureEntry& actual, const KelTextureEntry& expected)
{
    SCOPED_TRACE(expected.id);
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.image, expected.image);
    EXPECT_EQ(KelRect(actual.left, actual.top, actual.right, actual.bottom),
              KelRect(expected.left, expected.top, expected.right, expected.bottom));
    EXPECT_EQ(actual.offsetX, expected.offsetX);
    EXPECT_EQ(actual.offsetY, expected.offsetY);
    EXPECT_EQ(actual.red, expected.red);
    EXPECT_EQ(actual.green, expected.green);
    EXPECT_EQ(actual.blue, expected.blue);
    EXPECT_EQ(actual.alpha, expected.alpha);
    EXPECT_FLOAT_EQ(actual.scaleX, expected.scaleX);
    EXPECT_FLOAT_EQ(actual.scaleY, expected.scaleY);
    EXPECT_FLOAT_EQ(actual.angle, expected.angle);
    EXPECT_EQ(actual.srcBland, expected.srcBland);
    EXPECT_EQ(actual.destBland, expected.destBland);
}
} // namespace

TEST(KelRect, StoredTopLeftBottomRightBuiltLeftTopRightBottom)
{
    KelRect rect(10, 20, 110, 70);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 110);
    EXPECT_EQ(rect.bottom, 70);
    EXPECT_EQ(rect.Width(), 100);
    EXPECT_EQ(rect.Height(), 50);
    // Other records copy the rectangle as four integers in this order.
    const int32_t* fields = &rect.top;
    EXPECT_EQ(fields[0], 20);
    EXPECT_EQ(fields[1], 10);
    EXPECT_EQ(fields[2], 70);
    EXPECT_EQ(fields[3], 110);
}

TEST_F(KelTextureInfoTest, EntriesAtAnyDepthWithDefaultsForMissingParts)
{
    ASSERT_TRUE(Load("gui", "gui.xml", kGuiInfo));
    EXPECT_EQ(m_manager.GetNameAttribute("gui"), "gui");
    EXPECT_EQ(m_manager.GetTypeAttribute("gui"), "2D");

    std::vector<KelTextureEntry> expected;
    KelTextureEntry top = Entry("top", "top.tga");
    top.left = 1;
    top.right = 65;
    top.top = 2;
    top.bottom = 34;
    top.red = 10;
    top.green = 20;
    top.blue = 30;
    top.alpha = 40;
    top.scaleX = 0.5f;
    top.scaleY = 2.25f;
    top.offsetX = -3;
    top.offsetY = 7;
    top.angle = 90.5f;
    top.srcBland = 5;
    top.destBland = 6;
    expected.push_back(top);
    KelTextureEntry deep = Entry("deep", "gui\\deep.tga");
    deep.left = 4;
    deep.bottom = 8;
    expected.push_back(deep);
    expected.push_back(Entry("bare", "bare.tga"));
    KelTextureEntry partial = Entry("partial", "");
    partial.red = 300 & 0xFF;
    partial.alpha = 0;
    partial.scaleY = 3.0f;
    partial.destBland = 2;
    expected.push_back(partial);

    KelTextureEntryMap* entries = m_manager.GetEntryMap("gui");
    ASSERT_NE(entries, nullptr);
    // "insideTexture" sits inside an entry, where only parameter elements are read.
    EXPECT_EQ(entries->size(), expected.size());
    for (const KelTextureEntry& entry : expected)
    {
        auto found = entries->find(entry.id);
        ASSERT_NE(found, entries->end()) << entry.id;
        ExpectSameEntry(found->second, entry);
    }

    std::vector<std::string> ids(entries->size());
    m_manager.GetImageIds("GUI", ids.data());
    EXPECT_EQ(ids, (std::vector<std::string>{"bare", "deep", "partial", "top"}));
}

TEST_F(KelTextureInfoTest, InfoNamesWithoutCaseImageIdsWithCase)
{
    ASSERT_TRUE(Load("KavdorTwoTextureInfo", "a.xml",
                     R"(<info name="N" type="T"><texture ID="Button" image="upper.tga"/>)"
                     R"(<texture ID="button" image="lower.tga"/></info>)"));
    EXPECT_EQ(Names(), std::vector<std::string>{"kavdortwotextureinfo"});
    for (const char* name : {"kavdortwotextureinfo", "KAVDORTWOTEXTUREINFO", "kavdorTwoTextureInfo"})
    {
        KelTextureEntryMap* entries = m_manager.GetEntryMap(name);
        ASSERT_NE(entries, nullptr) << name;
        EXPECT_EQ(entries->at("Button").image, "upper.tga");
        EXPECT_EQ(entries->at("button").image, "lower.tga");
        EXPECT_EQ(entries->count("BUTTON"), 0u);
        EXPECT_EQ(m_manager.GetNameAttribute(name), "N");
        EXPECT_EQ(m_manager.GetTypeAttribute(name), "T");
    }
    EXPECT_EQ(m_manager.GetEntryMap("other"), nullptr);
    EXPECT_EQ(m_manager.GetNameAttribute("other"), "");

    // Records are kept in lower case, and unloading takes the name as it is.
    m_manager.UnloadTextureInfo("KavdorTwoTextureInfo");
    EXPECT_NE(m_manager.GetEntryMap("kavdortwotextureinfo"), nullptr);
    m_manager.UnloadTextureInfo("kavdortwotextureinfo");
    EXPECT_EQ(m_manager.GetEntryMap("kavdortwotextureinfo"), nullptr);
    EXPECT_TRUE(Names().empty());
}

TEST_F(KelTextureInfoTest, LastDuplicateWinsAndReloadReplacesEntries)
{
    ASSERT_TRUE(Load("dup", "dup.xml",
                     R"(<info name="first" type="old"><texture ID="x" image="1.tga"/><g>)"
                     R"(<texture ID="x" image="2.tga"/></g><texture ID="y" image="y.tga"/></info>)"));
    KelTextureEntryMap* entries = m_manager.GetEntryMap("dup");
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(entries->size(), 2u);
    EXPECT_EQ(entries->at("x").image, "2.tga");

    // Loading again starts from an empty map; attributes the new root lacks stay as they were.
    ASSERT_TRUE(Load("DUP", "dup2.xml", R"(<info type="new"><texture ID="z"/></info>)"));
    entries = m_manager.GetEntryMap("dup");
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->count("z"), 1u);
    EXPECT_EQ(m_manager.GetNameAttribute("dup"), "first");
    EXPECT_EQ(m_manager.GetTypeAttribute("dup"), "new");
}

TEST_F(KelTextureInfoTest, LoadAllTakesXmlFilesOfTheConfigFolder)
{
    const char content[] = R"(<info><texture ID="id"/></info>)";
    m_folder.Write("images/config/Cards.xml", content);
    m_folder.Write("images/config/GUI.XML", content);
    m_folder.Write("images/config/readme.txt", content);
    m_folder.Write("images/config/xml", content);
    m_folder.Write("images/config/folder.xml/inner.xml", content);
    m_folder.Write("images/config/sub/deeper.xml", content);
    m_folder.Write("images/outside.xml", content);
    std::string module = m_folder.WinPath();
    m_manager.SetModuleDirectoryProvider([module] { return module; });

    m_manager.SetImageDirectory("images");
    EXPECT_EQ(m_manager.GetImageDirectory(), module + "\\images");
    EXPECT_EQ(m_manager.MakePath("a\\b.tga"), module + "\\images\\a\\b.tga");
    EXPECT_EQ(Names(), (std::vector<std::string>{"cards", "gui"}));
    ASSERT_NE(m_manager.GetEntryMap("Gui"), nullptr);
    EXPECT_EQ(m_manager.GetEntryMap("Gui")->count("id"), 1u);

    // Setting the directory as it is loads nothing.
    KelTextureInfoManagerCL other;
    other.SetImageDirectoryVerbatim(module + "\\images");
    EXPECT_EQ(other.GetImageDirectory(), module + "\\images");
    std::list<std::string> names;
    other.GetInfoNames(names);
    EXPECT_TRUE(names.empty());
}

TEST_F(KelTextureInfoTest, DoubleByteNamesAndIdsKeepTheirBytes)
{
    // "丄" is 0x81 0x41: its second byte must not be lower-cased as the letter 'A'.
    ASSERT_TRUE(Load("丄Info", "cn.xml", "<信息 name=\"纸牌\"><分组><texture ID=\"按钮\" image=\"图片.tga\"/>"
                                         "</分组></信息>"));
    EXPECT_EQ(Names(), std::vector<std::string>{"\x81\x41info"});
    KelTextureEntryMap* entries = m_manager.GetEntryMap("\x81\x41INFO");
    ASSERT_NE(entries, nullptr);
    auto found = entries->find("\xB0\xB4\xC5\xA5");
    ASSERT_NE(found, entries->end());
    EXPECT_EQ(found->second.image, "\xCD\xBC\xC6\xAC.tga");
    EXPECT_EQ(m_manager.GetNameAttribute("\x81\x41info"), "\xD6\xBD\xC5\xC6");
}

TEST_F(KelTextureInfoTest, UnreadableFileLeavesAnEmptyRecordAndLogs)
{
    ASSERT_TRUE(Load("Broken", "broken.xml", R"(<info name="kept"><texture ID="a"/></info>)"));
    struct Case
    {
        const char* what;
        const char* content;
    };
    const Case cases[] = {
        {"unclosed element", R"(<info><texture ID="a"/>)"},
        {"mismatched end tag", R"(<info><texture ID="a"/></infox>)"},
        {"unterminated attribute", R"(<info><texture ID="a/></info>)"},
        {"empty file", ""},
        {"no markup", "just text"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Load("Broken", "broken.xml", c.content));
        KelTextureEntryMap* entries = m_manager.GetEntryMap("broken");
        ASSERT_NE(entries, nullptr);
        EXPECT_TRUE(entries->empty());
        EXPECT_EQ(m_manager.GetNameAttribute("broken"), "kept");
    }
    EXPECT_FALSE(m_manager.LoadTextureInfo("missing", m_folder.WinPath() + "\\missing.xml"));
    ASSERT_NE(m_manager.GetEntryMap("missing"), nullptr);

    std::string log = ReadLog();
    EXPECT_NE(log.find("] -- 加载贴图信息成功 broken\n"), std::string::npos) << log;
    size_t failures = 0;
    for (size_t at = log.find("] -- 加载贴图信息失败 broken\n"); at != std::string::npos;
         at = log.find("] -- 加载贴图信息失败 broken\n", at + 1))
        ++failures;
    EXPECT_EQ(failures, std::size(cases));
    EXPECT_NE(log.find("] -- 加载贴图信息失败 missing\n"), std::string::npos) << log;
}

TEST_F(KelTextureInfoTest, DeeplyNestedGroupsAreSearched)
{
    // Deep enough that the parse runs on a thread of its own with a stack sized for it.
    const int depth = 3000;
    std::string content;
    for (int i = 0; i < depth; ++i)
        content += "<g>";
    content += R"(<texture ID="bottom"/>)";
    for (int i = 0; i < depth; ++i)
        content += "</g>";
    ASSERT_TRUE(Load("deep", "deep.xml", content));
    ASSERT_NE(m_manager.GetEntryMap("deep"), nullptr);
    EXPECT_EQ(m_manager.GetEntryMap("deep")->count("bottom"), 1u);
}

TEST(KelXmlFile, WhatALargeDocumentsWorkThrowsReachesTheCaller)
{
    // Enough elements that the parse runs on a thread of its own.
    std::string content = "<root>";
    for (int i = 0; i < 2000; ++i)
        content += "<g/>";
    content += "</root>";
    bool used = false;
    auto fail = [&used](TiXmlDocument&)
    {
        used = true;
        throw std::runtime_error("out of memory");
    };
    EXPECT_THROW(KelParseXml(content, fail), std::runtime_error);
    EXPECT_TRUE(used);
}

TEST_F(KelTextureInfoTest, CreateTextureHandsTheEntryToTheFactory)
{
    ASSERT_TRUE(Load("gui", "gui.xml", kGuiInfo));
    m_manager.SetImageDirectoryVerbatim("\\game\\image");

    // Without a factory nothing can be built.
    EXPECT_EQ(m_manager.CreateTexture("gui", "top", true), nullptr);
    EXPECT_NE(ReadLog().find("top"), std::string::npos);

    struct Call
    {
        std::string path;
        KelTextureEntry entry;
        bool loadNow;
    };
    std::vector<Call> calls;
    int marker = 0;
    KelTextureCL* made = reinterpret_cast<KelTextureCL*>(&marker);
    m_manager.SetTextureFactory(
        [&](const std::string& path, const KelTextureEntry& entry, bool loadNow)
        {
            calls.push_back({path, entry, loadNow});
            return made;
        });

    EXPECT_EQ(m_manager.CreateTexture("GUI", "deep", true), made);
    EXPECT_EQ(m_manager.CreateTexture("gui", "bare", false), made);
    EXPECT_EQ(m_manager.CreateTexture("gui", "Bare", false), nullptr);
    EXPECT_EQ(m_manager.CreateTexture("cards", "bare", false), nullptr);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].path, "\\game\\image\\gui\\deep.tga");
    EXPECT_TRUE(calls[0].loadNow);
    KelTextureEntry deep = Entry("deep", "gui\\deep.tga");
    deep.left = 4;
    deep.bottom = 8;
    ExpectSameEntry(calls[0].entry, deep);
    EXPECT_EQ(calls[1].path, "\\game\\image\\bare.tga");
    EXPECT_FALSE(calls[1].loadNow);
    ExpectSameEntry(calls[1].entry, Entry("bare", "bare.tga"));
}

TEST_F(KelTextureInfoTest, AuxiliaryPathIsKept)
{
    EXPECT_EQ(m_manager.GetAuxiliaryPath(), "");
    m_manager.SetAuxiliaryPath("\\game\\model");
    EXPECT_EQ(m_manager.GetAuxiliaryPath(), "\\game\\model");
}
