// Storage of one parsed XML document. Its nodes, attributes and strings are cut
// from a few large blocks instead of being one allocation each, and go all
// together: when the document's last node has been freed, or with the CXml
// that read it. Equal names, values and texts of one document share a single
// string, so a tree of a million alike elements costs little more than its
// nodes. Used by CXml only, on its thread.
#pragma once

#include "platform/CString.h"

#include <cstddef>
#include <cstdint>

struct XmlNode;
struct XmlAttribute;

class CXmlArena {
  public:
    CXmlArena();
    ~CXmlArena();
    CXmlArena(const CXmlArena&) = delete;
    CXmlArena& operator=(const CXmlArena&) = delete;

    // An empty node or attribute counted as in use; null when memory ran out.
    XmlNode* NewNode();
    XmlAttribute* NewAttribute();
    // The document's string holding these bytes: while the document is read,
    // equal bytes answer the same string. Null when memory ran out or the text
    // is too long for a string.
    CString* String(const char* bytes, size_t length);
    // The document is read: the table that finds equal strings goes, the
    // strings stay.
    void EndReading();

    bool Holds(const XmlNode* node) const { return m_Nodes.Holds(node); }
    bool Holds(const XmlAttribute* attr) const { return m_Attributes.Holds(attr); }
    bool Holds(const CString* s) const { return m_Strings.Holds(s); }
    // A node or attribute of this document is no longer in use. Its memory
    // comes back with the rest of the document's.
    void Release() {
        if (m_InUse > 0) --m_InUse;
    }
    size_t InUse() const { return m_InUse; }

    // The owning CXml's list of documents.
    CXmlArena* m_pNext = nullptr;

  private:
    // Blocks that hand out memory front to back and are freed only all
    // together. They grow from small (settings files) to about a megabyte.
    class Blocks {
      public:
        explicit Blocks(size_t alignment) : m_Alignment(alignment) {}
        ~Blocks();
        Blocks(const Blocks&) = delete;
        Blocks& operator=(const Blocks&) = delete;
        void* Take(size_t size);
        bool Holds(const void* p) const;
        // Calls f(begin, end) for the used part of every block.
        template <class F> void ForEachUsed(F f) const;

      private:
        struct Block;
        Block* m_pFirst = nullptr; // the newest first
        size_t m_NextSize = 4096;
        size_t m_Alignment;
        mutable const Block* m_pLastHit = nullptr; // walks of a tree meet one block after another
    };

    bool Grow();

    Blocks m_Nodes;
    Blocks m_Attributes;
    Blocks m_Strings; // CString objects, destroyed with the document
    Blocks m_Bytes;   // their characters
    size_t m_InUse = 0;
    // Open-addressed table of the strings made while reading, by their bytes.
    CString** m_pTable = nullptr;
    size_t m_TableSize = 0; // a power of two, or 0
    size_t m_TableCount = 0;
};
