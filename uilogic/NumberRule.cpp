#include "uilogic/NumberRule.h"

#include <limits>

namespace uilogic {

int32_t DialogNumber(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool minus = pos < text.size() && text[pos] == '-';
    if (minus) ++pos;
    // One beyond INT32_MAX is the most a negative value needs; stop growing there.
    constexpr int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        if (value > limit) value = limit;
        ++pos;
    }
    if (minus && pos == text.size()) return static_cast<int32_t>(-value);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

} // namespace uilogic
