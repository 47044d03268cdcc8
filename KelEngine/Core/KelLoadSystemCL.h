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
// Threads. Only the request queue is shared under a lock, the named lock "KelLoadSystem" of the
// mutex registry. Start creates that registry entry on the calling thread before the worker
// exists, because the registries are not thread-safe. The device must have been created with
// the multithreaded flag, since the worker creates textures on it while the UI thread draws.

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

#include "D3D8/D3D8.h"
#include "KelSingletonCL.h"

class KelLoadSystemCL : public KelSingletonCL<KelLoadSystemCL>
{
public:
    KelLoadSystemCL();

    // Starts the worker thread; does nothing while the loader is already started.
    virtual void Start();
    // Stops the worker (waiting up to about a second for it to leave its loop), drops every
    // request still queued and marks the loader stopped. Start may be called again afterwards.
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

private:
    struct Request
    {
        char path[256];
        IDirect3DTexture8** texture;
        UINT* width;
        UINT* height;
    };

    void WorkerLoop(unsigned generation);
    // Takes the oldest request off the queue; false when the queue is empty.
    bool TakeRequest(Request& request);
    void Load(const Request& request, unsigned generation);
    bool IsCurrent(unsigned generation) const;

    std::list<Request> m_queue;
    std::atomic<bool> m_started{false};
    std::atomic<IDirect3DDevice8*> m_device{nullptr};
    // Each Start begins a new generation. A worker that Close gave up waiting for keeps its own
    // number, so that it neither takes new requests nor writes results after a later Start.
    std::atomic<unsigned> m_generation{0};
    std::thread m_worker;
    // Held by the worker while it uses the device, and by SetDevice while it replaces it.
    std::mutex m_deviceLock;
    // Held by the worker from its last check that its result is wanted until the result is
    // written, and by Close when it gives up on a worker: once Close has returned, a worker
    // left behind can no longer write into outputs their owners may already have freed.
    std::mutex m_publishLock;
};
