#include "core/text_rules.h"

#include <cstring>

namespace quorvik {

// strerror_r, as the receiver thread reports errors too (strerror's buffer
// is shared); glibc's variant returns its text rather than an int.
std::string errorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

} // namespace quorvik
