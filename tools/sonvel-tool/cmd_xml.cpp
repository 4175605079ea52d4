// sonvel-tool xml FILE: parses the file and writes the tree back in the
// program's own layout, so a damaged or foreign file shows what the program
// would make of it.
#include "tools/sonvel-tool/Tool.h"

#include "media/CFile.h"
#include "settings/CXml.h"

#include <cstring>
#include <vector>

namespace {
int Xml(const std::vector<std::string>& args) {
    if (args.size() != 1) return ToolFail("usage: xml FILE");
    CFile file;
    if (!file.OpenRead(CString(args[0]))) return ToolFail("cannot open %s", args[0].c_str());
    uint64_t size = file.GetSize();
    if (size >= UINT32_MAX) return ToolFail("%s is too large", args[0].c_str());
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    if (size > 0 && file.Read(buffer.data(), static_cast<uint32_t>(size)) != size)
        return ToolFail("cannot read %s", args[0].c_str());
    file.Close();

    CXml xml;
    XmlNode* root = xml.Parse(buffer.data(), static_cast<uint32_t>(size));
    // The tree holds copies: the file's bytes need not stand beside the output.
    std::vector<char>().swap(buffer);
    if (!root) {
        std::fprintf(stderr, "no document\n");
        return 1;
    }
    char* text = xml.Serialize(root);
    xml.FreeNodes(root);
    if (!text) return ToolFail("out of memory");
    ToolSetBinaryStdout();
    size_t length = std::strlen(text);
    bool ok = std::fwrite(text, 1, length, stdout) == length && std::fflush(stdout) == 0;
    CXml::FreeBuffer(text);
    return ok ? 0 : ToolFail("cannot write standard output");
}
ToolRegistrar reg("xml", "xml FILE", Xml);
} // namespace
