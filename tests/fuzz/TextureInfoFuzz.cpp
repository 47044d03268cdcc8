// Feeds arbitrary bytes to the texture-info parser and checks what must hold for any input:
//  - parsing never fails halfway: on failure the record is exactly as it was;
//  - every entry is stored under its own ID;
//  - parsing the same bytes again gives the same record;
//  - a well-formed file written back from the entries parses to the same entries.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "KelTextureInfoManagerCL.h"

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

bool SameFloat(float a, float b)
{
    // A written NaN reads back as a NaN, though not always with the same bits.
    return std::memcmp(&a, &b, sizeof a) == 0 || a == b || (std::isnan(a) && std::isnan(b));
}

bool SameEntry(const KelTextureEntry& a, const KelTextureEntry& b)
{
    return a.id == b.id && a.image == b.image && a.left == b.left && a.right == b.right && a.top == b.top &&
           a.bottom == b.bottom && a.offsetX == b.offsetX && a.offsetY == b.offsetY && a.red == b.red &&
           a.green == b.green && a.blue == b.blue && a.alpha == b.alpha && SameFloat(a.scaleX, b.scaleX) &&
           SameFloat(a.scaleY, b.scaleY) && SameFloat(a.angle, b.angle) && a.srcBland == b.srcBland &&
           a.destBland == b.destBland;
}

bool SameFile(const KelTextureInfoFile& a, const KelTextureInfoFile& b)
{
    if (a.name != b.name || a.type != b.type || a.entries.size() != b.entries.size())
        return false;
    for (auto i = a.entries.begin(), j = b.entries.begin(); i != a.entries.end(); ++i, ++j)
        if (i->first != j->first || !SameEntry(i->second, j->second))
            return false;
    return true;
}

// Text that can stand inside a quoted attribute value unchanged.
bool Plain(const std::string& text)
{
    for (char c : text)
        if (c == '"' || c == '&' || c == '<' || c == '>' || c == '\0' || c == '\r' || c == '\n' || c == '\t')
            return false;
    return true;
}

// Writes the entries back the way the editing tools do, with every parameter element; the
// floats with enough digits to read back exactly.
std::string Write(const KelTextureEntryMap& entries)
{
    std::string text = "<textureInfo>";
    char buffer[512];
    for (const auto& item : entries)
    {
        const KelTextureEntry& e = item.second;
        text += "<texture ID=\"" + e.id + "\" image=\"" + e.image + "\">";
        std::snprintf(buffer, sizeof buffer,
                      "<rect left=\"%d\" right=\"%d\" top=\"%d\" bottom=\"%d\"/>"
                      "<color red=\"%d\" green=\"%d\" blue=\"%d\" alpha=\"%d\"/>"
                      "<scale x=\"%.9g\" y=\"%.9g\"/><offset x=\"%d\" y=\"%d\"/><angle angle=\"%.9g\"/>"
                      "<bland srcBland=\"%d\" destBland=\"%d\"/>",
                      e.left, e.right, e.top, e.bottom, e.red, e.green, e.blue, e.alpha, e.scaleX, e.scaleY,
                      e.offsetX, e.offsetY, e.angle, e.srcBland, e.destBland);
        text += buffer;
        text += "</texture>";
    }
    return text + "</textureInfo>";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view content(reinterpret_cast<const char*>(data), size);

    KelTextureInfoFile before;
    before.name = "previous";
    before.entries["kept"].id = "kept";
    before.entries["kept"].image = "kept.tga";
    KelTextureInfoFile file = before;
    bool parsed = KelParseTextureInfo(content, file);
    if (!parsed)
    {
        Check(SameFile(file, before), "a failed parse changed the record");
        return 0;
    }
    Check(file.entries.count("kept") == 1, "entries already there were lost");
    for (const auto& item : file.entries)
        Check(item.first == item.second.id, "entry stored under another ID");

    KelTextureInfoFile again = before;
    Check(KelParseTextureInfo(content, again), "the same bytes failed to parse again");
    Check(SameFile(again, file), "the same bytes parsed differently");

    file.entries.erase("kept");
    for (const auto& item : file.entries)
        if (!Plain(item.second.id) || !Plain(item.second.image))
            return 0;
    KelTextureInfoFile written;
    Check(KelParseTextureInfo(Write(file.entries), written), "written entries do not parse");
    file.name.clear();
    file.type.clear();
    Check(SameFile(written, file), "written entries read back differently");
    return 0;
}
