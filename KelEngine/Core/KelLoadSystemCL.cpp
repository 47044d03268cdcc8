#include "KelLoadSystemCL.h"

#include <cstdio>

#include "D3D8/D3DX8.h"
#include "KelGuard.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelMutexManagerCL.h"
#include "KelSystemCL.h"
#include "Win32/Time.h"

namespace
{
const char kLockName[] = "KelLoadSystem";

// Set to 1 by Close, cleared by the worker when it leaves its loop.
std::atomic<int> s_stopFlag{0};

// How long Close waits for the worker: this many polls, 1 ms apart.
const int kStopPolls = 1000;
const DWORD kPassPauseMs = 50;

} // namespace

KelLoadSystemCL::KelLoadSystemCL() = default;

void KelLoadSystemCL::Start()
{
    KEL_TRY
    if (m_started)
        return;
    // The registries are not thread-safe: their entries, and the singletons the worker uses,
    // are created here on the calling thread before the worker can reach them.
    KelMutexManagerCL::GetInstance()->GetMutex(kLockName);
    KelSystemCL::GetInstance();
    KelLogCL::GetInstance();
    if (m_worker.joinable())
        m_worker.join();
    s_stopFlag = 0;
    const unsigned generation = ++m_generation;
    // Marked started before the worker exists: a worker that found the loader stopped would
    // throw its first texture away.
    m_started = true;
    try
    {
        m_worker = std::thread(&KelLoadSystemCL::WorkerLoop, this, generation);
    }
    catch (...)
    {
        m_started = false;
        throw;
    }
    KEL_CATCH
}

void KelLoadSystemCL::Close()
{
    KEL_TRY
    if (m_worker.joinable())
    {
        s_stopFlag = 1;
        for (int poll = 0; poll < kStopPolls && s_stopFlag != 0; ++poll)
            Sleep(1);
        if (s_stopFlag == 0)
        {
            m_worker.join();
        }
        else
        {
            // The worker is still inside a long load. Let it finish on its own: a new
            // generation tells it that its result is no longer wanted and that it must stop.
            {
                std::lock_guard<std::mutex> publishLock(m_publishLock);
                ++m_generation;
            }
            m_worker.detach();
            s_stopFlag = 0;
        }
    }
    KelLockMutex(kLockName);
    m_queue.clear();
    KelUnLockMutex(kLockName);
    m_started = false;
    KEL_CATCH
}

void KelLoadSystemCL::Enqueue(const char* path, IDirect3DTexture8** texture, UINT* width, UINT* height)
{
    KEL_TRY
    if (path == nullptr || texture == nullptr)
        return;
    // The node is built outside the lock so that nothing can throw while the lock is held.
    std::list<Request> node(1);
    Request& request = node.front();
    std::snprintf(request.path, sizeof(request.path), "%s", path);
    request.texture = texture;
    request.width = width;
    request.height = height;
    KelLockMutex(kLockName);
    m_queue.splice(m_queue.end(), node);
    KelUnLockMutex(kLockName);
    KEL_CATCH
}

KelLoadSystemCL::~KelLoadSystemCL()
{
    // A destructor must not throw; the guard still logs where the failure came from.
    KEL_TRY
    Close();
    KEL_CATCH_RETURN()
}

void KelLoadSystemCL::SetDevice(IDirect3DDevice8* device)
{
    std::lock_guard<std::mutex> deviceLock(m_deviceLock);
    m_device = device;
}

IDirect3DDevice8* KelLoadSystemCL::GetDevice() const
{
    return m_device;
}

size_t KelLoadSystemCL::GetQueuedCount()
{
    KEL_TRY
    KelLockMutex(kLockName);
    const size_t count = m_queue.size();
    KelUnLockMutex(kLockName);
    return count;
    KEL_CATCH
}

bool KelLoadSystemCL::IsStarted() const
{
    return m_started;
}

bool KelLoadSystemCL::IsCurrent(unsigned generation) const
{
    return m_generation == generation;
}

void KelLoadSystemCL::WorkerLoop(unsigned generation)
{
    try
    {
        while (s_stopFlag == 0 && IsCurrent(generation))
        {
            // A stop request is honoured between files, so that Close does not wait for a
            // long queue; the files left behind are dropped by Close.
            Request request;
            while (s_stopFlag == 0 && IsCurrent(generation) && TakeRequest(request))
                Load(request, generation);
            Sleep(kPassPauseMs);
        }
    }
    catch (...)
    {
        // A thread must not let anything out; the guard has logged where it came from.
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
    if (IsCurrent(generation))
        s_stopFlag = 0;
}

bool KelLoadSystemCL::TakeRequest(Request& request)
{
    KEL_TRY
    KelLockMutex(kLockName);
    const bool found = !m_queue.empty();
    if (found)
    {
        request = m_queue.front();
        m_queue.pop_front();
    }
    KelUnLockMutex(kLockName);
    return found;
    KEL_CATCH
}

void KelLoadSystemCL::Load(const Request& request, unsigned generation)
{
    KEL_TRY
    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* texture = nullptr;
    bool loaded = false;
    {
        // The screen must not release the device while a texture is being made on it.
        std::lock_guard<std::mutex> deviceLock(m_deviceLock);
        IDirect3DDevice8* device = m_device;
        loaded = device != nullptr && D3DXGetImageInfoFromFileA(request.path, &info) == D3D_OK;
        if (loaded)
            loaded = D3DXCreateTextureFromFileExA(
                         device, request.path, info.Width, info.Height, info.MipLevels, 0, info.Format,
                         D3DPOOL_MANAGED, D3DX_FILTER_NONE, 0, 0, nullptr, nullptr, &texture) == D3D_OK &&
                     texture != nullptr;
    }
    std::unique_lock<std::mutex> publishLock(m_publishLock);
    const bool wanted = m_started && IsCurrent(generation);
    if (wanted && loaded)
    {
        if (request.width != nullptr)
            *request.width = info.Width;
        if (request.height != nullptr)
            *request.height = info.Height;
        KelAddAvailableVideoMemoryKb(-KelEstimateLoadedTextureKb(info.Width, info.Height, info.Format));
        // Published last and in one store: a caller that sees the texture also sees the sizes.
        std::atomic_ref<IDirect3DTexture8*>(*request.texture).store(texture, std::memory_order_release);
        return;
    }
    publishLock.unlock();
    if (!wanted)
    {
        if (texture != nullptr)
            texture->Release();
        return;
    }
    KelLogPrintf("加载图片错误 : %s ", request.path);
    KEL_CATCH
}
