// The analytics document sent at the start and at the end of a run.
#pragma once

#include <string>

#include "reporting/session_info.h"

namespace qrx {

constexpr int kStatusTextCount = 5;
// Report texts of the run's status, indexed as BuildAnalyticsDocument chooses.
extern const wchar_t* const kStatusTexts[kStatusTextCount];

// Index into kStatusTexts: "started" for a start report, otherwise the status, with NotStart
// reported as canceled.
int StatusTextIndex(int status, bool started);
// `text` with "&", "<" and ">" written as character entities.
std::wstring EscapeElementText(const std::wstring& text);
// The one-line XML document describing the run.
std::wstring BuildAnalyticsDocument(const SessionInfo& info, bool started);
// Sends the document's UTF-8 bytes as a POST to the analytics path.
bool SendAnalytics(const SessionInfo& info, bool started);

}  // namespace qrx
