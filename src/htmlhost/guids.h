// Identifiers defined in guids.cpp.
#pragma once

#include <windows.h>

extern "C" const GUID CLSID_HTMLDocument;
