// The locale rule is portable so that the tests of every build can check it.
#include "platform/Platform.h"

namespace plat {

bool PosixLocaleIsJapanese(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* name = nullptr;
    for (const char* v : {lcAll, lcMessages, lang}) {
        if (v && *v) {
            name = v;
            break;
        }
    }
    if (!name || name[0] != 'j' || name[1] != 'a') return false;
    const char next = name[2];
    return next == '\0' || next == '_' || next == '.' || next == '@';
}

} // namespace plat
