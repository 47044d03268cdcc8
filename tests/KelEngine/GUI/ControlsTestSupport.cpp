#include "ControlsTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <stb/stb_image_write.h>

#include "KelSystemCL.h"

namespace
{
struct Picture
{
    std::string id;
    int width;
    int height;
    std::vector<uint32_t> pixels;
};

std::vector<uint32_t> NinePart()
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            pixels.push_back(skin::kCells[(y / 3) * 3 + x / 3]);
    return pixels;
}
} // namespace

void ControlsTest::Snapshot(const TestFrame& frame, const char* name)
{
    const char* folder = std::getenv("KAVDOR_SNAPSHOT_DIR");
    if (folder == nullptr)
        return;
    std::vector<uint8_t> rgb;
    for (uint32_t pixel : frame.pixels)
        for (int shift : {16, 8, 0})
            rgb.push_back(static_cast<uint8_t>(pixel >> shift));
    const std::string path = (std::filesystem::path(folder) / (std::string(name) + ".png")).string();
    stbi_write_png(path.c_str(), frame.width, frame.height, 3, rgb.data(), frame.width * 3);
}

void ControlsTest::WriteGuiConfig(const std::string& body)
{
    m_folder.Write("Config/Gui/guiConfig.xml", "<gui>" + body + "</gui>");
}

void ControlsTest::SetUp()
{
    ASSERT_NE(CreateScreenWithDevice(), nullptr);
    m_textureInfo.SetImageDirectoryVerbatim(m_folder.WinPath());
    std::vector<Picture> pictures;
    for (int i = 0; i < 4; ++i)
    {
        const std::string n = std::to_string(i);
        pictures.push_back({"btn_" + n, 30, 12, {skin::kButton[i]}});
        pictures.push_back({"close_" + n, 20, 16, {skin::kClose[i]}});
        pictures.push_back({"min_" + n, 20, 16, {skin::kMin[i]}});
        pictures.push_back({"ok_" + n, 30, 12, {skin::kOk[i]}});
        pictures.push_back({"tile_" + n, 9, 9, NinePart()});
    }
    for (int i = 0; i < 6; ++i)
    {
        pictures.push_back({"chk" + std::to_string(i), 12, 12, {skin::kCheck[i]}});
        pictures.push_back({"rad" + std::to_string(i), 12, 12, {skin::kRadio[i]}});
    }
    pictures.push_back({"barL", 10, 20, {skin::kBarLeft}});
    pictures.push_back({"barM", 10, 20, {skin::kBarMiddle}});
    pictures.push_back({"barR", 10, 20, {skin::kBarRight}});
    pictures.push_back({"corner", 4, 4, {skin::kCorner}});
    pictures.push_back({"edge", 4, 4, {skin::kEdge}});
    pictures.push_back({"back", 8, 8, {skin::kBack}});
    for (const char* suffix : {"_upLeft", "_upRight", "_downLeft", "_ownRight"})
        pictures.push_back({std::string("panel") + suffix, 4, 4, {skin::kCorner}});
    for (const char* suffix : {"_up", "_left", "_down", "_right"})
        pictures.push_back({std::string("panel") + suffix, 4, 4, {skin::kEdge}});
    pictures.push_back({"panel_back", 8, 8, {skin::kBack}});
    for (int i = 0; i < 4; ++i)
    {
        pictures.push_back({"up_" + std::to_string(i), 12, 10, {skin::kArrow}});
        pictures.push_back({"mid_" + std::to_string(i), 12, 8, {skin::kThumb}});
        pictures.push_back({"down_" + std::to_string(i), 12, 10, {skin::kArrow}});
    }
    pictures.push_back({"track", 12, 12, {skin::kTrack}});

    std::string info = "<textureInfo name=\"skin\" type=\"2D\">";
    for (const Picture& p : pictures)
    {
        m_folder.Write("gui/" + p.id + ".tga", Tga(p.width, p.height, p.pixels));
        info += "<texture ID=\"" + p.id + "\" image=\"gui\\" + p.id +
                ".tga\"><rect left=\"0\" top=\"0\" right=\"" + std::to_string(p.width) + "\" bottom=\"" +
                std::to_string(p.height) + "\"/></texture>";
    }
    m_folder.Write("config/skin.xml", info + "</textureInfo>");
    // The sets the message box names: its two buttons and its background panel.
    std::string tongyong = "<textureInfo name=\"tongyong\" type=\"2D\">";
    std::string guiII = "<textureInfo name=\"GuiII\" type=\"2D\">";
    const auto entry = [](const std::string& id, const std::string& picture, int w, int h)
    {
        return "<texture ID=\"" + id + "\" image=\"gui\\" + picture +
               ".tga\"><rect left=\"0\" top=\"0\" right=\"" + std::to_string(w) + "\" bottom=\"" +
               std::to_string(h) + "\"/></texture>";
    };
    for (int i = 0; i < 4; ++i)
    {
        tongyong += entry("tongyong_btn_qd_" + std::to_string(i), "ok_" + std::to_string(i), 30, 12);
        tongyong += entry("tongyong_btn_qx_" + std::to_string(i), "btn_" + std::to_string(i), 30, 12);
    }
    for (const char* suffix : {"_upLeft", "_upRight", "_downLeft", "_ownRight"})
        guiII += entry(std::string("DlgBack") + suffix, "corner", 4, 4);
    for (const char* suffix : {"_up", "_left", "_down", "_right"})
        guiII += entry(std::string("DlgBack") + suffix, "edge", 4, 4);
    guiII += entry("DlgBack_back", "back", 8, 8);
    m_folder.Write("config/tongyong.xml", tongyong + "</textureInfo>");
    // Faces for rich text, 20 x 20.
    m_folder.Write("gui/face.tga", SolidTga(20, 20, skin::kFace));
    m_folder.Write("config/face.xml", "<textureInfo name=\"face\" type=\"2D\">" +
                                          entry("/01", "face", 20, 20) + entry("/02", "face", 20, 20) +
                                          "</textureInfo>");
    m_folder.Write("config/GuiII.xml", guiII + "</textureInfo>");
    m_textureInfo.LoadAllTextureInfo();

    std::string check = "<check>";
    std::string radio = "<radio>";
    for (int i = 0; i < 6; ++i)
    {
        const std::string n = std::to_string(i);
        check += "<status_" + n + " file=\"skin\" data=\"chk" + n + "\"/>";
        radio += "<status_" + n + " file=\"skin\" data=\"rad" + n + "\"/>";
    }
    WriteGuiConfig(
        check + "</check>" + radio + "</radio>" +
        "<dialog><barLeft file=\"skin\" data=\"barL\"/><barMiddle file=\"skin\" data=\"barM\"/>"
        "<barRight file=\"skin\" data=\"barR\"/>"
        "<upLeftCorner file=\"skin\" data=\"corner\"/><upRightCorner file=\"skin\" data=\"corner\"/>"
        "<downLeftCorner file=\"skin\" data=\"corner\"/><downRightCorner file=\"skin\" data=\"corner\"/>"
        "<backImage file=\"skin\" data=\"back\"/><upFrame file=\"skin\" data=\"edge\"/>"
        "<leftFrame file=\"skin\" data=\"edge\"/><downFrame file=\"skin\" data=\"edge\"/>"
        "<rightFrame file=\"skin\" data=\"edge\"/><sysBtnClose file=\"skin\" data=\"close\"/>"
        "<sysBtnMin file=\"skin\" data=\"min\"/></dialog>"
        "<button file=\"skin\" data=\"ok\"/>"
        "<scrollV><upButton file=\"skin\" data=\"up\"/><midButton file=\"skin\" data=\"mid\"/>"
        "<downButton file=\"skin\" data=\"down\"/><backImage file=\"skin\" data=\"track\"/></scrollV>");
    // The configuration path is relative to the module directory (the test program's folder).
    std::string module = KelGetModuleDirectory();
    std::replace(module.begin(), module.end(), '\\', '/');
    std::string relative = std::filesystem::relative(m_folder.Path(), module).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    m_ui.SetGuiConfigM(relative + "\\Config\\Gui\\guiConfig.xml");
    m_ui.SetDeskTopSizeM(320, 240);
    m_screen->SetRenderCallback([this](KelCanvasCL* canvas) { m_ui.RenderM(canvas); });
}
