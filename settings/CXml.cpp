#include "settings/CXml.h"

#include "platform/Platform.h"
#include "settings/CXmlArena.h"
#include "settings/CXmlString.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// The entity table, in the order both directions use it.
struct Entity {
    char ch;
    const char* text;
    size_t length;
};
constexpr Entity kEntities[] = {
    {'<', "&lt;", 4}, {'>', "&gt;", 4}, {'&', "&amp;", 5}, {'"', "&quot;", 6}, {'\'', "&apos;", 6},
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes that end a name.
bool EndsName(char c) {
    return c == '\0' || IsSpace(c) || c == '"' || c == '&' || c == '\'' || c == '/' || c == '<' || c == '=' ||
           c == '>';
}

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Names under which documents declare Windows code page 932.
bool NamesShiftJis(const std::string& encoding) {
    static const char* const names[] = {"shift_jis",   "shift-jis", "sjis",    "x-sjis",
                                        "windows-31j", "cp932",     "ms_kanji"};
    for (const char* n : names)
        if (EqualsNoCase(encoding, n)) return true;
    return false;
}

CString* NewString(const char* utf8, size_t len) {
    auto* s = new (std::nothrow) CString();
    if (s && len > 0) s->AssignUtf8(utf8, static_cast<int>(len));
    return s;
}

// Frees the pieces of trees: a piece of one of the listed documents goes back
// to it, anything else (created, or put in by a caller) is deleted.
class Freeing {
  public:
    explicit Freeing(CXmlArena* documents) : m_pDocuments(documents) {}

    void Attributes(XmlAttribute* attr) {
        while (attr) {
            XmlAttribute* next = attr->pNext;
            String(attr->pName);
            String(attr->pValue);
            Piece(attr);
            attr = next;
        }
    }

    void One(XmlNode* node) {
        Attributes(node->pAttr);
        String(node->pName);
        String(node->pText);
        String(node->pEncoding);
        Piece(node);
    }

    // Children are spliced in front of the remaining siblings, so the whole
    // tree goes in one loop whatever its depth.
    void Tree(XmlNode* node) {
        while (node) {
            if (node->pChild) {
                XmlNode* child = node->pChild;
                node->pChild = nullptr;
                XmlNode* tail = child;
                while (tail->pNext)
                    tail = tail->pNext;
                tail->pNext = node->pNext;
                node->pNext = child;
            }
            XmlNode* next = node->pNext;
            One(node);
            node = next;
        }
    }

  private:
    template <class T> CXmlArena* Owner(const T* p) {
        // Trees are freed document by document: ask the last owner first.
        if (m_pLast && m_pLast->Holds(p)) return m_pLast;
        for (CXmlArena* a = m_pDocuments; a; a = a->m_pNext) {
            if (a != m_pLast && a->Holds(p)) {
                m_pLast = a;
                return a;
            }
        }
        return nullptr;
    }
    // A document's strings are shared and go only with the document.
    void String(CString* s) {
        if (s && !Owner(s)) delete s;
    }
    template <class T> void Piece(T* p) {
        if (CXmlArena* owner = Owner(p))
            owner->Release();
        else
            delete p;
    }

    CXmlArena* m_pDocuments;
    CXmlArena* m_pLast = nullptr;
};

// The parser's cursor and the state of one Parse call.
class Parser {
  public:
    Parser(const char* buffer, size_t length, uint32_t* codePage, CXmlArena* document)
        : m_Buffer(buffer), m_Length(length), m_pCodePage(codePage), m_pDocument(document), m_Free(document) {
    }

    // The declaration; false when it is missing or bad.
    bool Declaration(CString** encoding);
    // One element with its subtree, or null when it fails.
    XmlNode* Element(int depth);
    bool TooDeep() const { return m_TooDeep; }
    // Something was left out, cut short or not closed.
    bool Damaged() const { return m_Damaged; }

  private:
    bool AtEnd() const { return m_Pos >= m_Length; }
    bool At(const char* s) const {
        size_t n = std::strlen(s);
        return m_Length - m_Pos >= n && std::memcmp(m_Buffer + m_Pos, s, n) == 0;
    }
    void SkipSpace() {
        while (m_Pos < m_Length && IsSpace(m_Buffer[m_Pos]))
            ++m_Pos;
    }
    void ParseError() {
        m_Damaged = true;
        plat::Trace("XML parse error (%d)\n", static_cast<int>(m_Pos));
    }
    XmlNode* ElementBody(int depth);
    // Reads a name at the cursor: start and length, false when empty or when it
    // runs to the end of the buffer.
    bool Name(size_t* start, size_t* length);
    XmlAttribute* Attribute();
    // Reads a text up to `terminator`. Answers null with *failed false when the
    // terminator comes at once (the cursor stays on it), null with *failed true
    // when the text is malformed. A failed text leaves the cursor on the byte
    // that failed it, so that the enclosing elements do not scan it again.
    CString* Text(char terminator, bool inAttribute, bool* failed);
    CString* Convert(const char* bytes, size_t length);

    const char* m_Buffer;
    size_t m_Length;
    size_t m_Pos = 0;
    uint32_t* m_pCodePage;
    CXmlArena* m_pDocument; // where the tree being read lives
    Freeing m_Free;         // gives back what fails
    std::string m_Scratch;  // the bytes of the text being read
    bool m_TooDeep = false;
    bool m_Damaged = false;
    // The last element read found no element: only comments before the end of
    // the buffer or before a parent's text.
    bool m_NoElement = false;
};

CString* Parser::Convert(const char* bytes, size_t length) {
    // Plain ASCII needs no conversion (in code page 932 too, whose single
    // bytes below 0x80 are ASCII), and it is most of what we read.
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii) return m_pDocument->String(bytes, length);
    std::wstring wide;
    plat::MultiByteToWideString(bytes, static_cast<int>(length), static_cast<int>(*m_pCodePage), wide);
    std::string utf8;
    plat::WideToMultiByteString(wide.data(), static_cast<int>(wide.size()), plat::CP_PROGRAM, utf8);
    return m_pDocument->String(utf8.data(), utf8.size());
}

bool Parser::Name(size_t* start, size_t* length) {
    size_t begin = m_Pos;
    while (m_Pos < m_Length && !EndsName(m_Buffer[m_Pos]))
        ++m_Pos;
    if (m_Pos == begin || AtEnd()) return false;
    *start = begin;
    *length = m_Pos - begin;
    return true;
}

CString* Parser::Text(char terminator, bool inAttribute, bool* failed) {
    *failed = false;
    if (AtEnd()) {
        *failed = true;
        return nullptr;
    }
    if (m_Buffer[m_Pos] == terminator) return nullptr;
    std::string& bytes = m_Scratch;
    bytes.clear();
    bool pendingSpace = false;
    for (;;) {
        if (AtEnd()) break;
        char c = m_Buffer[m_Pos];
        if (c == terminator) {
            if (inAttribute) ++m_Pos; // past the closing quote
            return Convert(bytes.data(), bytes.size());
        }
        // A NUL would cut the text short when it is written back: refuse it
        // like any other binary damage.
        if (c == '>' || c == '\0' || (inAttribute && c == '<')) break;
        if (IsSpace(c)) {
            pendingSpace = !bytes.empty();
            ++m_Pos;
            continue;
        }
        if (pendingSpace) {
            bytes += ' ';
            pendingSpace = false;
        }
        if (c == '&') {
            const Entity* hit = nullptr;
            for (const Entity& e : kEntities)
                if (At(e.text)) hit = &e;
            if (hit) {
                bytes += hit->ch;
                m_Pos += hit->length;
                continue;
            }
        }
        bytes += c;
        ++m_Pos;
    }
    *failed = true;
    return nullptr;
}

XmlAttribute* Parser::Attribute() {
    SkipSpace();
    size_t nameStart = 0, nameLength = 0;
    if (!Name(&nameStart, &nameLength)) return nullptr;
    SkipSpace();
    if (AtEnd() || m_Buffer[m_Pos] != '=') return nullptr;
    ++m_Pos;
    SkipSpace();
    if (AtEnd() || (m_Buffer[m_Pos] != '"' && m_Buffer[m_Pos] != '\'')) return nullptr;
    char quote = m_Buffer[m_Pos++];
    bool failed = false;
    CString* value = Text(quote, true, &failed);
    if (failed) return nullptr;
    // Strings that end up unused stay with the document.
    CString* name = Convert(m_Buffer + nameStart, nameLength);
    XmlAttribute* attr = name ? m_pDocument->NewAttribute() : nullptr;
    if (!attr) return nullptr;
    attr->pName = name;
    attr->pValue = value;
    return attr;
}

bool Parser::Declaration(CString** encoding) {
    SkipSpace();
    if (!At("<?xml") || m_Length - m_Pos < 6 || !IsSpace(m_Buffer[m_Pos + 5])) return false;
    m_Pos += 5;
    size_t last = SIZE_MAX;
    for (;;) {
        if (m_Pos == last) {
            ParseError();
            return false;
        }
        last = m_Pos;
        SkipSpace();
        if (AtEnd()) return false;
        if (At("?>")) {
            m_Pos += 2;
            return true;
        }
        XmlAttribute* attr = Attribute();
        if (!attr) return false;
        if (attr->pName->Equals("encoding")) {
            std::string value = attr->pValue ? attr->pValue->Str() : std::string();
            *m_pCodePage = NamesShiftJis(value) ? 932 : 65001;
            *encoding = attr->pValue;
        }
        m_Free.Attributes(attr);
    }
}

XmlNode* Parser::Element(int depth) {
    m_NoElement = false;
    XmlNode* node = ElementBody(depth);
    if (!node && !(m_NoElement && (depth > 1 || AtEnd()))) m_Damaged = true;
    return node;
}

XmlNode* Parser::ElementBody(int depth) {
    // Leading comments.
    int comments = 0;
    size_t last = SIZE_MAX;
    for (;;) {
        if (m_Pos == last) {
            ParseError();
            return nullptr;
        }
        last = m_Pos;
        SkipSpace();
        if (AtEnd() || (m_Buffer[m_Pos] != '<' && comments > 0)) {
            m_NoElement = true;
            return nullptr;
        }
        if (m_Buffer[m_Pos] != '<') return nullptr;
        if (!At("<!--")) break;
        const char* from = m_Buffer + m_Pos + 4;
        const char* end = nullptr;
        for (const char* p = from; p + 3 <= m_Buffer + m_Length; ++p) {
            p = static_cast<const char*>(std::memchr(p, '-', static_cast<size_t>(m_Buffer + m_Length - p)));
            if (!p) break;
            if (p + 3 <= m_Buffer + m_Length && p[1] == '-' && p[2] == '>') {
                end = p;
                break;
            }
        }
        if (!end) {
            m_Pos = m_Length; // nothing after an unterminated comment can be read
            return nullptr;
        }
        m_Pos = static_cast<size_t>(end - m_Buffer) + 3;
        ++comments;
    }

    if (depth > CXml::kMaxDepth) {
        m_TooDeep = true;
        m_Pos = m_Length;
        return nullptr;
    }

    ++m_Pos; // the '<'
    size_t nameStart = 0, nameLength = 0;
    if (!Name(&nameStart, &nameLength)) return nullptr;
    char after = m_Buffer[m_Pos];
    if (!IsSpace(after) && after != '/' && after != '>') return nullptr;

    XmlNode* node = m_pDocument->NewNode();
    if (!node) return nullptr;
    node->pName = Convert(m_Buffer + nameStart, nameLength);
    if (!node->pName) {
        m_Free.One(node);
        return nullptr;
    }

    // Attributes.
    XmlAttribute* lastAttr = nullptr;
    last = SIZE_MAX;
    for (;;) {
        if (m_Pos == last) {
            ParseError();
            break;
        }
        last = m_Pos;
        SkipSpace();
        if (At("/>")) {
            m_Pos += 2;
            return node;
        }
        if (!AtEnd() && m_Buffer[m_Pos] == '>') {
            ++m_Pos;
            break;
        }
        XmlAttribute* attr = Attribute();
        if (!attr) {
            m_Free.One(node);
            return nullptr;
        }
        (lastAttr ? lastAttr->pNext : node->pAttr) = attr;
        lastAttr = attr;
    }

    // Content, up to the end tag.
    XmlNode* lastChild = nullptr;
    last = SIZE_MAX;
    for (;;) {
        if (m_Pos == last) {
            ParseError();
            return node;
        }
        last = m_Pos;
        SkipSpace();
        if (AtEnd()) {
            m_Damaged = true; // never closed
            return node;
        }
        if (At("</")) {
            m_Pos += 2;
            bool match = m_Length - m_Pos >= nameLength &&
                         std::memcmp(m_Buffer + m_Pos, m_Buffer + nameStart, nameLength) == 0;
            if (match) {
                m_Pos += nameLength;
                // "</ab>" does not close "<a>": the name must end there.
                match = AtEnd() || IsSpace(m_Buffer[m_Pos]) || m_Buffer[m_Pos] == '>';
                SkipSpace();
                if (AtEnd()) {
                    m_Damaged = true;
                    return node;
                }
                match = match && m_Buffer[m_Pos] == '>';
            }
            if (!match) {
                m_Pos = m_Length; // a wrong end tag ends the reading of the buffer
                m_Free.Tree(node);
                return nullptr;
            }
            ++m_Pos;
            return node;
        }
        if (m_Buffer[m_Pos] == '<') {
            XmlNode* child = Element(depth + 1);
            if (m_TooDeep) {
                m_Free.Tree(node);
                m_Free.Tree(child);
                return nullptr;
            }
            if (child) {
                (lastChild ? lastChild->pNext : node->pChild) = child;
                lastChild = child;
            }
            continue;
        }
        bool failed = false;
        CString* text = Text('<', false, &failed);
        if (failed) m_Damaged = true;
        node->pText = text;
    }
}

} // namespace

CXml::~CXml() {
    while (m_pDocuments) {
        CXmlArena* next = m_pDocuments->m_pNext;
        delete m_pDocuments;
        m_pDocuments = next;
    }
}

XmlNode* CXml::Parse(const char* buffer, uint32_t length) {
    // A document that names no encoding is UTF-8, whatever was parsed before.
    m_CodePage = 65001;
    m_Damaged = 1;
    if (!buffer || length == 0) return nullptr;
    auto* document = new (std::nothrow) CXmlArena;
    if (!document) return nullptr;
    Parser parser(buffer, length, &m_CodePage, document);
    CString* encoding = nullptr;
    if (!parser.Declaration(&encoding)) {
        delete document;
        return nullptr;
    }
    XmlNode* first = parser.Element(1);
    XmlNode* tail = first;
    while (tail) {
        XmlNode* next = parser.Element(1);
        if (!next) break;
        tail->pNext = next;
        tail = next;
    }
    if (parser.TooDeep()) plat::Trace("XML nesting deeper than %d refused\n", kMaxDepth);
    if (parser.TooDeep() || !first) {
        delete document; // with whatever was read
        return nullptr;
    }
    m_Damaged = parser.Damaged() ? 1 : 0;
    first->pEncoding = encoding;
    document->EndReading();
    document->m_pNext = m_pDocuments;
    m_pDocuments = document;
    return first;
}

XmlNode* CXml::CreateNode(const char* utf8Name, const char* utf8Text) {
    auto* node = new (std::nothrow) XmlNode;
    if (!node) return nullptr;
    node->pName = NewString(utf8Name, utf8Name ? std::strlen(utf8Name) : 0);
    if (utf8Text) node->pText = NewString(utf8Text, std::strlen(utf8Text));
    if (!node->pName || (utf8Text && !node->pText)) {
        Freeing(nullptr).One(node);
        return nullptr;
    }
    return node;
}

XmlNode* CXml::CreateNode(const wchar_t* name, const wchar_t* text) {
    std::string n, t;
    if (name) plat::WideToMultiByteString(name, -1, plat::CP_PROGRAM, n);
    if (text) plat::WideToMultiByteString(text, -1, plat::CP_PROGRAM, t);
    return CreateNode(n.c_str(), text ? t.c_str() : nullptr);
}

XmlAttribute* CXml::CreateAttribute(const char* utf8Name, const char* utf8Value) {
    auto* attr = new (std::nothrow) XmlAttribute;
    if (!attr) return nullptr;
    attr->pName = NewString(utf8Name, utf8Name ? std::strlen(utf8Name) : 0);
    if (utf8Value) attr->pValue = NewString(utf8Value, std::strlen(utf8Value));
    if (!attr->pName || (utf8Value && !attr->pValue)) {
        Freeing(nullptr).Attributes(attr);
        return nullptr;
    }
    return attr;
}

XmlAttribute* CXml::CreateAttribute(const wchar_t* name, const wchar_t* value) {
    std::string n, v;
    if (name) plat::WideToMultiByteString(name, -1, plat::CP_PROGRAM, n);
    if (value) plat::WideToMultiByteString(value, -1, plat::CP_PROGRAM, v);
    return CreateAttribute(n.c_str(), value ? v.c_str() : nullptr);
}

void CXml::FreeNodes(XmlNode* node) {
    if (!node) return;
    Freeing(m_pDocuments).Tree(node);
    // A document none of whose nodes is in use any more goes back whole.
    for (CXmlArena** link = &m_pDocuments; *link;) {
        CXmlArena* document = *link;
        if (document->InUse() == 0) {
            *link = document->m_pNext;
            delete document;
        } else {
            link = &document->m_pNext;
        }
    }
}

int CXml::GetDocumentCount() const {
    int count = 0;
    for (const CXmlArena* document = m_pDocuments; document; document = document->m_pNext)
        ++count;
    return count;
}

void CXml::FreeBuffer(char* buffer) {
    std::free(buffer);
}

namespace {

void AppendEscaped(CXmlString& out, const CString* s) {
    if (!s) return;
    const char* p = s->c_str();
    const char* end = p + s->GetLength();
    const char* run = p;
    for (; p < end; ++p) {
        for (const Entity& e : kEntities) {
            if (*p == e.ch) {
                out.Append(run, static_cast<int>(p - run));
                out.Append(e.text, static_cast<int>(e.length));
                run = p + 1;
                break;
            }
        }
    }
    out.Append(run, static_cast<int>(end - run));
}

// The writer's fixed pieces, without measuring each every time.
template <size_t N> void Put(CXmlString& out, const char (&piece)[N]) {
    out.Append(piece, static_cast<int>(N - 1));
}

void AppendName(CXmlString& out, const CString* s) {
    if (s) out.Append(s->c_str(), s->GetLength());
}

} // namespace

char* CXml::Serialize(const XmlNode* node) {
    m_CodePage = 65001;
    CXmlString out(m_CodePage);
    if (!out.Ensure()) return nullptr;
    Put(out, "<?xml version=\"1.0\" ");
    // Whatever the source document declared, these bytes are UTF-8.
    if (node && node->pEncoding) Put(out, "encoding=\"utf-8\" ");
    Put(out, "?>\r\n");

    // Depth-first without recursion: the stack holds the open elements.
    std::vector<const XmlNode*> open;
    const XmlNode* n = node;
    while (n || !open.empty()) {
        if (!n) {
            const XmlNode* parent = open.back();
            open.pop_back();
            Put(out, "</");
            AppendName(out, parent->pName);
            Put(out, ">\r\n");
            n = parent->pNext;
            continue;
        }
        Put(out, "<");
        AppendName(out, n->pName);
        if (n->pAttr) {
            Put(out, " ");
            for (const XmlAttribute* a = n->pAttr; a; a = a->pNext) {
                AppendName(out, a->pName);
                Put(out, "=\"");
                // x="" would stop the next reading of the whole file; a single
                // space reads back as the same empty value.
                if (a->pValue && !a->pValue->IsEmpty())
                    AppendEscaped(out, a->pValue);
                else
                    Put(out, " ");
                Put(out, "\" ");
            }
        }
        if (!n->pText && !n->pChild) {
            Put(out, "/>\r\n");
            n = n->pNext;
            continue;
        }
        Put(out, ">");
        AppendEscaped(out, n->pText);
        if (n->pChild) {
            open.push_back(n);
            n = n->pChild;
            continue;
        }
        Put(out, "</");
        AppendName(out, n->pName);
        Put(out, ">\r\n");
        n = n->pNext;
    }
    return out.Detach();
}

int CXml::GetInt(const XmlNode* node, int def) {
    if (!node || !node->pText || node->pText->IsEmpty()) return def;
    const char* p = node->pText->c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    if (!*p) return 0;
    uint32_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return def;
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

XmlNode* CXml::FindNode(XmlNode* first, const char* name) {
    for (XmlNode* n = first; n; n = n->pNext)
        if (n->pName && n->pName->Equals(name)) return n;
    return nullptr;
}

const XmlNode* CXml::FindNode(const XmlNode* first, const char* name) {
    return FindNode(const_cast<XmlNode*>(first), name);
}

XmlNode* CXml::FindChild(XmlNode* parent, const char* name) {
    return parent ? FindNode(parent->pChild, name) : nullptr;
}

const XmlNode* CXml::FindChild(const XmlNode* parent, const char* name) {
    return parent ? FindNode(parent->pChild, name) : nullptr;
}

const XmlAttribute* CXml::FindAttribute(const XmlNode* node, const char* name) {
    if (!node) return nullptr;
    for (const XmlAttribute* a = node->pAttr; a; a = a->pNext)
        if (a->pName && a->pName->Equals(name)) return a;
    return nullptr;
}

void CXml::AppendChild(XmlNode* parent, XmlNode* child) {
    if (!parent || !child) return;
    XmlNode** slot = &parent->pChild;
    while (*slot)
        slot = &(*slot)->pNext;
    *slot = child;
}

void CXml::AppendAttribute(XmlNode* node, XmlAttribute* attr) {
    if (!node || !attr) return;
    XmlAttribute** slot = &node->pAttr;
    while (*slot)
        slot = &(*slot)->pNext;
    *slot = attr;
}
