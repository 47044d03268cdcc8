// The generated skin against what the code asks for: every piece of the GUI configuration read
// through the engine's configuration reader and made into a texture with its picture, every
// picture the code names by set and ID, and the click sound decoded as the engine decodes sounds.

#include "Skin.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

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
    for (const skin::Named& name : skin::FrameNamedPictures())
        EXPECT_TRUE(Resolves(name.set, name.id, name.directory));
}

// A button is sized from its normal picture and shows the others in its place, so its states
// must share that size, and a player must see each change: every pair of states differs in at
// least a quarter of the pixels. The dialogs' text buttons (60 x 20 and larger) tile the
// configuration's button face, which they do only when the face is smaller in both directions;
// a larger face would be drawn once at its own size, off the button's edges.
TEST_F(SkinTest, ButtonStatesShareASizeAndDifferClearly)
{
    std::set<std::pair<std::string, std::string>> names;
    for (const skin::Named& name : skin::FrameNamedPictures())
        names.emplace(name.set, name.id);
    int buttons = 0;
    for (const auto& [set, id] : names)
    {
        if (!id.ends_with("_0") || !names.contains({set, id.substr(0, id.size() - 1) + "3"}))
            continue;
        ++buttons;
        const std::string base = id.substr(0, id.size() - 1);
        std::vector<KelTextureCL*> states;
        for (int state = 0; state < 4; ++state)
            states.push_back(m_textures.CreateTexture(set, base + std::to_string(state), true));
        ASSERT_NE(states[0], nullptr) << base;
        const int w = states[0]->GetWidth();
        const int h = states[0]->GetHeight();
        for (int a = 0; a < 4; ++a)
        {
            ASSERT_NE(states[a], nullptr) << base << a;
            EXPECT_EQ(states[a]->GetWidth(), w) << base << a;
            EXPECT_EQ(states[a]->GetHeight(), h) << base << a;
            for (int b = a + 1; b < 4 && states[a]->GetWidth() == w && states[a]->GetHeight() == h; ++b)
            {
                int different = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                    {
                        D3DCOLOR first = 0;
                        D3DCOLOR second = 0;
                        states[a]->GetPointColor(x, y, &first);
                        states[b]->GetPointColor(x, y, &second);
                        for (int shift = 0; shift < 32; shift += 8)
                            if (std::abs(static_cast<int>((first >> shift) & 0xFF) -
                                         static_cast<int>((second >> shift) & 0xFF)) > 8)
                            {
                                ++different;
                                break;
                            }
                    }
                EXPECT_GE(different * 4, w * h) << base << ": states " << a << " and " << b;
            }
        }
        for (KelTextureCL* state : states)
            if (state != nullptr)
                state->Release();
    }
    EXPECT_GT(buttons, 20);

    KelGuiPiece textButton;
    ASSERT_TRUE(KelGetGuiPiece("button", "", &textButton));
    for (int state = 0; state < 4; ++state)
    {
        KelTextureCL* face =
            m_textures.CreateTexture(textButton.file, textButton.data + "_" + std::to_string(state), true);
        ASSERT_NE(face, nullptr);
        EXPECT_LT(face->GetWidth(), 60);
        EXPECT_LT(face->GetHeight(), 20);
        face->Release();
    }
}

TEST_F(SkinTest, TheClickSoundDecodes)
{
    KelDecodedSound sound;
    ASSERT_TRUE(KelLoadEffectFile(WinPath(m_run / "sound" / "gameLoby" / "button.wav").c_str(), &sound));
    EXPECT_GT(sound.data.size(), 1000u);
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
    for (const char* file : {"image/card/13_3.png", "image/GuiII/btn_0.png", "Config/Gui/guiConfig.xml",
                             "sound/gameLoby/button.wav"})
    {
        std::ifstream a(folder.Path() / "run" / file, std::ios::binary);
        std::ifstream b(std::filesystem::path(KAVDOR_RUN_FOLDER) / file, std::ios::binary);
        const std::string left((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
        const std::string right((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(left.empty()) << file;
        EXPECT_EQ(left, right) << file;
    }
}
