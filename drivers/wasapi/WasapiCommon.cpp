// The GUIDs the drivers need (endpoint property keys, the KS sub-formats, the
// enumerator class) are defined here, once for the whole program.
#include <initguid.h>

#include "drivers/wasapi/WasapiCommon.h"

#include "platform/Platform.h"

#include <avrt.h>

#include <functiondiscoverykeys_devpkey.h>
#include <ksmedia.h>
#include <propidl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

HRESULT CreateSystemDeviceEnumerator(IMMDeviceEnumerator** out) {
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(out));
}

const char* ErrorName(HRESULT hr) {
    struct Entry {
        uint32_t code;
        const char* name;
    };
    static const Entry table[] = {
        {0x88890001u, "AUDCLNT_E_NOT_INITIALIZED"},
        {0x88890002u, "AUDCLNT_E_ALREADY_INITIALIZED"},
        {0x88890003u, "AUDCLNT_E_WRONG_ENDPOINT_TYPE"},
        {0x88890004u, "AUDCLNT_E_DEVICE_INVALIDATED"},
        {0x88890005u, "AUDCLNT_E_NOT_STOPPED"},
        {0x88890006u, "AUDCLNT_E_BUFFER_TOO_LARGE"},
        {0x88890007u, "AUDCLNT_E_OUT_OF_ORDER"},
        {0x88890008u, "AUDCLNT_E_UNSUPPORTED_FORMAT"},
        {0x88890009u, "AUDCLNT_E_INVALID_SIZE"},
        {0x8889000Au, "AUDCLNT_E_DEVICE_IN_USE"},
        {0x8889000Bu, "AUDCLNT_E_BUFFER_OPERATION_PENDING"},
        {0x8889000Cu, "AUDCLNT_E_THREAD_NOT_REGISTERED"},
        {0x8889000Eu, "AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED"},
        {0x8889000Fu, "AUDCLNT_E_ENDPOINT_CREATE_FAILED"},
        {0x88890010u, "AUDCLNT_E_SERVICE_NOT_RUNNING"},
        {0x88890011u, "AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED"},
        {0x88890012u, "AUDCLNT_E_EXCLUSIVE_MODE_ONLY"},
        {0x88890013u, "AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL"},
        {0x88890014u, "AUDCLNT_E_EVENTHANDLE_NOT_SET"},
        {0x88890015u, "AUDCLNT_E_INCORRECT_BUFFER_SIZE"},
        {0x88890016u, "AUDCLNT_E_BUFFER_SIZE_ERROR"},
        {0x88890017u, "AUDCLNT_E_CPUUSAGE_EXCEEDED"},
        {0x88890018u, "AUDCLNT_E_BUFFER_ERROR"},
        {0x88890019u, "AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED"},
        {0x88890020u, "AUDCLNT_E_INVALID_DEVICE_PERIOD"},
        {0x08890001u, "AUDCLNT_S_BUFFER_EMPTY"},
        {0x08890002u, "AUDCLNT_S_THREAD_ALREADY_REGISTERED"},
        {0x08890003u, "AUDCLNT_S_POSITION_STALLED"},
        {0x80004003u, "E_POINTER"},
        {0x80070057u, "E_INVALIDARG"},
        {0x8007000Eu, "E_OUTOFMEMORY"},
    };
    for (const Entry& e : table)
        if (e.code == static_cast<uint32_t>(hr)) return e.name;
    return "UNKNOWN ERROR";
}

bool IsExclusiveRefusal(HRESULT hr) {
    return hr == AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED || hr == AUDCLNT_E_UNSUPPORTED_FORMAT ||
           hr == AUDCLNT_E_DEVICE_IN_USE;
}

void OpenEndpoint(const DeviceEnumeratorFactory& factory, EDataFlow flow, int32_t position,
                  int32_t deviceIndex, CComRef<IMMDevice>& endpoint) {
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    if (position >= 0) {
        UINT count = 0;
        if (FAILED(OpenEndpointList(factory, flow, enumerator, collection, count))) return;
        char what[64];
        std::snprintf(what, sizeof what, "Unable to retrieve device %d", static_cast<int>(deviceIndex));
        if (FAILED(Checked(collection->Item(static_cast<UINT>(position), endpoint.Put()), what, endpoint)))
            endpoint.Reset();
        return;
    }
    if (FAILED(Checked(factory ? factory(enumerator.Put()) : E_POINTER,
                       "Unable to instantiate device enumerator", enumerator)))
        return;
    if (FAILED(Checked(enumerator->GetDefaultAudioEndpoint(flow, eMultimedia, endpoint.Put()),
                       "Unable to get default device for role 1", endpoint)))
        endpoint.Reset();
}

HRESULT OpenEndpointList(const DeviceEnumeratorFactory& factory, EDataFlow flow,
                         CComRef<IMMDeviceEnumerator>& enumerator, CComRef<IMMDeviceCollection>& collection,
                         UINT& count) {
    count = 0;
    HRESULT hr = Checked(factory ? factory(enumerator.Put()) : E_POINTER,
                         "Unable to instantiate device enumerator", enumerator);
    if (SUCCEEDED(hr))
        hr = Checked(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, collection.Put()),
                     "Unable to retrieve device collection", collection);
    if (SUCCEEDED(hr)) hr = Checked(collection->GetCount(&count), "Unable to get device collection length");
    if (FAILED(hr)) count = 0;
    return FAILED(hr) ? hr : S_OK;
}

namespace {
// Owns a string the endpoint allocated with the task allocator.
struct TaskString {
    LPWSTR p = nullptr;
    ~TaskString() { CoTaskMemFree(p); }
};
struct PropVariantHolder {
    PROPVARIANT v;
    PropVariantHolder() { PropVariantInit(&v); }
    ~PropVariantHolder() { PropVariantClear(&v); }
};

void CopyText(wchar_t (&dst)[256], const wchar_t* a, const wchar_t* b = nullptr, const wchar_t* c = nullptr) {
    size_t n = 0;
    for (const wchar_t* part : {a, b, c}) {
        for (; part && *part && n < 255; ++part)
            dst[n++] = *part;
    }
    dst[n] = 0;
}
} // namespace

int DescribeEndpoint(IMMDeviceCollection* collection, UINT position, AudioDeviceInfo* info) {
    if (!info) return 0;
    std::memset(info, 0, sizeof *info);
    if (!collection) return 0;
    int pos = static_cast<int>(position);
    char what[4][64];
    std::snprintf(what[0], sizeof what[0], "Unable to get device %d", pos);
    std::snprintf(what[1], sizeof what[1], "Unable to get device %d id", pos);
    std::snprintf(what[2], sizeof what[2], "Unable to open device %d property store", pos);
    std::snprintf(what[3], sizeof what[3], "Unable to retrieve friendly name for device %d ", pos);
    CComRef<IMMDevice> device;
    if (FAILED(Checked(collection->Item(position, device.Put()), what[0], device))) return 0;
    TaskString id;
    if (FAILED(Checked(device->GetId(&id.p), what[1], &id.p))) return 0;
    CopyText(info->szEndpointId, id.p);
    CComRef<IPropertyStore> store;
    if (FAILED(Checked(device->OpenPropertyStore(STGM_READ, store.Put()), what[2], store))) return 0;
    PropVariantHolder name;
    if (FAILED(Checked(store->GetValue(PKEY_Device_FriendlyName, &name.v), what[3]))) return 0;
    if (name.v.vt == VT_LPWSTR && name.v.pwszVal)
        CopyText(info->szName, name.v.pwszVal);
    else
        CopyText(info->szName, L"Unknown (", info->szEndpointId, L")");
    return 1;
}

int32_t FindEndpoint(const DeviceEnumeratorFactory& factory, EDataFlow flow, const wchar_t* name,
                     const wchar_t* id) {
    if (!name || !id) return -1;
    CComRef<IMMDeviceEnumerator> enumerator;
    CComRef<IMMDeviceCollection> collection;
    UINT count = 0;
    if (FAILED(OpenEndpointList(factory, flow, enumerator, collection, count))) return -1;
    AudioDeviceInfo info;
    for (UINT i = 0; i < count; ++i) {
        if (!DescribeEndpoint(collection.Get(), i, &info)) continue;
        if (std::wcscmp(info.szName, name) == 0 && std::wcscmp(info.szEndpointId, id) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool IsFloatSubFormat(const WAVEFORMATEX* format) {
    if (!format || format->wFormatTag != WAVE_FORMAT_EXTENSIBLE || format->cbSize < 22) return false;
    auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
    return IsEqualGUID(ext->SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) != 0;
}

void AdoptFormat(WAVEFORMATEX& out, const WAVEFORMATEX* format) {
    if (!format) return;
    out.wFormatTag = format->wFormatTag;
    out.nChannels = format->nChannels;
    out.nSamplesPerSec = format->nSamplesPerSec;
    out.nAvgBytesPerSec = format->nAvgBytesPerSec;
    out.nBlockAlign = format->nBlockAlign;
    out.wBitsPerSample = format->wBitsPerSample;
    out.cbSize = format->cbSize;
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE)
        out.wFormatTag = IsFloatSubFormat(format) ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    TraceFormatDump(format);
}

void TraceFormatDump(const WAVEFORMATEX* f) {
    plat::Trace("=== Audio Format ===\n");
    if (f->wFormatTag == WAVE_FORMAT_EXTENSIBLE && f->cbSize >= 22) {
        auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f);
        plat::Trace("  wFormatTag                  = WAVE_FORMAT_EXTENSIBLE\n");
        plat::Trace("  nChannels                   = %d\n", f->nChannels);
        plat::Trace("  nSamplesPerSec              = %d\n", static_cast<int>(f->nSamplesPerSec));
        plat::Trace("  wBitsPerSample              = %d\n", f->wBitsPerSample);
        plat::Trace("  nBlockAlign                 = %d\n", f->nBlockAlign);
        plat::Trace("  nAvgBytesPerSec             = %d\n", static_cast<int>(f->nAvgBytesPerSec));
        plat::Trace("  cbSize                      = %d\n", f->cbSize);
        plat::Trace("  dwChannelMask               = %d\n", static_cast<int>(ext->dwChannelMask));
        plat::Trace("  Samples.wValidBitsPerSample = %d\n", ext->Samples.wValidBitsPerSample);
        if (IsFloatSubFormat(f))
            plat::Trace("  SubFormat                   = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT\n");
        else
            plat::Trace("  SubFormat                   = KSDATAFORMAT_SUBTYPE_PCM\n");
        return;
    }
    if (f->wFormatTag == WAVE_FORMAT_PCM)
        plat::Trace("  wFormatTag      = WAVE_FORMAT_PCM\n");
    else if (f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        plat::Trace("  wFormatTag      = WAVE_FORMAT_IEEE_FLOAT\n");
    else
        plat::Trace("  wFormatTag      = UNKNOWN\n");
    plat::Trace("  nChannels       = %d\n", f->nChannels);
    plat::Trace("  nSamplesPerSec  = %d\n", static_cast<int>(f->nSamplesPerSec));
    plat::Trace("  wBitsPerSample  = %d\n", f->wBitsPerSample);
    plat::Trace("  nBlockAlign     = %d\n", f->nBlockAlign);
    plat::Trace("  nAvgBytesPerSec = %d\n", static_cast<int>(f->nAvgBytesPerSec));
    plat::Trace("  cbSize          = %d\n", f->cbSize);
}

REFERENCE_TIME AlignedDuration(UINT32 frames, DWORD rate) {
    if (rate == 0) return 0;
    return static_cast<REFERENCE_TIME>(10000000.0 * frames / rate + 0.5);
}

HRESULT CheckedObtained(HRESULT hr, const char* what, bool obtained) {
    if (SUCCEEDED(hr) && !obtained) hr = E_POINTER;
    return Checked(hr, what);
}

HRESULT Checked(HRESULT hr, const char* what) {
    if (FAILED(hr)) plat::Trace("%s: %s(%x)\n", what, ErrorName(hr), static_cast<unsigned>(hr));
    return hr;
}

bool ActivateClient(IMMDevice* endpoint, CComRef<IAudioClient>& client) {
    client.Reset();
    HRESULT hr =
        endpoint ? endpoint->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr, client.PutVoid())
                 : E_POINTER;
    if (SUCCEEDED(Checked(hr, "Unable to activate audio client", client))) return true;
    client.Reset();
    return false;
}

namespace {
constexpr DWORD kEventFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
}

HRESULT InitializeExclusive(IMMDevice* endpoint, CComRef<IAudioClient>& client, const WAVEFORMATEX* format,
                            DWORD rate, REFERENCE_TIME& duration) {
    HRESULT hr =
        client->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, kEventFlags, duration, duration, format, nullptr);
    if (hr != AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) return hr;
    UINT32 frames = 0;
    hr = Checked(client->GetBufferSize(&frames), "Unable to get audio client buffer");
    if (FAILED(hr)) return hr;
    duration = AlignedDuration(frames, rate);
    if (!ActivateClient(endpoint, client)) return E_FAIL;
    return client->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, kEventFlags, duration, duration, format, nullptr);
}

bool InitializeSharedFallback(IMMDevice* endpoint, CComRef<IAudioClient>& client, const WAVEFORMATEX* format,
                              REFERENCE_TIME duration) {
    if (!ActivateClient(endpoint, client)) return false;
    HRESULT hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                    kEventFlags | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                                        AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                    duration, 0, format, nullptr);
    return SUCCEEDED(Checked(hr, "Unable to initialize audio client"));
}

CStreamThreadScope::CStreamThreadScope(const char* kind, const wchar_t* task) {
    char what[64];
    std::snprintf(what, sizeof what, "Unable to initialize COM in %s thread", kind);
    m_Com = SUCCEEDED(Checked(CoInitializeEx(nullptr, COINIT_MULTITHREADED), what));
    if (!m_Com) return;
    DWORD taskIndex = 0;
    m_Task = AvSetMmThreadCharacteristicsW(task, &taskIndex);
    if (!m_Task)
        plat::Trace("Unable to enable MMCSS on %s thread: %d\n", kind, static_cast<int>(GetLastError()));
}

CStreamThreadScope::~CStreamThreadScope() {
    if (m_Task) AvRevertMmThreadCharacteristics(m_Task);
    if (m_Com) CoUninitialize();
}
