// A drop-down list as the dialogs fill it: its lines, the value each line
// stands for and which line starts selected.
#pragma once

#include <string>
#include <vector>

namespace uilogic {

constexpr int NO_SELECTION = -1;
constexpr int LANGUAGE_JAPANESE = 1;

struct ListLine {
    std::string text; // UTF-8
    int value;
};

struct ChoiceList {
    std::vector<ListLine> lines;
    int selection = NO_SELECTION;
    bool enabled = true;
};

// The line whose value equals `value`, or NO_SELECTION.
int LineOfValue(const std::vector<ListLine>& lines, int value);
// What OK stores: the selected line's value, or `oldValue` when nothing is
// selected (a stored value the list cannot show survives the dialog).
int ValueToStore(const ChoiceList& list, int selection, int oldValue);

} // namespace uilogic
