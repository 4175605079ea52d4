#include "tests/win/FakeWasapi.h"

#include <functiondiscoverykeys_devpkey.h>
#include <ksmedia.h>
#include <propidl.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

// Counts the call and answers the failure a test set for it.
#define FAKE_CALL(name)                                                                                      \
    if (HRESULT hr_ = m_System.Enter(name); FAILED(hr_)) return hr_

namespace {

constexpr REFERENCE_TIME kDefaultPeriod = 100000, kMinimumPeriod = 30000;
constexpr DWORD kMixRate = 44100;

template <class I> class FakeUnknown : public I {
  public:
    explicit FakeUnknown(FakeSystem& system) : m_System(system) { m_System.AddLive(1); }
    virtual ~FakeUnknown() { m_System.AddLive(-1); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(I)) ? this : nullptr;
        if (!*out) return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_Ref; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_Ref;
        if (left == 0) delete this;
        return left;
    }

  protected:
    // Answers `value` through `out` unless the test made `call` fail.
    template <class T> HRESULT Give(const char* call, T* out, T value) {
        HRESULT hr = m_System.Enter(call);
        if (SUCCEEDED(hr)) *out = value;
        return hr;
    }
    FakeSystem& m_System;
    std::atomic<ULONG> m_Ref{1};
};

LPWSTR TaskCopy(const std::wstring& s) {
    auto* p = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
    if (p) std::memcpy(p, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    return p;
}

// Shared between an audio client and the services it hands out.
struct StreamState {
    std::mutex lock;
    WAVEFORMATEX format{};
    UINT32 bufferFrames = 0;
    std::atomic<int> packets{0};
    std::vector<BYTE> buffer;
    uint64_t position = 0; // frames handed out by the capture client
    int handed = 0;        // packets handed out
};
using State = std::shared_ptr<StreamState>;

class FakeCaptureClient : public FakeUnknown<IAudioCaptureClient> {
  public:
    FakeCaptureClient(FakeSystem& s, State st) : FakeUnknown(s), m_State(std::move(st)) {}
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** data, UINT32* frames, DWORD* flags, UINT64* position,
                                        UINT64*) override {
        *data = nullptr;
        *frames = *flags = 0;
        FAKE_CALL("IAudioCaptureClient::GetBuffer");
        std::lock_guard<std::mutex> lock(m_State->lock);
        if (m_State->packets.load() <= 0) return AUDCLNT_S_BUFFER_EMPTY;
        m_System.captureBacklog = --m_State->packets;
        const UINT32 n = m_State->format.nSamplesPerSec / 100;
        if (++m_State->handed == m_System.lostBeforePacket) { // the packet before overflowed
            m_State->position += n;
            *flags = AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY;
        }
        if (position) *position = m_State->position;
        m_State->buffer.resize(static_cast<size_t>(n) * m_State->format.nBlockAlign);
        for (size_t i = 0; i < m_State->buffer.size(); ++i)
            m_State->buffer[i] = static_cast<BYTE>(m_State->position + i);
        m_State->position += n;
        *data = m_State->buffer.data();
        *frames = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames) override {
        m_System.capturedFrames += frames;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32*) override { return E_NOTIMPL; }

  private:
    State m_State;
};

class FakeRenderClient : public FakeUnknown<IAudioRenderClient> {
  public:
    FakeRenderClient(FakeSystem& s, State st) : FakeUnknown(s), m_State(std::move(st)) {}
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT32 frames, BYTE** data) override {
        *data = nullptr;
        FAKE_CALL("IAudioRenderClient::GetBuffer");
        std::lock_guard<std::mutex> lock(m_State->lock);
        if (frames > m_State->bufferFrames) return AUDCLNT_E_BUFFER_TOO_LARGE;
        m_State->buffer.assign(static_cast<size_t>(frames) * m_State->format.nBlockAlign, 0xEE);
        *data = m_State->buffer.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames, DWORD flags) override {
        if (m_System.renderReleases++ == 0) m_System.firstReleaseFrames = frames;
        m_System.silentReleases += (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
        return S_OK;
    }

  private:
    State m_State;
};

class FakeAudioClient : public FakeUnknown<IAudioClient> {
  public:
    FakeAudioClient(FakeSystem& s, bool isCapture)
        : FakeUnknown(s), m_IsCapture(isCapture), m_State(std::make_shared<StreamState>()) {}
    ~FakeAudioClient() override { Stop(); }

    HRESULT STDMETHODCALLTYPE Initialize(AUDCLNT_SHAREMODE mode, DWORD flags, REFERENCE_TIME duration,
                                         REFERENCE_TIME, const WAVEFORMATEX* format, LPCGUID) override {
        FAKE_CALL("Initialize");
        if (m_Initialized) return AUDCLNT_E_ALREADY_INITIALIZED; // a refused client is not asked twice
        m_Loopback = (flags & AUDCLNT_STREAMFLAGS_LOOPBACK) != 0;
        if (m_Loopback && m_IsCapture) return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
        const DWORD rate = format->nSamplesPerSec;
        if (mode == AUDCLNT_SHAREMODE_EXCLUSIVE) {
            if (m_System.exclusiveRefusal != S_OK) return m_System.exclusiveRefusal;
            if (m_System.alignedFrames &&
                duration != static_cast<REFERENCE_TIME>(1e7 * m_System.alignedFrames / rate + 0.5)) {
                m_State->bufferFrames = m_System.alignedFrames;
                return AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED;
            }
        } else if (duration < kDefaultPeriod) {
            duration = kDefaultPeriod;
        }
        m_State->bufferFrames = static_cast<UINT32>(duration * rate / 10000000);
        m_State->format = *format;
        m_Initialized = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32* n) override {
        return Give("GetBufferSize", n, m_State->bufferFrames);
    }
    HRESULT STDMETHODCALLTYPE GetStreamLatency(REFERENCE_TIME* t) override {
        return Give("GetStreamLatency", t, kDefaultPeriod);
    }
    // Everything played: every shared refill after the first is an underrun.
    HRESULT STDMETHODCALLTYPE GetCurrentPadding(UINT32* n) override {
        return Give("GetCurrentPadding", n, 0u);
    }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(AUDCLNT_SHAREMODE mode, const WAVEFORMATEX*,
                                                WAVEFORMATEX** closest) override {
        if (closest) *closest = nullptr;
        FAKE_CALL("IsFormatSupported");
        return mode == AUDCLNT_SHAREMODE_EXCLUSIVE ? m_System.exclusiveFormatAnswer : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMixFormat(WAVEFORMATEX** out) override {
        *out = nullptr;
        FAKE_CALL("GetMixFormat");
        auto* f = static_cast<WAVEFORMATEXTENSIBLE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEXTENSIBLE)));
        *f = WAVEFORMATEXTENSIBLE{{WAVE_FORMAT_EXTENSIBLE, 2, kMixRate, kMixRate * 8, 8, 32, 22},
                                  {32},
                                  SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT,
                                  KSDATAFORMAT_SUBTYPE_IEEE_FLOAT};
        *out = &f->Format;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevicePeriod(REFERENCE_TIME* def, REFERENCE_TIME* min) override {
        *min = kMinimumPeriod;
        return Give("GetDevicePeriod", def, kDefaultPeriod);
    }
    HRESULT STDMETHODCALLTYPE Start() override {
        FAKE_CALL("Start");
        if (m_Running.exchange(true)) return AUDCLNT_E_NOT_STOPPED;
        m_Feeder = std::thread([this] {
            while (m_Running.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (m_State->packets.load() < 50) m_State->packets += m_System.packetsPerEvent;
                if (m_IsCapture) m_System.captureBacklog = m_State->packets.load();
                if (m_Event) SetEvent(m_Event);
            }
        });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override {
        m_Running = false;
        if (m_Feeder.joinable()) m_Feeder.join();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetEventHandle(HANDLE event) override {
        return Give("SetEventHandle", &m_Event, event);
    }
    HRESULT STDMETHODCALLTYPE GetService(REFIID riid, void** out) override {
        *out = nullptr;
        FAKE_CALL("GetService");
        const bool capturing = m_IsCapture || m_Loopback;
        if (IsEqualIID(riid, __uuidof(IAudioCaptureClient)) && capturing)
            *out = static_cast<IAudioCaptureClient*>(new FakeCaptureClient(m_System, m_State));
        else if (IsEqualIID(riid, __uuidof(IAudioRenderClient)) && !capturing)
            *out = static_cast<IAudioRenderClient*>(new FakeRenderClient(m_System, m_State));
        return *out ? S_OK : AUDCLNT_E_WRONG_ENDPOINT_TYPE;
    }

  private:
    bool m_IsCapture, m_Initialized = false, m_Loopback = false;
    HANDLE m_Event = nullptr;
    State m_State;
    std::atomic<bool> m_Running{false};
    std::thread m_Feeder;
};

class FakePropertyStore : public FakeUnknown<IPropertyStore> {
  public:
    FakePropertyStore(FakeSystem& s, const FakeEndpoint& e) : FakeUnknown(s), m_Endpoint(e) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
        PropVariantInit(value);
        if (!IsEqualPropertyKey(key, PKEY_Device_FriendlyName) || !m_Endpoint.textName) return S_OK;
        value->pwszVal = TaskCopy(m_Endpoint.name);
        value->vt = VT_LPWSTR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }

  private:
    FakeEndpoint m_Endpoint;
};

class FakeDevice : public FakeUnknown<IMMDevice> {
  public:
    FakeDevice(FakeSystem& s, const FakeEndpoint& e, bool isCapture)
        : FakeUnknown(s), m_Endpoint(e), m_IsCapture(isCapture) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void** out) override {
        *out = nullptr;
        FAKE_CALL("Activate");
        *out = static_cast<IAudioClient*>(new FakeAudioClient(m_System, m_IsCapture));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** out) override {
        *out = new FakePropertyStore(m_System, m_Endpoint);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
        return Give("GetId", out, TaskCopy(m_Endpoint.id));
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

  private:
    FakeEndpoint m_Endpoint;
    bool m_IsCapture;
};

class FakeCollection : public FakeUnknown<IMMDeviceCollection> {
  public:
    FakeCollection(FakeSystem& s, bool isCapture)
        : FakeUnknown(s), m_List(isCapture ? s.capture : s.render), m_IsCapture(isCapture) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* n) override { return Give("GetCount", n, UINT(m_List.size())); }
    HRESULT STDMETHODCALLTYPE Item(UINT i, IMMDevice** out) override {
        *out = nullptr;
        FAKE_CALL("Item");
        if (i >= m_List.size()) return E_INVALIDARG;
        *out = new FakeDevice(m_System, m_List[i], m_IsCapture);
        return S_OK;
    }

  private:
    std::vector<FakeEndpoint> m_List;
    bool m_IsCapture;
};

class FakeEnumerator : public FakeUnknown<IMMDeviceEnumerator> {
  public:
    explicit FakeEnumerator(FakeSystem& s) : FakeUnknown(s) {}
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD, IMMDeviceCollection** out) override {
        *out = nullptr;
        FAKE_CALL("EnumAudioEndpoints");
        *out = new FakeCollection(m_System, flow == eCapture);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole, IMMDevice** out) override {
        *out = nullptr;
        FAKE_CALL("GetDefaultAudioEndpoint");
        const std::vector<FakeEndpoint>& list = flow == eCapture ? m_System.capture : m_System.render;
        if (list.empty()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        *out = new FakeDevice(m_System, list[0], flow == eCapture);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
};

} // namespace

HRESULT FakeSystem::CreateEnumerator(IMMDeviceEnumerator** out) {
    *out = nullptr;
    if (HRESULT hr = Enter("CoCreateInstance"); FAILED(hr)) return hr;
    *out = new FakeEnumerator(*this);
    return S_OK;
}
