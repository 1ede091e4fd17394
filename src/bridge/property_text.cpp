#include "bridge/property_text.h"

namespace downloadmanagercore {

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

}  // namespace downloadmanagercore
