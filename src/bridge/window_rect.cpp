#include "bridge/window_rect.h"

#include <climits>
#include <cstdint>

namespace downloadmanagercore {

namespace {

// Script numbers can be anything: do the sums wide and keep the result in range.
int ClampToInt(int64_t value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Centres `size` on [refLow, refHigh] inside [workLow, workHigh]; returns the low edge.
int64_t PlaceSpan(int64_t size, int64_t refLow, int64_t refHigh, int64_t workLow, int64_t workHigh) {
  int64_t high = (refLow + refHigh + size) / 2;  // truncates toward zero
  if (high > workHigh) high = workHigh;
  int64_t low = high - size;
  if (low < workLow) low = workLow;
  return low;
}

}  // namespace

int ScaleToDpi(int units, int dpi) { return ClampToInt(static_cast<int64_t>(units) * dpi / 96); }

RECT CenterOnReference(int w, int h, const RECT& reference, const RECT& workArea) {
  const int64_t left = PlaceSpan(w, reference.left, reference.right, workArea.left, workArea.right);
  const int64_t top = PlaceSpan(h, reference.top, reference.bottom, workArea.top, workArea.bottom);
  RECT rect;
  rect.left = ClampToInt(left);
  rect.top = ClampToInt(top);
  rect.right = ClampToInt(left + w);
  rect.bottom = ClampToInt(top + h);
  return rect;
}

RECT ComputeWindowRectFor(int dpi, int width, int height, const RECT& reference, const RECT& workArea) {
  return CenterOnReference(ScaleToDpi(width, dpi), ScaleToDpi(height, dpi), reference, workArea);
}

}  // namespace downloadmanagercore
