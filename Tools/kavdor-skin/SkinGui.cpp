#include <cstdint>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
// The title bar's pieces: a blue gradient, rounded at the outer top corners.
Picture BarPiece(int w, int h, int roundedCorner)
{
    Picture bar(w, h);
    Picture fill(w, h);
    fill.VerticalGradient(0, 0, w, h, kBlue, kBlueDark);
    Picture mask(w, h);
    if (roundedCorner == 0)
        mask.FillRect(0, 0, w, h, kWhite);
    else
    {
        // Rounded on the left (-1) or the right (+1) top corner only.
        const float x0 = roundedCorner < 0 ? 0.0f : -8.0f;
        const float x1 = roundedCorner < 0 ? static_cast<float>(w) + 8 : static_cast<float>(w);
        mask.FillRoundRect(x0, 0, x1, static_cast<float>(h) + 8, 6, kWhite);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bar.Blend(x, y, fill.At(x, y), static_cast<int>(mask.At(x, y) >> 24));
    return bar;
}

Picture SystemButton(int state, const std::string& symbol)
{
    Picture button(18, 16);
    const Color back = state == 1   ? Argb(255, 220, 80, 70)
                       : state == 2 ? Argb(255, 170, 50, 40)
                       : state == 3 ? Argb(255, 150, 150, 150)
                                    : Argb(255, 80, 120, 180);
    button.FillRoundRect(0, 0, 18, 16, 3, back);
    const int tw = Picture::TextWidth(symbol, 12);
    button.Text(symbol, (18 - tw) / 2, 1, 12, kWhite, true);
    return button;
}

Picture CheckBox(int index, bool round)
{
    // 0 ... 2: normal, hover, pressed; 3 ... 5 the same ticked.
    Picture box(14, 14);
    const int look = index % 3;
    const Color border = look == 1 ? Argb(255, 60, 120, 210) : Argb(255, 90, 90, 90);
    const Color fill = look == 2 ? Argb(255, 210, 220, 235) : kWhite;
    if (round)
    {
        box.FillEllipse(0, 0, 14, 14, border);
        box.FillEllipse(1.5f, 1.5f, 12.5f, 12.5f, fill);
        if (index >= 3)
            box.FillEllipse(4, 4, 10, 10, Argb(255, 40, 110, 200));
    }
    else
    {
        box.FillRoundRect(0, 0, 14, 14, 2, border);
        box.FillRoundRect(1.5f, 1.5f, 12.5f, 12.5f, 1.5f, fill);
        if (index >= 3)
            box.Text(reinterpret_cast<const char*>(u8"\u2714"), 2, 0, 12, Argb(255, 30, 130, 60), true);
    }
    return box;
}

} // namespace

const std::vector<GuiPiece>& GuiPieces()
{
    static const std::vector<GuiPiece> pieces = []
    {
        std::vector<GuiPiece> list;
        const auto add = [&list](const char* kind, const std::string& piece, const std::string& id,
                                 bool states) {
            list.push_back({kind, piece, "GuiII", id, states});
        };
        for (const char* piece :
             {"barLeft", "barMiddle", "barRight", "upLeftCorner", "upRightCorner", "downLeftCorner",
              "downRightCorner", "backImage", "upFrame", "leftFrame", "downFrame", "rightFrame"})
            add("dialog", piece, std::string("dlg_") + piece, false);
        for (const char* piece : {"sysBtnFunc", "sysBtnMin", "sysBtnClose"})
            add("dialog", piece, piece, true);
        add("button", "", "btn", true);
        for (const char* kind : {"check", "radio"})
            for (int i = 0; i < 6; ++i)
                add(kind, "status_" + std::to_string(i), std::string(kind) + "_" + std::to_string(i), false);
        add("edit", "backImage", "edit_back", false);
        for (const char* piece : {"upButton", "midButton", "downButton"})
            add("scrollV", piece, std::string("scroll_") + piece, true);
        add("scrollV", "backImage", "scroll_track", false);
        for (const char* piece : {"backImage", "upLeftCorner", "upRightCorner", "downLeftCorner",
                                  "downRightCorner", "upFrame", "leftFrame", "downFrame", "rightFrame"})
            add("RichEditII", piece, std::string("rich_") + piece, false);
        return list;
    }();
    return pieces;
}

std::vector<Named> CodeNamedPictures()
{
    std::vector<Named> names;
    for (int face = 1; face <= 13; ++face)
        for (int suit = 0; suit < 4; ++suit)
            names.push_back({"card", std::to_string(face) + "_" + std::to_string(suit)});
    names.push_back({"card", "53"});
    names.push_back({"card", "54"});
    for (const char* id : {"tongyong_btn_qd", "tongyong_btn_qx"})
        for (int state = 0; state < 4; ++state)
            names.push_back({"tongyong", std::string(id) + "_" + std::to_string(state)});
    for (const char* suffix :
         {"_upLeft", "_upRight", "_downLeft", "_ownRight", "_up", "_left", "_down", "_right", "_back"})
        names.push_back({"GuiII", std::string("DlgBack") + suffix});
    return names;
}

void WriteGuiSkin(Output& out)
{
    // The dialog: a 24-pixel title bar, 4-pixel edges, a paper background that tiles.
    out.AddPicture("GuiII", "dlg_barLeft", BarPiece(12, 24, -1));
    out.AddPicture("GuiII", "dlg_barMiddle", BarPiece(16, 24, 0));
    out.AddPicture("GuiII", "dlg_barRight", BarPiece(12, 24, 1));
    for (const char* corner : {"upLeftCorner", "upRightCorner", "downLeftCorner", "downRightCorner"})
        out.AddPicture("GuiII", std::string("dlg_") + corner, Solid(4, 4, kEdge));
    for (const char* edge : {"upFrame", "leftFrame", "downFrame", "rightFrame"})
        out.AddPicture("GuiII", std::string("dlg_") + edge, Solid(4, 4, kEdge));
    out.AddPicture("GuiII", "dlg_backImage", Solid(16, 16, kPaper));
    const std::pair<const char*, std::string> systemButtons[] = {
        {"sysBtnFunc", Utf8(u8"\u2261")}, {"sysBtnMin", Utf8(u8"\u2013")}, {"sysBtnClose", Utf8(u8"\u00d7")}};
    for (const auto& [id, symbol] : systemButtons)
        for (int state = 0; state < 4; ++state)
            out.AddPicture("GuiII", std::string(id) + "_" + std::to_string(state),
                           SystemButton(state, symbol));

    // Buttons: a 30 x 24 face whose middle cells tile to any size.
    AddButtonStates(out, "GuiII", "btn", 30, 24);
    for (int i = 0; i < 6; ++i)
    {
        out.AddPicture("GuiII", "check_" + std::to_string(i), CheckBox(i, false));
        out.AddPicture("GuiII", "radio_" + std::to_string(i), CheckBox(i, true));
    }
    Picture edit(16, 16, kWhite);
    edit.StrokeRoundRect(0, 0, 16, 16, 0, 1, Argb(255, 128, 128, 200));
    out.AddPicture("GuiII", "edit_back", edit);

    // The scroll bar: arrows, thumb and track 14 pixels wide.
    for (int state = 0; state < 4; ++state)
    {
        const std::string n = std::to_string(state);
        Picture up = ButtonFace(14, 14, state);
        up.Text(Utf8(u8"\u25b2"), 2, 1, 10, kWhite);
        out.AddPicture("GuiII", "scroll_upButton_" + n, up);
        Picture down = ButtonFace(14, 14, state);
        down.Text(Utf8(u8"\u25bc"), 2, 1, 10, kWhite);
        out.AddPicture("GuiII", "scroll_downButton_" + n, down);
        out.AddPicture("GuiII", "scroll_midButton_" + n, ButtonFace(14, 20, state));
    }
    out.AddPicture("GuiII", "scroll_track", Solid(14, 14, Argb(255, 214, 220, 230)));

    // The rich text box: a translucent white page with a thin frame.
    out.AddPicture("GuiII", "rich_backImage", Solid(16, 16, Argb(200, 255, 255, 255)));
    for (const char* piece : {"upLeftCorner", "upRightCorner", "downLeftCorner", "downRightCorner", "upFrame",
                              "leftFrame", "downFrame", "rightFrame"})
        out.AddPicture("GuiII", std::string("rich_") + piece, Solid(2, 2, kEdge));

    // The message box's panel and buttons.
    for (const char* suffix :
         {"_upLeft", "_upRight", "_downLeft", "_ownRight", "_up", "_left", "_down", "_right"})
        out.AddPicture("GuiII", std::string("DlgBack") + suffix, Solid(4, 4, Argb(255, 200, 190, 170)));
    out.AddPicture("GuiII", "DlgBack_back", Solid(8, 8, Argb(255, 250, 247, 240)));
    AddButtonStates(out, "tongyong", "tongyong_btn_qd", 80, 26, Utf8(u8"确定"));
    AddButtonStates(out, "tongyong", "tongyong_btn_qx", 80, 26, Utf8(u8"取消"));

    // The configuration naming them all.
    std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<gui>\n";
    std::string openKind;
    for (const GuiPiece& p : GuiPieces())
    {
        if (p.piece.empty())
        {
            if (!openKind.empty())
                xml += "  </" + openKind + ">\n";
            openKind.clear();
            xml += "  <" + p.kind + " file=\"" + p.set + "\" data=\"" + p.id + "\"/>\n";
            continue;
        }
        if (p.kind != openKind)
        {
            if (!openKind.empty())
                xml += "  </" + openKind + ">\n";
            xml += "  <" + p.kind + ">\n";
            openKind = p.kind;
        }
        xml += "    <" + p.piece + " file=\"" + p.set + "\" data=\"" + p.id + "\"/>\n";
    }
    if (!openKind.empty())
        xml += "  </" + openKind + ">\n";
    xml += "</gui>\n";
    out.Write("Config\\Gui\\guiConfig.xml", xml);
}
} // namespace skin
