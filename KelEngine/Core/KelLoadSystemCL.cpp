#include "KelLoadSystemCL.h"

#include <cassert>
#include <chrono>
#include <cstdio>

#include "KelGuard.h"
#include "KelImageTextureCL.h"
#include "KelLogCL.h"
#include "KelMutexManagerCL.h"
#include "KelNamedLockGuardCL.h"
#include "KelSystemCL.h"

namespace
{
const char kLockName[] = "KelLoadSystem";

using QueueLockCL = KelNamedLockGuardCL<KelMutexManagerCL>;

bool LoadTextureFromFile(IDirect3DDevice8* device, const char* path, D3DXIMAGE_INFO* info,
                         IDirect3DTexture8** texture)
{
    if (D3DXGetImageInfoFromFileA(path, info) != D3D_OK)
        return false;
    return D3DXCreateTextureFromFileExA(device, path, info->Width, info->Height, info->MipLevels, 0,
                                        info->Format, D3DPOOL_MANAGED, D3DX_FILTER_NONE, 0, 0, nullptr,
                                        nullptr, texture) == D3D_OK;
}
} // namespace

KelLoadSystemCL::KelLoadSystemCL() : m_loadFile(&LoadTextureFromFile) {}

void KelLoadSystemCL::Start()
{
    KEL_TRY
    if (m_started)
        return;
    // Close joins the worker, and a worker starts only with the loader.
    assert(!m_worker.joinable());
    {
        std::lock_guard<std::mutex> wake(m_wakeLock);
        m_stopRequested = false;
        // Files queued while the loader was stopped are waiting already.
        m_wakePending = true;
        m_running = true;
    }
    // Marked started before the worker exists, so that IsStarted never answers false while a
    // worker runs.
    m_started = true;
    try
    {
        m_worker = std::thread(&KelLoadSystemCL::WorkerLoop, this);
    }
    catch (...)
    {
        m_started = false;
        std::lock_guard<std::mutex> wake(m_wakeLock);
        m_running = false;
        throw;
    }
    KEL_CATCH
}

void KelLoadSystemCL::Close()
{
    KEL_TRY
    if (m_worker.joinable())
    {
        assert(m_worker.get_id() != std::this_thread::get_id());
        {
            std::lock_guard<std::mutex> wake(m_wakeLock);
            m_stopRequested = true;
        }
        m_wakeChanged.notify_all();
        // However long the file in hand takes: the worker uses this object until it ends.
        m_worker.join();
    }
    {
        QueueLockCL lock(kLockName);
        m_queue.clear();
    }
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
    {
        QueueLockCL lock(kLockName);
        m_queue.splice(m_queue.end(), node);
    }
    {
        std::lock_guard<std::mutex> wake(m_wakeLock);
        m_wakePending = true;
    }
    m_wakeChanged.notify_all();
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
    QueueLockCL lock(kLockName);
    return m_queue.size();
    KEL_CATCH
}

bool KelLoadSystemCL::IsStarted() const
{
    return m_started;
}

bool KelLoadSystemCL::WaitForIdle(DWORD milliseconds)
{
    KEL_TRY
    {
        std::unique_lock<std::mutex> wake(m_wakeLock);
        const bool settled =
            m_wakeChanged.wait_for(wake, std::chrono::milliseconds(milliseconds),
                                   [this] { return !m_running || (!m_wakePending && !m_busy); });
        if (!settled)
            return false;
        if (m_running)
            return true;
    }
    // No worker: idle only when nothing waits for one.
    return GetQueuedCount() == 0;
    KEL_CATCH
}

void KelLoadSystemCL::SetLoadFunction(KelLoadFileFun load)
{
    // The worker reads the function without a lock.
    assert(!m_worker.joinable());
    m_loadFile = load.empty() ? KelLoadFileFun(&LoadTextureFromFile) : std::move(load);
}

bool KelLoadSystemCL::IsStopRequested()
{
    std::lock_guard<std::mutex> wake(m_wakeLock);
    return m_stopRequested;
}

void KelLoadSystemCL::WorkerLoop()
{
    std::unique_lock<std::mutex> wake(m_wakeLock);
    try
    {
        for (;;)
        {
            m_wakeChanged.wait(wake, [this] { return m_stopRequested || m_wakePending; });
            if (m_stopRequested)
                break;
            m_wakePending = false;
            m_busy = true;
            wake.unlock();
            // A stop request is honoured between files, so that Close does not wait for a
            // long queue; the files left behind are dropped by Close.
            Request request;
            while (!IsStopRequested() && TakeRequest(request))
                Load(request);
            wake.lock();
            m_busy = false;
            m_wakeChanged.notify_all();
        }
    }
    catch (...)
    {
        // A thread must not let anything out; the guard has logged where it came from.
        KelLogGuardFailure(__FILE__, __LINE__, __PRETTY_FUNCTION__);
    }
    if (!wake.owns_lock())
        wake.lock();
    m_busy = false;
    m_running = false;
    wake.unlock();
    m_wakeChanged.notify_all();
}

bool KelLoadSystemCL::TakeRequest(Request& request)
{
    KEL_TRY
    QueueLockCL lock(kLockName);
    if (m_queue.empty())
        return false;
    request = m_queue.front();
    m_queue.pop_front();
    return true;
    KEL_CATCH
}

void KelLoadSystemCL::Load(const Request& request)
{
    KEL_TRY
    D3DXIMAGE_INFO info{};
    IDirect3DTexture8* texture = nullptr;
    bool loaded = false;
    {
        // The screen must not release the device while a texture is being made on it.
        std::lock_guard<std::mutex> deviceLock(m_deviceLock);
        IDirect3DDevice8* device = m_device;
        loaded = device != nullptr && m_loadFile(device, request.path, &info, &texture) && texture != nullptr;
    }
    if (!loaded)
    {
        if (texture != nullptr)
            texture->Release();
        KelLogPrintf("加载图片错误 : %s ", request.path);
        return;
    }
    if (request.width != nullptr)
        *request.width = info.Width;
    if (request.height != nullptr)
        *request.height = info.Height;
    KelAddAvailableVideoMemoryKb(-KelEstimateLoadedTextureKb(info.Width, info.Height, info.Format));
    // Published last and in one store: a caller that sees the texture also sees the sizes.
    std::atomic_ref<IDirect3DTexture8*>(*request.texture).store(texture, std::memory_order_release);
    KEL_CATCH
}
