#include "tests/win/FakeWasapi.h"

#include <functiondiscoverykeys_devpkey.h>
#include <ksmedia.h>
#include <propidl.h>

#include <chrono>
#include <cstring>
#include <thread>

// Counts the call and answers the failure a test set for it.
#define FAKE_CALL(name)                                                                                      \
    if (HRESULT hr_ = m_System.Enter(name); FAILED(hr_)) return hr_

namespace {

constexpr REFERENCE_TIME kDefaultPeriod = 100000, kMinimumPeriod = 30000;
constexpr DWORD kMixRate = 44100;

// One counted COM object answering for each of its interfaces; what it hands
// out of itself (a service, a property store) holds a reference of its own.
template <class First, class... More> class FakeUnknown : public First, public More... {
  public:
    explicit FakeUnknown(FakeSystem& system) : m_System(system) { m_System.AddLive(1); }
    virtual ~FakeUnknown() { m_System.AddLive(-1); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = IsEqualIID(riid, __uuidof(IUnknown)) ? static_cast<First*>(this) : nullptr;
        for (auto [iid, p] : {std::pair<IID, void*>{__uuidof(First), static_cast<First*>(this)},
                              {__uuidof(More), static_cast<More*>(this)}...})
            if (IsEqualIID(riid, iid)) *out = p;
        return *out ? Share(*out, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_Ref; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_Ref;
        if (left == 0) delete this;
        return left;
    }

  protected:
    template <class I, class Out> HRESULT Share(I* self, Out** out) {
        AddRef();
        *out = self;
        return S_OK;
    }
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

// An audio client that is its own capture or render service.
class FakeClient : public FakeUnknown<IAudioClient, IAudioCaptureClient, IAudioRenderClient> {
  public:
    FakeClient(FakeSystem& s, bool isCapture) : FakeUnknown(s), m_IsCapture(isCapture) {}
    ~FakeClient() override { Stop(); }

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
                m_BufferFrames = m_System.alignedFrames;
                return AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED;
            }
        } else if (duration < kDefaultPeriod) {
            duration = kDefaultPeriod;
        }
        m_BufferFrames = static_cast<UINT32>(duration * rate / 10000000);
        m_Format = *format;
        m_Initialized = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32* n) override {
        return Give("GetBufferSize", n, m_BufferFrames);
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
                if (m_Packets.load() < 50) m_Packets += m_System.packetsPerEvent;
                if (m_IsCapture) m_System.captureBacklog = m_Packets.load();
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
            return Share(static_cast<IAudioCaptureClient*>(this), out);
        if (IsEqualIID(riid, __uuidof(IAudioRenderClient)) && !capturing)
            return Share(static_cast<IAudioRenderClient*>(this), out);
        return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
    }

    // The capture service: 10 ms packets whose bytes count up with the position.
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** data, UINT32* frames, DWORD* flags, UINT64* position,
                                        UINT64*) override {
        *data = nullptr;
        *frames = *flags = 0;
        FAKE_CALL("IAudioCaptureClient::GetBuffer");
        if (m_Packets.load() <= 0) return AUDCLNT_S_BUFFER_EMPTY;
        m_System.captureBacklog = --m_Packets;
        const UINT32 n = m_Format.nSamplesPerSec / 100;
        if (++m_Handed == m_System.lostBeforePacket) { // the packet before overflowed
            m_Position += n;
            *flags = AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY;
        }
        if (position) *position = m_Position;
        m_Buffer.resize(static_cast<size_t>(n) * m_Format.nBlockAlign);
        for (size_t i = 0; i < m_Buffer.size(); ++i)
            m_Buffer[i] = static_cast<BYTE>(m_Position + i);
        m_Position += n;
        *data = m_Buffer.data();
        *frames = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames) override {
        m_System.capturedFrames += frames;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32*) override { return E_NOTIMPL; }

    // The render service.
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT32 frames, BYTE** data) override {
        *data = nullptr;
        FAKE_CALL("IAudioRenderClient::GetBuffer");
        if (frames > m_BufferFrames) return AUDCLNT_E_BUFFER_TOO_LARGE;
        m_Buffer.assign(static_cast<size_t>(frames) * m_Format.nBlockAlign, 0xEE);
        *data = m_Buffer.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames, DWORD flags) override {
        if (m_System.renderReleases++ == 0) m_System.firstReleaseFrames = frames;
        m_System.silentReleases += (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
        return S_OK;
    }

  private:
    bool m_IsCapture, m_Initialized = false, m_Loopback = false;
    HANDLE m_Event = nullptr;
    WAVEFORMATEX m_Format{};
    UINT32 m_BufferFrames = 0;
    std::atomic<int> m_Packets{0};
    std::vector<BYTE> m_Buffer;
    uint64_t m_Position = 0; // frames handed out by the capture service
    int m_Handed = 0;        // packets handed out
    std::atomic<bool> m_Running{false};
    std::thread m_Feeder;
};

// An endpoint that is its own property store.
class FakeDevice : public FakeUnknown<IMMDevice, IPropertyStore> {
  public:
    FakeDevice(FakeSystem& s, const FakeEndpoint& e, bool isCapture)
        : FakeUnknown(s), m_Endpoint(e), m_IsCapture(isCapture) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void** out) override {
        *out = nullptr;
        FAKE_CALL("Activate");
        *out = static_cast<IAudioClient*>(new FakeClient(m_System, m_IsCapture));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** out) override {
        return Share(static_cast<IPropertyStore*>(this), out);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
        return Give("GetId", out, TaskCopy(m_Endpoint.id));
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }
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
