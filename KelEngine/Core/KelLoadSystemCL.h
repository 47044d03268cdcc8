#pragma once
// The background texture loader: image files queued by the UI thread are decoded and uploaded
// as managed-pool textures on one worker thread, so that opening a window full of pictures does
// not stall drawing.
//
// Handing results back. Each request names three output locations owned by the caller: the
// texture, the image width and the image height. The worker writes each of them once, width and
// height first and the texture pointer last, as one atomic store with release ordering. The
// caller therefore learns that a load has finished by reading the texture location with an
// acquire load (std::atomic_ref<IDirect3DTexture8*>(*texture).load(std::memory_order_acquire));
// once it sees a non-null pointer, the width and height are complete and it may read them as
// plain values. A request that fails leaves all three outputs untouched, so callers start them
// at null and 0. The outputs must stay alive until the texture appears or the loader is closed.
//
// Threads. Each loader has at most one worker, which never outlives it: Close (and so the
// destructor) stops the worker and joins it, waiting for the file in hand to finish. The worker
// sleeps on a condition until a request arrives or it is told to stop. What the two threads
// share, and under which lock:
// - m_queue, under the named lock "KelLoadSystem" of the mutex registry. Loaders share that
//   name, and with it the lock, but each has its own queue.
// - m_stopRequested, m_wakePending, m_busy and m_running, under m_wakeLock; m_wakeChanged is
//   signalled whenever one of them changes.
// - m_device: an atomic read by anyone, changed under m_deviceLock, which the worker holds
//   while it makes a texture on the device (see SetDevice).
// - The outputs of each request, written by the worker as described above.
// - m_started: an atomic, changed by Start and Close only.
// Everything else (m_worker, m_loadFile) belongs to the thread that starts and closes the loader.
// The device must have been created with the multithreaded flag, since the worker creates
// textures on it while the UI thread draws.

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include <boost/function.hpp>

#include "D3D8/D3D8.h"
#include "D3D8/D3DX8.h"
#include "KelSingletonCL.h"

// How a queued file becomes a texture on the device: fills the image information and the
// texture and answers whether both succeeded.
using KelLoadFileFun = boost::function<bool(IDirect3DDevice8* device, const char* path, D3DXIMAGE_INFO* info,
                                            IDirect3DTexture8** texture)>;

class KelLoadSystemCL : public KelSingletonCL<KelLoadSystemCL>
{
public:
    KelLoadSystemCL();

    // Starts the worker thread; does nothing while the loader is already started. Requests
    // queued while the loader was stopped are loaded now.
    virtual void Start();
    // Stops the worker and waits until it has ended (the file in hand is finished and
    // published first), drops every request still queued and marks the loader stopped. Start
    // may be called again afterwards.
    virtual void Close();
    // Queues the file. A null path or a null texture location is ignored; null width or height
    // locations are simply not written.
    virtual void Enqueue(const char* path, IDirect3DTexture8** texture, UINT* width, UINT* height);

    virtual ~KelLoadSystemCL();

    // The device textures are created on: the current screen's device. The screen manager sets
    // it when a screen becomes current and clears it (null) before the device goes away. No
    // reference is taken; instead a change waits until the worker has finished creating the
    // texture in hand, so that the old device may be released as soon as this returns. While
    // no device is set, queued files fail with the usual log line.
    void SetDevice(IDirect3DDevice8* device);
    IDirect3DDevice8* GetDevice() const;

    // Requests queued and not yet taken by the worker.
    size_t GetQueuedCount();
    bool IsStarted() const;

    // Waits until every request queued before the call has been handled (its texture published
    // or its failure logged) and the worker is not inside a load. False when the time runs out
    // first, or when the loader is stopped while requests are still queued.
    bool WaitForIdle(DWORD milliseconds);

    // Replaces how a file becomes a texture (an empty function restores the D3DX loader), for a
    // program that reads pictures from elsewhere or a test that must hold the worker inside a
    // load. The function runs on the worker with the device lock held. Only while stopped.
    void SetLoadFunction(KelLoadFileFun load);

private:
    struct Request
    {
        char path[256];
        IDirect3DTexture8** texture;
        UINT* width;
        UINT* height;
    };

    void WorkerLoop();
    bool IsStopRequested();
    // Takes the oldest request off the queue; false when the queue is empty.
    bool TakeRequest(Request& request);
    void Load(const Request& request);

    std::list<Request> m_queue;
    std::atomic<bool> m_started{false};
    std::atomic<IDirect3DDevice8*> m_device{nullptr};
    KelLoadFileFun m_loadFile;
    std::thread m_worker;

    std::mutex m_wakeLock;
    std::condition_variable m_wakeChanged;
    // Set by Close; the worker leaves its loop at the next file or as soon as it wakes.
    bool m_stopRequested = false;
    // Set when a request is queued (and by Start); cleared by the worker when it wakes for it.
    bool m_wakePending = false;
    // The worker is emptying the queue: a request has been taken and may not be handled yet.
    bool m_busy = false;
    // The worker is in its loop: from Start until it leaves it.
    bool m_running = false;

    // Held by the worker while it uses the device, and by SetDevice while it replaces it.
    std::mutex m_deviceLock;
};
