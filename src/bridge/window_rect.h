// Where the host window goes for a page size: DPI scaling and centring on a work area.
#pragma once

#include <windows.h>

namespace downloadmanagercore {

// Page units at 96 DPI to pixels at `dpi`, truncating toward zero.
int ScaleToDpi(int units, int dpi);

// An outer size of w x h centred on `reference`, pushed back inside `workArea` at the right and
// bottom first, then at the left and top (so a window larger than the work area sits on its left
// and top edges).
RECT CenterOnReference(int w, int h, const RECT& reference, const RECT& workArea);

// The outer rectangle for a popup window (no frame) of page size width x height.
RECT ComputeWindowRectFor(int dpi, int width, int height, const RECT& reference, const RECT& workArea);

}  // namespace downloadmanagercore
