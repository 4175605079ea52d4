#include "tests/win/FakeWasapi.h"

#include <functiondiscoverykeys_devpkey.h>
#include <ksmedia.h>
#include <propidl.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

void FakeSystem::Fail(const std::string& call, HRESULT hr, int after) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Rules[call] = {hr, after};
}

void FakeSystem::ClearFailures() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Rules.clear();
}

HRESULT FakeSystem::Enter(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_Lock);
    int n = m_Calls[call]++;
    auto it = m_Rules.find(call);
    if (it != m_Rules.end() && n >= it->second.after) return it->second.hr;
    return S_OK;
}

void FakeSystem::RecordInit(const FakeInitCall& call) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Inits.push_back(call);
}

void FakeSystem::RecordRender(const BYTE* data, UINT32 bytes, bool silent, UINT32 frames) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (silent)
        m_Rendered.insert(m_Rendered.end(), bytes, 0);
    else
        m_Rendered.insert(m_Rendered.end(), data, data + bytes);
    m_RenderReleases.push_back(frames);
}

namespace {

template <class I> class FakeUnknown : public I {
  public:
    explicit FakeUnknown(FakeSystem& system) : m_System(system) { m_System.AddLive(1); }
    virtual ~FakeUnknown() { m_System.AddLive(-1); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(I))) {
            *out = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_Ref; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --m_Ref;
        if (left == 0) delete this;
        return left;
    }

  protected:
    FakeSystem& m_System;
    std::atomic<ULONG> m_Ref{1};
};

bool Is16BitPcm(const WAVEFORMATEX* f) {
    if (!f || f->wBitsPerSample != 16) return false;
    if (f->wFormatTag == WAVE_FORMAT_PCM) return true;
    if (f->wFormatTag != WAVE_FORMAT_EXTENSIBLE || f->cbSize < 22) return false;
    return IsEqualGUID(reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f)->SubFormat,
                       KSDATAFORMAT_SUBTYPE_PCM) != 0;
}

UINT32 FramesOf(REFERENCE_TIME duration, DWORD rate) {
    return static_cast<UINT32>(std::llround(static_cast<double>(duration) * rate / 1e7));
}

// Shared between an audio client and the services it hands out.
struct StreamState {
    std::mutex lock;
    WAVEFORMATEX format{};
    UINT32 bufferFrames = 0;
    std::atomic<int> packets{0};
    std::vector<BYTE> buffer;
    uint64_t position = 0; // frames handed out by the capture client
    UINT32 pending = 0;    // frames of the packet handed out and not yet released
    int handed = 0;        // packets handed out
};

class FakeCaptureClient : public FakeUnknown<IAudioCaptureClient> {
  public:
    FakeCaptureClient(FakeSystem& s, std::shared_ptr<StreamState> st)
        : FakeUnknown(s), m_State(std::move(st)) {}
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** data, UINT32* frames, DWORD* flags, UINT64* position,
                                        UINT64*) override {
        *data = nullptr;
        *frames = 0;
        *flags = 0;
        if (HRESULT hr = m_System.Enter("IAudioCaptureClient::GetBuffer"); FAILED(hr)) return hr;
        std::lock_guard<std::mutex> lock(m_State->lock);
        if (m_State->packets.load() <= 0) return AUDCLNT_S_BUFFER_EMPTY;
        m_System.captureBacklog = --m_State->packets;
        // A packet of 10 ms whose bytes count up, so a test can tell packets apart.
        UINT32 n = m_State->format.nSamplesPerSec / 100;
        if (++m_State->handed == m_System.lostBeforePacket) {
            // The packet before this one overflowed: skipped, flagged.
            m_State->position += n;
            *flags = AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY;
        }
        if (position) *position = m_State->position;
        size_t bytes = static_cast<size_t>(n) * m_State->format.nBlockAlign;
        m_State->buffer.resize(bytes);
        for (size_t i = 0; i < bytes; ++i)
            m_State->buffer[i] = static_cast<BYTE>(m_State->position + i);
        m_State->position += n;
        m_State->pending = n;
        *data = m_State->buffer.data();
        *frames = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames) override {
        if (HRESULT hr = m_System.Enter("IAudioCaptureClient::ReleaseBuffer"); FAILED(hr)) return hr;
        m_System.CountCaptureFrames(frames);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32* frames) override {
        *frames = m_State->packets.load() > 0 ? m_State->format.nSamplesPerSec / 100 : 0;
        return S_OK;
    }

  private:
    std::shared_ptr<StreamState> m_State;
};

class FakeRenderClient : public FakeUnknown<IAudioRenderClient> {
  public:
    FakeRenderClient(FakeSystem& s, std::shared_ptr<StreamState> st)
        : FakeUnknown(s), m_State(std::move(st)) {}
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT32 frames, BYTE** data) override {
        *data = nullptr;
        if (HRESULT hr = m_System.Enter("IAudioRenderClient::GetBuffer"); FAILED(hr)) return hr;
        std::lock_guard<std::mutex> lock(m_State->lock);
        if (frames > m_State->bufferFrames) return AUDCLNT_E_BUFFER_TOO_LARGE;
        m_State->buffer.assign(static_cast<size_t>(frames) * m_State->format.nBlockAlign + 1, 0xEE);
        *data = m_State->buffer.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames, DWORD flags) override {
        if (HRESULT hr = m_System.Enter("IAudioRenderClient::ReleaseBuffer"); FAILED(hr)) return hr;
        std::lock_guard<std::mutex> lock(m_State->lock);
        m_System.RecordRender(m_State->buffer.data(), frames * m_State->format.nBlockAlign,
                              (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0, frames);
        return S_OK;
    }

  private:
    std::shared_ptr<StreamState> m_State;
};

class FakeAudioClient : public FakeUnknown<IAudioClient> {
  public:
    FakeAudioClient(FakeSystem& s, const FakeEndpoint& endpoint, bool isCapture)
        : FakeUnknown(s), m_Endpoint(endpoint), m_IsCapture(isCapture),
          m_State(std::make_shared<StreamState>()) {}
    ~FakeAudioClient() override { StopFeeder(); }

    HRESULT STDMETHODCALLTYPE Initialize(AUDCLNT_SHAREMODE mode, DWORD flags, REFERENCE_TIME duration,
                                         REFERENCE_TIME periodicity, const WAVEFORMATEX* format,
                                         LPCGUID) override {
        FakeInitCall call{mode, flags, duration, periodicity, format ? *format : WAVEFORMATEX{}};
        if (format && format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22) {
            auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
            call.extensible = true;
            call.subFormat = ext->SubFormat;
            call.channelMask = ext->dwChannelMask;
        }
        call.result = Decide(mode, flags, duration, format);
        m_System.RecordInit(call);
        if (SUCCEEDED(call.result)) {
            m_Initialized = true;
            m_Loopback = (flags & AUDCLNT_STREAMFLAGS_LOOPBACK) != 0;
            m_State->format = *format;
            m_State->format.cbSize = 0;
        }
        return call.result;
    }
    HRESULT STDMETHODCALLTYPE GetBufferSize(UINT32* frames) override {
        if (HRESULT hr = m_System.Enter("IAudioClient::GetBufferSize"); FAILED(hr)) return hr;
        if (!m_Initialized && !m_State->bufferFrames) return AUDCLNT_E_NOT_INITIALIZED;
        *frames = m_State->bufferFrames;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamLatency(REFERENCE_TIME* latency) override {
        if (HRESULT hr = m_System.Enter("IAudioClient::GetStreamLatency"); FAILED(hr)) return hr;
        *latency = m_System.defaultPeriod;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentPadding(UINT32* padding) override {
        if (HRESULT hr = m_System.Enter("IAudioClient::GetCurrentPadding"); FAILED(hr)) return hr;
        *padding = m_System.renderPadding;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(AUDCLNT_SHAREMODE mode, const WAVEFORMATEX* format,
                                                WAVEFORMATEX** closest) override {
        if (closest) *closest = nullptr;
        if (HRESULT hr = m_System.Enter("IAudioClient::IsFormatSupported"); FAILED(hr)) return hr;
        if (mode == AUDCLNT_SHAREMODE_EXCLUSIVE) {
            if (m_System.exclusiveFormatAnswer != S_OK) return m_System.exclusiveFormatAnswer;
            return Is16BitPcm(format) ? S_OK : AUDCLNT_E_UNSUPPORTED_FORMAT;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMixFormat(WAVEFORMATEX** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IAudioClient::GetMixFormat"); FAILED(hr)) return hr;
        auto* f = static_cast<WAVEFORMATEXTENSIBLE*>(CoTaskMemAlloc(sizeof(WAVEFORMATEXTENSIBLE)));
        if (!f) return E_OUTOFMEMORY;
        std::memset(f, 0, sizeof *f);
        int bits = m_Endpoint.floatMix ? 32 : 16;
        f->Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        f->Format.nChannels = static_cast<WORD>(m_Endpoint.channels);
        f->Format.nSamplesPerSec = m_Endpoint.rate;
        f->Format.wBitsPerSample = static_cast<WORD>(bits);
        f->Format.nBlockAlign = static_cast<WORD>(bits / 8 * m_Endpoint.channels);
        f->Format.nAvgBytesPerSec = f->Format.nBlockAlign * m_Endpoint.rate;
        f->Format.cbSize = 22;
        f->Samples.wValidBitsPerSample = static_cast<WORD>(bits);
        f->dwChannelMask =
            m_Endpoint.channels == 1 ? SPEAKER_FRONT_CENTER : (SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT);
        f->SubFormat = m_Endpoint.floatMix ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM;
        *out = &f->Format;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevicePeriod(REFERENCE_TIME* def, REFERENCE_TIME* min) override {
        if (HRESULT hr = m_System.Enter("IAudioClient::GetDevicePeriod"); FAILED(hr)) return hr;
        if (def) *def = m_System.defaultPeriod;
        if (min) *min = m_System.minimumPeriod;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Start() override {
        if (HRESULT hr = m_System.Enter("IAudioClient::Start"); FAILED(hr)) return hr;
        if (!m_Initialized) return AUDCLNT_E_NOT_INITIALIZED;
        if (m_Running.exchange(true)) return AUDCLNT_E_NOT_STOPPED;
        // A device that produces (or wants) one 10 ms packet every 10 ms.
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
        HRESULT hr = m_System.Enter("IAudioClient::Stop");
        StopFeeder();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetEventHandle(HANDLE event) override {
        if (HRESULT hr = m_System.Enter("IAudioClient::SetEventHandle"); FAILED(hr)) return hr;
        m_Event = event;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetService(REFIID riid, void** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IAudioClient::GetService"); FAILED(hr)) return hr;
        if (!m_Initialized) return AUDCLNT_E_NOT_INITIALIZED;
        bool capturing = m_IsCapture || m_Loopback;
        if (IsEqualIID(riid, __uuidof(IAudioCaptureClient)) && capturing) {
            *out = static_cast<IAudioCaptureClient*>(new FakeCaptureClient(m_System, m_State));
            return S_OK;
        }
        if (IsEqualIID(riid, __uuidof(IAudioRenderClient)) && !capturing) {
            *out = static_cast<IAudioRenderClient*>(new FakeRenderClient(m_System, m_State));
            return S_OK;
        }
        return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
    }

  private:
    HRESULT Decide(AUDCLNT_SHAREMODE mode, DWORD flags, REFERENCE_TIME duration, const WAVEFORMATEX* format) {
        if (HRESULT hr = m_System.Enter("IAudioClient::Initialize"); FAILED(hr)) return hr;
        if (!format) return E_POINTER;
        if (m_Initialized) return AUDCLNT_E_ALREADY_INITIALIZED;
        if ((flags & AUDCLNT_STREAMFLAGS_LOOPBACK) && (m_IsCapture || mode != AUDCLNT_SHAREMODE_SHARED))
            return AUDCLNT_E_WRONG_ENDPOINT_TYPE;
        DWORD rate = format->nSamplesPerSec;
        if (mode == AUDCLNT_SHAREMODE_EXCLUSIVE) {
            if (m_System.exclusiveRefusal != S_OK) return m_System.exclusiveRefusal;
            if (!Is16BitPcm(format)) return AUDCLNT_E_UNSUPPORTED_FORMAT;
            if (m_System.alignedFrames) {
                REFERENCE_TIME aligned =
                    static_cast<REFERENCE_TIME>(10000000.0 * m_System.alignedFrames / rate + 0.5);
                if (duration != aligned) {
                    m_State->bufferFrames = m_System.alignedFrames;
                    return AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED;
                }
            }
            m_State->bufferFrames = FramesOf(duration, rate);
            return S_OK;
        }
        // Shared: the mix format, unless the system is asked to convert.
        bool mix = format->nSamplesPerSec == m_Endpoint.rate && format->nChannels == m_Endpoint.channels &&
                   format->wBitsPerSample == (m_Endpoint.floatMix ? 32 : 16);
        if (!mix && !(flags & AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM)) return AUDCLNT_E_UNSUPPORTED_FORMAT;
        REFERENCE_TIME d = duration > m_System.defaultPeriod ? duration : m_System.defaultPeriod;
        m_State->bufferFrames = FramesOf(d, rate);
        return S_OK;
    }
    void StopFeeder() {
        m_Running = false;
        if (m_Feeder.joinable()) m_Feeder.join();
    }

    FakeEndpoint m_Endpoint;
    bool m_IsCapture;
    bool m_Initialized = false;
    bool m_Loopback = false;
    HANDLE m_Event = nullptr;
    std::shared_ptr<StreamState> m_State;
    std::atomic<bool> m_Running{false};
    std::thread m_Feeder;
};

class FakePropertyStore : public FakeUnknown<IPropertyStore> {
  public:
    FakePropertyStore(FakeSystem& s, const FakeEndpoint& e) : FakeUnknown(s), m_Endpoint(e) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* n) override {
        *n = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY* key) override {
        *key = PKEY_Device_FriendlyName;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
        PropVariantInit(value);
        if (HRESULT hr = m_System.Enter("IPropertyStore::GetValue"); FAILED(hr)) return hr;
        if (!IsEqualPropertyKey(key, PKEY_Device_FriendlyName) || !m_Endpoint.textName)
            return S_OK; // VT_EMPTY
        size_t bytes = (m_Endpoint.name.size() + 1) * sizeof(wchar_t);
        value->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!value->pwszVal) return E_OUTOFMEMORY;
        std::memcpy(value->pwszVal, m_Endpoint.name.c_str(), bytes);
        value->vt = VT_LPWSTR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Commit() override { return S_OK; }

  private:
    FakeEndpoint m_Endpoint;
};

class FakeDevice : public FakeUnknown<IMMDevice> {
  public:
    FakeDevice(FakeSystem& s, const FakeEndpoint& e, bool isCapture)
        : FakeUnknown(s), m_Endpoint(e), m_IsCapture(isCapture) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IMMDevice::Activate"); FAILED(hr)) return hr;
        if (!IsEqualIID(iid, __uuidof(IAudioClient))) return E_NOINTERFACE;
        *out = static_cast<IAudioClient*>(new FakeAudioClient(m_System, m_Endpoint, m_IsCapture));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IMMDevice::OpenPropertyStore"); FAILED(hr)) return hr;
        *out = new FakePropertyStore(m_System, m_Endpoint);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IMMDevice::GetId"); FAILED(hr)) return hr;
        size_t bytes = (m_Endpoint.id.size() + 1) * sizeof(wchar_t);
        *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*out) return E_OUTOFMEMORY;
        std::memcpy(*out, m_Endpoint.id.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override {
        *state = DEVICE_STATE_ACTIVE;
        return S_OK;
    }

  private:
    FakeEndpoint m_Endpoint;
    bool m_IsCapture;
};

class FakeCollection : public FakeUnknown<IMMDeviceCollection> {
  public:
    FakeCollection(FakeSystem& s, std::vector<FakeEndpoint> list, bool isCapture)
        : FakeUnknown(s), m_List(std::move(list)), m_IsCapture(isCapture) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* n) override {
        if (HRESULT hr = m_System.Enter("IMMDeviceCollection::GetCount"); FAILED(hr)) return hr;
        *n = static_cast<UINT>(m_List.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT i, IMMDevice** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IMMDeviceCollection::Item"); FAILED(hr)) return hr;
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
        if (HRESULT hr = m_System.Enter("IMMDeviceEnumerator::EnumAudioEndpoints"); FAILED(hr)) return hr;
        if (flow == eCapture)
            *out = new FakeCollection(m_System, m_System.capture, true);
        else if (flow == eRender)
            *out = new FakeCollection(m_System, m_System.render, false);
        else
            return E_INVALIDARG;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole, IMMDevice** out) override {
        *out = nullptr;
        if (HRESULT hr = m_System.Enter("IMMDeviceEnumerator::GetDefaultAudioEndpoint"); FAILED(hr))
            return hr;
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
