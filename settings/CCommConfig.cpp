#include "settings/CCommConfig.h"

#include "platform/Platform.h"

#include <cstdio>
#include <vector>

namespace {

constexpr CCommConfig::ColorPair kDefaultColors[CCommConfig::kMaxColors] = {
    {0x000000, 0xFFFFFF},
    {0xC8C8C8, 0xFFFFFF},
};
constexpr CCommConfig::ColorName kColorNames[CCommConfig::kMaxColors] = {
    {"Text Color (Normal)", "通常のテキスト表示", 0, 0},
    {"Line Color", "罫線の色", 1, 1},
};

// Larger settings files are not ours; reading them whole would only waste memory.
constexpr int64_t kMaxSettingsBytes = 64 * 1024 * 1024;

void AddKey(CXml& xml, XmlNode* parent, const char* name, const char* text) {
    CXml::AppendChild(parent, xml.CreateNode(name, text));
}

void AddIntKey(CXml& xml, XmlNode* parent, const char* name, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    AddKey(xml, parent, name, text);
}

} // namespace

CCommConfig::CCommConfig() {
    m_CurrentPath = CString(plat::CurrentDirectory());
    m_AppPath = CString(plat::ModuleDirectory());
    m_IniFileName = "sonvel.ini";
    m_TempPath = m_CurrentPath;
    m_LogPath = m_CurrentPath;
    for (int i = 0; i < kMaxColors; ++i) {
        m_DefaultColors[i] = kDefaultColors[i];
        m_Colors[i] = kDefaultColors[i];
        m_ColorNames[i] = kColorNames[i];
    }
    plat::Trace("current_path = %s\n", m_CurrentPath.c_str());
    plat::Trace("app_path     = %s\n", m_AppPath.c_str());
}

CCommConfig::~CCommConfig() = default;

const char* CCommConfig::GetTitle(int) {
    return "";
}
int CCommConfig::GetMenuResource(int) {
    return 0;
}
const char* CCommConfig::GetHelpUrl(int) {
    return "";
}
const char* CCommConfig::GetProductUrl(int) {
    return "";
}
int CCommConfig::GetResource(int) {
    return 0;
}

CCommConfig::SettingsPlace CCommConfig::ChooseSettingsFile(const std::string& current, const std::string& app,
                                                           const std::string& userFolder,
                                                           const std::string& name,
                                                           bool (*readable)(const std::string&),
                                                           bool (*writable)(const std::string&)) {
    SettingsPlace place;
    std::string inCurrent = plat::JoinPath(current, name);
    if (readable(inCurrent)) {
        place.file = inCurrent;
        return place;
    }
    // Installed under Program Files, the program's folder is read-only for the
    // user: settings written beside the program would be lost at every exit.
    if (!userFolder.empty() && !writable(app)) {
        place.file = plat::JoinPath(userFolder, name);
        place.perUser = true;
        return place;
    }
    place.file = plat::JoinPath(app, name);
    return place;
}

void CCommConfig::LocateFiles() {
    std::string data = plat::UserDataDirectory();
    if (!data.empty()) {
        std::string folder = plat::JoinPath(plat::JoinPath(data, "Vexalabs"), "sonvel");
        m_UserFolder = CString(folder);
        // Parents too: on a fresh account the maker's folder does not exist yet.
        if (!plat::IsDirectory(folder.c_str())) plat::MakeDirectories(folder.c_str());
    }
    auto readable = [](const std::string& path) {
        plat::FileHandle h = plat::FileOpenRead(path.c_str());
        if (h) plat::FileClose(h);
        return h != nullptr;
    };
    auto writable = [](const std::string& folder) { return plat::IsWritableDirectory(folder); };
    SettingsPlace place = ChooseSettingsFile(m_CurrentPath.Str(), m_AppPath.Str(), m_UserFolder.Str(),
                                             m_IniFileName.Str(), readable, writable);
    m_IniFile = CString(place.file);
    m_bPerUserSettings = place.perUser;
    plat::Trace("ini_file = %s\n", m_IniFile.c_str());
}

std::string CCommConfig::DataFilePath(const char* name) const {
    if (!m_UserFolder.IsEmpty() && !plat::IsWritableDirectory(m_CurrentPath.Str()))
        return plat::JoinPath(m_UserFolder.Str(), name);
    return plat::JoinPath(m_CurrentPath.Str(), name);
}

std::string CCommConfig::UserCopyPath() const {
    if (m_UserFolder.IsEmpty()) return {};
    return plat::JoinPath(m_UserFolder.Str(), m_IniFileName.Str());
}

CCommConfig::ReadResult CCommConfig::ReadFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    if (path.empty()) return ReadResult::Missing;
    plat::FileHandle h = plat::FileOpenRead(path.c_str());
    if (!h) return plat::PathExists(path.c_str()) ? ReadResult::Unreadable : ReadResult::Missing;
    uint64_t size = 0;
    bool ok = plat::FileSize(h, &size) && size <= static_cast<uint64_t>(kMaxSettingsBytes);
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = size == 0 ||
             plat::FileRead(h, bytes->data(), static_cast<uint32_t>(size)) == static_cast<int64_t>(size);
    }
    plat::FileClose(h);
    if (!ok) return ReadResult::Unreadable;
    return ApplyText(*bytes) ? ReadResult::Applied : ReadResult::Unreadable;
}

bool CCommConfig::ApplyText(const std::string& bytes) {
    CXml xml;
    XmlNode* top = xml.Parse(bytes.c_str(), static_cast<uint32_t>(bytes.size()));
    if (!top) return false;
    m_bDamagedDocument = xml.IsDamaged() != 0;
    m_bLastTextDamaged = m_bDamagedDocument;
    if (m_bDamagedDocument) plat::Trace("settings file damaged, read in part\n");
    ReadKeys(xml, top);
    m_bDamagedDocument = false;
    xml.FreeNodes(top);
    return true;
}

int CCommConfig::Load() {
    m_bKeepUnreadable = false;
    m_bReadInPart = false;
    m_LoadedDocument.clear();
    std::string bytes;
    m_bLastTextDamaged = false;
    ReadResult result = ReadFile(m_IniFile.Str(), &bytes);
    m_bReadInPart = result == ReadResult::Applied && m_bLastTextDamaged;
    if (result == ReadResult::Applied) return 1;

    // The settings file is missing or damaged: fall back on the per-user copy.
    // A damaged file is left alone (it may still be repaired by hand) and kept
    // from being overwritten until the user changes a setting.
    std::string copyPath = UserCopyPath();
    std::string copy;
    bool fromCopy = false;
    if (result == ReadResult::Missing) {
        fromCopy = ReadFile(copyPath, &copy) == ReadResult::Applied;
        if (fromCopy) WriteWhole(m_IniFile.Str(), copy);
    } else {
        plat::Trace("settings file unreadable, kept: %s\n", m_IniFile.c_str());
        fromCopy = ReadFile(copyPath, &copy) == ReadResult::Applied;
        m_bKeepUnreadable = true;
        m_LoadedDocument = BuildDocument();
    }
    return fromCopy ? 1 : 0;
}

std::string CCommConfig::BuildDocument() {
    CXml xml;
    XmlNode* root = xml.CreateNode("root");
    if (!root) return {};
    WriteKeys(xml, root);
    std::string text;
    char* buffer = xml.Serialize(root->pChild);
    if (buffer) text = buffer;
    CXml::FreeBuffer(buffer);
    xml.FreeNodes(root);
    return text;
}

bool CCommConfig::WriteWhole(const std::string& path, const std::string& text) {
    if (path.empty() || text.size() >= UINT32_MAX) return false;
    std::string temporary = path + ".tmp";
    plat::FileHandle h = plat::FileCreate(temporary.c_str(), true);
    if (!h) return false;
    bool ok = plat::FileWrite(h, text.data(), static_cast<uint32_t>(text.size())) ==
              static_cast<int64_t>(text.size());
    ok = plat::FileFlush(h) && ok;
    plat::FileClose(h);
    // Only a complete file may take the place of the old one.
    if (!ok || !plat::ReplaceFileWith(temporary.c_str(), path.c_str())) {
        plat::RemoveFile(temporary.c_str());
        return false;
    }
    return true;
}

int CCommConfig::Save() {
    std::string text = BuildDocument();
    if (text.empty()) return 0;
    if (m_bKeepUnreadable) {
        if (text == m_LoadedDocument) return 0;
        m_bKeepUnreadable = false;
        m_LoadedDocument.clear();
    }
    return WriteWhole(m_IniFile.Str(), text) ? 1 : 0;
}

int CCommConfig::BackupSettings() {
    if (m_bKeepUnreadable) return 0; // never replace a good copy by a damaged file
    std::string copyPath = UserCopyPath();
    if (copyPath.empty()) return 0;
    if (m_bPerUserSettings) return 1; // the settings file is that copy
    std::string bytes;
    if (ReadFile(m_IniFile.Str(), &bytes) != ReadResult::Applied) return 0;
    return WriteWhole(copyPath, bytes) ? 1 : 0;
}

int CCommConfig::ReadInt(CXml& xml, const XmlNode* config, const char* name, int missing, int current) const {
    const XmlNode* node = CXml::FindChild(config, name);
    if (m_bDamagedDocument && (!node || !node->pText)) return current;
    return xml.GetInt(node, missing);
}

CString CCommConfig::ReadText(const XmlNode* config, const char* name, const CString& missing,
                              const CString& current) const {
    const XmlNode* node = CXml::FindChild(config, name);
    if (m_bDamagedDocument && (!node || !node->pText)) return current;
    if (!node) return missing;
    return node->pText ? *node->pText : CString();
}

void CCommConfig::ReadKeys(CXml& xml, const XmlNode* top) {
    const XmlNode* config = CXml::FindNode(top, "config");
    if (!config) return;
    m_LanguageSetting = ReadInt(xml, config, "language", -1, m_LanguageSetting);
    m_FontName = ReadText(config, "font_name", CString(), m_FontName);
    m_FontSize = ReadInt(xml, config, "font_size", 0, m_FontSize);
    m_TempPath = ReadText(config, "temp_path", m_CurrentPath, m_TempPath);
    m_LogEnabled = ReadInt(xml, config, "log_enabled", 0, m_LogEnabled);
    m_LogPath = ReadText(config, "log_path", m_CurrentPath, m_LogPath);
    m_ViewToolbar = ReadInt(xml, config, "view_toolbar", 1, m_ViewToolbar);
    m_ViewStatusbar = ReadInt(xml, config, "view_statusbar", 1, m_ViewStatusbar);

    const XmlNode* colors = CXml::FindChild(config, "colors");
    if (!colors) return;
    for (const XmlNode* c = colors->pChild; c; c = c->pNext) {
        if (!c->pName || !c->pName->Equals("color")) continue;
        int index = xml.GetInt(CXml::FindChild(c, "index"), m_ColorCount);
        if (index < 0 || index >= m_ColorCount || index >= kMaxColors) continue;
        m_Colors[index].text = static_cast<uint32_t>(
            xml.GetInt(CXml::FindChild(c, "text"), static_cast<int>(m_DefaultColors[index].text)));
        m_Colors[index].background = static_cast<uint32_t>(xml.GetInt(
            CXml::FindChild(c, "background"), static_cast<int>(m_DefaultColors[index].background)));
    }
}

void CCommConfig::WriteKeys(CXml& xml, XmlNode* root) {
    if (!root) return;
    XmlNode* config = CXml::FindChild(root, "config");
    if (!config) {
        config = xml.CreateNode("config");
        if (!config) return;
        CXml::AppendChild(root, config);
    }
    AddIntKey(xml, config, "language", m_LanguageSetting);
    AddKey(xml, config, "font_name", m_FontName.c_str());
    AddIntKey(xml, config, "font_size", m_FontSize);
    AddKey(xml, config, "temp_path", m_TempPath.c_str());
    AddIntKey(xml, config, "log_enabled", m_LogEnabled);
    AddKey(xml, config, "log_path", m_LogPath.c_str());
    AddIntKey(xml, config, "view_toolbar", m_ViewToolbar);
    AddIntKey(xml, config, "view_statusbar", m_ViewStatusbar);

    XmlNode* colors = xml.CreateNode("colors");
    if (!colors) return;
    CXml::AppendChild(config, colors);
    for (int i = 0; i < m_ColorCount && i < kMaxColors; ++i) {
        XmlNode* color = xml.CreateNode("color");
        if (!color) continue;
        CXml::AppendChild(colors, color);
        AddIntKey(xml, color, "index", i);
        AddIntKey(xml, color, "text", static_cast<int>(m_Colors[i].text));
        AddIntKey(xml, color, "background", static_cast<int>(m_Colors[i].background));
    }
}
