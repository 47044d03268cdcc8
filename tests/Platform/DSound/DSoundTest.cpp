#include "DSound/DSound.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "Win32/PlaySound.h"
#include "Win32/Sync.h"
#include "Win32/Time.h"
#include "Win32/Window.h"

namespace
{
struct Released
{
    void operator()(IUnknownDSound* object) const
    {
        if (object != nullptr)
            object->Release();
    }
};
template <class T>
using Ref = std::unique_ptr<T, Released>;

WAVEFORMATEX Format(WORD channels, DWORD rate, WORD bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    return f;
}

// A device mixing only when asked, with the cooperative level set.
class DSoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        IDirectSound8* device = nullptr;
        ASSERT_EQ(DirectSoundCreateManual8(&device), DS_OK);
        m_device.reset(device);
        ASSERT_EQ(m_device->SetCooperativeLevel(&m_window, DSSCL_PRIORITY), DS_OK);
    }

    Ref<IDirectSoundBuffer> Buffer(const WAVEFORMATEX& format, const void* bytes, DWORD size,
                                   DWORD flags = DSBCAPS_CTRLVOLUME)
    {
        WAVEFORMATEX f = format;
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = size;
        desc.lpwfxFormat = &f;
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(m_device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (buffer != nullptr && bytes != nullptr)
        {
            void* p = nullptr;
            DWORD n = 0;
            EXPECT_EQ(buffer->Lock(0, size, &p, &n, nullptr, nullptr, 0), DS_OK);
            std::memcpy(p, bytes, n);
            EXPECT_EQ(buffer->Unlock(p, n, nullptr, 0), DS_OK);
        }
        return Ref<IDirectSoundBuffer>(buffer);
    }

    // A stereo 16-bit buffer holding the same frame value throughout.
    Ref<IDirectSoundBuffer> Level(int16_t left, int16_t right, DWORD frames, DWORD flags = DSBCAPS_CTRLVOLUME)
    {
        std::vector<int16_t> samples;
        for (DWORD i = 0; i < frames; ++i)
        {
            samples.push_back(left);
            samples.push_back(right);
        }
        return Buffer(Format(2, 44100, 16), samples.data(), frames * 4, flags);
    }

    std::vector<int16_t> Mix(size_t frames)
    {
        std::vector<int16_t> out(frames * 2);
        EXPECT_TRUE(DirectSoundMixManual(m_device.get(), out.data(), frames));
        return out;
    }

    static DWORD Status(IDirectSoundBuffer* buffer)
    {
        DWORD status = 0;
        EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
        return status;
    }

    MemoryWindow m_window{4, 4};
    Ref<IDirectSound8> m_device;
};
} // namespace

TEST_F(DSoundTest, VoicesAddWithTheirVolumesAndPans)
{
    struct Case
    {
        const char* what;
        LONG volume;
        LONG pan;
        int expectLeft;
        int expectRight;
    } const cases[] = {
        {"full", 0, 0, 10000, 10000},
        {"silent", DSBVOLUME_MIN, 0, 0, 0},
        {"-6 dB is half", -602, 0, 5000, 5000},
        {"panned hard left", 0, DSBPAN_LEFT, 10000, 0},
        {"panned right by 20 dB", 0, 2000, 1000, 10000},
    };
    for (const Case& c : cases)
    {
        Ref<IDirectSoundBuffer> buffer = Level(10000, 10000, 4096, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN);
        ASSERT_EQ(buffer->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(buffer->SetPan(c.pan), DS_OK);
        ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
        const std::vector<int16_t> out = Mix(16);
        EXPECT_NEAR(out[0], c.expectLeft, 3) << c.what;
        EXPECT_NEAR(out[1], c.expectRight, 3) << c.what;
    }

    // Two voices add, and the sum saturates instead of wrapping.
    Ref<IDirectSoundBuffer> a = Level(1000, -3000, 64);
    Ref<IDirectSoundBuffer> b = Level(300, -30000, 64);
    a->Play(0, 0, 0);
    b->Play(0, 0, 0);
    std::vector<int16_t> out = Mix(4);
    EXPECT_EQ(out[0], 1300);
    EXPECT_EQ(out[1], -32768);
}

TEST_F(DSoundTest, FormatsAreConvertedToSixteenBitStereo)
{
    const uint8_t eightBitMono[] = {0x80, 0xC0, 0x40, 0xFF};
    Ref<IDirectSoundBuffer> buffer = Buffer(Format(1, 44100, 8), eightBitMono, 4);
    buffer->Play(0, 0, 0);
    const std::vector<int16_t> out = Mix(4);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 0, 0x4000, 0x4000, -0x4000, -0x4000, 0x7F00, 0x7F00}));

    // Half the output rate: each source frame lasts two output frames, halfway frames between.
    const int16_t ramp[] = {0, 0, 1000, 1000, 2000, 2000};
    Ref<IDirectSoundBuffer> slow = Buffer(Format(2, 22050, 16), ramp, sizeof ramp);
    slow->Play(0, 0, 0);
    const std::vector<int16_t> stretched = Mix(6);
    EXPECT_EQ(stretched,
              (std::vector<int16_t>{0, 0, 500, 500, 1000, 1000, 1500, 1500, 2000, 2000, 2000, 2000}));
    EXPECT_EQ(Status(slow.get()), 0u) << "stopped at its end";
}

TEST_F(DSoundTest, SoundsStopAtTheirEndUnlessLooping)
{
    Ref<IDirectSoundBuffer> once = Level(100, 100, 10);
    Ref<IDirectSoundBuffer> looped = Level(7, 7, 10);
    once->Play(0, 0, 0);
    looped->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(Status(looped.get()), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    std::vector<int16_t> out = Mix(25);
    EXPECT_EQ(out[2 * 9], 107);
    EXPECT_EQ(out[2 * 10], 7) << "the first ended after 10 frames";
    EXPECT_EQ(out[2 * 24], 7);
    EXPECT_EQ(Status(once.get()), 0u);
    DWORD play = 1;
    once->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u) << "played again, it starts from the beginning";
    looped->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 5u * 4) << "25 frames into a loop of 10";
    looped->Stop();
    EXPECT_EQ(Mix(4), std::vector<int16_t>(8, 0));
}

TEST_F(DSoundTest, DuplicatesShareSamplesButNotCursors)
{
    Ref<IDirectSoundBuffer> original = Level(500, 500, 100);
    IDirectSoundBuffer* raw = nullptr;
    ASSERT_EQ(m_device->DuplicateSoundBuffer(original.get(), &raw), DS_OK);
    Ref<IDirectSoundBuffer> copy(raw);
    original->Play(0, 0, 0);
    Mix(40);
    copy->Play(0, 0, 0);
    DWORD a = 0;
    DWORD b = 0;
    original->GetCurrentPosition(&a, nullptr);
    copy->GetCurrentPosition(&b, nullptr);
    EXPECT_EQ(a, 160u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(Mix(1)[0], 1000) << "two copies play at once";

    // Writing through the original changes what the copy plays, and the copy outlives it.
    void* p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(original->Lock(0, 400, &p, &n, nullptr, nullptr, 0), DS_OK);
    std::memset(p, 0, n);
    ASSERT_EQ(original->Unlock(p, n, nullptr, 0), DS_OK);
    original.reset();
    EXPECT_EQ(Mix(1)[0], 0);
    EXPECT_EQ(Status(copy.get()), DSBSTATUS_PLAYING);
}

TEST_F(DSoundTest, NotificationsFireAsTheCursorPassesThem)
{
    Ref<IDirectSoundBuffer> buffer = Level(1, 1, 100, DSBCAPS_CTRLPOSITIONNOTIFY);
    IDirectSoundNotify* rawNotify = nullptr;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&rawNotify)), DS_OK);
    Ref<IDirectSoundNotify> notify(rawNotify);
    HANDLE quarter = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE end = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DSBPOSITIONNOTIFY positions[] = {{99, quarter}, {399, end}, {DSBPN_OFFSETSTOP, stop}};
    ASSERT_EQ(notify->SetNotificationPositions(3, positions), DS_OK);

    buffer->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(notify->SetNotificationPositions(3, positions), DSERR_INVALIDCALL) << "not while playing";
    Mix(24); // bytes 0 ... 95
    EXPECT_EQ(WaitForSingleObject(quarter, 0), WAIT_TIMEOUT);
    Mix(1); // byte 96 ... 99: passes 99
    EXPECT_EQ(WaitForSingleObject(quarter, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_TIMEOUT);
    Mix(100); // round the end of the loop, to byte 100 of the second round
    EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(quarter, 0), WAIT_OBJECT_0) << "and past the first again";
    EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_TIMEOUT);
    buffer->Stop();
    EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_OBJECT_0);

    const DSBPOSITIONNOTIFY beyond[] = {{400, quarter}};
    EXPECT_EQ(notify->SetNotificationPositions(1, beyond), DSERR_INVALIDPARAM);
    for (HANDLE h : {quarter, end, stop})
        CloseHandle(h);
}

TEST_F(DSoundTest, LockWrapsRoundTheEndAndLostBuffersWaitForRestore)
{
    Ref<IDirectSoundBuffer> buffer = Level(0, 0, 100);
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0;
    DWORD secondBytes = 0;
    ASSERT_EQ(buffer->Lock(360, 80, &first, &firstBytes, &second, &secondBytes, 0), DS_OK);
    EXPECT_EQ(firstBytes, 40u);
    EXPECT_EQ(secondBytes, 40u);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(buffer->Lock(0, 4, &first, &firstBytes, nullptr, nullptr, 0), DSERR_INVALIDCALL)
        << "one lock at a time";
    std::memset(second, 0x11, secondBytes);
    ASSERT_EQ(buffer->Unlock(first, firstBytes, second, secondBytes), DS_OK);
    buffer->Play(0, 0, 0);
    EXPECT_EQ(Mix(1)[0], 0x1111) << "the second part went to the start";

    DirectSoundLoseBuffers(m_device.get());
    EXPECT_EQ(Status(buffer.get()), DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Lock(0, 4, &first, &firstBytes, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(Mix(1)[0], 0);
    EXPECT_EQ(buffer->Restore(), DS_OK);
    EXPECT_EQ(buffer->Play(0, 0, 0), DS_OK);
}

TEST_F(DSoundTest, BadRequestsAreRefused)
{
    WAVEFORMATEX good = Format(2, 44100, 16);
    WAVEFORMATEX badBits = Format(2, 44100, 12);
    WAVEFORMATEX badAlign = Format(2, 44100, 16);
    badAlign.nBlockAlign = 3;
    WAVEFORMATEX badRate = Format(1, 10, 8);
    struct
    {
        DWORD size;
        DWORD flags;
        WAVEFORMATEX* format;
        HRESULT result;
    } const cases[] = {
        {0, 0, &good, DSERR_INVALIDPARAM},
        {DSBSIZE_MAX + 1, 0, &good, DSERR_INVALIDPARAM},
        {64, 0, nullptr, DSERR_BADFORMAT},
        {64, 0, &badBits, DSERR_BADFORMAT},
        {64, 0, &badAlign, DSERR_BADFORMAT},
        {64, 0, &badRate, DSERR_BADFORMAT},
        {64, DSBCAPS_PRIMARYBUFFER, &good, DSERR_INVALIDPARAM},
    };
    for (const auto& c : cases)
    {
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = c.flags;
        desc.dwBufferBytes = c.size;
        desc.lpwfxFormat = c.format;
        IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
        EXPECT_EQ(m_device->CreateSoundBuffer(&desc, &buffer, nullptr), c.result) << c.size << " " << c.flags;
        EXPECT_EQ(buffer, nullptr);
    }
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(m_device->CreateSoundBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);

    Ref<IDirectSoundBuffer> plain = Level(0, 0, 16, 0);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    void* p = nullptr;
    DWORD n = 0;
    EXPECT_EQ(plain->Lock(64, 4, &p, &n, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(plain->SetCurrentPosition(64), DSERR_INVALIDPARAM);
    EXPECT_EQ(plain->Unlock(p, n, nullptr, 0), DSERR_INVALIDCALL);
    void* threeD = nullptr;
    EXPECT_EQ(plain->QueryInterface(IID_IDirectSound3DBuffer, &threeD), DSERR_NOINTERFACE);
    EXPECT_EQ(threeD, nullptr);
    Ref<IDirectSoundBuffer> volume = Level(0, 0, 16);
    EXPECT_EQ(volume->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(volume->SetVolume(-10001), DSERR_INVALIDPARAM);
}

TEST_F(DSoundTest, ThreeDSoundsArePlacedAroundTheListener)
{
    DSBUFFERDESC primaryDesc{};
    primaryDesc.dwSize = sizeof primaryDesc;
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(m_device->CreateSoundBuffer(&primaryDesc, &primary, nullptr), DS_OK);
    Ref<IDirectSoundBuffer> primaryRef(primary);
    IDirectSound3DListener* rawListener = nullptr;
    ASSERT_EQ(primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&rawListener)),
              DS_OK);
    Ref<IDirectSound3DListener> listener(rawListener);

    const int16_t mono[4] = {16000, 16000, 16000, 16000};
    struct Case
    {
        const char* what;
        float x, y, z;
        float rolloff;
        bool louderLeft;
        bool louderRight;
        double expectSum; // of both channels' power, relative to the centre at the minimum distance
    } const cases[] = {
        {"ahead", 0, 0, 1, 1.0f, false, false, 1.0},
        {"to the right", 3, 0, 0, 0.0f, false, true, 1.0},
        {"to the left", -1, 0, 0, 0.0f, true, false, 1.0},
        {"far, no rolloff", 0, 0, 50, 0.0f, false, false, 1.0},
        {"twice the minimum, rolloff 1", 0, 0, 2, 1.0f, false, false, 0.25},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(listener->SetRolloffFactor(c.rolloff, DS3D_IMMEDIATE), DS_OK);
        Ref<IDirectSoundBuffer> buffer =
            Buffer(Format(1, 44100, 16), mono, sizeof mono, DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME);
        IDirectSound3DBuffer* raw3D = nullptr;
        ASSERT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&raw3D)), DS_OK);
        Ref<IDirectSound3DBuffer> placed(raw3D);
        ASSERT_EQ(placed->SetPosition(c.x, c.y, c.z, DS3D_IMMEDIATE), DS_OK);
        buffer->Play(0, 0, 0);
        const std::vector<int16_t> out = Mix(1);
        const double left = out[0];
        const double right = out[1];
        EXPECT_EQ(left > right + 100, c.louderLeft) << c.what << " " << left << " " << right;
        EXPECT_EQ(right > left + 100, c.louderRight) << c.what << " " << left << " " << right;
        const double power = (left * left + right * right) / (2.0 * 11314 * 11314);
        EXPECT_NEAR(power, c.expectSum, 0.02) << c.what;
    }

    // A deferred position waits for the commit.
    Ref<IDirectSoundBuffer> buffer = Buffer(Format(1, 44100, 16), mono, sizeof mono, DSBCAPS_CTRL3D);
    IDirectSound3DBuffer* raw3D = nullptr;
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&raw3D)), DS_OK);
    Ref<IDirectSound3DBuffer> placed(raw3D);
    ASSERT_EQ(placed->SetPosition(5, 0, 0, DS3D_DEFERRED), DS_OK);
    DS3DBUFFER params{};
    params.dwSize = sizeof params;
    ASSERT_EQ(placed->GetAllParameters(&params), DS_OK);
    EXPECT_EQ(params.vPosition.x, 0.0f);
    ASSERT_EQ(listener->CommitDeferredSettings(), DS_OK);
    ASSERT_EQ(placed->GetAllParameters(&params), DS_OK);
    EXPECT_EQ(params.vPosition.x, 5.0f);
    EXPECT_EQ(placed->SetConeAngles(200, 100, DS3D_IMMEDIATE), DSERR_INVALIDPARAM)
        << "inside wider than outside";
}

TEST(DSoundOutput, RealTimeDeviceMixesToTheHookUntilItIsRemoved)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    IDirectSound8* raw = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &raw, nullptr), DS_OK);
    Ref<IDirectSound8> device(raw);
    EXPECT_FALSE(DirectSoundMixManual(device.get(), nullptr, 0)) << "a real device mixes on its own";
    std::mutex lock;
    std::condition_variable changed;
    size_t frames = 0;
    DirectSoundSetCaptureHook(device.get(),
                              [&](const int16_t*, size_t count, int channels, int rate)
                              {
                                  EXPECT_EQ(channels, 2);
                                  EXPECT_EQ(rate, 44100);
                                  std::lock_guard<std::mutex> guard(lock);
                                  frames += count;
                                  changed.notify_all();
                              });
    {
        std::unique_lock<std::mutex> guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, std::chrono::seconds(5), [&] { return frames >= 4410; }));
    }
    DirectSoundSetCaptureHook(device.get(), nullptr);
    size_t after = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        after = frames;
    }
    Sleep(50);
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(frames, after) << "a removed hook is not called again";
}

// PlaySoundA can share the program's device, so that there is one audio output: what it plays
// is then mixed on that device; without one it goes back to a device of its own.
TEST_F(DSoundTest, PlaySoundPlaysOnTheSharedDevice)
{
    TestFolder folder;
    // A canonical WAV of 0.1 s of a constant 16-bit mono level of 6,000.
    std::string wav = "RIFF----WAVEfmt ";
    const auto u32 = [&wav](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&wav](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    u32(16);
    u16(1);
    u16(1);
    u32(44100);
    u32(88200);
    u16(2);
    u16(16);
    wav += "data";
    u32(8820);
    for (int i = 0; i < 4410; ++i)
        u16(6000);
    folder.Write("level.wav", wav);

    Win32SetPlaySoundDevice(m_device.get());
    EXPECT_EQ(Win32GetPlaySoundDevice(), m_device.get());
    ASSERT_TRUE(
        PlaySoundA(folder.WinPath().append("\\level.wav").c_str(), nullptr, SND_ASYNC | SND_FILENAME));
    const std::vector<int16_t> heard = Mix(256);
    EXPECT_EQ(heard[200], 6000);
    EXPECT_EQ(heard[201], 6000);
    Win32SetPlaySoundDevice(nullptr);
    EXPECT_TRUE(Mix(256) == std::vector<int16_t>(512, 0))
        << "the shared device's sound stops when it is let go";
}
