// The process-wide settings object: where the program runs from, where its
// settings file lives, the UI language, the view font and the colour table.
// The settings file "sonvel.ini" is an XML document whose top element is
// `config`; derived classes add their keys to the same element by overriding
// ReadKeys/WriteKeys (calling the base version first).
//
// Used by the UI thread only: the fields are plain values that other threads
// may read but never write.
#pragma once

#include "platform/CString.h"
#include "settings/CXml.h"

#include <cstdint>
#include <string>

class CCommConfig : public CObject {
  public:
    static constexpr int kMaxColors = 2;

    struct ColorPair {
        uint32_t text;       // COLORREF order, 0x00BBGGRR
        uint32_t background; // COLORREF order, 0x00BBGGRR
    };
    struct ColorName {
        const char* english;
        const char* japanese; // UTF-8
        int32_t flag1;
        int32_t flag2;
    };

    CCommConfig();
    ~CCommConfig() override;
    CCommConfig(const CCommConfig&) = delete;
    CCommConfig& operator=(const CCommConfig&) = delete;

    // Identity; this class has none. Texts are UTF-8. Language 1 is Japanese,
    // anything else English.
    virtual const char* GetVersion() { return "0.0.0.0"; }
    virtual const char* GetTitle(int language);
    virtual int GetMenuResource(int language);
    virtual const char* GetHelpUrl(int language);
    virtual const char* GetProductUrl(int language);
    // The resource id handed to the platform's loaders for a numeric id, 0 when
    // the program has no such resource.
    virtual int GetResource(int id);

    // Sets the identity and locates the files; empty in this class.
    virtual int Initialise() { return 1; }
    // Reads the settings file: 1 when a document was read and applied, else 0
    // (the current values stay). A missing file is restored from the per-user
    // copy when that copy is readable.
    virtual int Load();
    // Writes the settings file: 1 when every byte reached it, else 0. The file is
    // written beside itself first and replaces the old one only when complete.
    // While an unreadable settings file is being kept, Save writes nothing (and
    // answers 0) until some value differs from what was in effect after Load.
    virtual int Save();
    virtual int InitialiseAndLoad() { return Initialise(); }
    // Copies the settings file into the per-user folder: 1 on success.
    virtual int BackupSettings();
    // Applies the keys of this class from the parsed top-level element list.
    virtual void ReadKeys(CXml& xml, const XmlNode* top);
    // Appends (or reuses) `config` under `root` and adds this class's keys.
    virtual void WriteKeys(CXml& xml, XmlNode* root);

    // The text Save would write now (UTF-8 XML), empty when it cannot be built.
    std::string BuildDocument();
    // True while an unreadable settings file is protected from being overwritten.
    bool IsKeepingUnreadableFile() const { return m_bKeepUnreadable; }
    // True when the last Load found the settings file damaged and took from it
    // what could be read.
    bool WasReadInPart() const { return m_bReadInPart; }
    // The per-user copy of the settings file.
    std::string UserCopyPath() const;
    // Where a data file of the program (the effect chain) belongs: the current
    // folder, unless the program cannot write there (an installed copy started
    // in its protected program folder); then the per-user folder.
    std::string DataFilePath(const char* name) const;
    // The settings file's place: the current folder's file when one can be read
    // there; else the file beside the program, unless the program's folder
    // cannot be written (an installed copy), in which case the per-user folder
    // holds it. `readable` and `writable` ask the file system (tests replace them).
    struct SettingsPlace {
        std::string file;
        bool perUser = false;
    };
    static SettingsPlace ChooseSettingsFile(const std::string& current, const std::string& app,
                                            const std::string& userFolder, const std::string& name,
                                            bool (*readable)(const std::string&),
                                            bool (*writable)(const std::string&));

    // ---------------------------------------------------------------- fields
    CString m_MainWindowClass;
    CString m_ChildWindowClass;
    CString m_ControlItemWindowClass;
    CString m_MdiClientWindowClass;

    CString m_CurrentPath; // process current directory at construction
    CString m_AppPath;     // folder of the executable
    CString m_IniFile;     // full path of the settings file
    CString m_IniFileName; // "sonvel.ini"
    CString m_UserFolder;  // per-user folder, empty when unknown

    int32_t m_Language = 0;         // UI language in use: 0 English, 1 Japanese
    int32_t m_LanguageSetting = -1; // `language`; -1: not chosen yet
    CString m_FontName;             // `font_name`; empty: built-in default
    int32_t m_FontSize = 0;         // `font_size`; 0: built-in default
    CString m_TempPath;             // `temp_path`
    int32_t m_LogEnabled = 0;       // `log_enabled`
    CString m_LogPath;              // `log_path`
    int32_t m_ViewToolbar = 1;      // `view_toolbar`
    int32_t m_ViewStatusbar = 1;    // `view_statusbar`

    int32_t m_ColorCount = kMaxColors;
    ColorPair m_DefaultColors[kMaxColors];
    ColorPair m_Colors[kMaxColors];
    ColorName m_ColorNames[kMaxColors];

    int32_t m_HasToolbar = 0;   // whether the frame has a toolbar at all
    int32_t m_HasStatusbar = 0; // whether the frame has a status bar at all

  protected:
    // Chooses the settings file (current folder before the executable's folder)
    // and the per-user folder, creating the latter when missing.
    void LocateFiles();
    // A key of `config`. In an intact document a missing element (or one
    // without text) gives `missing`; in a damaged, partly read document the
    // value stays `current`, since the key may have been lost with the damage.
    int ReadInt(CXml& xml, const XmlNode* config, const char* name, int missing, int current) const;
    CString ReadText(const XmlNode* config, const char* name, const CString& missing,
                     const CString& current) const;
    // Set while ReadKeys applies a partly read document.
    bool m_bDamagedDocument = false;

  private:
    enum class ReadResult { Missing, Unreadable, Applied };
    ReadResult ReadFile(const std::string& path, std::string* bytes);
    bool ApplyText(const std::string& bytes);
    bool WriteWhole(const std::string& path, const std::string& text);

    bool m_bKeepUnreadable = false;
    bool m_bReadInPart = false;
    bool m_bLastTextDamaged = false; // set by ApplyText
    bool m_bPerUserSettings = false;
    std::string m_LoadedDocument; // what Save would have written right after Load
};
