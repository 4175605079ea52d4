// The small XML dialect of the settings file and the effect-chain file: a
// declaration, elements, quoted attributes, one text per element, comments and
// the five predefined entities. No processing instructions besides the
// declaration, no CDATA, no character references, no namespaces.
//
// File input and output are the caller's: read the whole file into a buffer,
// Parse it, walk the tree through the pointers; to save, build a tree with
// CreateNode/CreateAttribute, Serialize it and write the answered bytes.
// One CXml is used by one thread. Nothing throws.
//
// Who owns what. A parsed tree belongs to the CXml that read it: its nodes,
// attributes and strings live in that document's own blocks, and equal names,
// values and texts of one document are one shared string. Read them; never
// delete them; writing through one changes every node that shares it. To
// change a field, point it at a new CString or a created node: FreeNodes
// deletes those as before. Free a parsed tree, or any part of it, with
// FreeNodes of the CXml that read it, while that CXml lives; whatever of it is
// still held when the CXml goes, goes with it. A document's memory comes back
// when its last node has been freed. Created nodes and attributes are
// allocations of their own, as are the strings callers put in; they may be
// linked into a parsed tree and go with it.
#pragma once

#include "platform/CString.h"

#include <cstdint>

class CXmlArena;

// An attribute of an element, owned by the element's pAttr list.
struct XmlAttribute {
    XmlAttribute* pNext = nullptr;
    CString* pName = nullptr;
    CString* pValue = nullptr; // null when the value had no text
};

// An element. Owned by its parent's child list, or by the caller for the first
// top-level node (which owns its siblings).
struct XmlNode {
    XmlNode* pNext = nullptr;      // next sibling
    XmlNode* pChild = nullptr;     // first child element
    XmlAttribute* pAttr = nullptr; // first attribute
    CString* pName = nullptr;
    CString* pText = nullptr; // null when the element has no text
    // Set only on the first top-level node of a parsed document: the encoding
    // named by its declaration. Serialize looks at the node it is given.
    CString* pEncoding = nullptr;
};

class CXml {
  public:
    // Elements nested deeper than this are refused: Parse answers null.
    static constexpr int kMaxDepth = 256;

    CXml() = default;
    virtual ~CXml();
    CXml(const CXml&) = delete;
    CXml& operator=(const CXml&) = delete;

    // Parses `length` bytes. Answers the first top-level element (the others
    // chained through pNext), or null when the buffer is null or empty, the
    // declaration is missing or bad, the first element does not parse, or the
    // elements nest deeper than kMaxDepth. Malformed input after the first
    // element gives a partial tree. The caller frees the result with FreeNodes
    // of this CXml (see above).
    XmlNode* Parse(const char* buffer, uint32_t length);

    // A new element named `name` with `text` when given (null: no text); null
    // when an allocation failed. The caller links it into a tree.
    XmlNode* CreateNode(const wchar_t* name, const wchar_t* text = nullptr);
    XmlNode* CreateNode(const char* utf8Name, const char* utf8Text = nullptr);
    // A new attribute; `value` null leaves pValue null.
    XmlAttribute* CreateAttribute(const wchar_t* name, const wchar_t* value);
    XmlAttribute* CreateAttribute(const char* utf8Name, const char* utf8Value);

    // Serialises `node`, its siblings and their subtrees as UTF-8 into a new
    // NUL-terminated buffer (write strlen() bytes of it); free it with
    // FreeBuffer. Null only when no buffer at all could be allocated.
    char* Serialize(const XmlNode* node);
    static void FreeBuffer(char* buffer);

    // Frees `node`, its siblings, their attributes, children and strings:
    // created ones are deleted, parsed ones go back to their document.
    void FreeNodes(XmlNode* node);

    // The node's text as a decimal integer: `def` for no node or no text; 0 for
    // a text of only blanks and a sign; `def` when any other character follows.
    int GetInt(const XmlNode* node, int def);

    // Helpers for walking and building trees.
    // First element named `name` in the sibling list starting at `first`.
    static XmlNode* FindNode(XmlNode* first, const char* name);
    static const XmlNode* FindNode(const XmlNode* first, const char* name);
    // First child of `parent` named `name`.
    static XmlNode* FindChild(XmlNode* parent, const char* name);
    static const XmlNode* FindChild(const XmlNode* parent, const char* name);
    static const XmlAttribute* FindAttribute(const XmlNode* node, const char* name);
    // Appends at the end of the parent's child list / the node's attribute list.
    static void AppendChild(XmlNode* parent, XmlNode* child);
    static void AppendAttribute(XmlNode* node, XmlAttribute* attr);

    // Code page of the last parsed document: 65001 (UTF-8) or 932 (Shift-JIS).
    uint32_t GetCodePage() const { return m_CodePage; }
    // 1 when the last Parse had to leave something out: a failed element or
    // text, an element never closed, a wrong end tag, bytes after the last
    // element. Such a tree is partial.
    int IsDamaged() const { return m_Damaged; }
    // Parsed documents of which some node is still in use.
    int GetDocumentCount() const;

  private:
    uint32_t m_CodePage = 65001;
    int32_t m_Damaged = 0;
    CXmlArena* m_pDocuments = nullptr; // parsed documents still in use, the newest first
};
