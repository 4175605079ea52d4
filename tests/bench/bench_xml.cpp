// bench_xml [MB [sjis]]: parse and write a generated document of about MB
// megabytes (default 32), UTF-8 or Shift-JIS, and print the times. The document mixes the shapes the program
// writes: many siblings, attributes, escaped text, a few levels deep.
#include "settings/CXml.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}
} // namespace

int main(int argc, char** argv) {
    int megabytes = argc > 1 ? std::atoi(argv[1]) : 32;
    if (megabytes <= 0) megabytes = 32;
    size_t target = static_cast<size_t>(megabytes) << 20;
    bool sjis = argc > 2 && std::strcmp(argv[2], "sjis") == 0;
    const char* word = sjis ? "\x98\x5E\x89\xB9" : "\xE9\x8C\xB2\xE9\x9F\xB3"; // 録音
    std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") + (sjis ? "shift_jis" : "utf-8") +
                      "\"?>\r\n<!-- generated -->\r\n<EffectList>\r\n";
    size_t items = 0;
    while (doc.size() < target) {
        doc += "  <EffectItem type=\"" + std::to_string(items % 21) + "\" name='effect &amp; " +
               std::to_string(items) + "'>\r\n";
        doc += "    <param id=\"0\">  " + std::to_string(items * 3) + "  </param>\r\n";
        doc += std::string("    <param id=\"1\">&lt;") + word + "&gt; level   text</param>\r\n";
        doc += "    <sub><leaf/><leaf a=\"b\"/></sub>\r\n  </EffectItem>\r\n";
        ++items;
    }
    doc += "</EffectList>\r\n";

    CXml xml;
    auto t0 = std::chrono::steady_clock::now();
    XmlNode* root = xml.Parse(doc.c_str(), static_cast<uint32_t>(doc.size()));
    double parse = Seconds(t0);
    if (!root || xml.IsDamaged()) {
        std::fprintf(stderr, "bench_xml: the generated document did not parse\n");
        return 1;
    }
    t0 = std::chrono::steady_clock::now();
    char* text = xml.Serialize(root);
    double write = Seconds(t0);
    size_t written = text ? std::strlen(text) : 0;
    t0 = std::chrono::steady_clock::now();
    xml.FreeNodes(root);
    double release = Seconds(t0);
    CXml::FreeBuffer(text);

    double mb = static_cast<double>(doc.size()) / (1 << 20);
    std::printf("document: %.1f MB %s, %zu items\n", mb, sjis ? "Shift-JIS" : "UTF-8", items);
    std::printf("parse: %.3f s (%.1f MB/s)\n", parse, mb / parse);
    std::printf("serialize: %.3f s (%.1f MB written)\n", write, static_cast<double>(written) / (1 << 20));
    std::printf("free: %.3f s\n", release);
    return 0;
}
