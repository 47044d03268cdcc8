#include "KelImageAnimCL.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "KelAniFile.h"
#include "KelGuard.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelSystemCL.h"
#include "Win32/Files.h"
#include "Win32/Library.h"
#include "Zip/ZipArchive.h"

namespace
{

const int kDefaultFrameMs = 100;
// Members larger than this are not pictures a game ships; refusing them keeps a damaged size
// field from taking the memory it claims.
const uint32_t kMaxMemberBytes = 64u << 20;
const uint32_t kMaxConfigBytes = 64u << 10;

bool Contains(const char* text, const char* part)
{
    return std::strstr(text, part) != nullptr;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& data)
{
    FILE* file = Win32OpenFile(path, "rb");
    if (file == nullptr)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = size >= 0 && static_cast<unsigned long>(size) <= 0xFFFFFFFFul && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok)
    {
        data.resize(static_cast<size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return ok;
}

// Reads the open member whole. False when its data is damaged or it is too large.
bool ReadMember(IZipArchive* archive, uint32_t limit, std::vector<uint8_t>& data)
{
    const uint32_t size = archive->GetMemberSize();
    if (size > limit)
        return false;
    data.resize(size);
    uint32_t done = 0;
    while (done < size)
    {
        const int read = archive->ReadMember(data.data() + done, size - done);
        if (read < 0)
            return false;
        if (read == 0)
            break;
        done += static_cast<uint32_t>(read);
    }
    data.resize(done);
    return true;
}

std::string MemberName(const char* subdirectory, const char* name)
{
    if (subdirectory == nullptr || subdirectory[0] == '\0')
        return name;
    return std::string(subdirectory) + "\\" + name;
}

// Closes the archive and unloads the library however the reading ends.
struct ZipSession
{
    HMODULE library = nullptr;
    IZipArchive* archive = nullptr;

    ~ZipSession()
    {
        if (archive != nullptr)
            archive->Release();
        if (library != nullptr)
            FreeLibrary(library);
    }
};

} // namespace

KelImageAnimCL::KelImageAnimCL() = default;

KelImageAnimCL::~KelImageAnimCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    Destroy();
    KEL_CATCH_RETURN()
}

void KelImageAnimCL::Destroy()
{
    KEL_TRY
    m_frames.clear();
    m_width = 0;
    m_height = 0;
    m_current = -1;
    m_holdTime = 0;
    m_totalDuration = 0;
    KEL_CATCH
}

void KelImageAnimCL::AddFrame(KelImageTextureCL* image, int duration)
{
    KEL_TRY
    if (image == nullptr)
        return;
    m_frames.push_back(KelAnimFrame{std::unique_ptr<KelImageTextureCL>(image), duration});
    if (m_frames.size() == 1)
    {
        m_width = image->GetImageWidth();
        m_height = image->GetImageHeight();
    }
    m_current = 0;
    UpdateTotalDuration();
    KEL_CATCH
}

void KelImageAnimCL::SetHoldTime(int ms)
{
    m_holdTime = ms;
    UpdateTotalDuration();
}

void KelImageAnimCL::UpdateTotalDuration()
{
    // Durations come from files: the sum is taken in 64 bits and held to the range of an int,
    // so that long frames cannot wrap the total round to a short or negative one.
    long long total = m_holdTime;
    for (const KelAnimFrame& frame : m_frames)
        total += frame.duration;
    m_totalDuration = static_cast<int>(std::clamp<long long>(total, INT_MIN, INT_MAX));
}

KelAnimFrame* KelImageAnimCL::GetCurFrame()
{
    if (m_current < 0 || m_current >= static_cast<int>(m_frames.size()))
        return nullptr;
    return &m_frames[static_cast<size_t>(m_current)];
}

KelImageTextureCL* KelImageAnimCL::GetCurImage()
{
    KelAnimFrame* frame = GetCurFrame();
    return frame != nullptr ? frame->image.get() : nullptr;
}

bool KelImageAnimCL::LoadFromFileM(const char* path, D3DCOLOR)
{
    KEL_TRY
    if (path == nullptr)
        return false;
    if (Contains(path, ".zip") || Contains(path, ".ZIP"))
        return LoadFromZipFileM(path, nullptr);
    if (!Contains(path, ".ani") && !Contains(path, ".ANI"))
        return false;
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data))
    {
        KelLogPrintf("加载动画错误 : %s", path);
        return false;
    }
    return LoadFromMemoryM(path, data.data(), static_cast<UINT>(data.size()));
    KEL_CATCH
}

bool KelImageAnimCL::LoadFromFileImmediateM(const char* path, D3DCOLOR colorKey)
{
    return LoadFromFileM(path, colorKey);
}

bool KelImageAnimCL::LoadFromMemoryM(const char* name, const void* data, UINT size)
{
    KEL_TRY
    Destroy();
    const char* shownName = name != nullptr ? name : "";
    KelAniContent content;
    if (!KelReadAniFile(data, size, content))
    {
        KelLogPrintf("加载动画错误 : %s", shownName);
        return false;
    }
    for (const KelAniFrame& frame : content.frames)
    {
        const D3DSURFACE_DESC& desc = frame.desc;
        auto image = std::make_unique<KelImageTextureCL>();
        void* bits = nullptr;
        int pitch = 0;
        if (!image->CreateImageM("image", desc.Width, desc.Height, 0, desc.Usage, desc.Format, desc.Pool) ||
            !image->LockRect(0, 0, static_cast<int>(desc.Width), static_cast<int>(desc.Height), &bits, &pitch,
                             0))
        {
            Destroy();
            KelLogPrintf("加载动画错误 : %s", shownName);
            return false;
        }
        const size_t rowBytes = KelAniFramePitch(desc);
        const size_t copied = std::min(rowBytes, static_cast<size_t>(pitch));
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch,
                        frame.pixels.data() + y * rowBytes, copied);
        image->UnLockRect();
        AddFrame(image.release(), frame.duration);
    }
    m_name = shownName;
    SetHoldTime(content.holdTime);
    return true;
    KEL_CATCH
}

bool KelImageAnimCL::LoadFromZipFileM(const char* path, const char* subdirectory)
{
    KEL_TRY
    if (path == nullptr || (!Contains(path, ".zip") && !Contains(path, ".ZIP")))
        return false;
    Destroy();
    ZipSession session;
    session.library = LoadLibraryA("unzip.dll");
    if (session.library == nullptr)
    {
        KelLogPrintf("加载动画错误 : %s", path);
        return false;
    }
    auto create = reinterpret_cast<CreateZipFileProc>(GetProcAddress(session.library, "CreateZipFile"));
    if (create != nullptr)
        session.archive = create(path);
    if (session.archive == nullptr)
    {
        KelLogPrintf("加载动画错误 : %s", path);
        return false;
    }
    try
    {
        ReadFromZipDirectory(path, session.archive, subdirectory);
    }
    catch (...)
    {
        Destroy();
        throw;
    }
    // An archive without one readable frame is no animation: the next kind of image may try it.
    if (m_frames.empty())
    {
        Destroy();
        KelLogPrintf("加载动画错误 : %s", path);
        return false;
    }
    m_name = path;
    return true;
    KEL_CATCH
}

bool KelImageAnimCL::ReadFromZipDirectory(const char* path, IZipArchive* archive, const char* subdirectory)
{
    KEL_TRY
    if (path == nullptr || archive == nullptr)
        return false;
    std::vector<uint8_t> data;
    for (int number = 0;; ++number)
    {
        char member[16];
        std::snprintf(member, sizeof(member), "%04d.tga", number);
        const std::string memberName = MemberName(subdirectory, member);
        if (archive->OpenMember(memberName.c_str()) != 1)
            break;
        // A member that cannot be read or decoded is left out; the numbering goes on.
        if (!ReadMember(archive, kMaxMemberBytes, data))
        {
            KelLogPrintf("加载动画错误 : %s%s", path, memberName.c_str());
        }
        else if (!data.empty())
        {
            auto image = std::make_unique<KelImageTextureCL>();
            const std::string imageName = std::string(path) + memberName;
            if (image->LoadFromMemoryM(imageName.c_str(), data.data(), static_cast<UINT>(data.size())))
                AddFrame(image.release(), kDefaultFrameMs);
        }
        archive->CloseMember();
    }
    const std::string configName = MemberName(subdirectory, "config.txt");
    if (archive->OpenMember(configName.c_str()) == 1)
    {
        if (ReadMember(archive, kMaxConfigBytes, data))
            ApplyConfig(std::string(data.begin(), data.end()));
        else
            KelLogPrintf("加载动画错误 : %s%s", path, configName.c_str());
        archive->CloseMember();
    }
    UpdateTotalDuration();
    return true;
    KEL_CATCH
}

void KelImageAnimCL::ApplyConfig(const std::string& text)
{
    size_t line = 0;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
        {
            const std::string value = text.substr(start, end - start);
            int ms = 0;
            const bool parsed = std::sscanf(value.c_str(), "%d", &ms) == 1;
            if (line < m_frames.size())
            {
                if (parsed)
                    m_frames[line].duration = ms;
            }
            else if (line == m_frames.size())
            {
                if (parsed)
                    m_holdTime = ms;
                break;
            }
            ++line;
        }
        start = end + 1;
    }
    UpdateTotalDuration();
}

bool KelImageAnimCL::CreateImageM(const char*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL)
{
    return true;
}

IDirect3DTexture8* KelImageAnimCL::GetTextureM()
{
    KelImageTextureCL* image = GetCurImage();
    return image != nullptr ? image->GetTextureM() : nullptr;
}

IDirect3DSurface8* KelImageAnimCL::GetSurfaceM()
{
    KEL_TRY
    KelImageTextureCL* image = GetCurImage();
    return image != nullptr ? image->GetSurfaceM() : nullptr;
    KEL_CATCH
}

std::string KelImageAnimCL::GetIDM()
{
    return m_name;
}

bool KelImageAnimCL::OnLostDevice()
{
    KEL_TRY
    bool ok = true;
    for (KelAnimFrame& frame : m_frames)
        ok = frame.image->OnLostDevice() && ok;
    return ok;
    KEL_CATCH
}

bool KelImageAnimCL::OnResetDevice()
{
    KEL_TRY
    bool ok = true;
    for (KelAnimFrame& frame : m_frames)
        ok = frame.image->OnResetDevice() && ok;
    return ok;
    KEL_CATCH
}

bool KelImageAnimCL::Render(KelCanvasCL* canvas, float x, float y)
{
    KEL_TRY
    KelSetRedraw(true);
    KelImageTextureCL* image = GetCurImage();
    if (image == nullptr)
        return true;
    return image->Render(canvas, x, y);
    KEL_CATCH
}

bool KelImageAnimCL::RenderRect(KelCanvasCL* canvas, int left, int top, int width, int height, D3DCOLOR color)
{
    KEL_TRY
    KelSetRedraw(true);
    KelImageTextureCL* image = GetCurImage();
    if (image == nullptr)
        return true;
    return image->RenderRect(canvas, left, top, width, height, color);
    KEL_CATCH
}

bool KelImageAnimCL::GetPointColor(int x, int y, D3DCOLOR* color)
{
    KEL_TRY
    KelImageTextureCL* image = GetCurImage();
    if (image != nullptr)
        return image->GetPointColor(x, y, color);
    if (color != nullptr)
        *color = 0;
    return false;
    KEL_CATCH
}

int KelImageAnimCL::GetImageWidth()
{
    return m_width;
}

int KelImageAnimCL::GetImageHeight()
{
    return m_height;
}

void KelImageAnimCL::SetAnimationTime(int ms)
{
    if (m_totalDuration <= 0)
        return;
    int time = ms % m_totalDuration;
    if (time < 0)
        time += m_totalDuration;
    // The current frame is the first whose span ends at or after the time; during the hold
    // time after the last frame the index runs past the frames and nothing is current.
    int index = 0;
    long long end = 0;
    for (const KelAnimFrame& frame : m_frames)
    {
        end += frame.duration;
        if (end >= time)
            break;
        ++index;
    }
    m_current = index;
}

bool KelImageAnimCL::SaveAsAnimationFile(const char* name)
{
    KEL_TRY
    if (name == nullptr)
        return false;
    const std::string path = std::string(name) + ".ani";
    KelAniContent content;
    content.holdTime = m_holdTime;
    for (KelAnimFrame& frame : m_frames)
    {
        const D3DSURFACE_DESC* desc = frame.image->GetSurfaceDesc();
        const size_t rowBytes = desc != nullptr ? KelAniFramePitch(*desc) : 0;
        void* bits = nullptr;
        int pitch = 0;
        if (rowBytes == 0 ||
            !frame.image->LockRect(0, 0, static_cast<int>(desc->Width), static_cast<int>(desc->Height), &bits,
                                   &pitch, D3DLOCK_READONLY))
        {
            KelLogPrintf("保存动画文件错误 : %s", path.c_str());
            return false;
        }
        KelAniFrame saved;
        saved.duration = frame.duration;
        saved.desc = *desc;
        saved.pixels.assign(rowBytes * desc->Height, 0);
        const size_t copied = std::min(rowBytes, static_cast<size_t>(pitch));
        for (UINT y = 0; y < desc->Height; ++y)
            std::memcpy(saved.pixels.data() + y * rowBytes,
                        static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * pitch, copied);
        frame.image->UnLockRect();
        content.frames.push_back(std::move(saved));
    }
    if (!KelWriteAniFile(path.c_str(), content))
    {
        KelLogPrintf("保存动画文件错误 : %s", path.c_str());
        return false;
    }
    return true;
    KEL_CATCH
}
