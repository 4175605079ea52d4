#include "settings/CXmlArena.h"

#include "platform/Platform.h"
#include "settings/CXml.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Blocks start at 4 KB, enough for a settings file, and double up to this.
constexpr size_t kMaxBlock = size_t{4} << 20; // two large pages

uint64_t HashBytes(const char* bytes, size_t length) {
    uint64_t h = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < length; ++i) {
        h ^= static_cast<unsigned char>(bytes[i]);
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

// The header is followed by the block's memory, aligned as malloc's own is.
struct CXmlArena::Blocks::Block {
    static constexpr size_t kHeader = 32;
    Block* next;
    char* used;
    char* end;
    char* Data() { return reinterpret_cast<char*>(this) + kHeader; }
    const char* Data() const { return reinterpret_cast<const char*>(this) + kHeader; }
};

CXmlArena::Blocks::~Blocks() {
    for (Block* b = m_pFirst; b;) {
        Block* next = b->next;
        plat::FreeLarge(b);
        b = next;
    }
}

void* CXmlArena::Blocks::Take(size_t size) {
    static_assert(sizeof(Block) <= Block::kHeader);
    if (size > SIZE_MAX / 4) return nullptr;
    size = (size + m_Alignment - 1) / m_Alignment * m_Alignment;
    if (m_pFirst && size <= static_cast<size_t>(m_pFirst->end - m_pFirst->used)) {
        char* p = m_pFirst->used;
        m_pFirst->used += size;
        return p;
    }
    // Header and data together fill a power of two, so a block of the largest
    // size is exactly two large pages.
    size_t capacity = size > m_NextSize - Block::kHeader ? size : m_NextSize - Block::kHeader;
    auto* b = static_cast<Block*>(plat::AllocateLarge(Block::kHeader + capacity));
    if (!b) return nullptr;
    b->used = b->Data() + size;
    b->end = b->Data() + capacity;
    if (m_pFirst && size > m_NextSize / 2) {
        // A long text gets a block of its own; the current one stays current.
        b->next = m_pFirst->next;
        m_pFirst->next = b;
    } else {
        b->next = m_pFirst;
        m_pFirst = b;
        if (m_NextSize < kMaxBlock) m_NextSize *= 2;
    }
    return b->Data();
}

bool CXmlArena::Blocks::Holds(const void* p) const {
    // Addresses of unrelated objects compare only as integers.
    const auto at = reinterpret_cast<uintptr_t>(p);
    auto inside = [at](const Block* b) {
        return at >= reinterpret_cast<uintptr_t>(b->Data()) && at < reinterpret_cast<uintptr_t>(b->used);
    };
    if (m_pLastHit && inside(m_pLastHit)) return true;
    for (const Block* b = m_pFirst; b; b = b->next) {
        if (inside(b)) {
            m_pLastHit = b;
            return true;
        }
    }
    return false;
}

template <class F> void CXmlArena::Blocks::ForEachUsed(F f) const {
    for (const Block* b = m_pFirst; b; b = b->next)
        f(b->Data(), static_cast<const char*>(b->used));
}

CXmlArena::CXmlArena()
    : m_Nodes(alignof(XmlNode)), m_Attributes(alignof(XmlAttribute)), m_Strings(alignof(CString)),
      m_Bytes(1) {}

CXmlArena::~CXmlArena() {
    // A string may have taken a text or a wide view of its own since.
    m_Strings.ForEachUsed([](const char* begin, const char* end) {
        for (const char* p = begin; p < end; p += sizeof(CString))
            std::launder(reinterpret_cast<CString*>(const_cast<char*>(p)))->~CString();
    });
    std::free(m_pTable);
}

XmlNode* CXmlArena::NewNode() {
    void* p = m_Nodes.Take(sizeof(XmlNode));
    if (!p) return nullptr;
    ++m_InUse;
    return new (p) XmlNode;
}

XmlAttribute* CXmlArena::NewAttribute() {
    void* p = m_Attributes.Take(sizeof(XmlAttribute));
    if (!p) return nullptr;
    ++m_InUse;
    return new (p) XmlAttribute;
}

bool CXmlArena::Grow() {
    size_t size = m_TableSize ? m_TableSize * 2 : 64;
    if (size > SIZE_MAX / sizeof(CString*)) return false;
    auto** table = static_cast<CString**>(std::calloc(size, sizeof(CString*)));
    if (!table) return false;
    for (size_t i = 0; i < m_TableSize; ++i) {
        CString* s = m_pTable[i];
        if (!s) continue;
        size_t j = HashBytes(s->c_str(), static_cast<size_t>(s->GetLength())) & (size - 1);
        while (table[j])
            j = (j + 1) & (size - 1);
        table[j] = s;
    }
    std::free(m_pTable);
    m_pTable = table;
    m_TableSize = size;
    return true;
}

CString* CXmlArena::String(const char* bytes, size_t length) {
    if (length >= INT32_MAX) return nullptr;
    // Without room in the table the string is still made, only not shared.
    const bool canShare = m_TableCount * 2 < m_TableSize || Grow();
    size_t slot = 0;
    if (m_TableSize > 0) {
        slot = HashBytes(bytes, length) & (m_TableSize - 1);
        while (CString* s = m_pTable[slot]) {
            if (static_cast<size_t>(s->GetLength()) == length && std::memcmp(s->c_str(), bytes, length) == 0)
                return s;
            slot = (slot + 1) & (m_TableSize - 1);
        }
    }
    char* chars = nullptr;
    if (length > 0) {
        chars = static_cast<char*>(m_Bytes.Take(length + 1));
        if (!chars) return nullptr;
        std::memcpy(chars, bytes, length);
        chars[length] = '\0';
    }
    void* p = m_Strings.Take(sizeof(CString));
    if (!p) return nullptr;
    auto* s = new (p) CString(chars, static_cast<int32_t>(length), CString::ViewTag{});
    if (canShare) {
        m_pTable[slot] = s;
        ++m_TableCount;
    }
    return s;
}

void CXmlArena::EndReading() {
    std::free(m_pTable);
    m_pTable = nullptr;
    m_TableSize = 0;
    m_TableCount = 0;
}
