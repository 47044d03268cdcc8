#pragma once
// The registry of texture-info files. Each XML file in the "config" folder of the image
// directory describes pictures by ID: the image file and the default drawing parameters
// (KelTextureEntry). The registry keeps one record per file, named after the file's title in
// lower case, and builds textures from the entries.
//
// A file looks like this; "texture" elements may sit at any depth inside grouping elements,
// and each parameter element and attribute is optional:
//
//     <textureInfo name="..." type="...">
//         <group>
//             <texture ID="button_ok" image="gui\button.tga">
//                 <rect left="0" right="64" top="0" bottom="32"/>
//                 <color red="255" green="255" blue="255" alpha="255"/>
//                 <scale x="1.000" y="1.000"/>
//                 <offset x="0" y="0"/>
//                 <angle angle="0.000"/>
//                 <bland srcBland="0" destBland="0"/>
//             </texture>
//         </group>
//     </textureInfo>
//
// File bytes are kept as they are: names and IDs stay in the system's double-byte code page.

#include <functional>
#include <list>
#include <map>
#include <string>
#include <string_view>

#include "KelSingletonCL.h"
#include "KelTextureEntry.h"

class TiXmlElement;
class KelTextureCL;

// One texture-info file: the root element's "name" and "type" attributes and its entries.
struct KelTextureInfoFile
{
    std::string name;
    std::string type;
    KelTextureEntryMap entries;
};

class KelTextureInfoManagerCL : public KelSingletonCL<KelTextureInfoManagerCL>
{
public:
    // Supplies the directory of the engine module, which relative image directories are taken
    // from.
    using ModuleDirectoryProvider = std::function<std::string()>;
    // Builds a texture from the image path (image directory + "\" + entry image), the load-now
    // flag and the entry whose parameters it applies. The caller owns the result.
    using TextureFactory =
        std::function<KelTextureCL*(const std::string& path, const KelTextureEntry& entry, bool loadNow)>;

    KelTextureInfoManagerCL();
    virtual ~KelTextureInfoManagerCL();

    // The image directory becomes the module directory + "\" + relative, and every
    // texture-info file in its "config" folder is loaded.
    virtual void SetImageDirectory(const std::string& relative);
    // Keeps the place of an operation the engine no longer has.
    virtual void Reserved();
    virtual std::string GetImageDirectory();
    // Sets the image directory as given, without loading anything.
    virtual void SetImageDirectoryVerbatim(const std::string& directory);
    // The image directory + "\" + name.
    virtual std::string MakePath(const std::string& name);
    // (Re)loads one file under the info name (lower-cased). The record's entries are cleared
    // first; its name and type attributes are replaced only by ones the new file has. False,
    // with a log entry, when the file cannot be read or parsed; the record then stays empty.
    virtual bool LoadTextureInfo(const std::string& infoName, const std::string& path);
    // Loads every "*.xml" file (extension without regard to case) of "<image directory>\config",
    // each under its file title.
    virtual void LoadAllTextureInfo();
    // Forgets a record; the name must be given in lower case, as the records are kept.
    virtual void UnloadTextureInfo(const std::string& infoName);
    // Stores the entry of a "texture" element, or searches the children of any other element.
    virtual void ParseElement(const TiXmlElement* element, KelTextureEntryMap& entries);
    // A new texture for the image ID of the info name (info name without case, ID with case),
    // built by the texture factory; null when either is unknown or no factory is installed.
    virtual KelTextureCL* CreateTexture(const std::string& infoName, const std::string& imageId,
                                        bool loadNow);
    // Appends the (lower-case) info names in order.
    virtual void GetInfoNames(std::list<std::string>& names);
    // The entries of an info name (without case); null when it is unknown.
    virtual KelTextureEntryMap* GetEntryMap(const std::string& infoName);
    // Copies the IDs of an info name, in order, into `ids`, which must have room for all of them.
    virtual void GetImageIds(const std::string& infoName, std::string* ids);
    // The root element's "name" and "type" attributes; empty for an unknown info name.
    virtual std::string GetNameAttribute(const std::string& infoName);
    virtual std::string GetTypeAttribute(const std::string& infoName);
    // A path kept for the 3D object layer; the registry itself does not use it.
    virtual void SetAuxiliaryPath(const std::string& path);
    virtual std::string GetAuxiliaryPath();

    // Where the module directory comes from: the engine's system object unless replaced.
    void SetModuleDirectoryProvider(ModuleDirectoryProvider provider);
    // Installed by the texture code; without a factory CreateTexture logs and returns null.
    void SetTextureFactory(TextureFactory factory);

private:
    std::map<std::string, KelTextureInfoFile> m_files;
    std::string m_imageDirectory;
    std::string m_auxiliaryPath;
    ModuleDirectoryProvider m_moduleDirectory;
    TextureFactory m_textureFactory;
};

// Lower-cases the ASCII letters of a double-byte code page string; the second byte of a
// double-byte character is left alone even when it looks like a letter.
std::string KelTextureInfoLower(std::string_view text);

// Reads one "texture" element into `entry`, starting from the defaults.
void KelReadTextureEntry(const TiXmlElement* element, KelTextureEntry& entry);

// Parses the bytes of a texture-info file into `file`: the root's "name" and "type" attributes
// (each only when present) and the entries, which are added to those already there. False when
// the bytes are not a well-formed document; `file` is then unchanged.
bool KelParseTextureInfo(std::string_view data, KelTextureInfoFile& file);
