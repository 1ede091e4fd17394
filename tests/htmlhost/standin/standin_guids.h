// Identifiers missing from MinGW-w64's import libraries, defined in standin_guids.cpp.
#pragma once

#include <windows.h>

extern "C" const GUID CLSID_HTMLDocument;
extern "C" const GUID CLSID_JScript;
extern "C" const GUID IID_IActiveScriptParse64;
