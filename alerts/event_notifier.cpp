#include "alerts/event_notifier.h"

namespace quorvik {

EventNotifier::~EventNotifier() = default;

} // namespace quorvik
