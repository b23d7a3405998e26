// List-directed output: the float and integer fields and the layout of records.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "capture.h"
#include "textio/textio.h"

namespace ploverix::textio {
namespace {

using testing::DescriptorCapture;

float bitsToFloat(std::uint32_t bits) { return std::bit_cast<float>(bits); }

struct FloatCase {
  const char* name;
  float value;
  const char* field;  // exactly 15 columns
};

// Expected fields come from the exact binary value of each float, rounded by
// hand to 7 (fixed form) or 8 (exponent form) significant digits.
const FloatCase kFloatCases[] = {
    {"one", 1.0f, "   1.000000    "},
    {"minus one and a half", -1.5f, "  -1.500000    "},
    {"half", 0.5f, "  0.5000000    "},
    {"minus half", -0.5f, " -0.5000000    "},
    {"0.1 stored as 0.100000001490116", 0.1f, "  0.1000000    "},
    {"123456.7", 123456.7f, "   123456.7    "},
    {"negative 123456.7", -123456.7f, "  -123456.7    "},
    {"9999999", 9999999.0f, "   9999999.    "},
    {"1E7 switches to exponent form", 10000000.0f, "  1.0000000E+07"},
    {"1E8", 100000000.0f, "  1.0000000E+08"},
    {"0.00001 stored as 9.99999974737875E-06", 0.00001f, "  9.9999997E-06"},
    {"negative 0.00001", -0.00001f, " -9.9999997E-06"},
    {"0.0123 stored as 0.0122999995946884", 0.0123f, "  1.2300000E-02"},
    {"zero", 0.0f, "  0.0000000E+00"},
    {"negative zero hides its sign", -0.0f, "  0.0000000E+00"},
    {"largest float below 0.1", bitsToFloat(0x3dcccccc), "  9.9999994E-02"},
    {"largest float below one, 0.99999994", bitsToFloat(0x3f7fffff), "  0.9999999    "},
    {"0.75", 0.75f, "  0.7500000    "},
    {"12", 12.0f, "   12.00000    "},
    {"1234567", 1234567.0f, "   1234567.    "},
    // Ties: the exact value lies halfway between two candidates; the even one wins.
    {"tie 1234567.5 rounds up to even 8", 1234567.5f, "   1234568.    "},
    {"tie 1234568.5 rounds down to even 8", 1234568.5f, "   1234568.    "},
    {"tie 123456.25 rounds down to even 2", 123456.25f, "   123456.2    "},
    {"tie 123456.75 rounds up to even 8", 123456.75f, "   123456.8    "},
    {"tie 2^-12 = 2.44140625E-04 rounds down", 0.000244140625f, "  2.4414062E-04"},
    {"tie 3*2^-12 = 7.32421875E-04 rounds up", 0.000732421875f, "  7.3242188E-04"},
    {"tie 0.0634765625 rounds down", 0.0634765625f, "  6.3476562E-02"},
    // Below the normal range the exponent keeps two digits.
    {"subnormal 1E-40 = 9.99994610111E-41", 1e-40f, "  9.9999461E-41"},
    {"smallest subnormal 2^-149 = 1.40129846E-45", bitsToFloat(0x00000001), "  1.4012985E-45"},
    {"negative smallest subnormal", bitsToFloat(0x80000001), " -1.4012985E-45"},
    {"largest float 3.40282347E+38", std::numeric_limits<float>::max(), "  3.4028235E+38"},
    {"not a number", std::numeric_limits<float>::quiet_NaN(), " NaN           "},
    {"negative not a number shows no sign", -std::numeric_limits<float>::quiet_NaN(),
     " NaN           "},
    {"infinity", std::numeric_limits<float>::infinity(), " Infinity      "},
    {"negative infinity", -std::numeric_limits<float>::infinity(), " -Infinity     "},
};

TEST(FloatField, MatchesTable) {
  for (const FloatCase& c : kFloatCases) {
    EXPECT_EQ(formatFloatField(c.value), c.field) << "row: " << c.name;
  }
}

TEST(FloatField, EveryFieldIsFifteenColumnsWithFourTrailingBlanksInFixedForm) {
  // Walk the float range in coarse steps (every 2^16th bit pattern).
  for (std::uint64_t bits = 0; bits <= 0xffffffffu; bits += 0x10000 + 17) {
    const float value = bitsToFloat(static_cast<std::uint32_t>(bits));
    const std::string field = formatFloatField(value);
    ASSERT_EQ(field.size(), 15u) << "bits " << std::hex << bits;
    if (std::isfinite(value) && value != 0.0f) {
      const bool exponentForm = field[11] == 'E';
      if (!exponentForm) {
        EXPECT_EQ(field.substr(11), "    ") << field;
      }
    }
  }
}

struct IntegerCase {
  std::int32_t value;
  const char* field;
};

TEST(IntegerField, MatchesTable) {
  const IntegerCase cases[] = {
      {0, "           0"},
      {3, "           3"},
      {-7, "          -7"},
      {2147483647, "  2147483647"},
      {-2147483647 - 1, " -2147483648"},
  };
  for (const IntegerCase& c : cases) {
    EXPECT_EQ(formatIntegerField(c.value), c.field) << "value " << c.value;
  }
}

struct RecordCase {
  const char* name;
  std::vector<Item> items;
  std::string records;  // every record with its CR LF
};

std::string repeat(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

TEST(WriteList, MatchesRecordTable) {
  const std::string three = "           3";
  const RecordCase cases[] = {
      {"one blank string", {std::string_view(" ")}, "  \r\n"},
      {"no items at all", {}, " \r\n"},
      {"string and integer", {std::string_view("Number of groups="), std::int32_t{3}},
       " Number of groups=           3\r\n"},
      {"strings and integers",
       {std::string_view("Enter count for group="), std::int32_t{1},
        std::string_view("and genotype="), std::int32_t{2}},
       " Enter count for group=           1 and genotype=           2\r\n"},
      {"string with its own leading blank after a float",
       {std::string_view("gamma="), 0.5f, std::string_view(" SE(gamma)="), 0.125f},
       " gamma=  0.5000000      SE(gamma)=  0.1250000    \r\n"},
      {"limits",
       {std::string_view("ORG 95%(LL, UL)="), 3.0f, std::string_view("("), 1.5f,
        std::string_view(","), 6.0f, std::string_view(")")},
       " ORG 95%(LL, UL)=   3.000000     (   1.500000     ,   6.000000     )\r\n"},
      {"floats only", {3.0f, 0.75f, 12.0f}, "   3.000000      0.7500000       12.00000    \r\n"},
      {"integer then floats", {std::int32_t{1}, 3.0f, 0.75f, 12.0f},
       "           1   3.000000      0.7500000       12.00000    \r\n"},
      {"two strings are joined", {std::string_view("ab"), std::string_view("cd")}, " abcd\r\n"},
      {"tab and quotes copied unchanged", {std::string_view("a\t'\"")}, " a\t'\"\r\n"},
      // 80-column rule.
      {"seventh integer starts a new record",
       {std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3},
        std::int32_t{3}, std::int32_t{3}},
       repeat(three, 6) + "\r\n" + three + "\r\n"},
      {"sixth float starts a new record", {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f},
       repeat("   1.000000    ", 5) + "\r\n" + "   1.000000    \r\n"},
      {"string that fills the record exactly",
       {std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3},
        std::int32_t{3}, std::string_view("abcdefg")},
       repeat(three, 6) + " abcdefg\r\n"},
      {"string too long for the room: the blank stays, new record begins with a blank",
       {std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3}, std::int32_t{3},
        std::int32_t{3}, std::string_view("abcdefghij")},
       repeat(three, 6) + " \r\n abcdefghij\r\n"},
  };
  for (const RecordCase& c : cases) {
    DescriptorCapture out(1);
    writeList(kDefaultOutput, c.items);
    EXPECT_EQ(out.text(), c.records) << "row: " << c.name;
  }
}

TEST(WriteList, LongStringKeepsEveryByteInRecordsOfAtMost80Columns) {
  const std::string text(200, 'x');
  DescriptorCapture out(1);
  writeList(kDefaultOutput, {std::string_view(text)});
  const std::string written = out.text();
  std::string joined;
  std::size_t start = 0;
  while (start < written.size()) {
    const std::size_t end = written.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 80u);
    joined += written.substr(start, end - start);
    start = end + 2;
  }
  EXPECT_EQ(joined, text);
}

TEST(WriteRecord, WritesTextExactlyWithCrLf) {
  DescriptorCapture out(1);
  writeRecord(kMessageUnit, "");
  writeRecord(kMessageUnit, " *** WARNING  ERROR 2 from GAMMA. ");
  writeRecord(kDefaultOutput, "x");
  EXPECT_EQ(out.text(), "\r\n *** WARNING  ERROR 2 from GAMMA. \r\nx\r\n");
}

}  // namespace
}  // namespace ploverix::textio
