// The zip layer's buffers: growth keeps what is there, and a size that cannot be allocated is a
// failed call that leaves the contents as they were (the shipped build cannot catch bad_alloc).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "zip/nothrow_array.h"

namespace {

std::string Text(const qrx::NothrowArray<char>& array) { return std::string(array.data(), array.size()); }

TEST(NothrowArray, AppendsGrowAndKeepEarlierValues) {
  qrx::NothrowArray<char> array;
  EXPECT_TRUE(array.empty());
  EXPECT_TRUE(array.Append("", 0));
  EXPECT_EQ(array.data(), nullptr);  // nothing allocated for nothing
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::string piece = std::to_string(i) + ",";
    ASSERT_TRUE(array.Append(piece.data(), piece.size()));
    expected += piece;
  }
  EXPECT_EQ(Text(array), expected);
  ASSERT_TRUE(array.Assign("abc", 3));
  EXPECT_EQ(Text(array), "abc");
}

TEST(NothrowArray, ResizeZeroesNewValuesAndShrinksInPlace) {
  qrx::NothrowArray<size_t> array;
  ASSERT_TRUE(array.Resize(3));
  array[0] = 7;
  array[2] = 9;
  ASSERT_TRUE(array.Resize(1));
  ASSERT_TRUE(array.Resize(4));
  EXPECT_EQ(array[0], 7u);
  EXPECT_EQ(array[1], 0u);
  EXPECT_EQ(array[2], 0u);  // the value dropped by the shrink does not come back
  EXPECT_EQ(array[3], 0u);
}

TEST(NothrowArray, SizesThatCannotBeAllocatedFailAndKeepTheContents) {
  struct Case {
    const char* what;
    size_t count;
  };
  const Case cases[] = {
      {"larger than memory", SIZE_MAX / sizeof(size_t) / 2},
      {"bytes overflow size_t", SIZE_MAX / sizeof(size_t) + 1},
      {"the largest count", SIZE_MAX},
  };
  for (const Case& c : cases) {
    qrx::NothrowArray<size_t> array;
    const size_t kept[] = {1, 2};
    ASSERT_TRUE(array.Append(kept, 2));
    EXPECT_FALSE(array.Resize(c.count)) << c.what;
    EXPECT_FALSE(array.Reserve(c.count)) << c.what;
    ASSERT_EQ(array.size(), 2u) << c.what;
    EXPECT_EQ(array[1], 2u) << c.what;
  }
  qrx::NothrowArray<char> bytes;
  ASSERT_TRUE(bytes.Append("xy", 2));
  EXPECT_FALSE(bytes.Append("z", SIZE_MAX));  // the total would wrap
  EXPECT_EQ(Text(bytes), "xy");
}

TEST(NothrowArray, MovingHandsOverTheValues) {
  qrx::NothrowArray<char> from;
  ASSERT_TRUE(from.Append("moved", 5));
  qrx::NothrowArray<char> to(static_cast<qrx::NothrowArray<char>&&>(from));
  EXPECT_EQ(Text(to), "moved");
  EXPECT_TRUE(from.empty());
  to.Release();
  EXPECT_TRUE(to.empty());
  EXPECT_EQ(to.data(), nullptr);
}

}  // namespace
