#include "uilogic/ChoiceList.h"

namespace uilogic {

int LineOfValue(const std::vector<ListLine>& lines, int value) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].value == value) return static_cast<int>(i);
    return NO_SELECTION;
}

int ValueToStore(const ChoiceList& list, int selection, int oldValue) {
    if (!list.enabled || selection < 0 || selection >= static_cast<int>(list.lines.size())) return oldValue;
    return list.lines[static_cast<size_t>(selection)].value;
}

} // namespace uilogic
