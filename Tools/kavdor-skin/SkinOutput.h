#pragma once
// Where the generated skin goes: files below the runtime folder, written only when their bytes
// changed (so a rebuild rewrites nothing and the engine's caches stay warm), and texture-info
// sets collected picture by picture and written as the engine reads them.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Painter.h"

namespace skin
{
class Output
{
public:
    explicit Output(std::filesystem::path root) : m_root(std::move(root)) {}

    // `relative` uses backslashes or slashes; false when the file could not be written.
    bool Write(const std::string& relative, const std::vector<uint8_t>& bytes);
    bool Write(const std::string& relative, const std::string& text);

    // A picture of a texture-info set kept under the image directory ("image"): written as
    // image\<set>\<id>.png and entered in the set with its whole rectangle.
    void AddPicture(const std::string& set, const std::string& id, const Picture& picture,
                    const std::string& stem = "");
    // Writes every set as image\config\<set>.xml, and the sheets of packed sets.
    void WriteSets();
    // Puts the pictures of a set on one sheet, image\<set>\<set>.png, `columns` pictures a row,
    // instead of a file each: the engine draws pictures of one image in one batch, in the order
    // they come, which a hand of cards needs. Called before the set's first picture.
    void PackSet(const std::string& set, int columns);
    // Texture-info sets of a folder of their own (the game's own set): the set's pictures go to
    // `folder`\<set>\, its file to `file`.
    // `stem` names the picture's file when the ID cannot (an ID with a slash); the ID by default.
    void AddPictureIn(const std::string& folder, const std::string& file, const std::string& set,
                      const std::string& id, const Picture& picture, const std::string& stem = "");

    // A picture shown on the contact sheet that belongs to no set (an image font's page).
    void AddSheetPicture(const std::string& name, const Picture& picture)
    {
        m_pictures.emplace(name, picture);
    }
    // An empty folder the programs write into (saved settings); made when missing.
    void MakeFolder(const std::string& relative);

    int Written() const { return m_written; }
    int Unchanged() const { return m_unchanged; }
    const std::filesystem::path& Root() const { return m_root; }
    // Every picture made, by "set/id", for the contact sheet.
    const std::map<std::string, Picture>& Pictures() const { return m_pictures; }

private:
    struct Entry
    {
        std::string id;
        std::string image; // relative to the image directory, backslashes
        int width;
        int height;
        int left = 0; // where the picture lies in its image
        int top = 0;
    };
    struct Set
    {
        std::string file; // where the set's XML goes, relative to the root
        std::vector<Entry> entries;
        std::string folder;         // the image directory the set's pictures go below
        int columns = 0;            // pictures a row of the sheet; 0 for a file each
        std::vector<Picture> sheet; // a packed set's pictures, in entry order
    };
    // Lays a packed set's pictures out on its sheet and writes it.
    void WriteSheet(const std::string& name, Set& set);

    std::filesystem::path m_root;
    std::map<std::string, Set> m_sets;
    std::map<std::string, Picture> m_pictures;
    int m_written = 0;
    int m_unchanged = 0;
};
} // namespace skin
