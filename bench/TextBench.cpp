// Cost of the GBK conversions the font code makes for every text it draws: a short label and a
// long chat line, decoded to code points (glyph lookup) and to UTF-8 (window titles, input).

#include "Win32/Text.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
// About ten Chinese characters, as on a button or a player's name plate.
const std::string kLabel = "开始游戏：两人对局模式";

// A chat line of 200 characters, mostly Chinese with some ASCII, as players type them.
std::string ChatLine()
{
    const std::string piece = "大家好，这局我出对子 AK，你们小心一点！"; // 20 characters
    std::string line;
    for (int i = 0; i < 10; ++i)
    {
        line += piece;
    }
    return line;
}

const std::string kChatLine = ChatLine();

void BM_GbkToUnicode(benchmark::State& state, const std::string* text)
{
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(GbkToUnicode(*text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->size()));
}

void BM_GbkToUtf8(benchmark::State& state, const std::string* text)
{
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(GbkToUtf8(*text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->size()));
}
} // namespace

BENCHMARK_CAPTURE(BM_GbkToUnicode, label, &kLabel);
BENCHMARK_CAPTURE(BM_GbkToUnicode, chat_line, &kChatLine);
BENCHMARK_CAPTURE(BM_GbkToUtf8, label, &kLabel);
BENCHMARK_CAPTURE(BM_GbkToUtf8, chat_line, &kChatLine);
