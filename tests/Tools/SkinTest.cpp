// The generated skin against what the code asks for: every piece of the GUI configuration read
// through the engine's configuration reader and made into a texture with its picture, every
// picture the code names by set and ID, and every sound decoded as the engine decodes sounds and
// measured: its length, its level, its edges, and the pitch of the man's and the woman's voices.

#include "Skin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <iconv.h>

#include "EngineTestSupport.h"
#include "KelFontCL.h"
#include "KelGuiConfig.h"
#include "KelImageAnimCL.h"
#include "KelSoundDecoder.h"
#include "KelTextureCL.h"
#include "KelUIManagerCL.h"
#include "Win32/Profile.h"

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

TEST_F(SkinTest, DigitFontsLoadWithEveryCharacterTheyCarry)
{
    for (const std::string& name : skin::DigitFontNames())
    {
        const std::string path = WinPath(m_run / "image" / "config" / (name + ".xml"));
        KelFontCL* font = m_fonts.LoadImageFont(path.c_str());
        ASSERT_NE(font, nullptr) << name;
        EXPECT_EQ(font->GetName(), name);
        for (char c : skin::DigitFontCharacters())
        {
            EXPECT_GT(font->GetGlyph(static_cast<unsigned char>(c)).width, 0) << name << " '" << c << "'";
            EXPECT_EQ(font->GetGlyph(static_cast<unsigned char>(c)).height, font->GetGlyph('0').height);
        }
        m_fonts.DestroyFont(name.c_str());
    }
}

// The settings file turns sound on, and the chat panel's phrases read back, in GBK, as written.
TEST_F(SkinTest, SettingsAndPhrasesReadThroughTheProfileFunctions)
{
    EXPECT_EQ(GetPrivateProfileIntA("System", "OpenAudio", 0, WinPath(m_run / "config.ini").c_str()), 1u);
    const std::string phrases = WinPath(m_run / "game" / "kavdortwo" / "ChatText.ini");
    const auto& expected = skin::ChatPhrases();
    ASSERT_EQ(GetPrivateProfileIntA("Num", "num", -1, phrases.c_str()), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        char buffer[255] = {};
        const std::string key = "NO" + std::to_string(i + 1);
        const DWORD length =
            GetPrivateProfileStringA("Text", key.c_str(), "", buffer, sizeof buffer, phrases.c_str());
        iconv_t convert = iconv_open("UTF-8", "GBK");
        ASSERT_NE(convert, reinterpret_cast<iconv_t>(-1));
        char utf8[512] = {};
        char* in = buffer;
        size_t inLeft = length;
        char* out = utf8;
        size_t outLeft = sizeof utf8 - 1;
        EXPECT_NE(iconv(convert, &in, &inLeft, &out, &outLeft), static_cast<size_t>(-1)) << key;
        iconv_close(convert);
        EXPECT_EQ(std::string(utf8), expected[i]) << key;
    }
    EXPECT_TRUE(std::filesystem::is_directory(m_run / "save"));
}

// Faces and props load as the engine's zip animations, every frame a picture of the same size;
// the face picker's stills, the portraits and the portrait of a player without one are there.
TEST_F(SkinTest, AnimationsAndPortraitsLoad)
{
    const auto animation = [this](const std::filesystem::path& file, int frames, int size)
    {
        KelImageCL* image = m_images.LoadZipAnimationM(WinPath(file).c_str(), nullptr);
        ASSERT_NE(image, nullptr) << file;
        auto* anim = dynamic_cast<KelImageAnimCL*>(image);
        ASSERT_NE(anim, nullptr) << file;
        EXPECT_EQ(anim->GetFrameCount(), frames) << file;
        EXPECT_EQ(image->GetImageWidth(), size) << file;
        EXPECT_EQ(image->GetImageHeight(), size) << file;
        EXPECT_GT(anim->GetTotalDuration(), 0) << file;
    };
    for (int n = 1; n <= skin::FaceCount(); ++n)
    {
        animation(m_run / "image" / "face" / (std::to_string(n) + ".zip"), 6, 64);
        EXPECT_TRUE(Resolves("face", skin::FaceCode(n)));
    }
    for (int n = 1; n <= skin::PropCount(); ++n)
        animation(m_run / "image" / "prop" / ("effect_" + std::to_string(n) + ".zip"), 8, 96);
    for (int n = 1; n <= skin::PortraitCount(); ++n)
        EXPECT_TRUE(Resolves("Player", "Player_" + std::to_string(n)));
    KelImageCL* mask =
        m_images.LoadImageM(WinPath(m_run / "image" / "Role" / "malemask.tga").c_str(), true, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->GetImageWidth(), 90);
}

namespace
{
struct Heard
{
    std::vector<int16_t> samples;
    double seconds = 0;
    double peak = 0; // dBFS
    double rms = 0;  // dBFS
};

::testing::AssertionResult Hear(const std::string& path, Heard* heard)
{
    KelDecodedSound sound;
    if (!KelLoadEffectFile(path.c_str(), &sound))
        return ::testing::AssertionFailure() << path << " does not decode";
    if (sound.format.channels != 1 || sound.format.bitsPerSample != 16 || sound.format.samplesPerSec != 22050)
        return ::testing::AssertionFailure() << path << " is not 16-bit mono at 22,050 Hz";
    heard->samples.resize(sound.data.size() / 2);
    std::memcpy(heard->samples.data(), sound.data.data(), heard->samples.size() * 2);
    double peak = 0;
    double sum = 0;
    for (int16_t s : heard->samples)
    {
        peak = std::max(peak, std::abs(s / 32768.0));
        sum += (s / 32768.0) * (s / 32768.0);
    }
    heard->seconds = heard->samples.size() / 22050.0;
    heard->peak = 20 * std::log10(peak + 1e-9);
    heard->rms = 20 * std::log10(std::sqrt(sum / std::max<size_t>(1, heard->samples.size())) + 1e-9);
    return ::testing::AssertionSuccess();
}

// The median pitch of the voiced parts of speech, in Hz: for each loud 30 ms frame, the first
// strong peak of its autocorrelation between 60 and 400 Hz.
double MedianPitch(const std::vector<int16_t>& samples)
{
    const int frame = 22050 * 30 / 1000;
    const int shortest = 22050 / 400;
    const int longest = 22050 / 60;
    double total = 0;
    for (int16_t s : samples)
        total += double(s) * s;
    const double loud = total / samples.size() * frame;
    std::vector<double> pitches;
    for (size_t start = 0; start + frame + longest < samples.size(); start += frame)
    {
        const int16_t* x = samples.data() + start;
        double energy = 0;
        for (int i = 0; i < frame; ++i)
            energy += double(x[i]) * x[i];
        if (energy < loud)
            continue;
        std::vector<double> correlation(longest + 2, 0.0);
        for (int lag = shortest; lag <= longest + 1; ++lag)
        {
            double c = 0;
            double shifted = 0;
            for (int i = 0; i < frame; ++i)
            {
                c += double(x[i]) * x[i + lag];
                shifted += double(x[i + lag]) * x[i + lag];
            }
            correlation[lag] = c / std::sqrt(energy * shifted + 1);
        }
        const double best = *std::max_element(correlation.begin() + shortest, correlation.end());
        if (best < 0.5)
            continue;
        // The first peak near the best: a lag of two periods correlates as well as one.
        for (int lag = shortest + 1; lag <= longest; ++lag)
            if (correlation[lag] >= 0.85 * best && correlation[lag] >= correlation[lag - 1] &&
                correlation[lag] >= correlation[lag + 1])
            {
                pitches.push_back(22050.0 / lag);
                break;
            }
    }
    if (pitches.empty())
        return 0;
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}
} // namespace

TEST_F(SkinTest, EverySoundDecodesAndIsHeard)
{
    std::set<std::vector<int16_t>> distinct;
    for (const skin::SoundFile& file : skin::SoundFiles())
    {
        SCOPED_TRACE(file.path);
        Heard heard;
        ASSERT_TRUE(Hear(WinPath(m_run / file.path), &heard));
        // Effects are short; spoken lines take longer, but not long enough to drag.
        if (file.kind == skin::SoundKind::Effect)
        {
            EXPECT_GE(heard.seconds, 0.03);
            EXPECT_LE(heard.seconds, 1.5);
        }
        else
        {
            EXPECT_GE(heard.seconds, 0.4);
            EXPECT_LE(heard.seconds, 4.0);
        }
        // Heard, not clipped, and never starting or stopping on a step (a click).
        EXPECT_GT(heard.peak, -12.0);
        EXPECT_LT(heard.peak, -1.0);
        EXPECT_GT(heard.rms, -30.0);
        EXPECT_LT(std::abs(heard.samples.front()), 1000);
        EXPECT_LT(std::abs(heard.samples.back()), 1000);
        // Every file is a sound of its own.
        EXPECT_TRUE(distinct.insert(heard.samples).second);
    }
    // The clock ticks every second of a turn's last ten: one tick must end well before the next.
    Heard tick;
    ASSERT_TRUE(Hear(WinPath(m_run / "sound" / "qipai" / "dwonclock.ogg"), &tick));
    EXPECT_LT(tick.seconds, 0.3);
}

TEST_F(SkinTest, TheWomanSpeaksHigherThanTheMan)
{
    int pairs = 0;
    for (const skin::SoundFile& file : skin::SoundFiles())
    {
        if (file.kind != skin::SoundKind::MaleVoice)
            continue;
        const std::string female = Replaced(Replaced(file.path, "_m.ogg", "_f.ogg"), "man2_", "woman1_");
        SCOPED_TRACE(file.path + " and " + female);
        Heard man;
        Heard woman;
        ASSERT_TRUE(Hear(WinPath(m_run / file.path), &man));
        ASSERT_TRUE(Hear(WinPath(m_run / female), &woman));
        const double low = MedianPitch(man.samples);
        const double high = MedianPitch(woman.samples);
        EXPECT_GT(low, 70.0);
        EXPECT_GT(high, 1.5 * low);
        ++pairs;
    }
    EXPECT_EQ(pairs, 4 + 18);
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
    for (const char* file : {"image/card/card.png", "image/GuiII/btn_0.png", "Config/Gui/guiConfig.xml",
                             "sound/gameLoby/button.wav", "game/kavdortwo/kavdortwoTextureInfo/backFrame.png",
                             "sound/qipai/brshj1.ogg", "sound/effect/ogg/woman1_7.ogg"})
    {
        std::ifstream a(folder.Path() / "run" / file, std::ios::binary);
        std::ifstream b(std::filesystem::path(KAVDOR_RUN_FOLDER) / file, std::ios::binary);
        const std::string left((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
        const std::string right((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
        EXPECT_FALSE(left.empty()) << file;
        EXPECT_EQ(left, right) << file;
    }
}

namespace
{
class SkinCardsTest : public EngineTestBase<>
{
protected:
    SkinCardsTest() : EngineTestBase(64, 80) {}
};
} // namespace

// The cards share one sheet so that a hand is drawn in one batch; each must still be drawn
// exactly as painted, its own pixels and none of its neighbours', wherever it lies on the sheet.
TEST_F(SkinCardsTest, EveryCardIsDrawnExactlyFromItsSheet)
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    m_textureInfo.SetImageDirectoryVerbatim(WinPath(std::filesystem::path(KAVDOR_RUN_FOLDER) / "image"));
    m_textureInfo.LoadAllTextureInfo();
    std::vector<std::string> ids = {"53", "54", "cardBack_kavdor", "cardBack_trevan"};
    for (int face = 1; face <= 13; ++face)
        for (int suit = 0; suit < 4; ++suit)
            ids.push_back(std::to_string(face) + "_" + std::to_string(suit));
    std::set<std::string> images;
    for (const std::string& id : ids)
    {
        KelTextureCL* card = m_textureInfo.CreateTexture("card", id, true);
        ASSERT_NE(card, nullptr) << id;
        ASSERT_EQ(card->GetWidth(), 60) << id;
        ASSERT_EQ(card->GetHeight(), 78) << id;
        images.insert(card->GetFileName());
        const TestFrame frame = RenderFrame([card](KelCanvasCL* canvas) { card->Render(canvas); });
        int wrong = 0;
        for (int y = 0; y < 78; ++y)
            for (int x = 0; x < 60; ++x)
            {
                D3DCOLOR painted = 0;
                ASSERT_TRUE(card->GetPointColor(x, y, &painted));
                // The picture over the screen's grey.
                const int alpha = static_cast<int>(painted >> 24);
                const uint32_t drawn = frame.At(x, y);
                for (int shift = 0; shift < 24; shift += 8)
                {
                    const int expected =
                        (static_cast<int>((painted >> shift) & 0xFF) * alpha + 0x64 * (255 - alpha)) / 255;
                    if (std::abs(static_cast<int>((drawn >> shift) & 0xFF) - expected) > 2)
                    {
                        ++wrong;
                        break;
                    }
                }
            }
        EXPECT_EQ(wrong, 0) << id;
        card->Release();
    }
    EXPECT_EQ(images.size(), 1u) << "one sheet";
}
