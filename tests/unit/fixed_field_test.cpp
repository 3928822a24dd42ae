#include "fixed_field.h"

#include <gtest/gtest.h>

TEST(FixedField, AtoiSemanticsOnFixedRuns) {
  EXPECT_EQ(ReadFixedField("001192", 0, 3), 1);
  EXPECT_EQ(ReadFixedField("001192", 3, 3), 192);
  EXPECT_EQ(ReadFixedField(" 12x", 0, 4), 12);   // leading blank, stops at non-digit
  EXPECT_EQ(ReadFixedField("-01", 0, 3), -1);    // sign taken
  EXPECT_EQ(ReadFixedField("abc", 0, 3), 0);     // no digits
  EXPECT_EQ(ReadFixedField("12", 0, 3), 12);     // short line
  EXPECT_EQ(ReadFixedField("12", 5, 3), 0);      // wholly past the end
  EXPECT_EQ(ReadFixedField("1234", 0, 3), 123);  // never more than the width
}

TEST(FixedField, AddressGroupsCarry) {
  EXPECT_EQ(ReadFixedAddress("192168001010", 0), 0xC0A8010Au);
  EXPECT_EQ(ReadFixedAddress("000000001256", 0), 0x00000200u);  // 256 carries
  EXPECT_EQ(ReadFixedAddress("010", 0), 0x0A000000u);           // short line
  EXPECT_TRUE(IsFixedBroadcast("x255255255255", 1));
  EXPECT_FALSE(IsFixedBroadcast("255255255254", 0));
  EXPECT_EQ(FixedCharAt("AB", 1), 'B');
  EXPECT_EQ(FixedCharAt("AB", 2), '\0');
}
