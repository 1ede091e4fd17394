// The analytics document sent at the start and at the end of a run.
#pragma once

#include "app/session_info.h"

namespace qrx {

bool SendAnalytics(const SessionInfo& info, bool started);

}  // namespace qrx
