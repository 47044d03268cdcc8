#include "KelGuiConfig.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string_view>

#include <sys/stat.h>
#include <tinyxml.h>

#include "KelGuard.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "KelUIManagerCL.h"
#include "KelXmlFile.h"
#include "Win32/Files.h"

namespace
{

// What identifies one state of the file on disk: a control built after the file was replaced
// must see the new content, while the fifteen pieces of one dialog share a single parse.
struct FileStamp
{
    bool exists = false;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    uint64_t inode = 0;

    bool operator==(const FileStamp&) const = default;
};

// Set once the cache below is destroyed; plain data, so it can still be read after that.
bool g_cacheGone = false;

struct GuiConfigCache
{
    ~GuiConfigCache() { g_cacheGone = true; }

    std::mutex mutex;
    bool filled = false;
    std::string path;
    FileStamp stamp;
    // False when that state of the file could not be read or parsed; it has been logged once.
    bool usable = false;
    KelGuiKindMap kinds;
};

// Null once the cache is destroyed at exit (or when the game module that holds this copy of the
// engine is unloaded): a control built by a static object at that time finds no pieces. A cache
// that is never destroyed would be lost with every unloaded module.
GuiConfigCache* Cache()
{
    static GuiConfigCache cache;
    return g_cacheGone ? nullptr : &cache;
}

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat status = {};
    std::string resolved = ResolveWin32Path(path.c_str());
    if (::stat(resolved.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.size = static_cast<int64_t>(status.st_size);
    stamp.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.inode = static_cast<uint64_t>(status.st_ino);
    return stamp;
}

KelGuiPiece ReadPiece(const TiXmlElement* element)
{
    KelGuiPiece piece;
    if (const char* file = element->Attribute("file"))
        piece.file = file;
    if (const char* data = element->Attribute("data"))
        piece.data = data;
    return piece;
}

} // namespace

bool KelParseGuiConfig(std::string_view data, KelGuiKindMap& kinds, std::string& error)
{
    KelGuiKindMap parsedKinds;
    bool parsed = false;
    auto read = [&](TiXmlDocument& document)
    {
        const TiXmlElement* root = document.RootElement();
        if (document.Error() || root == nullptr)
        {
            const char* description = document.Error() ? document.ErrorDesc() : "no root element";
            error = std::string(description != nullptr ? description : "") + ", row " +
                    std::to_string(document.ErrorRow());
            return;
        }
        for (const TiXmlElement* kind = root->FirstChildElement(); kind != nullptr;
             kind = kind->NextSiblingElement())
        {
            auto [entry, added] = parsedKinds.try_emplace(kind->Value());
            if (!added)
                continue;
            entry->second.self = ReadPiece(kind);
            for (const TiXmlElement* piece = kind->FirstChildElement(); piece != nullptr;
                 piece = piece->NextSiblingElement())
                entry->second.pieces.try_emplace(piece->Value(), ReadPiece(piece));
        }
        parsed = true;
    };
    if (!KelParseXml(data, read))
    {
        error = "no thread to parse on";
        return false;
    }
    if (!parsed)
        return false;
    kinds = std::move(parsedKinds);
    return true;
}

namespace
{

// Brings the cache up to the file's current state; false when that state is unusable.
bool Refresh(GuiConfigCache& cache, const std::string& path)
{
    FileStamp stamp = StampOf(path);
    if (cache.filled && cache.path == path && cache.stamp == stamp)
        return cache.usable;

    cache.filled = true;
    cache.path = path;
    cache.stamp = stamp;
    cache.usable = false;
    cache.kinds.clear();

    std::string content;
    if (!stamp.exists || !KelReadXmlFile(path, content))
    {
        KelLogPrintf("KelGetGuiPiece: cannot read the GUI configuration %s", path.c_str());
        return false;
    }
    std::string error;
    if (!KelParseGuiConfig(content, cache.kinds, error))
    {
        cache.kinds.clear();
        KelLogPrintf("KelGetGuiPiece: the GUI configuration %s is not valid XML (%s)", path.c_str(),
                     error.c_str());
        return false;
    }
    cache.usable = true;
    return true;
}

} // namespace

bool KelGetGuiPiece(const std::string& kind, const std::string& pieceName, KelGuiPiece* piece)
{
    KEL_TRY
    if (piece == nullptr)
        return false;
    *piece = KelGuiPiece();

    std::string path = KelMakePath(KelUIManagerCL::GetInstance()->GetGuiConfigM());
    GuiConfigCache* cached = Cache();
    if (cached == nullptr)
        return false;
    GuiConfigCache& cache = *cached;
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (!Refresh(cache, path))
        return false;

    auto foundKind = cache.kinds.find(kind);
    if (foundKind == cache.kinds.end())
        return false;
    if (pieceName.empty())
    {
        *piece = foundKind->second.self;
        return true;
    }
    auto foundPiece = foundKind->second.pieces.find(pieceName);
    if (foundPiece == foundKind->second.pieces.end())
        return false;
    *piece = foundPiece->second;
    return true;
    KEL_CATCH
}
