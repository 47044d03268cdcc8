// A chat panel: a rich text box of 300 x 400 pixels holding 200 chat lines, each with coloured
// names and two 20-pixel faces, laid out once, inside an 800 x 600 screen of the software device.
//   rich_text_frame:  one frame of the screen with the box as it is (drawn from its cached
//                     background image, as the game shows it between changes);
//   rich_text_redraw: one frame after the box has changed (its visible lines drawn again);
//   rich_text_append: appending one more chat line to the full box (the layout of that line
//                     only; the box keeps growing).

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "FrameCheck.h"
#include "KelEngineCL.h"
#include "KelScreenCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "Win32/Window.h"

namespace
{
std::string SolidTga(int width, int height, uint32_t argb)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = static_cast<char>(width);
    file[14] = static_cast<char>(height);
    file[16] = 32;
    file[17] = 0x28;
    for (int i = 0; i < width * height; ++i)
        for (int shift = 0; shift < 32; shift += 8)
            file += static_cast<char>(argb >> shift);
    return file;
}

std::string ChatLine(int i)
{
    return "#BLUE#player" + std::to_string(i) + ": #BLACK#hello there /01 how are you doing /02 good game";
}

class ChatPanel
{
public:
    ChatPanel() : m_window(800, 600)
    {
        m_folder = std::filesystem::temp_directory_path() / ("kd-rich-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_folder / "config");
        std::ofstream(m_folder / "face.tga", std::ios::binary) << SolidTga(20, 20, 0xFF20C020);
        std::ofstream(m_folder / "config" / "face.xml")
            << "<textureInfo name=\"face\"><texture ID=\"/01\" image=\"face.tga\"><rect left=\"0\" top=\"0\" "
               "right=\"20\" bottom=\"20\"/></texture><texture ID=\"/02\" image=\"face.tga\"><rect "
               "left=\"0\" "
               "top=\"0\" right=\"20\" bottom=\"20\"/></texture></textureInfo>";
        KelEngineCL* engine = KelEngineCL::GetInstance();
        engine->KelObjLoaderInit(nullptr);
        m_screen = engine->CreateKelWindow("bench");
        m_screen->CreateDevice(&m_window, 0);
        std::string folder = m_folder.string();
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        KelTextureInfoManagerCL::GetInstance()->SetImageDirectoryVerbatim(folder);
        KelTextureInfoManagerCL::GetInstance()->LoadAllTextureInfo();
        m_ui = std::make_unique<KelUIManagerCL>();
        m_ui->SetDeskTopSizeM(800, 600);
        m_box = new KelWnd2DRichEditIICL("chat", m_ui->GetDeskTopM(), 20, 20, 300, 400, 0);
        for (int i = 0; i < 200; ++i)
        {
            m_box->AddTextM(ChatLine(i));
            m_box->NewLineM();
        }
        m_box->SetScrollPosM(1 << 30);
        m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui->RenderM(canvas); });
        Frame();
    }
    ~ChatPanel()
    {
        WriteFramePng("rich_text", m_window.Frame(), 800, 600);
        m_screen->SetRenderCallback(nullptr);
        m_ui.reset();
        KelEngineCL::GetInstance()->KelObjLoaderDestroy();
        std::filesystem::remove_all(m_folder);
    }
    void Frame()
    {
        m_ui->UpDatedataM();
        m_screen->RenderFrame();
    }
    KelWnd2DRichEditIICL* Box() { return m_box; }

private:
    MemoryWindow m_window;
    std::filesystem::path m_folder;
    KelScreenCL* m_screen = nullptr;
    std::unique_ptr<KelUIManagerCL> m_ui;
    KelWnd2DRichEditIICL* m_box = nullptr;
};

void rich_text_frame(benchmark::State& state)
{
    ChatPanel panel;
    if (panel.Box()->GetItems().size() < 1000)
        state.SkipWithError("the panel was not laid out");
    for (auto _ : state)
        panel.Frame();
}
BENCHMARK(rich_text_frame)->Unit(benchmark::kMillisecond);

void rich_text_redraw(benchmark::State& state)
{
    ChatPanel panel;
    for (auto _ : state)
    {
        panel.Box()->Invalidate();
        panel.Frame();
    }
}
BENCHMARK(rich_text_redraw)->Unit(benchmark::kMillisecond);

void rich_text_append(benchmark::State& state)
{
    ChatPanel panel;
    int i = 200;
    for (auto _ : state)
    {
        panel.Box()->AddTextM(ChatLine(i++));
        panel.Box()->NewLineM();
    }
}
BENCHMARK(rich_text_append)->Unit(benchmark::kMicrosecond);
} // namespace
