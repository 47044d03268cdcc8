// Feeds arbitrary bytes to the GUI configuration reader and checks what must hold for any input:
//  - a text that is refused leaves the kinds as they were, and says why;
//  - reading the same text again gives the same kinds;
//  - when every name and value can be written back plainly, the kinds written back as a file
//    read to the same kinds.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "KelGuiConfig.h"

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

bool SamePiece(const KelGuiPiece& a, const KelGuiPiece& b)
{
    return a.file == b.file && a.data == b.data;
}

bool SameKinds(const KelGuiKindMap& a, const KelGuiKindMap& b)
{
    if (a.size() != b.size())
        return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
    {
        if (i->first != j->first || !SamePiece(i->second.self, j->second.self) ||
            i->second.pieces.size() != j->second.pieces.size())
            return false;
        for (auto p = i->second.pieces.begin(), q = j->second.pieces.begin(); p != i->second.pieces.end();
             ++p, ++q)
            if (p->first != q->first || !SamePiece(p->second, q->second))
                return false;
    }
    return true;
}

// An element name that reads back as itself.
bool PlainName(const std::string& name)
{
    if (name.empty() || !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// An attribute value that can stand between quotes unchanged.
bool PlainValue(const std::string& value)
{
    for (unsigned char c : value)
        if (c == '"' || c == '&' || c == '<' || c == '>' || c < 0x20 || c >= 0x7F)
            return false;
    return value.empty() ||
           (value.front() != ' ' && value.back() != ' ' && value.find("  ") == std::string::npos);
}

bool Writable(const KelGuiKindMap& kinds)
{
    auto piece = [](const KelGuiPiece& p) { return PlainValue(p.file) && PlainValue(p.data); };
    for (const auto& [name, kind] : kinds)
    {
        if (!PlainName(name) || !piece(kind.self))
            return false;
        for (const auto& [pieceName, p] : kind.pieces)
            if (!PlainName(pieceName) || !piece(p))
                return false;
    }
    return true;
}

std::string Attributes(const KelGuiPiece& piece)
{
    return " file=\"" + piece.file + "\" data=\"" + piece.data + "\"";
}

std::string Write(const KelGuiKindMap& kinds)
{
    std::string text = "<guiConfig>";
    for (const auto& [name, kind] : kinds)
    {
        text += "<" + name + Attributes(kind.self) + ">";
        for (const auto& [pieceName, piece] : kind.pieces)
            text += "<" + pieceName + Attributes(piece) + "/>";
        text += "</" + name + ">";
    }
    return text + "</guiConfig>";
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    KelGuiKindMap before;
    before["kept"].self.file = "unchanged";
    KelGuiKindMap kinds = before;
    std::string error;
    if (!KelParseGuiConfig(text, kinds, error))
    {
        Check(SameKinds(kinds, before), "a refused text changed the kinds");
        Check(!error.empty(), "a refused text without a reason");
        return 0;
    }
    KelGuiKindMap again;
    Check(KelParseGuiConfig(text, again, error), "the same text refused the second time");
    Check(SameKinds(kinds, again), "the same text read differently");
    if (Writable(kinds))
    {
        const std::string written = Write(kinds);
        KelGuiKindMap reread;
        Check(KelParseGuiConfig(written, reread, error), "the kinds written back do not read");
        Check(SameKinds(kinds, reread), "the kinds written back read differently");
    }
    return 0;
}
