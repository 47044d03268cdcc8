#include "KelTextureInfoManagerCL.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <tinyxml.h>

#include "KelGuard.h"
#include "KelSystemCL.h"
#include "KelLogCL.h"
#include "KelXmlFile.h"
#include "Win32/Files.h"

namespace
{

void ReadInt(const TiXmlElement* element, const char* name, int32_t& value)
{
    const char* text = element->Attribute(name);
    int read = 0;
    if (text != nullptr && std::sscanf(text, "%d", &read) == 1)
        value = read;
}

void ReadByte(const TiXmlElement* element, const char* name, uint8_t& value)
{
    const char* text = element->Attribute(name);
    int read = 0;
    // A colour channel is one byte: larger numbers keep their low byte.
    if (text != nullptr && std::sscanf(text, "%d", &read) == 1)
        value = static_cast<uint8_t>(read);
}

void ReadFloat(const TiXmlElement* element, const char* name, float& value)
{
    const char* text = element->Attribute(name);
    float read = 0.0f;
    if (text != nullptr && std::sscanf(text, "%f", &read) == 1)
        value = read;
}

void SearchElement(const TiXmlElement* element, KelTextureEntryMap& entries)
{
    if (element == nullptr)
        return;
    if (strcasecmp(element->Value(), "texture") == 0)
    {
        KelTextureEntry entry;
        KelReadTextureEntry(element, entry);
        entries[entry.id] = entry;
        return;
    }
    for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement())
        SearchElement(child, entries);
}

} // namespace

std::string KelTextureInfoLower(std::string_view text)
{
    std::string result(text);
    for (size_t i = 0; i < result.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(result[i]);
        if (c >= 0x81 && c <= 0xFE)
            ++i; // a lead byte: its trail byte is no letter
        else if (c >= 'A' && c <= 'Z')
            result[i] = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

void KelReadTextureEntry(const TiXmlElement* element, KelTextureEntry& entry)
{
    entry = KelTextureEntry();
    if (element == nullptr)
        return;
    if (const char* id = element->Attribute("ID"))
        entry.id = id;
    if (const char* image = element->Attribute("image"))
        entry.image = image;
    if (const TiXmlElement* rect = element->FirstChildElement("rect"))
    {
        ReadInt(rect, "left", entry.left);
        ReadInt(rect, "right", entry.right);
        ReadInt(rect, "top", entry.top);
        ReadInt(rect, "bottom", entry.bottom);
    }
    if (const TiXmlElement* color = element->FirstChildElement("color"))
    {
        ReadByte(color, "red", entry.red);
        ReadByte(color, "green", entry.green);
        ReadByte(color, "blue", entry.blue);
        ReadByte(color, "alpha", entry.alpha);
    }
    if (const TiXmlElement* scale = element->FirstChildElement("scale"))
    {
        ReadFloat(scale, "x", entry.scaleX);
        ReadFloat(scale, "y", entry.scaleY);
    }
    if (const TiXmlElement* offset = element->FirstChildElement("offset"))
    {
        ReadInt(offset, "x", entry.offsetX);
        ReadInt(offset, "y", entry.offsetY);
    }
    if (const TiXmlElement* angle = element->FirstChildElement("angle"))
        ReadFloat(angle, "angle", entry.angle);
    if (const TiXmlElement* bland = element->FirstChildElement("bland"))
    {
        ReadInt(bland, "srcBland", entry.srcBland);
        ReadInt(bland, "destBland", entry.destBland);
    }
}

bool KelParseTextureInfo(std::string_view data, KelTextureInfoFile& file)
{
    // Work on a copy so that a failed parse leaves the record as it was. The search for
    // "texture" elements recurses, so it runs where the parser does.
    KelTextureInfoFile result = file;
    bool parsed = false;
    auto read = [&](TiXmlDocument& document)
    {
        if (document.Error())
            return;
        parsed = true;
        const TiXmlElement* root = document.RootElement();
        if (root == nullptr)
            return;
        if (const char* name = root->Attribute("name"))
            result.name = name;
        if (const char* type = root->Attribute("type"))
            result.type = type;
        SearchElement(root, result.entries);
    };
    if (!KelParseXml(data, read) || !parsed)
        return false;
    file = std::move(result);
    return true;
}

KelTextureInfoManagerCL::KelTextureInfoManagerCL()
    : m_moduleDirectory([] { return KelGetModuleDirectory(); })
{
}

KelTextureInfoManagerCL::~KelTextureInfoManagerCL() = default;

void KelTextureInfoManagerCL::SetImageDirectory(const std::string& relative)
{
    KEL_TRY
    std::string module = m_moduleDirectory ? m_moduleDirectory() : std::string();
    m_imageDirectory = module + "\\" + relative;
    LoadAllTextureInfo();
    KEL_CATCH
}

void KelTextureInfoManagerCL::Reserved()
{
}

std::string KelTextureInfoManagerCL::GetImageDirectory()
{
    KEL_TRY
    return m_imageDirectory;
    KEL_CATCH
}

void KelTextureInfoManagerCL::SetImageDirectoryVerbatim(const std::string& directory)
{
    KEL_TRY
    m_imageDirectory = directory;
    KEL_CATCH
}

std::string KelTextureInfoManagerCL::MakePath(const std::string& name)
{
    KEL_TRY
    return m_imageDirectory + "\\" + name;
    KEL_CATCH
}

bool KelTextureInfoManagerCL::LoadTextureInfo(const std::string& infoName, const std::string& path)
{
    KEL_TRY
    std::string name = KelTextureInfoLower(infoName);
    KelTextureInfoFile& file = m_files[name];
    file.entries.clear();
    std::string content;
    if (!KelReadXmlFile(path, content) || !KelParseTextureInfo(content, file))
    {
        KelLogPrintf("加载贴图信息失败 %s", name.c_str());
        return false;
    }
    KelLogPrintf("加载贴图信息成功 %s", name.c_str());
    return true;
    KEL_CATCH
}

void KelTextureInfoManagerCL::LoadAllTextureInfo()
{
    KEL_TRY
    std::string folder = m_imageDirectory + "\\config";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
    {
        std::string fileName(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || fileName == "." || fileName == "..")
            continue;
        size_t dot = fileName.rfind('.');
        if (dot == std::string::npos || KelTextureInfoLower(fileName.substr(dot + 1)) != "xml")
            continue;
        LoadTextureInfo(fileName.substr(0, dot), folder + "\\" + fileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    KEL_CATCH
}

void KelTextureInfoManagerCL::UnloadTextureInfo(const std::string& infoName)
{
    KEL_TRY
    m_files.erase(infoName);
    KEL_CATCH
}

void KelTextureInfoManagerCL::ParseElement(const TiXmlElement* element, KelTextureEntryMap& entries)
{
    KEL_TRY
    SearchElement(element, entries);
    KEL_CATCH
}

KelTextureCL* KelTextureInfoManagerCL::CreateTexture(const std::string& infoName, const std::string& imageId,
                                                     bool loadNow)
{
    KEL_TRY
    auto file = m_files.find(KelTextureInfoLower(infoName));
    if (file == m_files.end())
        return nullptr;
    auto entry = file->second.entries.find(imageId);
    if (entry == file->second.entries.end())
        return nullptr;
    if (!m_textureFactory)
    {
        KelLogPrintf("创建贴图失败 没有贴图构造 %s %s", infoName.c_str(), imageId.c_str());
        return nullptr;
    }
    return m_textureFactory(MakePath(entry->second.image), entry->second, loadNow);
    KEL_CATCH
}

void KelTextureInfoManagerCL::GetInfoNames(std::list<std::string>& names)
{
    KEL_TRY
    for (const auto& file : m_files)
        names.push_back(file.first);
    KEL_CATCH
}

KelTextureEntryMap* KelTextureInfoManagerCL::GetEntryMap(const std::string& infoName)
{
    KEL_TRY
    auto file = m_files.find(KelTextureInfoLower(infoName));
    return file == m_files.end() ? nullptr : &file->second.entries;
    KEL_CATCH
}

void KelTextureInfoManagerCL::GetImageIds(const std::string& infoName, std::string* ids)
{
    KEL_TRY
    KelTextureEntryMap* entries = GetEntryMap(infoName);
    if (entries == nullptr || ids == nullptr)
        return;
    for (const auto& entry : *entries)
        *ids++ = entry.first;
    KEL_CATCH
}

std::string KelTextureInfoManagerCL::GetNameAttribute(const std::string& infoName)
{
    KEL_TRY
    auto file = m_files.find(KelTextureInfoLower(infoName));
    return file == m_files.end() ? std::string() : file->second.name;
    KEL_CATCH
}

std::string KelTextureInfoManagerCL::GetTypeAttribute(const std::string& infoName)
{
    KEL_TRY
    auto file = m_files.find(KelTextureInfoLower(infoName));
    return file == m_files.end() ? std::string() : file->second.type;
    KEL_CATCH
}

void KelTextureInfoManagerCL::SetAuxiliaryPath(const std::string& path)
{
    KEL_TRY
    m_auxiliaryPath = path;
    KEL_CATCH
}

std::string KelTextureInfoManagerCL::GetAuxiliaryPath()
{
    KEL_TRY
    return m_auxiliaryPath;
    KEL_CATCH
}

void KelTextureInfoManagerCL::SetModuleDirectoryProvider(ModuleDirectoryProvider provider)
{
    m_moduleDirectory = std::move(provider);
}

void KelTextureInfoManagerCL::SetTextureFactory(TextureFactory factory)
{
    m_textureFactory = std::move(factory);
}
