// What the WASAPI capture and render drivers share: the way in to COM (a seam a
// test can replace with an in-process fake), the HRESULT names, the endpoint
// list and description, and the format adoption with its trace dump.
//
// Every function here is called on the engine's control thread, which has COM
// initialised; none of them keeps a reference after it returns.
#pragma once

#include "drivers/AudioTypes.h"
#include "drivers/wasapi/CComRef.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <functional>

// Creates the device enumerator everything else is reached from. The drivers
// obtain endpoints, audio clients and their services only through the
// enumerator this returns, so replacing it replaces the whole COM side.
using DeviceEnumeratorFactory = std::function<HRESULT(IMMDeviceEnumerator** out)>;

// The system's enumerator (CoCreateInstance of the MMDevice enumerator).
HRESULT CreateSystemDeviceEnumerator(IMMDeviceEnumerator** out);

// The fixed name of an audio-client HRESULT, "UNKNOWN ERROR" for any code not in
// the table (S_OK included).
const char* ErrorName(HRESULT hr);

// Shared-mode fallback: the codes with which a device refuses an exclusive
// stream it could still give in shared mode.
bool IsExclusiveRefusal(HRESULT hr);

// Opens the list of active endpoints of one data flow. Failures are traced with
// the enumerator/collection/count messages; the result is the failing HRESULT.
HRESULT OpenEndpointList(const DeviceEnumeratorFactory& factory, EDataFlow flow,
                         CComRef<IMMDeviceEnumerator>& enumerator, CComRef<IMMDeviceCollection>& collection,
                         UINT& count);

// Obtains the endpoint a driver opens: the system default of `flow` when
// `position` is negative, else the active endpoint of `flow` at `position`.
// Failures are traced (naming `deviceIndex`) and leave `endpoint` empty.
void OpenEndpoint(const DeviceEnumeratorFactory& factory, EDataFlow flow, int32_t position,
                  int32_t deviceIndex, CComRef<IMMDevice>& endpoint);

// Clears `info` and describes the endpoint at `position`: its id and its friendly
// name ("Unknown (<id>)" when the name is not text). 0 on failure, with whatever
// was written so far left in `info`.
int DescribeEndpoint(IMMDeviceCollection* collection, UINT position, AudioDeviceInfo* info);

// Position of the first active endpoint of `flow` whose name and id equal the
// arguments exactly, or -1.
int32_t FindEndpoint(const DeviceEnumeratorFactory& factory, EDataFlow flow, const wchar_t* name,
                     const wchar_t* id);

// True for an extensible format whose sub-format is IEEE float.
bool IsFloatSubFormat(const WAVEFORMATEX* format);

// Copies a device or request format into the driver's record, mapping the
// extensible tag to 3 (float sub-format) or 1, and traces the dump of `format`.
void AdoptFormat(WAVEFORMATEX& out, const WAVEFORMATEX* format);

// Traces "=== Audio Format ===" and the fields of `format` as it stands.
void TraceFormatDump(const WAVEFORMATEX* format);

// 100-ns units of a buffer holding `frames` frames at `rate`, rounded.
REFERENCE_TIME AlignedDuration(UINT32 frames, DWORD rate);

// Traces "<what>: NAME(code)" when `hr` failed; a success that left the
// out-pointer `obtained` empty counts as E_POINTER. Returns the code judged.
HRESULT Checked(HRESULT hr, const char* what);
HRESULT CheckedObtained(HRESULT hr, const char* what, bool obtained);
// The out-slot is read here, after the call that fills it has run.
template <class T> HRESULT Checked(HRESULT hr, const char* what, const CComRef<T>& out) {
    return CheckedObtained(hr, what, static_cast<bool>(out));
}
template <class T> HRESULT Checked(HRESULT hr, const char* what, T* const* out) {
    return CheckedObtained(hr, what, *out != nullptr);
}

// Activates an audio client on `endpoint` into `client` (traced on failure).
bool ActivateClient(IMMDevice* endpoint, CComRef<IAudioClient>& client);

// Initializes `client` in exclusive mode with duration = periodicity =
// `duration`. A device that asks for an aligned buffer gets a fresh client
// (activated on `endpoint`) and the duration of the frames it named. Returns
// the last Initialize's code (or the failing call's).
HRESULT InitializeExclusive(IMMDevice* endpoint, CComRef<IAudioClient>& client, const WAVEFORMATEX* format,
                            DWORD rate, REFERENCE_TIME& duration);

// A fresh client initialized in shared mode on `format` (16-bit PCM) with the
// system's conversion, event-driven. Traced on failure.
bool InitializeSharedFallback(IMMDevice* endpoint, CComRef<IAudioClient>& client, const WAVEFORMATEX* format,
                              REFERENCE_TIME duration);

// COM and the scheduler's task for a stream thread, for as long as it lives.
class CStreamThreadScope {
  public:
    CStreamThreadScope(const char* kind, const wchar_t* task);
    ~CStreamThreadScope();
    bool Ok() const { return m_Com; }

  private:
    bool m_Com = false;
    HANDLE m_Task = nullptr;
};
