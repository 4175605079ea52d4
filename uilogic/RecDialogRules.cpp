#include "uilogic/RecDialogRules.h"

#include "platform/Platform.h"

namespace uilogic {

namespace {

ChoiceList Select(std::vector<ListLine> lines, int storedValue) {
    ChoiceList list;
    list.lines = std::move(lines);
    list.selection = LineOfValue(list.lines, storedValue);
    return list;
}

} // namespace

ChoiceList RecChannelList(int storedValue, int language) {
    if (language == LANGUAGE_JAPANESE)
        return Select({{"キャプチャの設定に従う", 0}, {"mono(1ch) → stereo(2ch)", 1}}, storedValue);
    return Select({{"Follow capture settings", 0}, {"mono(1ch) to stereo(2ch)", 1}}, storedValue);
}

ChoiceList PlayFileList(int storedValue, int language) {
    if (language == LANGUAGE_JAPANESE)
        return Select(
            {{"録音しない", 0}, {"そのまま録音する", 1}, {"L-chに録音する", 2}, {"R-chに録音する", 3}},
            storedValue);
    return Select({{"Do not record", 0}, {"Record as is", 1}, {"Record on L-ch", 2}, {"Record on R-ch", 3}},
                  storedValue);
}

RecordFolderState CheckRecordFolder(const std::string& folder) {
    if (folder.empty()) return RECORD_FOLDER_EMPTY;
    if (!plat::IsDirectory(folder.c_str())) return RECORD_FOLDER_MISSING;
    return plat::IsWritableDirectory(folder) ? RECORD_FOLDER_OK : RECORD_FOLDER_NOT_WRITABLE;
}

std::string RecordFolderMessage(RecordFolderState state, const std::string& folder, int language) {
    const bool ja = language == LANGUAGE_JAPANESE;
    switch (state) {
    case RECORD_FOLDER_MISSING:
        return ja ? "保存先フォルダが見つかりません。\n\n" + folder +
                        "\n\n存在するフォルダを指定してください。"
                  : "The save folder does not exist.\n\n" + folder + "\n\nPlease choose an existing folder.";
    case RECORD_FOLDER_NOT_WRITABLE:
        return ja ? "保存先フォルダに書き込めません。\n\n" + folder +
                        "\n\n書き込みのできるフォルダを指定してください。"
                  : "The save folder cannot be written to.\n\n" + folder +
                        "\n\nPlease choose a folder you can write to.";
    case RECORD_FOLDER_OK:
    case RECORD_FOLDER_EMPTY:
        break;
    }
    return {};
}

} // namespace uilogic
