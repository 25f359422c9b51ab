#include "core/text_rules.h"

#include <cstring>

namespace quorvik {

std::string errorText(int error) {
    return std::strerror(error);
}

} // namespace quorvik
