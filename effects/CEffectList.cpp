#include "effects/CEffectList.h"

#include "effects/CEffectManager.h"
#include "media/CFile.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool NameIs(const XmlNode* node, const char* name) {
    return node->pName && std::strcmp(node->pName->c_str(), name) == 0;
}

const char* AttributeText(const XmlNode* node, const char* name) {
    for (const XmlAttribute* a = node->pAttr; a; a = a->pNext)
        if (a->pName && std::strcmp(a->pName->c_str(), name) == 0) return a->pValue ? a->pValue->c_str() : "";
    return nullptr;
}

// Reads digits after blanks and a sign. *end points at the first byte not read.
bool ReadDigits(const char* p, int32_t* out, const char** end) {
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p - '0');
        if (v > 2147483648LL) return false;
        ++p;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    *end = p;
    return true;
}

XmlNode* NumberNode(CXml& xml, const char* name, int32_t n) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", n);
    return xml.CreateNode(name, text);
}

} // namespace

CEffectList::~CEffectList() {
    Clear();
}

bool CEffectList::ParseNumber(const char* text, int32_t* out) {
    const char* end = nullptr;
    return text && ReadDigits(text, out, &end) && *end == '\0';
}

bool CEffectList::ParseLeadingNumber(const char* text, int32_t* out) {
    const char* end = nullptr;
    return text && ReadDigits(text, out, &end);
}

EffectItem* CEffectList::GetItem(int32_t position) const {
    return position >= 0 && position < MAX_ITEMS ? m_Items[position] : nullptr;
}

int32_t CEffectList::GetCount() const {
    int32_t n = 0;
    for (EffectItem* item : m_Items)
        n += item != nullptr;
    return n;
}

void CEffectList::Clear() {
    for (EffectItem*& item : m_Items) {
        delete item;
        item = nullptr;
    }
}

// ---------------------------------------------------------------- reading

EffectItem* CEffectList::ReadItem(const XmlNode* item) {
    std::unique_ptr<EffectItem> record(new (std::nothrow) EffectItem());
    if (!record) return nullptr;
    int32_t position = -1;
    bool seen[EFFECT_MAX_VALUES] = {};
    for (const XmlNode* child = item->pChild; child; child = child->pNext) {
        const char* text = child->pText ? child->pText->c_str() : nullptr;
        int32_t n = 0;
        const bool known = NameIs(child, "Num") || NameIs(child, "Type") || NameIs(child, "Enabled") ||
                           NameIs(child, "Params") || NameIs(child, "ParamValue");
        if (!known) continue; // "Name" and anything else
        // Every known child needs a text that is a number.
        if (!text || !*text || !ParseNumber(text, &n)) return nullptr;
        if (NameIs(child, "Num")) {
            if (n < 0 || n >= MAX_ITEMS || m_Items[n]) return nullptr;
            position = n;
        } else if (NameIs(child, "Type")) {
            const EffectTypeInfo* info = GetEffectTypeInfo(n);
            if (!info) return nullptr;
            record->type = n;
            record->name = info->name;
        } else if (NameIs(child, "Enabled")) {
            record->enabled = n != 0 ? 1 : 0;
        } else if (NameIs(child, "Params")) {
            if (n < 0 || n > EFFECT_MAX_PARAMS) return nullptr;
            record->Params = n;
        } else { // ParamValue
            int32_t index = -1, lo = 0, hi = 0;
            const char* indexText = AttributeText(child, "Num");
            const char* minText = AttributeText(child, "Min");
            const char* maxText = AttributeText(child, "Max");
            // Without an index the value has no place: the entry goes.
            if (!indexText || !ParseLeadingNumber(indexText, &index)) return nullptr;
            if (index < 0 || index >= EFFECT_MAX_VALUES) return nullptr;
            if (minText && !ParseLeadingNumber(minText, &lo)) return nullptr;
            if (maxText && !ParseLeadingNumber(maxText, &hi)) return nullptr;
            if (!(lo < hi && lo <= n && n <= hi)) return nullptr;
            record->Min[index] = lo;
            record->Max[index] = hi;
            record->value[index] = n;
            seen[index] = true;
        }
    }
    // An entry without a position cannot be placed.
    if (position < 0) return nullptr;
    // Every value in use needs its range, or the entry would not survive its
    // next save and load; a file cut short inside an entry ends up here too.
    for (int32_t j = 0; j < record->Params; ++j)
        if (!seen[j]) return nullptr;
    // Values past the count in use would run in the chain but never be saved.
    for (int32_t j = record->Params; j < EFFECT_MAX_VALUES; ++j)
        record->Min[j] = record->Max[j] = record->value[j] = 0;
    record->name = GetEffectTypeInfo(record->type)->name;
    m_Items[position] = record.release();
    return m_Items[position];
}

void CEffectList::LoadFromText(const char* text, uint32_t length) {
    Clear();
    m_bDropped = false;
    // The reader wants a NUL after the bytes; a copy guarantees one.
    const std::string buffer(text ? text : "", text ? length : 0);
    XmlNode* root =
        buffer.empty() ? nullptr : m_Xml.Parse(buffer.c_str(), static_cast<uint32_t>(buffer.size()));
    if (!root) m_bDropped = !buffer.empty();
    size_t items = 0;
    EffectItem* last = nullptr;
    for (const XmlNode* top = root; top; top = top->pNext) {
        if (!NameIs(top, "EffectList")) continue;
        for (const XmlNode* item = top->pChild; item; item = item->pNext) {
            if (!NameIs(item, "EffectItem")) continue;
            items += item->pChild != nullptr;
            last = ReadItem(item);
            if (!last) m_bDropped = true;
        }
    }
    const bool parsed = root != nullptr;
    m_Xml.FreeNodes(root);
    // The reader answers an element cut off by the end of the file as far as it
    // got, so the last entry of a truncated file can look whole with a value cut
    // short ("5" of "50"). Its missing end tag gives it away.
    if (last && parsed) {
        size_t closed = 0;
        // "</EffectItem" without the ">": an end tag may have blanks before it.
        for (size_t at = buffer.find("</EffectItem"); at != std::string::npos;
             at = buffer.find("</EffectItem", at + 1))
            ++closed;
        if (closed < items) {
            for (EffectItem*& p : m_Items)
                if (p == last) {
                    delete p;
                    p = nullptr;
                }
            m_bDropped = true;
        }
    }
    // Entries keep their order; gaps between their positions are closed.
    std::stable_partition(m_Items, m_Items + MAX_ITEMS, [](EffectItem* p) { return p != nullptr; });
}

int CEffectList::LoadEffectList(const CString& path) {
    Clear();
    m_bDropped = false;
    m_bEdited = false;
    CFile file;
    if (!file.OpenRead(path)) {
        // No file yet: an empty list is the truth and may be written. A file that
        // exists but cannot be read must survive this run untouched.
        m_bLoaded = !plat::PathExists(path.c_str());
        return 0;
    }
    m_bLoaded = true;
    std::string text;
    const uint64_t size = file.GetSize();
    if (size > 0 && size <= MAX_FILE_BYTES && file.Seek(0)) {
        text.resize(static_cast<size_t>(size));
        uint32_t got = file.Read(text.data(), static_cast<uint32_t>(size));
        text.resize(got == size ? got : 0);
    }
    file.Close();
    if (size > 0 && text.empty()) {
        plat::Trace("[CEffectList] cannot read %s\n", path.c_str());
    }
    LoadFromText(text.c_str(), static_cast<uint32_t>(text.size()));
    if (size > 0 && text.empty()) m_bDropped = true;
    return 1;
}

// ---------------------------------------------------------------- writing

std::string CEffectList::BuildDocument() {
    XmlNode* list = m_Xml.CreateNode(L"EffectList");
    if (!list) return {};
    for (int32_t pos = 0; pos < MAX_ITEMS; ++pos) {
        const EffectItem* e = m_Items[pos];
        if (!e) continue;
        XmlNode* item = m_Xml.CreateNode(L"EffectItem");
        if (!item) continue;
        CXml::AppendChild(list, item);
        CXml::AppendChild(item, NumberNode(m_Xml, "Num", pos));
        CString name(e->name ? e->name : L"");
        CXml::AppendChild(item, m_Xml.CreateNode("Name", name.c_str()));
        CXml::AppendChild(item, NumberNode(m_Xml, "Type", e->type));
        CXml::AppendChild(item, NumberNode(m_Xml, "Enabled", e->enabled != 0 ? 1 : 0));
        CXml::AppendChild(item, NumberNode(m_Xml, "Params", e->Params));
        for (int32_t j = 0; j < e->Params && j < EFFECT_MAX_VALUES; ++j) {
            XmlNode* value = NumberNode(m_Xml, "ParamValue", e->value[j]);
            if (!value) continue;
            char text[16];
            std::snprintf(text, sizeof(text), "%d", j);
            CXml::AppendAttribute(value, m_Xml.CreateAttribute("Num", text));
            std::snprintf(text, sizeof(text), "%d", e->Min[j]);
            CXml::AppendAttribute(value, m_Xml.CreateAttribute("Min", text));
            std::snprintf(text, sizeof(text), "%d", e->Max[j]);
            CXml::AppendAttribute(value, m_Xml.CreateAttribute("Max", text));
            CXml::AppendChild(item, value);
        }
    }
    std::string document;
    char* buffer = m_Xml.Serialize(list);
    if (buffer) document = buffer;
    CXml::FreeBuffer(buffer);
    m_Xml.FreeNodes(list);
    return document;
}

int CEffectList::SaveEffectList(const CString& path) {
    if (!m_bLoaded && !m_bEdited) return 0;
    std::string document = BuildDocument();
    if (document.empty() || document.size() >= UINT32_MAX) return 0;
    const std::string target = path.Str();
    const std::string temporary = target + ".tmp";
    CFile file;
    if (file.CreateWrite(CString(temporary), 1) != 0) return 0;
    const uint32_t bytes = static_cast<uint32_t>(document.size());
    bool ok = file.Write(document.data(), bytes) == bytes;
    ok = file.Flush() && ok;
    file.Close();
    if (ok && m_bDropped && plat::PathExists(target.c_str())) {
        // The file on disk held entries this run could not read; keep it aside
        // rather than lose them.
        plat::CopyFileTo(target.c_str(), (target + ".bak").c_str(), true);
    }
    if (!ok || !plat::ReplaceFileWith(temporary.c_str(), target.c_str())) {
        plat::RemoveFile(temporary.c_str());
        plat::Trace("[CEffectList] cannot write %s\n", target.c_str());
        return 0;
    }
    m_bDropped = false;
    return 1;
}

// ---------------------------------------------------------------- editing

EffectItem* CEffectList::InsertItem(int32_t position, int32_t type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    const int32_t count = GetCount();
    if (!info || count >= MAX_ITEMS) return nullptr;
    EffectItem* e = new (std::nothrow) EffectItem();
    if (!e) return nullptr;
    e->name = info->name;
    e->type = type;
    e->enabled = 1;
    e->Params = info->params;
    for (int32_t j = 0; j < info->params; ++j) {
        e->Min[j] = info->param[j].min;
        e->Max[j] = info->param[j].max;
        e->value[j] = info->param[j].initial;
    }
    if (position < 0 || position > count) position = count;
    std::rotate(m_Items + position, m_Items + MAX_ITEMS - 1, m_Items + MAX_ITEMS);
    m_Items[position] = e;
    m_bEdited = true;
    return e;
}

void CEffectList::RemoveItem(int32_t position) {
    if (position < 0 || position >= MAX_ITEMS || !m_Items[position]) return;
    delete m_Items[position];
    m_Items[position] = nullptr;
    std::rotate(m_Items + position, m_Items + position + 1, m_Items + MAX_ITEMS);
    m_bEdited = true;
}

void CEffectList::MoveItem(int32_t from, int32_t to) {
    if (from < 0 || from >= MAX_ITEMS || to < 0 || to >= MAX_ITEMS || !m_Items[from]) return;
    if (from < to)
        std::rotate(m_Items + from, m_Items + from + 1, m_Items + to + 1);
    else if (to < from)
        std::rotate(m_Items + to, m_Items + from, m_Items + from + 1);
    m_bEdited = true;
}

void CEffectList::SetValue(int32_t position, int32_t index, int32_t value) {
    EffectItem* e = GetItem(position);
    if (!e || index < 0 || index >= EFFECT_MAX_VALUES) return;
    e->value[index] = value;
    m_bEdited = true;
}

void CEffectList::SetEnabled(int32_t position, int32_t on) {
    EffectItem* e = GetItem(position);
    if (!e) return;
    e->enabled = on != 0 ? 1 : 0;
    m_bEdited = true;
}

void CEffectList::ApplyTo(CEffectManager& manager, int32_t sampleRate) const {
    for (int32_t pos = 0; pos < MAX_ITEMS; ++pos) {
        const EffectItem* e = m_Items[pos];
        if (!e) continue;
        int32_t used = manager.AddEffect(e->type, e->value, sampleRate, pos);
        if (used >= 0) manager.SetEffectEnable(used, e->enabled);
    }
}
