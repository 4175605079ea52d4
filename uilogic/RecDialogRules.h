// The recording settings dialog without its window: its two lists and the
// check of the record folder.
#pragma once

#include "uilogic/ChoiceList.h"

#include <string>

namespace uilogic {

// Follow the capture settings (0) or widen mono to stereo (1).
ChoiceList RecChannelList(int storedValue, int language);
// How a playing file reaches the recording: not at all (0), as is (1), on the
// left (2) or right (3) channel.
ChoiceList PlayFileList(int storedValue, int language);

enum RecordFolderState {
    RECORD_FOLDER_OK,
    RECORD_FOLDER_EMPTY,        // allowed: records go to the current folder
    RECORD_FOLDER_MISSING,      // nothing of that name, or it is not a folder
    RECORD_FOLDER_NOT_WRITABLE, // a folder, but a file cannot be created in it
};
// Checks a UTF-8 folder by creating and removing a small probe file in it.
RecordFolderState CheckRecordFolder(const std::string& folder);
// What the user is told when OK meets a folder that cannot take recordings,
// naming the folder; empty when the state needs no word (OK, or empty, which
// means the current folder).
std::string RecordFolderMessage(RecordFolderState state, const std::string& folder, int language);

} // namespace uilogic
