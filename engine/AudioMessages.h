// Message numbers between the engine's threads and the main window. The sound
// thread's numbers are kept for the message layout (its blocks now travel on
// CSoundBlockQueue); the window messages are posted by the application's
// CAppEventListener implementation.
// This header never pulls in <windows.h>: the core builds without it.
#pragma once

#include <cstdint>

#ifndef WM_USER
#define WM_USER 0x0400
#endif

// Thread messages to the sound thread.
constexpr uint32_t WM_SOUND_BLOCK =
    WM_USER + 11; // wParam: byte count; lParam: heap block, owned by the receiver
constexpr uint32_t WM_SOUND_QUIT = WM_USER + 13;

// Window messages to the main window.
constexpr uint32_t WM_PLAY_POS = WM_USER + 5; // wParam: play position (s); lParam: remaining delay (s)
constexpr uint32_t WM_PLAY_END = WM_USER + 6;
constexpr uint32_t WM_EFFECT_CLOSE = WM_USER + 12; // posted by the effect dialog
constexpr uint32_t WM_REC_TIME = WM_USER + 14;     // wParam: recorded seconds, 0 when not recording
constexpr uint32_t WM_LEVEL_UPDATE = WM_USER + 15; // the peak is read from the listener
// The record file could not be written: the recording has been stopped and the
// file closed with what was saved. wParam: frames saved in the last file.
constexpr uint32_t WM_REC_ERROR = WM_USER + 16;

static_assert(WM_SOUND_BLOCK == 1035 && WM_SOUND_QUIT == 1037 && WM_PLAY_POS == 1029 && WM_PLAY_END == 1030 &&
                  WM_EFFECT_CLOSE == 1036 && WM_REC_TIME == 1038 && WM_LEVEL_UPDATE == 1039,
              "message numbers are shared with the window code");
