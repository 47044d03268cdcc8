// The generated skin against what the code asks for: every piece of the GUI configuration read
// through the engine's configuration reader and made into a texture with its picture, every
// picture the code names by set and ID, and the click sound decoded as the engine decodes sounds.

#include "Skin.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "KelGuiConfig.h"
#include "KelSoundDecoder.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"

namespace
{
std::string WinPath(std::filesystem::path path)
{
    std::string text = std::filesystem::absolute(path).lexically_normal().string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

class SkinTest : public EngineTest
{
protected:
    void SetUp() override
    {
        ASSERT_NE(CreateScreenWithDevice(), nullptr);
        m_textures.SetImageDirectoryVerbatim(WinPath(m_run / "image"));
        m_textures.LoadAllTextureInfo();
        std::string module = KelGetModuleDirectory();
        for (char& c : module)
            if (c == '\\')
                c = '/';
        std::string relative = std::filesystem::relative(m_run, module).string();
        for (char& c : relative)
            if (c == '/')
                c = '\\';
        m_ui.SetGuiConfigM(relative + "\\Config\\Gui\\guiConfig.xml");
    }

    // A texture of the set and ID with a picture of some size, made in the given image directory
    // (relative to the runtime folder) as the code makes it.
    ::testing::AssertionResult Resolves(const std::string& set, const std::string& id,
                                        const std::string& directory = "image")
    {
        m_textures.SetImageDirectoryVerbatim(WinPath(m_run / directory));
        KelTextureCL* texture = m_textures.CreateTexture(set, id, true);
        if (texture == nullptr)
            return ::testing::AssertionFailure() << set << "/" << id << " is not in its set";
        const bool drawn =
            texture->GetImage() != nullptr && texture->GetWidth() > 0 && texture->GetHeight() > 0;
        texture->Release();
        if (!drawn)
            return ::testing::AssertionFailure() << set << "/" << id << " has no picture";
        return ::testing::AssertionSuccess();
    }

    const std::filesystem::path m_run = KAVDOR_RUN_FOLDER;
    KelTextureInfoManagerCL& m_textures = *KelTextureInfoManagerCL::GetInstance();
    KelUIManagerCL m_ui;
};
} // namespace

TEST_F(SkinTest, EveryPieceOfTheGuiConfigurationHasItsPictures)
{
    for (const skin::GuiPiece& piece : skin::GuiPieces())
    {
        KelGuiPiece found;
        ASSERT_TRUE(KelGetGuiPiece(piece.kind, piece.piece, &found)) << piece.kind << "/" << piece.piece;
        EXPECT_EQ(found.file, piece.set);
        EXPECT_EQ(found.data, piece.id);
        if (piece.states)
            for (int state = 0; state < 4; ++state)
                EXPECT_TRUE(Resolves(found.file, found.data + "_" + std::to_string(state)));
        else
            EXPECT_TRUE(Resolves(found.file, found.data));
    }
}

TEST_F(SkinTest, EveryPictureTheCodeNamesIsThere)
{
    for (const skin::Named& name : skin::CodeNamedPictures())
        EXPECT_TRUE(Resolves(name.set, name.id, name.directory));
}

TEST_F(SkinTest, TheClickSoundDecodes)
{
    KelDecodedSound sound;
    ASSERT_TRUE(KelLoadEffectFile(WinPath(m_run / "sound" / "gameLoby" / "button.wav").c_str(), &sound));
    EXPECT_GT(sound.data.size(), 1000u);
}

TEST_F(SkinTest, EveryTablePictureIsThereInTheDirectoryItIsAskedIn)
{
    // The game loads its own set from its folder when it starts; the host has loaded the rest.
    ASSERT_TRUE(m_textures.LoadTextureInfo("kavdortwoTextureInfo",
                                           WinPath(m_run / "game" / "kavdortwo") +
                                               "\\Texturekavdortwo\\kavdortwotextureInfo.xml"));
    for (const skin::Named& name : skin::TableNamedPictures())
        EXPECT_TRUE(Resolves(name.set, name.id, name.directory)) << "in " << name.directory;
}

namespace
{
// How far apart two pictures of one size are: the mean difference of their channels, 0 ... 255.
int MeanDifference(const skin::Picture& a, const skin::Picture& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return 255;
    int64_t sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int shift = 0; shift < 32; shift += 8)
                sum += std::abs(static_cast<int>((a.At(x, y) >> shift) & 0xFF) -
                                static_cast<int>((b.At(x, y) >> shift) & 0xFF));
    return static_cast<int>(sum / (4LL * a.Width() * a.Height()));
}
} // namespace

TEST(SkinTable, ButtonStatesAndCardBacksLookDifferent)
{
    TestFolder folder;
    skin::Output out(folder.Path());
    skin::WriteTable(out);
    const auto picture = [&out](const std::string& set, const std::string& id) -> const skin::Picture&
    { return out.Pictures().at(set + "/" + id); };
    // Every button of the table shows its hover, pressed and disabled states plainly.
    int buttons = 0;
    for (const skin::Named& name : skin::TableNamedPictures())
    {
        if (!name.id.ends_with("_0") ||
            !out.Pictures().contains(name.set + "/" + name.id.substr(0, name.id.size() - 2) + "_3"))
            continue;
        ++buttons;
        const std::string base = name.id.substr(0, name.id.size() - 2);
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_GE(MeanDifference(picture(name.set, base + "_" + std::to_string(a)),
                                         picture(name.set, base + "_" + std::to_string(b))),
                          12)
                    << base << " states " << a << " and " << b;
    }
    // System, scale, bid, play, pass, hint, ready and tool-bar buttons.
    EXPECT_EQ(buttons, 17);
    // The landlord's face-down cards are told from the others' at a glance.
    EXPECT_GE(MeanDifference(picture("card", "cardBack_kavdor"), picture("card", "cardBack_trevan")), 30);
}

TEST(SkinGenerator, WritesTheSameBytesAndOnlyWhatChanged)
{
    TestFolder folder;
    const std::string tool = KAVDOR_SKIN_TOOL;
    const std::string run = (folder.Path() / "run").string();
    ASSERT_EQ(std::system((tool + " " + run + " > " + (folder.Path() / "first.txt").string()).c_str()), 0);
    ASSERT_EQ(std::system((tool + " " + run + " > " + (folder.Path() / "second.txt").string()).c_str()), 0);
    EXPECT_NE(folder.Read("second.txt").find(" 0 files written"), std::string::npos)
        << folder.Read("second.txt");
    // The same bytes as the build's own run folder.
    for (const char* file :
         {"image/card/13_3.png", "image/GuiII/btn_0.png", "Config/Gui/guiConfig.xml",
          "sound/gameLoby/button.wav", "game/kavdortwo/kavdortwoTextureInfo/backFrame.png"})
    {
        std::ifstream a(folder.Path() / "run" / file, std::ios::binary);
        std::ifstream b(std::filesystem::path(KAVDOR_RUN_FOLDER) / file, std::ios::binary);
        const std::string left((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
        const std::string right((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(left.empty()) << file;
        EXPECT_EQ(left, right) << file;
    }
}
