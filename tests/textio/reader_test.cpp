// List-directed input: every value form, the record rules and every error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "capture.h"
#include "textio/textio.h"

namespace ploverix::textio {
namespace {

using testing::ScratchDirectory;
using testing::StdinFeed;
using testing::writeFile;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::int32_t kIntSentinel = 77;
constexpr float kFloatSentinel = 77.0f;
constexpr double kUnchanged = 77.0;

// One scenario: the file's bytes, the reads made on it (one string of target
// kinds per read, 'i' integer, 'f' float), the value every target holds
// afterwards (77 where it keeps its starting value) and the error that ends
// the run, if any.
struct ReadCase {
  const char* name;
  std::string input;
  std::vector<std::string> reads;
  std::vector<double> expected;
  std::optional<IoErrorNumber> error = std::nullopt;
};

struct Outcome {
  std::vector<std::int32_t> ints;
  std::vector<float> floats;
  std::string kinds;
  std::optional<IoErrorNumber> error;
  IoError raised{IoErrorNumber::EndOfFile, 0, ""};
};

Outcome runReads(int unit, const std::vector<std::string>& reads) {
  Outcome outcome;
  for (const std::string& read : reads) outcome.kinds += read;
  outcome.ints.assign(outcome.kinds.size(), kIntSentinel);
  outcome.floats.assign(outcome.kinds.size(), kFloatSentinel);
  std::size_t target = 0;
  try {
    for (const std::string& read : reads) {
      ListRead r(unit);
      for (char kind : read) {
        if (kind == 'i') {
          r.get(outcome.ints[target]);
        } else {
          r.get(outcome.floats[target]);
        }
        ++target;
      }
    }
  } catch (const IoError& e) {
    outcome.error = e.number;
    outcome.raised = e;
  }
  return outcome;
}

void expectOutcome(const Outcome& outcome, const ReadCase& c) {
  ASSERT_EQ(outcome.kinds.size(), c.expected.size()) << "row: " << c.name << " (bad row)";
  for (std::size_t k = 0; k < c.expected.size(); ++k) {
    if (outcome.kinds[k] == 'i') {
      EXPECT_EQ(outcome.ints[k], static_cast<std::int64_t>(c.expected[k]))
          << "row: " << c.name << ", target " << k;
    } else {
      const float want = static_cast<float>(c.expected[k]);
      const float got = outcome.floats[k];
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << "row: " << c.name << ", target " << k << " got " << got;
      } else {
        // Bit for bit, so that -0.0 and 0.0 are told apart.
        EXPECT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
            << "row: " << c.name << ", target " << k << " got " << got << " want " << want;
      }
    }
  }
  if (c.error) {
    EXPECT_EQ(outcome.error, c.error) << "row: " << c.name;
  } else {
    EXPECT_FALSE(outcome.error.has_value())
        << "row: " << c.name << " raised " << static_cast<int>(*outcome.error);
  }
}

const std::string kSticky = "16777217." + std::string(190, '0') + "1";

// Expected values: integers exactly; floats are written as float literals, so
// the compiler's own decimal conversion is the reference.
const ReadCase kCases[] = {
    // Integer targets and separators.
    {"plain", "5", {"i"}, {5}},
    {"blanks around", " 5 ", {"i"}, {5}},
    {"trailing comma", "5,", {"i"}, {5}},
    {"plus sign", "+5", {"i"}, {5}},
    {"rest of the record is dropped", "5 6\n7", {"i", "i"}, {5, 7}},
    {"answer line 12 7 3 gives 12", "12 7 3\n4", {"i", "i"}, {12, 4}},
    {"tab separates", "1\t2", {"ii"}, {1, 2}},
    {"values span records", "1\n\n  2\n3", {"iii"}, {1, 2, 3}},
    {"CR LF line ends", "1\r\n2\r\n", {"i", "i"}, {1, 2}},
    {"last line without line feed", "1\n2", {"i", "i"}, {1, 2}},
    {"read without targets takes one record", "1\n2", {"", "i"}, {2}},
    {"largest integer", "2147483647", {"i"}, {2147483647.0}},
    {"smallest integer", "-2147483648", {"i"}, {-2147483648.0}},
    {"leading zeros", "-000000000000000000042", {"i"}, {-42}},
    // Float targets: every spelling of one half.
    {"0.5", "0.5", {"f"}, {0.5f}},
    {".5", ".5", {"f"}, {0.5f}},
    {"5E-1", "5E-1", {"f"}, {0.5f}},
    {"5e-1", "5e-1", {"f"}, {0.5f}},
    {"5D-1", "5D-1", {"f"}, {0.5f}},
    {"5d-1", "5d-1", {"f"}, {0.5f}},
    {"5Q-1", "5Q-1", {"f"}, {0.5f}},
    {"5q-1", "5q-1", {"f"}, {0.5f}},
    {"5-1", "5-1", {"f"}, {0.5f}},
    {"50E-2", "50E-2", {"f"}, {0.5f}},
    {"5.E-1", "5.E-1", {"f"}, {0.5f}},
    {"0.05E+1", "0.05E+1", {"f"}, {0.5f}},
    {"1.5-3 is 0.0015", "1.5-3", {"f"}, {0.0015f}},
    {"1.5+3 is 1500", "1.5+3", {"f"}, {1500.0f}},
    {"integer token is an integer value", "123", {"f"}, {123.0f}},
    {"minus zero", "-0", {"f"}, {-0.0f}},
    {"minus zero with point", "-0.0", {"f"}, {-0.0f}},
    {"seven digits", "123456.7", {"f"}, {123456.7f}},
    {"many digits", "123456789012345678901234567890", {"f"}, {123456789012345678901234567890.0f}},
    {"many leading zeros", "0.000000000000000000000000000000000000000000001", {"f"}, {1e-45f}},
    {"digits cancelled by exponent", "100000000000000000000000000000000000000000000000000E-50",
     {"f"}, {1.0f}},
    {"tie rounds to even below", "16777217", {"f"}, {16777216.0f}},
    {"tie rounds to even above", "16777219", {"f"}, {16777220.0f}},
    {"just above a tie, 190 digits later", kSticky, {"f"}, {16777218.0f}},
    {"largest float", "3.4028235E38", {"f"}, {3.4028235e38f}},
    {"subnormal", "1E-40", {"f"}, {1e-40f}},
    {"smallest subnormal", "1.4E-45", {"f"}, {1.4e-45f}},
    {"underflow to zero", "1E-50", {"f"}, {0.0f}},
    {"underflow keeps sign", "-1E-50", {"f"}, {-0.0f}},
    {"huge negative exponent", "1E-99999999999999999999", {"f"}, {0.0f}},
    {"written fields read back", "  0.0000000E+00   1.500000      1.0000000E+07", {"fff"},
     {0.0f, 1.5f, 1.0e7f}},
    {"NaN", "NaN", {"f"}, {kNaN}},
    {"Infinity", "Infinity", {"f"}, {kInf}},
    {"+Infinity", "+Infinity", {"f"}, {kInf}},
    {"-Infinity", "-Infinity", {"f"}, {-kInf}},
    {"written non-finite fields", " NaN            Infinity       -Infinity     ", {"fff"},
     {kNaN, kInf, -kInf}},
    // Null values, repeat counts, slash.
    {"empty line before the value", "\n5", {"i"}, {5}},
    {"lone comma is null", ",", {"f"}, {kUnchanged}},
    {"comma line after value line", "1\n,2", {"fff"}, {1, kUnchanged, 2}},
    {"two commas", "1,,2", {"fff"}, {1, kUnchanged, 2}},
    {"comma blank comma", "1, ,2", {"fff"}, {1, kUnchanged, 2}},
    {"leading commas", ",,2", {"fff"}, {kUnchanged, kUnchanged, 2}},
    {"blank before separator comma", "1 ,2", {"ff"}, {1, 2}},
    {"repeat of zero", "3*0", {"fff"}, {0, 0, 0}},
    {"repeat value then more", "2*5,7", {"iii"}, {5, 5, 7}},
    {"repeat of nulls at record end", "2*", {"ff"}, {kUnchanged, kUnchanged}},
    {"repeat of nulls then next record", "2*\n7", {"fff"}, {kUnchanged, kUnchanged, 7}},
    {"repeat of nulls, comma separator", "2*,7", {"fff"}, {kUnchanged, kUnchanged, 7}},
    {"repeat of nulls, blank separator", "2* 7", {"fff"}, {kUnchanged, kUnchanged, 7}},
    {"repeat of a point value", "2*.5", {"ff"}, {0.5f, 0.5f}},
    {"repeat into mixed targets", "2*2.5", {"if"}, {2, 2.5f}},
    {"repeat of NaN", "2*NaN", {"ff"}, {kNaN, kNaN}},
    {"repeat longer than the read", "5*1\n9", {"ii", "i"}, {1, 1, 9}},
    {"slash ends the read", "1 / 2", {"ff"}, {1, kUnchanged}},
    {"slash after comma", "1,/", {"fff"}, {1, kUnchanged, kUnchanged}},
    {"slash directly after value", "1/", {"ff"}, {1, kUnchanged}},
    {"slash alone", "/", {"i"}, {kUnchanged}},
    {"slash after repeated nulls", "1*/ 5", {"ff"}, {kUnchanged, kUnchanged}},
    // Logical values.
    {"T for integer", "T", {"i"}, {-1}},
    {".TRUE. for integer", ".TRUE.", {"i"}, {-1}},
    {"F for integer", "F", {"i"}, {0}},
    {"T for float", "T", {"f"}, {-1.0f}},
    {".false. for float", ".false.", {"f"}, {0.0f}},
    {"rest of logical token ignored", "tuesday,5", {"ii"}, {-1, 5}},
    {"repeated logical", "2*.T", {"ii"}, {-1, -1}},
    // A fraction or exponent read into an integer truncates.
    {"2.9 truncates", "2.9", {"i"}, {2}},
    {"-2.9 truncates", "-2.9", {"i"}, {-2}},
    {"2.7", "2.7", {"i"}, {2}},
    {"1E3", "1E3", {"i"}, {1000}},
    {"1.5-3 into integer", "1.5-3", {"i"}, {0}},
    {"low 32 bits of 5E9", "5E9", {"i"}, {705032704}},
    {"low 32 bits of 3E9", "3E9", {"i"}, {-1294967296.0}},
    {"low 32 bits of -9.2E18", "-9.2E18", {"i"}, {1650982912}},
    {"-9.3E18 is below -2^63", "-9.3E18", {"i"}, {0}},
    // Beyond the 64-bit range the truncation gives -2^63, whose low 32 bits are 0.
    {"1E19 beyond 64 bits", "1E19", {"i"}, {0}},
    {"-1E19 beyond 64 bits", "-1E19", {"i"}, {0}},
    {"1E400 beyond double", "1E400", {"i"}, {0}},
    // End of file.
    {"empty input", "", {"f"}, {kUnchanged}, IoErrorNumber::EndOfFile},
    {"empty read at end", "1", {"i", ""}, {1}, IoErrorNumber::EndOfFile},
    {"file ends before the list", "1 2", {"fff"}, {1, 2, kUnchanged}, IoErrorNumber::EndOfFile},
    {"blank lines then end", "\n\n  \n", {"f"}, {kUnchanged}, IoErrorNumber::EndOfFile},
    {"Ctrl+Z record", "\x1a\n5", {"f"}, {kUnchanged}, IoErrorNumber::EndOfFile},
    {"Ctrl+Z record mid-read", "1\n\x1a\r\n5", {"ff"}, {1, kUnchanged}, IoErrorNumber::EndOfFile},
    // Syntax errors.
    {"12abc", "12abc", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"1.2.3", "1.2.3", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"--1", "--1", {"i"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"+", "+", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {".", ".", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"letter", "x", {"i"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"exponent letter first", "E5", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"point then exponent letter", ".E5", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"exponent without digits", "1E", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"exponent sign without digits", "1E+", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"ends with sign", "1.5-", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"sign after exponent sign", "1E+-2", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"second exponent", "1E2E3", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"point in exponent", "1E2.5", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"NaN for integer", "NaN", {"i"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"Infinity for integer", "Infinity", {"i"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"lower-case nan", "nan", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"Inf", "Inf", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"+NaN", "+NaN", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"repeat count with a point", "1.5*2", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"repeat count zero", "0*5", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"repeat count too large", "99999999999*5", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"repeat of a repeat", "2*3*4", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"signed repeat count", "-2*3", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"asterisk alone", "*", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"parenthesis", "(1,2)", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"CR inside a record", "1\r2\n", {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"NUL byte", std::string("\0", 1), {"f"}, {kUnchanged}, IoErrorNumber::SyntaxError},
    {"values before the error are stored", "1 2 x", {"iii"}, {1, 2, kUnchanged},
     IoErrorNumber::SyntaxError},
    // Conversion errors.
    {"integer beyond 32 bits", "99999999999", {"i"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"2^31", "2147483648", {"i"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"-2^31-1", "-2147483649", {"i"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"1E39 for float", "1E39", {"f"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"rounds up to infinity", "3.4028236E38", {"f"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"huge exponent", "1E99999999999999999999", {"f"}, {kUnchanged},
     IoErrorNumber::ConversionError},
    {"quoted string for float", "'abc'", {"f"}, {kUnchanged}, IoErrorNumber::ConversionError},
    {"quoted string for integer", "\"7\"", {"i"}, {kUnchanged}, IoErrorNumber::ConversionError},
};

class ReaderTest : public ::testing::Test {
 protected:
  void TearDown() override { closeAllUnits(); }
  ScratchDirectory dir_;
};

TEST_F(ReaderTest, FileInputTable) {
  const std::string path = dir_.file("in.txt");
  for (const ReadCase& c : kCases) {
    writeFile(path, c.input);
    openUnknown(10, path);
    const Outcome outcome = runReads(10, c.reads);
    closeUnit(10);
    expectOutcome(outcome, c);
  }
}

TEST_F(ReaderTest, ErrorNamesUnitAndFullPath) {
  const std::string path = dir_.file("bad.txt");
  writeFile(path, "1 zz\n");
  openUnknown(8, path);
  const Outcome outcome = runReads(8, {"ff"});
  ASSERT_EQ(outcome.error, IoErrorNumber::SyntaxError);
  EXPECT_EQ(outcome.raised.unit, 8);
  EXPECT_EQ(outcome.raised.file, path);
  EXPECT_EQ(outcome.raised.osError, 0);
}

TEST_F(ReaderTest, KeyboardReadsAreUnitMinus4OnConin) {
  StdinFeed feed("3\nabc\n");
  const Outcome first = runReads(kDefaultInput, {"i"});
  EXPECT_EQ(first.ints[0], 3);
  const Outcome second = runReads(kDefaultInput, {"i"});
  ASSERT_EQ(second.error, IoErrorNumber::SyntaxError);
  EXPECT_EQ(second.raised.unit, -4);
  EXPECT_EQ(second.raised.file, "CONIN$");
  const Outcome third = runReads(kDefaultInput, {"i"});
  ASSERT_EQ(third.error, IoErrorNumber::EndOfFile);
  EXPECT_EQ(third.raised.file, "CONIN$");
}

// A read from a pipe takes the line it needs and returns, without waiting for
// the writer to send more or to close the pipe.
TEST_F(ReaderTest, ConsoleReadDoesNotWaitBeyondTheLine) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int saved = ::dup(0);
  ::dup2(fds[0], 0);
  ASSERT_EQ(::write(fds[1], "7\n", 2), 2);
  ::alarm(10);  // a read that waits for more would hang: end the test instead
  const Outcome first = runReads(kDefaultInput, {"i"});
  ASSERT_EQ(::write(fds[1], "8 9\n", 4), 4);
  const Outcome second = runReads(kDefaultInput, {"i"});
  ::alarm(0);
  ::dup2(saved, 0);
  ::close(saved);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(first.ints[0], 7);
  EXPECT_EQ(second.ints[0], 8);
}

TEST_F(ReaderTest, LongRecordsAcrossBufferRefills) {
  // One record of 200000 values, longer than any single read of the system.
  std::string line;
  for (int k = 0; k < 200000; ++k) line += std::to_string(k % 1000) + " ";
  const std::string path = dir_.file("long.txt");
  writeFile(path, line + "\n-1\n");
  openUnknown(10, path);
  ListRead read(10);
  std::int32_t value = 0;
  for (int k = 0; k < 200000; ++k) {
    read.get(value);
    ASSERT_EQ(value, k % 1000) << "value " << k;
  }
  read.get(value);
  EXPECT_EQ(value, -1);
}

// Random well-formed tokens in every spelling of the exponent, against the C
// library's strtof/strtod on the same value written in E form.
TEST_F(ReaderTest, RandomTokensMatchTheCLibrary) {
  std::mt19937 random(4242);
  const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string letters = "EeDdQq";
  std::string file;
  std::vector<std::string> references;
  for (int k = 0; k < 50000; ++k) {
    std::string token, reference;
    if (pick(2) != 0) {
      token += pick(2) != 0 ? '-' : '+';
      reference += token.back();
    }
    const int intDigits = pick(12), fracDigits = pick(12);
    std::string digits;
    for (int d = 0; d < intDigits; ++d) digits += static_cast<char>('0' + pick(10));
    token += digits;
    reference += digits;
    if (fracDigits > 0 || intDigits == 0 || pick(3) == 0) {
      std::string fraction;
      for (int d = 0; d < fracDigits; ++d) fraction += static_cast<char>('0' + pick(10));
      if (intDigits == 0 && fraction.empty()) fraction = "5";
      token += "." + fraction;
      reference += "." + fraction;
    }
    if (pick(2) != 0) {
      const std::string exponent = std::to_string(pick(77) - 50);  // never beyond 1E37
      const bool negative = exponent.front() == '-';
      const std::string magnitude = negative ? exponent.substr(1) : exponent;
      switch (pick(3)) {
        case 0:  // sign form, [1.5-3]
          token += (negative ? "-" : "+") + magnitude;
          break;
        case 1:
          token += letters[static_cast<std::size_t>(pick(6))] + exponent;
          break;
        default:
          token += letters[static_cast<std::size_t>(pick(6))] + std::string(negative ? "-" : "+") +
                   magnitude;
      }
      reference += "e" + exponent;
    }
    file += token + (pick(4) == 0 ? "\n" : pick(2) == 0 ? ", " : " ");
    references.push_back(reference);
  }
  writeFile(dir_.file("random.txt"), file + "\n");
  openUnknown(10, dir_.file("random.txt"));
  ListRead read(10);
  for (const std::string& reference : references) {
    const float want = std::strtof(reference.c_str(), nullptr);
    float got = kFloatSentinel;
    try {
      read.get(got);
    } catch (const IoError& e) {
      FAIL() << "error " << static_cast<int>(e.number) << " for " << reference;
    }
    ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
        << "token for " << reference;
  }
}

// What the writer shows, the reader gives back: for random floats the value
// read from a written field is the float nearest the decimal shown (the C
// library's strtof is the reference), and writing it again shows the same field.
TEST_F(ReaderTest, WrittenFieldsReadBackToTheValueTheyShow) {
  std::mt19937 random(20261211);
  std::vector<float> values;
  for (int k = 0; k < 100000; ++k) values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
  values.insert(values.end(), {0.0f, -0.0f, kInf, -kInf, kNaN, 1e-45f, 3.4028235e38f});
  const std::string path = dir_.file("round.txt");
  openUnknown(3, path);
  for (std::size_t k = 0; k < values.size(); k += 4) {
    std::vector<Item> items;
    for (std::size_t j = k; j < k + 4 && j < values.size(); ++j) items.push_back(values[j]);
    writeList(3, items);
  }
  closeUnit(3);
  openUnknown(10, path);
  ListRead read(10);
  for (const float x : values) {
    float y = kFloatSentinel;
    read.get(y);
    const std::string field = formatFloatField(x);
    if (std::isnan(x)) {
      EXPECT_TRUE(std::isnan(y)) << field;
      continue;
    }
    const float reference = std::strtof(field.c_str(), nullptr);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(y), std::bit_cast<std::uint32_t>(reference))
        << "field [" << field << "]";
    EXPECT_EQ(formatFloatField(y), field);
  }
}

}  // namespace
}  // namespace ploverix::textio
