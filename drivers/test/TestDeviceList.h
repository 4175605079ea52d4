// The device list both test drivers report: names, and ids made from them.
#pragma once

#include "drivers/AudioTypes.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace testdevices {

inline int EnumList(const std::vector<std::wstring>& devices, int32_t index, AudioDeviceInfo* info) {
    int count = static_cast<int>(devices.size());
    if (info) {
        std::memset(info, 0, sizeof *info);
        int i = index < 0 ? 0 : index;
        if (i < count) {
            std::wcsncpy(info->szName, devices[i].c_str(), 255);
            std::wcsncpy(info->szEndpointId, (L"test:" + devices[i]).c_str(), 255);
        }
    }
    return count;
}

inline int32_t FindInList(const std::vector<std::wstring>& devices, const wchar_t* name) {
    if (!name) return -1;
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i] == name) return static_cast<int32_t>(i);
    return -1;
}

} // namespace testdevices
