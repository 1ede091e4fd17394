// Pure parts of the bridge: argument checks, property texts, window placement, registry text.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "bridge/method_arguments.h"
#include "bridge/property_text.h"
#include "bridge/qrx_external.h"
#include "bridge/window_rect.h"
#include "installer/product_detection.h"

namespace {

using namespace downloadmanagercore;

VARIANT Typed(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  v.vt = type;
  return v;
}

TEST(MethodArguments, ChecksInOrderFlagsCountTypes) {
  struct Case {
    WORD flags;
    std::vector<VARTYPE> sent;  // array order (reversed script order)
    UINT named;
    WORD required;
    std::vector<VARTYPE> table;  // script order
    HRESULT hr;
  };
  const Case cases[] = {
      {1, {VT_I4, VT_I4}, 0, 1, {VT_I4, VT_I4}, S_OK},
      {3, {VT_I4, VT_I4}, 0, 1, {VT_I4, VT_I4}, DISP_E_MEMBERNOTFOUND},
      {3, {}, 0, 1, {VT_I4, VT_I4}, DISP_E_MEMBERNOTFOUND},  // flags come before the count
      {1, {VT_I4}, 0, 1, {VT_I4, VT_I4}, DISP_E_BADPARAMCOUNT},
      {1, {VT_R8}, 0, 1, {VT_I4, VT_I4}, DISP_E_BADPARAMCOUNT},  // count before types
      {1, {VT_I4, VT_I4}, 1, 1, {VT_I4, VT_I4}, DISP_E_BADPARAMCOUNT},
      {1, {VT_DISPATCH, VT_BSTR}, 0, 1, {VT_BSTR, VT_DISPATCH}, S_OK},
      {1, {VT_BSTR, VT_DISPATCH}, 0, 1, {VT_BSTR, VT_DISPATCH}, DISP_E_TYPEMISMATCH},
      {1, {VT_BSTR | VT_BYREF}, 0, 1, {VT_BSTR}, DISP_E_TYPEMISMATCH},
      {1, {VT_I2}, 0, 1, {VT_I4}, DISP_E_TYPEMISMATCH},
      {3, {VT_BSTR}, 0, 3, {VT_BSTR}, S_OK},
      {0, {}, 0, 1, {}, DISP_E_MEMBERNOTFOUND},
      {1, {}, 0, 1, {}, S_OK},
  };
  for (const Case& c : cases) {
    std::vector<VARIANT> args;
    for (VARTYPE t : c.sent) args.push_back(Typed(t));
    DISPID named[1] = {0};
    DISPPARAMS params = {args.empty() ? nullptr : args.data(), named, static_cast<UINT>(args.size()), c.named};
    std::initializer_list<VARTYPE> none = {};
    HRESULT hr;
    if (c.table.empty()) {
      hr = CheckMethodArguments(c.flags, params, c.required, none);
    } else if (c.table.size() == 1) {
      hr = CheckMethodArguments(c.flags, params, c.required, {c.table[0]});
    } else {
      hr = CheckMethodArguments(c.flags, params, c.required, {c.table[0], c.table[1]});
    }
    EXPECT_EQ(hr, c.hr) << c.flags << " " << c.sent.size();
  }
}

TEST(MethodArguments, TextStopsAtTheFirstZero) {
  VARIANT v = Typed(VT_BSTR);
  v.bstrVal = SysAllocStringLen(L"ab\0cd", 5);
  EXPECT_EQ(ArgumentText(v), L"ab");
  VariantClear(&v);
  VARIANT null = Typed(VT_BSTR);
  EXPECT_EQ(ArgumentText(null), L"");
}

TEST(PropertyText, Words) {
  EXPECT_STREQ(BoolText(true), L"true");
  EXPECT_STREQ(BoolText(false), L"false");
}

TEST(WindowRect, ScalingTruncatesAndCentres) {
  const RECT work = {0, 0, 1920, 1040};
  struct Case {
    int dpi, width, height;
    RECT expected;
  };
  const Case cases[] = {
      {96, 647, 505, {636, 267, 1283, 772}},
      {144, 647, 505, {475, 141, 475 + 970, 141 + 757}},
      {120, 647, 505, {556, 204, 556 + 808, 204 + 631}},
      {96, 400, 200, {760, 420, 1160, 620}},
      // Larger than the work area: on its left and top edges, beyond the right and bottom.
      {96, 2500, 1200, {0, 0, 2500, 1200}},
  };
  for (const Case& c : cases) {
    const RECT r = ComputeWindowRectFor(c.dpi, c.width, c.height, work, work);
    EXPECT_EQ(r.left, c.expected.left) << c.dpi << " " << c.width;
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
  EXPECT_EQ(ScaleToDpi(647, 120), 808);
  EXPECT_EQ(ScaleToDpi(505, 120), 631);
  EXPECT_EQ(ScaleToDpi(-647, 120), -808) << "toward zero";
  EXPECT_EQ(ScaleToDpi(2147483647, 192), 2147483647) << "kept in range";
  // Script numbers of any size and sign: the 64-bit quotient, truncated toward zero and clamped.
  const int values[] = {INT_MIN, INT_MIN + 1, -2147483, -96 * 65536 - 1, -97, -96, -95, -1, 0, 1, 95, 96, 97,
                        65535, 65536, 96 * 65536 + 95, 2147483, INT_MAX - 1, INT_MAX};
  for (int units : values) {
    for (int dpi : values) {
      const int64_t quotient = static_cast<int64_t>(units) * dpi / 96;
      const int expected = quotient > INT_MAX ? INT_MAX : quotient < INT_MIN ? INT_MIN : static_cast<int>(quotient);
      EXPECT_EQ(ScaleToDpi(units, dpi), expected) << units << " " << dpi;
    }
  }
}

TEST(WindowRect, CentredOnTheReferenceAndKeptInTheWorkArea) {
  struct Case {
    RECT reference, work, expected;
  };
  const Case cases[] = {
      // A work area away from the origin (second monitor, taskbar at the top).
      {{1920, 40, 3200, 1024}, {1920, 40, 3200, 1024}, {2360, 432, 2760, 632}},
      // A reference that would put the window past the right and bottom edges.
      {{900, 900, 1280, 1024}, {0, 0, 1280, 1024}, {880, 824, 1280, 1024}},
  };
  for (const Case& c : cases) {
    const RECT r = ComputeWindowRectFor(96, 400, 200, c.reference, c.work);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
}

TEST(WindowRect, PushedBackInsideAnOffsetWorkArea) {
  // Work area of a second monitor, a reference rectangle near its right edge.
  const RECT work = {1920, 40, 3840, 1080};
  const RECT reference = {3500, 100, 3840, 300};
  const RECT r = CenterOnReference(647, 505, reference, work);
  EXPECT_EQ(r.right, 3840);
  EXPECT_EQ(r.left, 3840 - 647);
  EXPECT_EQ(r.top, 40) << "pushed down to the work area's top";
  EXPECT_EQ(r.bottom, 40 + 505);
}

TEST(StartProperties, DpiSatisfied) {
  EXPECT_TRUE(qrx::DpiSatisfied(144, 1080));
  EXPECT_FALSE(qrx::DpiSatisfied(144, 900));
  EXPECT_TRUE(qrx::DpiSatisfied(120, 100));
  EXPECT_TRUE(qrx::DpiSatisfied(144, 920));
  EXPECT_FALSE(qrx::DpiSatisfied(144, 919));
  EXPECT_TRUE(qrx::DpiSatisfied(143, 0));
}

TEST(RegistryText, NeverReadsOrWritesPastTheBuffer) {
  wchar_t buffer[8];
  for (wchar_t& c : buffer) c = L'x';
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 16), std::wstring(8, L'x')) << "a full buffer, no terminator";
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 400), std::wstring(8, L'x'));
  buffer[3] = L'\0';
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 16), L"xxx");
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 4), L"xx");
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 5), L"xx") << "an odd byte count drops the half character";
  EXPECT_EQ(qrx::RegistryTextFromBuffer(buffer, 8, 0), L"");
}

TEST(RegistryText, ProgramPathHasExactlyOneBackslash) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Program Files\\Halvard", L"C:\\Program Files\\Halvard\\P.exe"},
      {L"C:\\Program Files\\Halvard\\", L"C:\\Program Files\\Halvard\\P.exe"},
      {L"C:\\", L"C:\\P.exe"},
  };
  for (const auto& c : cases) {
    std::wstring path = L"old";
    ASSERT_TRUE(qrx::JoinProgramPath(c.first, L"P.exe", path));
    EXPECT_EQ(path, c.second);
  }
  std::wstring path = L"old";
  EXPECT_FALSE(qrx::JoinProgramPath(std::wstring(300, L'a'), L"P.exe", path));
  EXPECT_EQ(path, L"old");
}

}  // namespace
