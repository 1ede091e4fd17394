// What the stand-in document exports to the tests (they find it with GetProcAddress once the
// site has created a document).
#pragma once

#include <windows.h>

// Counters by name: "live", "documents", "hostFlags", "activateMe", "windowContext", "viewShown",
// "offered", "consumed", "alertsShown", "scriptErrors", "sinks", "viewWidth", "viewHeight".
using StandInQueryFunc = LONG (*)(const wchar_t* name);
// Copies the page's log (host.log lines and script errors); returns its full length.
using StandInCopyLogFunc = int (*)(wchar_t* buffer, int size);
// Clears the counters and the log.
using StandInResetFunc = void (*)();
// Sets the current document's ready state and notifies the site.
using StandInSetReadyStateFunc = void (*)(LONG state);

// The environment variable that names a scenario script to run in place of any page loaded
// (for whole-program runs, whose first page is HTML).
#define QRX_STANDIN_SCENARIO_VARIABLE L"QRX_STANDIN_SCENARIO"
