#include <cstdint>

#include "Skin.h"
#include "SkinStyle.h"

namespace skin
{
namespace
{
// The dialogs' colours: the engine writes titles, check-box captions and text-button captions in
// black, and the game writes its labels in white over the dialogs' panels, so the bar, the body
// and the buttons are light and the panels a middle blue-grey on which both read.
constexpr Color kBarTop = Argb(255, 184, 206, 236);
constexpr Color kBarBottom = Argb(255, 132, 164, 210);
constexpr Color kDialogBody = Argb(255, 224, 230, 238);
constexpr Color kPanelFill = Argb(255, 98, 118, 148);
constexpr Color kPanelLight = Argb(255, 156, 178, 208);
constexpr Color kPanelDark = Argb(255, 44, 60, 86);

// The title bar's pieces: a light blue gradient, rounded at the outer top corners.
Picture BarPiece(int w, int h, int roundedCorner)
{
    Picture bar(w, h);
    Picture fill(w, h);
    fill.VerticalGradient(0, 0, w, h, kBarTop, kBarBottom);
    fill.FillRect(0, h - 1, w, h, kBlueDark);
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

// The face of the configuration's text button. The engine draws the caption (in black) and tiles
// the picture's middle cells over any button larger than the picture, so the picture is smaller
// than every text button and flat in its middle row and column: the tiles join without seams.
Picture TextButtonFace(int state)
{
    struct Look
    {
        Color top;
        Color middle;
        Color bottom;
        Color outline;
    };
    static const Look looks[4] = {
        {Argb(255, 252, 253, 255), Argb(255, 226, 234, 244), Argb(255, 192, 206, 226),
         Argb(255, 100, 124, 160)},
        {Argb(255, 255, 255, 255), Argb(255, 238, 246, 255), Argb(255, 200, 220, 248),
         Argb(255, 40, 110, 210)},
        {Argb(255, 164, 182, 208), Argb(255, 192, 206, 226), Argb(255, 212, 224, 240),
         Argb(255, 36, 64, 112)},
        {Argb(255, 232, 232, 232), Argb(255, 216, 216, 216), Argb(255, 200, 200, 200),
         Argb(255, 168, 168, 168)},
    };
    const Look& look = looks[state];
    const int size = 12;
    Picture fill(size, size);
    fill.VerticalGradient(0, 0, size, 4, look.top, look.middle);
    fill.FillRect(0, 4, size, 8, look.middle);
    fill.VerticalGradient(0, 8, size, size, look.middle, look.bottom);
    Picture mask(size, size);
    mask.FillRoundRect(0, 0, size, size, 3.5f, kWhite);
    Picture face(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            face.Blend(x, y, fill.At(x, y), static_cast<int>(mask.At(x, y) >> 24));
    face.StrokeRoundRect(0, 0, size, size, 3.5f, 1, look.outline);
    return face;
}

Picture Crop(const Picture& from, int x, int y, int w, int h)
{
    Picture part(w, h);
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column)
            part.Blend(column, row, from.At(x + column, y + row));
    return part;
}

// The framed panel the dialogs put under their content: a rounded blue-grey plate with a dark
// rim and a light inner line. The panel draws its corners at their size and stretches the edges
// and the middle, so the pieces are cut from one small plate: 6-pixel corners, 2-pixel strips.
void AddFramedPanel(Output& out, const std::string& set, const std::string& base)
{
    Picture plate(14, 14);
    plate.FillRoundRect(0, 0, 14, 14, 5, kPanelDark);
    plate.FillRoundRect(1, 1, 13, 13, 4, kPanelLight);
    plate.FillRoundRect(2, 2, 12, 12, 3, kPanelFill);
    const struct
    {
        const char* suffix;
        int x, y, w, h;
    } pieces[] = {
        {"_upLeft", 0, 0, 6, 6},   {"_upRight", 8, 0, 6, 6}, {"_downLeft", 0, 8, 6, 6},
        {"_ownRight", 8, 8, 6, 6}, {"_up", 6, 0, 2, 6},      {"_left", 0, 6, 6, 2},
        {"_down", 6, 8, 2, 6},     {"_right", 8, 6, 6, 2},   {"_back", 6, 6, 2, 2},
    };
    for (const auto& piece : pieces)
        out.AddPicture(set, base + piece.suffix, Crop(plate, piece.x, piece.y, piece.w, piece.h));
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
    // The dialog: a 20-pixel title bar, 4-pixel edges, a light background that tiles. The table's
    // dialogs place their controls by the bar's height, and with a taller bar the settings
    // dialog's last lines (its note in white, its lowest radio button) would run off its panel
    // onto the light body.
    constexpr int kBarHeight = 20;
    out.AddPicture("GuiII", "dlg_barLeft", BarPiece(12, kBarHeight, -1));
    out.AddPicture("GuiII", "dlg_barMiddle", BarPiece(16, kBarHeight, 0));
    out.AddPicture("GuiII", "dlg_barRight", BarPiece(12, kBarHeight, 1));
    for (const char* corner : {"upLeftCorner", "upRightCorner", "downLeftCorner", "downRightCorner"})
        out.AddPicture("GuiII", std::string("dlg_") + corner, Solid(4, 4, kEdge));
    for (const char* edge : {"upFrame", "leftFrame", "downFrame", "rightFrame"})
        out.AddPicture("GuiII", std::string("dlg_") + edge, Solid(4, 4, kEdge));
    out.AddPicture("GuiII", "dlg_backImage", Solid(16, 16, kDialogBody));
    const std::pair<const char*, std::string> systemButtons[] = {
        {"sysBtnFunc", Utf8(u8"\u2261")}, {"sysBtnMin", Utf8(u8"\u2013")}, {"sysBtnClose", Utf8(u8"\u00d7")}};
    for (const auto& [id, symbol] : systemButtons)
        for (int state = 0; state < 4; ++state)
            out.AddPicture("GuiII", std::string(id) + "_" + std::to_string(state),
                           SystemButton(state, symbol));

    // Text buttons: a 12 x 12 face whose middle cells tile to any size from 13 x 13 up.
    for (int state = 0; state < 4; ++state)
        out.AddPicture("GuiII", "btn_" + std::to_string(state), TextButtonFace(state));
    for (int i = 0; i < 6; ++i)
    {
        out.AddPicture("GuiII", "check_" + std::to_string(i), CheckBox(i, false));
        out.AddPicture("GuiII", "radio_" + std::to_string(i), CheckBox(i, true));
    }
    // The edit box stretches its background to its size: a picture of a usual edit's size keeps
    // the frame line about one pixel wide.
    Picture edit(128, 20, kWhite);
    edit.FillRect(1, 1, 127, 2, Argb(255, 214, 220, 230));
    edit.StrokeRoundRect(0, 0, 128, 20, 0, 1, Argb(255, 110, 134, 170));
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

    // The panel of the message box and of the table's dialogs, and the message box's buttons.
    AddFramedPanel(out, "GuiII", "DlgBack");
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
