#pragma once
// The multi-line text box: coloured text and inline face images laid out in word-wrapped lines,
// scrolled by the wheel, with selectable runs highlighted as a whole under the mouse, and, when
// editable, typing, Backspace, Enter and paste. Text is appended with a small markup: a name
// between two "#" is a colour of the table (case-sensitive; an unknown name means the default
// colour) or "SELECT" / "SELECTEND" in any case, which start and end a selectable run; the ID of
// an image of the texture-info set "face" is a face.
//
// Layout is incremental: each appended run takes its place after the last item, and only the
// line being filled is re-aligned, so appending never lays out the whole box again. Received
// chat text reaches this box: marker names are bounded, and a box narrower than a character
// still places one character per line.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "KelGuiPieces.h"
#include "KelWnd2DBaseCL.h"

class KelFontCL;
class KelWnd2DRichEditIICL;

class KelRichItemCL
{
public:
    explicit KelRichItemCL(KelWnd2DRichEditIICL* owner) : owner(owner) {}
    virtual ~KelRichItemCL();
    virtual void Draw(KelCanvasCL* canvas) = 0;
    virtual bool IsImage() = 0;
    virtual std::string Text() = 0;

    bool selectable = false;
    bool hot = false;
    int x = 0;
    int y = 0;
    int lineTop = 0;
    int width = 0;
    int height = 0;
    int group = 0;
    int line = 0;
    KelWnd2DRichEditIICL* owner;
};

class KelRichTextItemCL : public KelRichItemCL
{
public:
    using KelRichItemCL::KelRichItemCL;
    void Draw(KelCanvasCL* canvas) override;
    bool IsImage() override { return false; }
    std::string Text() override { return text; }

    D3DCOLOR color = 0xFF000000;
    std::string text;
};

class KelRichFaceItemCL : public KelRichItemCL
{
public:
    using KelRichItemCL::KelRichItemCL;
    void Draw(KelCanvasCL* canvas) override;
    bool IsImage() override { return true; }
    std::string Text() override { return id; }

    KelTexturePtr image;
    std::string id;
};

class KelWnd2DRichEditIICL : public KelWnd2DBaseCL
{
public:
    KelWnd2DRichEditIICL(const char* name, KelWndBaseCL* parent, int x, int y, int w, int h, DWORD style);
    ~KelWnd2DRichEditIICL() override;

    bool DrawM(KelCanvasCL* canvas) override;
    bool MouseMoveM(WPARAM keys, POINT point) override;
    bool MouseWheelM(WPARAM wparam, POINT point) override;
    bool MouseOutM(WPARAM keys, POINT point) override;
    bool OnFocusM(bool focus) override;
    bool InsertTextM(const std::string& text, bool notify) override;
    bool IsShowCaretM() override;
    bool PostMessageM(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    void SetSizeM(int width, int height) override;

    void AddTextM(const std::string& text);
    void NewLineM();
    void SetTextRectM(int top, int left, int bottom, int right);
    void SetLineSpaceM(int pixels) { m_lineSpacing = pixels; }
    void SetEditableM(bool editable) { m_editable = editable; }
    void SetMaxLengthM(int bytes) { m_maxLength = bytes; }
    void SetDefaultColorM(D3DCOLOR color);
    void SetScrollPosM(int y);
    bool IsScrollAtEndM();
    int GetLineTopM() const { return m_lineTop; }
    std::string GetPlainTextM();

    const std::vector<std::unique_ptr<KelRichItemCL>>& GetItems() const { return m_items; }
    int GetScrollPos() const { return m_scroll; }
    int GetMarginX() const { return m_marginX; }
    int GetMarginY() const { return m_marginY; }
    bool IsFace(const std::string& id) const { return m_faces.count(id) != 0; }

private:
    int FontHeight() const;
    int TextWidth(const std::string& text) const;
    void Flush(std::string* run);
    void AddFace(const std::string& id);
    // Re-aligns the line being filled; its height.
    int RealignLine();
    void RemoveLastItem();
    void ReflowTypedTail();
    void HandCaretToIme();
    int MaxScroll() const;
    // The marker at `at` ("#name#"): its length and name, or 0.
    size_t Marker(const std::string& text, size_t at, std::string* name) const;
    void OnKeyDown(WPARAM key);
    void OnChar(WPARAM character);

    int m_textWidth = 0;
    int m_textHeight = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    int m_lineSpacing = 3;
    std::map<std::string, D3DCOLOR> m_colors;
    std::set<std::string> m_faces;
    std::vector<std::unique_ptr<KelRichItemCL>> m_items;
    D3DCOLOR m_current = 0xFF000000;
    D3DCOLOR m_default = 0xFF000000;
    int m_lineTop = 0;
    int m_x = 0;
    int m_line = 0;
    bool m_selectable = false;
    KelFontCL* m_font = nullptr;
    int m_scroll = 0;
    int m_lineHeightSoFar = 0;
    std::map<std::string, KelTexturePtr> m_skin;
    bool m_editable = false;
    std::string m_pending;
    int m_maxLength = 100;
    int m_wheelStep = 18;
};
