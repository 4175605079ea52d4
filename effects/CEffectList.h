// The list of effect entries behind the chain and its file "sonvel.xml".
//
// Position r of the list is chain position r. LoadEffectList reads the file into
// the list (invalid entries are dropped one by one; gaps are closed);
// SaveEffectList writes the list back. A run that never loaded or edited the
// list does not write, so a stored chain is never replaced by an empty one; the
// file is written to a temporary file that replaces the old one only once
// complete. UI thread only; no lock.
#pragma once

#include "effects/EffectItem.h"
#include "platform/CString.h"
#include "settings/CXml.h"

class CEffectManager;

class CEffectList {
  public:
    static constexpr int32_t MAX_ITEMS = 10;
    static constexpr const char* DEFAULT_FILE = "sonvel.xml";
    // Larger files are not chain files; reading them would only cost memory.
    static constexpr uint64_t MAX_FILE_BYTES = 4u << 20;

    CEffectList() = default;
    ~CEffectList();
    CEffectList(const CEffectList&) = delete;
    CEffectList& operator=(const CEffectList&) = delete;

    // Replaces the list by the file's valid entries. 1 when the file could be
    // opened, else 0 (the list is then empty).
    int LoadEffectList(const CString& path = DEFAULT_FILE);
    // Loads from a buffer of `length` bytes, as read from a file (for tests and the fuzzer).
    void LoadFromText(const char* text, uint32_t length);
    // Writes the list when it was loaded or edited in this run. 1 when the file
    // was written; 0 when there was nothing to save or it could not be written
    // (the old file is then untouched).
    int SaveEffectList(const CString& path = DEFAULT_FILE);
    // The document SaveEffectList writes.
    std::string BuildDocument();

    EffectItem* GetItem(int32_t position) const;
    int32_t GetCount() const;
    // True when the last load dropped an entry or found no readable document.
    bool HadDroppedEntries() const { return m_bDropped; }

    // Editing; each marks the list as edited.
    // A new entry of `type` with the table's parameter set, inserted at
    // `position` (entries behind move up) or appended for a position < 0 or
    // past the end. Null when the list is full or the type unknown.
    EffectItem* InsertItem(int32_t position, int32_t type);
    void RemoveItem(int32_t position);
    void MoveItem(int32_t from, int32_t to);
    void SetValue(int32_t position, int32_t index, int32_t value);
    void SetEnabled(int32_t position, int32_t on);
    void Clear();

    // Builds the running chain from the list: AddEffect and SetEffectEnable for
    // every entry, position by position, as an editor does when it opens.
    void ApplyTo(CEffectManager& manager, int32_t sampleRate) const;

    // The number rule of the file: blanks and tabs, an optional "-", then only
    // digits (none reads as 0). False for any other character or a number
    // outside 32 bits.
    static bool ParseNumber(const char* text, int32_t* out);
    // Attribute values: the digits before the first other character count.
    static bool ParseLeadingNumber(const char* text, int32_t* out);

  private:
    EffectItem* ReadItem(const XmlNode* item);

    EffectItem* m_Items[MAX_ITEMS] = {};
    bool m_bLoaded = false;
    bool m_bEdited = false;
    bool m_bDropped = false;
    CXml m_Xml;
};
