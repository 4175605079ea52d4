// Any bytes: Parse must answer a tree or null without a crash, a leak or a hang,
// and what the writer makes of a tree must read back to the same text.
#include "settings/CXml.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string WriteOut(CXml& xml, const XmlNode* root) {
    char* text = xml.Serialize(root);
    if (!text) std::abort();
    std::string out = text;
    CXml::FreeBuffer(text);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    std::string buffer(reinterpret_cast<const char*>(data), size); // the callers add a NUL
    CXml xml;
    XmlNode* root = xml.Parse(buffer.c_str(), static_cast<uint32_t>(size));
    if (!root) return 0;
    std::string first = WriteOut(xml, root);
    xml.FreeNodes(root);

    XmlNode* again = xml.Parse(first.c_str(), static_cast<uint32_t>(first.size()));
    // The writer's own output must read back whole and unchanged.
    if (!again || xml.IsDamaged()) std::abort();
    if (WriteOut(xml, again) != first) std::abort();
    xml.FreeNodes(again);
    return 0;
}
