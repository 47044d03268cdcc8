// Appends arbitrary text, as received chat text, to a rich text box and checks its layout:
//  - nothing crashes and the layout ends (libFuzzer's time limit catches an endless loop);
//  - every item is non-empty, no text item is wider than the box unless it is one character,
//    and items are in reading order (line by line, left to right);
//  - the plain text never holds more bytes than were appended (markers only ever disappear).
// The first byte is the box's width; the rest is split at line feeds into separate appends.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "KelEngineCL.h"
#include "KelFontCL.h"
#include "KelFontManagerCL.h"
#include "KelLoadSystemCL.h"
#include "KelLogCL.h"
#include "KelMBString.h"
#include "KelRenderStateManagerCL.h"
#include "KelResourceManagerCL.h"
#include "KelScreenCL.h"
#include "KelScreenManagerCL.h"
#include "KelSystemCL.h"
#include "KelTextureInfoManagerCL.h"
#include "KelUIManagerCL.h"
#include "KelWnd2DRichEditIICL.h"
#include "Win32/Window.h"

namespace
{
void Check(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// The engine with a screen: glyphs are measured on pages the device holds.
struct Engine
{
    Engine()
    {
        KelLogCL::GetInstance()->SetEnabled(0);
        Check(engine.KelObjLoaderInit(nullptr), "no engine");
        KelScreenCL* screen = engine.CreateKelWindow("main");
        Check(screen != nullptr && screen->CreateDevice(&window, 0), "no screen");
        fonts.CreateFont("system", "宋体", 6, 12, 1, nullptr);
        // Text must have a width, or nothing would ever wrap.
        Check(fonts.GetFont("system") != nullptr && fonts.GetFont("system")->GetTextWidth("ab") > 0,
              "the font measures nothing");
        // A face set whose IDs are looked up in the text; its pictures do not exist, so faces are
        // recognised and then dropped, as when a face image cannot be made.
        char path[] = "/tmp/rich-fuzz-XXXXXX";
        const int fd = mkstemp(path);
        Check(fd >= 0, "cannot create the face set");
        const std::string xml = "<textureInfo name=\"face\"><texture ID=\"/01\" image=\"a.tga\"/>"
                                "<texture ID=\"/:)\" image=\"b.tga\"/><texture ID=\"/long_face_id_20b\" "
                                "image=\"c.tga\"/></textureInfo>";
        Check(write(fd, xml.data(), xml.size()) == static_cast<ssize_t>(xml.size()),
              "cannot write the face set");
        close(fd);
        textures.LoadTextureInfo("face", path);
        unlink(path);
    }
    // As the host ends the engine: fonts and images go before their managers.
    ~Engine() { engine.KelObjLoaderDestroy(); }

    KelSystemCL system;
    KelRenderStateManagerCL states;
    KelLoadSystemCL loader;
    KelTextureInfoManagerCL textures;
    KelFontManagerCL fonts;
    KelResourceManagerCL images;
    KelScreenManagerCL screens;
    KelEngineCL engine;
    MemoryWindow window{64, 64};
    KelUIManagerCL ui;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Engine engine;
    if (size == 0)
        return 0;
    const int width = 1 + data[0];
    auto* box = new KelWnd2DRichEditIICL("rich", engine.ui.GetDeskTopM(), 0, 0, width, 100, 0);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t start = 0;
    while (start <= text.size())
    {
        const size_t end = std::min(text.find('\n', start), text.size());
        box->AddTextM(text.substr(start, end - start));
        box->NewLineM();
        start = end + 1;
    }
    int line = 0;
    int top = 0;
    int x = 0;
    for (const auto& item : box->GetItems())
    {
        Check(!item->Text().empty(), "empty item");
        Check(item->line >= line, "items out of line order");
        if (item->line > line)
        {
            Check(item->lineTop > top || line == 0, "a later line starts higher");
            line = item->line;
            top = item->lineTop;
            x = 0;
        }
        Check(item->x >= x, "items out of order on a line");
        x = item->x + item->width;
        if (!item->IsImage() && KelMBString(item->Text()).GetCount() > 1)
            Check(item->width <= width, "a text item wider than the box");
    }
    Check(box->GetPlainTextM().size() <= text.size(), "more text than was appended");
    box->SetScrollPosM(1 << 30);
    Check(box->GetScrollPos() >= 0, "scrolled before the start");
    delete box;
    return 0;
}
