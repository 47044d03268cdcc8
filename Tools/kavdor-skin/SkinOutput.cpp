#include "SkinOutput.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace skin
{
namespace
{
std::filesystem::path ToPath(const std::string& relative)
{
    std::string slashed = relative;
    for (char& c : slashed)
        if (c == '\\')
            c = '/';
    return slashed;
}
} // namespace

bool Output::Write(const std::string& relative, const std::vector<uint8_t>& bytes)
{
    const std::filesystem::path path = m_root / ToPath(relative);
    {
        std::ifstream existing(path, std::ios::binary);
        if (existing)
        {
            const std::vector<uint8_t> old((std::istreambuf_iterator<char>(existing)),
                                           std::istreambuf_iterator<char>());
            if (old == bytes)
            {
                ++m_unchanged;
                return true;
            }
        }
    }
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ++m_written;
    return static_cast<bool>(out);
}

bool Output::Write(const std::string& relative, const std::string& text)
{
    return Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

void Output::MakeFolder(const std::string& relative)
{
    std::filesystem::create_directories(m_root / ToPath(relative));
}

void Output::AddPictureIn(const std::string& folder, const std::string& file, const std::string& set,
                          const std::string& id, const Picture& picture, const std::string& stem)
{
    Set& entries = m_sets[set];
    entries.file = file;
    entries.folder = folder;
    if (entries.columns > 0)
    {
        entries.entries.push_back({id, set + "\\" + set + ".png", picture.Width(), picture.Height()});
        entries.sheet.push_back(picture);
    }
    else
    {
        const std::string image = set + "\\" + (stem.empty() ? id : stem) + ".png";
        Write(folder + "\\" + image, picture.Png());
        entries.entries.push_back({id, image, picture.Width(), picture.Height()});
    }
    m_pictures.emplace(set + "/" + id, picture);
}

void Output::PackSet(const std::string& set, int columns)
{
    m_sets[set].columns = columns;
}

void Output::WriteSheet(const std::string& name, Set& set)
{
    int cellWidth = 1;
    int cellHeight = 1;
    for (const Picture& picture : set.sheet)
    {
        cellWidth = std::max(cellWidth, picture.Width());
        cellHeight = std::max(cellHeight, picture.Height());
    }
    const int columns = std::min<int>(set.columns, static_cast<int>(set.sheet.size()));
    const int rows = (static_cast<int>(set.sheet.size()) + columns - 1) / columns;
    Picture sheet(columns * cellWidth, rows * cellHeight);
    for (size_t i = 0; i < set.sheet.size(); ++i)
    {
        Entry& entry = set.entries[i];
        entry.left = static_cast<int>(i) % columns * cellWidth;
        entry.top = static_cast<int>(i) / columns * cellHeight;
        sheet.Draw(set.sheet[i], entry.left, entry.top);
    }
    Write(set.folder + "\\" + name + "\\" + name + ".png", sheet.Png());
}

void Output::AddPicture(const std::string& set, const std::string& id, const Picture& picture,
                        const std::string& stem)
{
    AddPictureIn("image", "image\\config\\" + set + ".xml", set, id, picture, stem);
}

void Output::WriteSets()
{
    for (auto& [name, set] : m_sets)
    {
        if (set.columns > 0 && !set.sheet.empty())
            WriteSheet(name, set);
        std::string xml =
            "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<textureInfo name=\"" + name + "\" type=\"2D\">\n";
        for (const Entry& e : set.entries)
            xml += "  <texture ID=\"" + e.id + "\" image=\"" + e.image + "\"><rect left=\"" +
                   std::to_string(e.left) + "\" top=\"" + std::to_string(e.top) + "\" right=\"" +
                   std::to_string(e.left + e.width) + "\" bottom=\"" + std::to_string(e.top + e.height) +
                   "\"/></texture>\n";
        xml += "</textureInfo>\n";
        Write(set.file, xml);
    }
}
} // namespace skin
