// engine_table_frame: the table_frame workload (see TableFrameBench.cpp for the pixels) drawn the
// way the game draws it: textures of the image cache rendered onto the screen's canvas inside
// the screen's frame (camera states, sprite batches, flushes, Present into memory). Comparing
// its median with table_frame's shows what the engine adds to the device's own cost.
//
// engine_table_text: the same frame plus 2,000 Chinese characters drawn as text through the
// canvas with the 12-pixel system font (40 lines of 50 characters), in white, or with colour:1 in
// the yellow of the table's names (a colour that changes the glyphs' texels as they are drawn).
//
// The screen clears to its own grey instead of black; the opaque background covers every pixel,
// so the picture is the same.
//
// engine_card_layer: the table's cards as the game draws them, through its card groups, with the
// generated skin of the build's runtime folder: the 800 x 600 background, the player's hand of 33
// cards in a row (one card raised, a different one each frame) and four played groups (rows of 8
// and 6 cards, columns of 5 and 4). All the cards come from one sheet, so the layer is one batch.
// With cards:0 only the background is drawn, which tells what the cards add.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "CGameCardKavdorTwoCL.h"
#include "CGameKavdorGroupCl.h"
#include "D3D8/D3D8.h"
#include "FrameCheck.h"
#include "KelCanvasCL.h"
#include "KelEngineCL.h"
#include "KelRect.h"
#include "KelScreenCL.h"
#include "KelTextureCL.h"
#include "KelTextureInfoManagerCL.h"
#include "Win32/Window.h"

namespace
{
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr float kPi = 3.14159265f;

// An uncompressed 32-bit TGA, rows from the top, of the given pixels.
template <class Pixel>
std::string Tga(int width, int height, Pixel pixel)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = static_cast<char>(width & 255);
    file[13] = static_cast<char>(width >> 8);
    file[14] = static_cast<char>(height & 255);
    file[15] = static_cast<char>(height >> 8);
    file[16] = 32;
    file[17] = 0x28; // 8 alpha bits, top-left origin
    file.reserve(18 + static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            uint32_t p = pixel(x, y);
            file.push_back(static_cast<char>(p & 255));
            file.push_back(static_cast<char>((p >> 8) & 255));
            file.push_back(static_cast<char>((p >> 16) & 255));
            file.push_back(static_cast<char>(p >> 24));
        }
    return file;
}

// 2,000 GBK characters: 40 lines of the same 50-character sentence pieces.
std::vector<std::string> TextLines()
{
    const std::string piece = "地主出牌炸弹顺子对子三带一春天反春农民胜利叫分不叫";
    std::vector<std::string> lines;
    for (int line = 0; line < 40; ++line)
    {
        std::string text;
        while (text.size() < 100)
            text += piece;
        text.resize(100); // 50 two-byte characters
        lines.push_back(text);
    }
    return lines;
}

class EngineTableFrame
{
public:
    EngineTableFrame(bool opaqueCards, bool rotated, bool text, uint32_t textColour)
        : m_window(kWidth, kHeight), m_rotated(rotated), m_text(text), m_textColour(textColour)
    {
        KelEngineCL* engine = KelEngineCL::GetInstance();
        engine->KelObjLoaderInit(nullptr);
        m_screen = engine->CreateKelWindow("bench");
        m_screen->CreateDevice(&m_window, 0);

        std::string background = Tga(kWidth, kHeight,
                                     [](int x, int y)
                                     {
                                         return 0xFF000000u | static_cast<uint32_t>(x * 255 / 799) << 16 |
                                                static_cast<uint32_t>(y * 255 / 599) << 8 |
                                                static_cast<uint32_t>((x ^ y) & 255);
                                     });
        std::string card = Tga(60, 78,
                               [opaqueCards](int x, int y)
                               {
                                   uint32_t a = static_cast<uint32_t>(x * 255 / 59);
                                   if (opaqueCards)
                                   {
                                       int d = std::min(x, 59 - x) + std::min(y, 77 - y);
                                       a = d < 4 ? 0 : d == 4 ? 128 : 255;
                                   }
                                   return a << 24 | static_cast<uint32_t>(255 - 3 * y) << 16 |
                                          static_cast<uint32_t>(4 * x) << 8 | 128u;
                               });
        std::string atlas = Tga(
            256, 256,
            [](int x, int y) { return static_cast<uint32_t>((7 * x + 13 * y) & 255) << 24 | 0x00FFFFFFu; });
        const char* cardName = opaqueCards ? "bench_card_opaque.tga" : "bench_card.tga";
        m_background.reset(KelLoadTextureFromMemory("bench_background.tga", background.data(),
                                                    static_cast<UINT>(background.size())));
        // Every card is a texture of its own sharing the one cached image, as on a real table.
        for (int i = 0; i < 200; ++i)
            m_cards.emplace_back(
                KelLoadTextureFromMemory(cardName, card.data(), static_cast<UINT>(card.size())));
        m_atlas.reset(
            KelLoadTextureFromMemory("bench_atlas.tga", atlas.data(), static_cast<UINT>(atlas.size())));
        if (m_text)
            m_lines = TextLines();
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { Draw(canvas); });
    }

    ~EngineTableFrame()
    {
        m_screen->SetRenderCallback(nullptr);
        m_cards.clear();
        m_background.reset();
        m_atlas.reset();
        // Each variant starts from an empty engine: its own device, cache and fonts.
        KelEngineCL::GetInstance()->KelObjLoaderDestroy();
    }

    bool Ready() const
    {
        return m_screen != nullptr && m_screen->GetDevice() != nullptr && m_background && m_atlas &&
               !m_cards.empty() && m_cards[0];
    }

    void Render(int frame)
    {
        m_frame = frame;
        m_screen->RenderFrame();
    }

    void WritePng(const std::string& name) const { WriteFramePng(name, m_window.Frame(), kWidth, kHeight); }

    uint32_t Hash() const { return FrameHash(m_window.Frame()); }

private:
    void Draw(KelCanvasCL* canvas)
    {
        m_background->SetPosition(0.0f, 0.0f);
        m_background->Render(canvas);
        for (int i = 0; i < 200; ++i)
        {
            KelTextureCL* card = m_cards[static_cast<size_t>(i)].get();
            card->SetPosition(static_cast<float>((97 * i + 7 * m_frame) % 741),
                              static_cast<float>((61 * i + 5 * m_frame) % 523));
            float degrees =
                m_rotated && i % 10 == 0 ? static_cast<float>((17 * i + 3 * m_frame) % 360) : 0.0f;
            card->SetAngle(degrees * kPi / 180.0f);
            card->Render(canvas);
        }
        for (int j = 0; j < 50; ++j)
        {
            int sx = (5 * j) % 32 * 8;
            int sy = (3 * j) % 21 * 12;
            m_atlas->SetRect(KelRect(sx, sy, sx + 8, sy + 12));
            m_atlas->SetPosition(static_cast<float>(16 + (j % 25) * 20),
                                 static_cast<float>(540 + (j / 25) * 20));
            m_atlas->Render(canvas);
        }
        if (m_text)
        {
            canvas->SetTextColor(m_textColour);
            for (size_t line = 0; line < m_lines.size(); ++line)
                canvas->DrawText(m_lines[line].c_str(), 10, 10 + static_cast<int>(line) * 13, nullptr, false,
                                 0);
        }
    }

    struct TextureDeleter
    {
        void operator()(KelTextureCL* texture) const { KelReleaseTexture(texture); }
    };
    using TexturePtr = std::unique_ptr<KelTextureCL, TextureDeleter>;

    MemoryWindow m_window;
    bool m_rotated;
    bool m_text;
    uint32_t m_textColour;
    KelScreenCL* m_screen = nullptr;
    TexturePtr m_background;
    std::vector<TexturePtr> m_cards;
    TexturePtr m_atlas;
    std::vector<std::string> m_lines;
    int m_frame = 0;
};

class EngineCardLayer
{
public:
    explicit EngineCardLayer(bool cards) : m_window(kWidth, kHeight), m_cards(cards)
    {
        KelEngineCL* engine = KelEngineCL::GetInstance();
        engine->KelObjLoaderInit(nullptr);
        m_screen = engine->CreateKelWindow("bench");
        m_screen->CreateDevice(&m_window, 0);
        std::string run = KAVDOR_RUN_FOLDER;
        for (char& c : run)
            if (c == '/')
                c = '\\';
        KelTextureInfoManagerCL* textures = KelTextureInfoManagerCL::GetInstance();
        // The table's background is the game's own picture, in the game's folder.
        textures->SetImageDirectoryVerbatim(run + "\\game\\kavdortwo");
        textures->LoadTextureInfo("kavdortwoTextureInfo",
                                  run + "\\game\\kavdortwo\\Texturekavdortwo\\kavdortwotextureInfo.xml");
        m_background.reset(textures->CreateTexture("kavdortwoTextureInfo", "backFrame", true));
        textures->SetImageDirectoryVerbatim(run + "\\image");
        textures->LoadAllTextureInfo();
        // The cards load from the frame's image directory, which the application remembers here.
        GetApp()->OnInitial();
        if (!m_background)
        {
            std::string felt = Tga(kWidth, kHeight, [](int, int) { return 0xFF1E5A3Cu; });
            m_background.reset(
                KelLoadTextureFromMemory("bench_felt.tga", felt.data(), static_cast<UINT>(felt.size())));
        }

        // A two-deck hand, high to low, as the landlord holds it after the base cards.
        for (int i = 0; i < 33; ++i)
            m_hand.AddCard(static_cast<uint8_t>(i < 2 ? 54 - i : 1 + (i * 7) % 52));
        m_hand.SetDirection(GameCardGroupCL::kRow);
        m_hand.SetAlign(GameCardGroupCL::kAlignCentre);
        m_hand.SetPosition(400, 520);
        const int placing[4][5] = {{8, GameCardGroupCL::kRow, GameCardGroupCL::kAlignCentre, 400, 380},
                                   {5, GameCardGroupCL::kColumn, GameCardGroupCL::kAlignRight, 640, 260},
                                   {6, GameCardGroupCL::kRow, GameCardGroupCL::kAlignCentre, 400, 150},
                                   {4, GameCardGroupCL::kColumn, 0, 160, 260}};
        for (int seat = 0; seat < 4; ++seat)
        {
            for (int i = 0; i < placing[seat][0]; ++i)
                m_played[seat].AddCard(static_cast<uint8_t>(3 + seat + 13 * (i % 4)));
            m_played[seat].SetDirection(placing[seat][1]);
            m_played[seat].SetAlign(placing[seat][2]);
            m_played[seat].SetPosition(placing[seat][3], placing[seat][4]);
        }
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { Draw(canvas); });
    }

    ~EngineCardLayer()
    {
        m_screen->SetRenderCallback(nullptr);
        m_hand.DestroyCard();
        for (CGameKavdorGroupCl& group : m_played)
            group.DestroyCard();
        m_background.reset();
        GetApp()->OnDestroy();
        KelEngineCL::GetInstance()->KelObjLoaderDestroy();
    }

    bool Ready()
    {
        return m_screen != nullptr && m_screen->GetDevice() != nullptr && m_background &&
               m_hand.GetCard(0)->GetImage() != nullptr;
    }

    void Render(int frame)
    {
        m_frame = frame;
        m_screen->RenderFrame();
    }

    void WritePng(const std::string& name) const { WriteFramePng(name, m_window.Frame(), kWidth, kHeight); }

    uint32_t Hash() const { return FrameHash(m_window.Frame()); }

private:
    void Draw(KelCanvasCL* canvas)
    {
        m_background->Render(canvas);
        if (!m_cards)
            return;
        m_hand.SetSelectFlag(0);
        m_hand.GetCard(m_frame % m_hand.GetCardNum())->SetCardSelect(1);
        m_hand.DrawM(canvas);
        for (CGameKavdorGroupCl& group : m_played)
            group.DrawM(canvas);
    }

    struct TextureDeleter
    {
        void operator()(KelTextureCL* texture) const { KelReleaseTexture(texture); }
    };

    MemoryWindow m_window;
    bool m_cards;
    KelScreenCL* m_screen = nullptr;
    std::unique_ptr<KelTextureCL, TextureDeleter> m_background;
    CGameKavdorGroupCl m_hand;
    CGameKavdorGroupCl m_played[4];
    int m_frame = 0;
};

void engine_card_layer(benchmark::State& state)
{
    EngineCardLayer layer(state.range(0) != 0);
    if (!layer.Ready())
    {
        state.SkipWithError("the skin's cards or background did not load (build the skin target)");
        return;
    }
    TimeFrames(state, [&layer](int number) { layer.Render(number); });
    state.counters["hash"] = static_cast<double>(layer.Hash());
    layer.WritePng("engine_card_layer_" + std::to_string(state.range(0)));
}
// Without the cards: the background alone, to tell what the cards add.
BENCHMARK(engine_card_layer)
    ->ArgName("cards")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond);

void Run(benchmark::State& state, bool opaque, bool rotated, bool text, uint32_t textColour = 0xFFFFFFFFu)
{
    EngineTableFrame frame(opaque, rotated, text, textColour);
    if (!frame.Ready())
    {
        state.SkipWithError("the engine could not set up the frame");
        return;
    }
    TimeFrames(state, [&frame](int number) { frame.Render(number); });
    state.counters["hash"] = static_cast<double>(frame.Hash());
    frame.WritePng(std::string(text ? "engine_text" : "engine_frame") + "_" + std::to_string(opaque) +
                   std::to_string(rotated) + (textColour != 0xFFFFFFFFu ? "_colour" : ""));
}

void engine_table_frame(benchmark::State& state)
{
    Run(state, state.range(0) != 0, state.range(1) != 0, false);
}
BENCHMARK(engine_table_frame)
    ->ArgNames({"opaque", "rotated"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond);

void engine_table_text(benchmark::State& state)
{
    Run(state, false, false, true, state.range(0) != 0 ? 0xFFFFE060u : 0xFFFFFFFFu);
}
BENCHMARK(engine_table_text)
    ->ArgName("colour")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(500)
    ->Unit(benchmark::kMillisecond);
} // namespace
