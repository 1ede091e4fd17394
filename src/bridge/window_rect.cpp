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

// value / 96, truncated toward zero, by long division in 16-bit steps: on i686 a 64-bit '/' calls
// the compiler's division helper (0.4 KB with its tables) for this one use.
int64_t DivideBy96(int64_t value) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  uint64_t quotient = 0;
  uint32_t carry = 0;
  for (int shift = 48; shift >= 0; shift -= 16) {
    const uint32_t part = (carry << 16) | static_cast<uint32_t>((magnitude >> shift) & 0xFFFF);
    quotient = (quotient << 16) | (part / 96);
    carry = part % 96;
  }
  // A product of two ints has a magnitude of at most 2^62: the quotient fits.
  return negative ? -static_cast<int64_t>(quotient) : static_cast<int64_t>(quotient);
}

}  // namespace

int ScaleToDpi(int units, int dpi) { return ClampToInt(DivideBy96(static_cast<int64_t>(units) * dpi)); }

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
