// Interface identifiers that MinGW-w64's import libraries lack (or keep in unrelated libraries).
#pragma once

#include <windows.h>

extern "C" {
extern const IID IID_IDispatchEx;
extern const IID IID_IActiveScriptParse64;
extern const GUID CLSID_HTMLDocument;
}
