// The chain file loader on arbitrary bytes. Whatever loads must save and load
// back to the same entries, and must run through a chain without faults (the
// values are whatever the file said, within its own Min/Max).
#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    CEffectList list;
    list.LoadFromText(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
    const int32_t count = list.GetCount();
    if (count > CEffectList::MAX_ITEMS) std::abort();

    std::string saved = list.BuildDocument();
    CEffectList back;
    back.LoadFromText(saved.data(), static_cast<uint32_t>(saved.size()));
    if (back.GetCount() != count) std::abort();
    for (int32_t p = 0; p < count; ++p) {
        const EffectItem* a = list.GetItem(p);
        const EffectItem* b = back.GetItem(p);
        if (!a || !b || a->type != b->type || a->enabled != b->enabled || a->Params != b->Params)
            std::abort();
        if (std::memcmp(a->value, b->value, sizeof(a->value)) != 0) std::abort();
        if (std::memcmp(a->Min, b->Min, sizeof(a->Min)) != 0 ||
            std::memcmp(a->Max, b->Max, sizeof(a->Max)) != 0)
            std::abort();
    }

    if (count > 0) {
        CEffectManager manager;
        manager.SetStreamFormat(2, 8000);
        list.ApplyTo(manager, 8000);
        int16_t block[64];
        for (int i = 0; i < 64; ++i)
            block[i] = static_cast<int16_t>((i * 2654435761u) >> 16);
        manager.ProcessChain(block, 64);
        manager.ReadChainOutput(block, 64);
    }
    return 0;
}
