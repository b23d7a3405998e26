// List-directed input: cutting records into values, the scanner of numeric
// tokens, and the conversion of a token to the type of its target.
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "textio/connection.h"

namespace ploverix::textio {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isSign(char c) { return c == '+' || c == '-'; }
bool isExponentLetter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
}
bool isLogicalLetter(char c) { return c == 'T' || c == 't' || c == 'F' || c == 'f'; }

// Ends a logical value or a character constant.
bool endsValue(char c) { return isBlank(c) || c == ',' || c == '/'; }
// Ends a numeric token (an asterisk ends the digits of a repeat count).
bool endsNumber(char c) { return endsValue(c) || c == ')' || c == '*'; }

// Every way a numeric token can be malformed. All of them are the syntax error (59).
enum class TokenFault {
  None,
  NoDigit,               // a sign or a point alone, or nothing at all
  SecondPoint,           // [1.2.3]
  SecondExponent,        // [1E2E3]
  ExponentBeforeDigits,  // [E5], [.E5]
  SignAfterSign,         // [--1], [1E+-2]
  EndsWithSign,          // [+], [1.5-], [1E-]
  ExponentWithoutDigits, // [1E]
  StrayCharacter,        // a letter or any other byte the syntax does not allow
};

// What the scanner saw in a numeric token: the digit spans and the exponent.
struct NumberToken {
  bool negative = false;
  std::string_view integerDigits;   // before the point
  std::string_view fractionDigits;  // after the point
  bool hasPoint = false;
  bool hasExponent = false;
  bool exponentNegative = false;
  std::string_view exponentDigits;
  TokenFault fault = TokenFault::None;
};

std::string_view takeDigits(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  return text.substr(start, i - start);
}

// Scans `text`, one whole token: [sign] digits [. digits] [exponent], where the
// exponent is a letter E, D or Q with an optional sign and digits, or a sign
// and digits directly after the mantissa ([1.5-3]).
NumberToken scanNumber(std::string_view text) {
  NumberToken token;
  std::size_t i = 0;
  const auto fault = [&token](TokenFault f) {
    token.fault = f;
    return token;
  };
  if (i < text.size() && isSign(text[i])) token.negative = text[i++] == '-';
  if (i < text.size() && isSign(text[i])) return fault(TokenFault::SignAfterSign);
  token.integerDigits = takeDigits(text, i);
  if (i < text.size() && text[i] == '.') {
    token.hasPoint = true;
    ++i;
    token.fractionDigits = takeDigits(text, i);
  }
  const bool anyDigit = !token.integerDigits.empty() || !token.fractionDigits.empty();
  if (i == text.size()) {
    if (anyDigit) return token;
    return fault(i > 0 && isSign(text[i - 1]) ? TokenFault::EndsWithSign : TokenFault::NoDigit);
  }
  const char c = text[i];
  if (c == '.') return fault(TokenFault::SecondPoint);
  if (!anyDigit) {
    if (isExponentLetter(c)) return fault(TokenFault::ExponentBeforeDigits);
    if (isSign(c)) return fault(TokenFault::SignAfterSign);
    return fault(TokenFault::StrayCharacter);
  }
  if (isExponentLetter(c) || isSign(c)) {
    token.hasExponent = true;
    bool signGiven = false;
    if (isExponentLetter(c)) ++i;
    if (i < text.size() && isSign(text[i])) {
      token.exponentNegative = text[i++] == '-';
      signGiven = true;
    }
    if (i < text.size() && isSign(text[i])) return fault(TokenFault::SignAfterSign);
    token.exponentDigits = takeDigits(text, i);
    if (token.exponentDigits.empty()) {
      if (i == text.size()) {
        return fault(signGiven ? TokenFault::EndsWithSign : TokenFault::ExponentWithoutDigits);
      }
      if (isExponentLetter(text[i])) return fault(TokenFault::SecondExponent);
      return fault(TokenFault::StrayCharacter);
    }
    if (i == text.size()) return token;
    if (isExponentLetter(text[i])) return fault(TokenFault::SecondExponent);
    if (text[i] == '.') return fault(TokenFault::SecondPoint);
    if (isSign(text[i])) return fault(TokenFault::SignAfterSign);
    return fault(TokenFault::StrayCharacter);
  }
  return fault(TokenFault::StrayCharacter);
}

// The outcome of converting a token for one target.
enum class Conversion { Ok, SyntaxError, ConversionError };

IoErrorNumber errorNumber(Conversion c) {
  return c == Conversion::SyntaxError ? IoErrorNumber::SyntaxError : IoErrorNumber::ConversionError;
}

// The decimal value of a well-formed token rounded to nearest (ties to even)
// in the floating type T. `overflow` is set when the value rounds beyond T's
// range; a value too small for T becomes a signed zero or a subnormal.
template <typename T>
T decimalValue(const NumberToken& token, bool& overflow) {
  overflow = false;
  const T zero = token.negative ? -T{0} : T{0};

  // Exponent, saturated: beyond a billion the value over- or underflows
  // whatever the digits are, since a record holds far fewer digits.
  std::int64_t exponent = 0;
  for (char c : token.exponentDigits) {
    exponent = exponent * 10 + (c - '0');
    if (exponent > 1'000'000'000) exponent = 1'000'000'000;
  }
  if (token.exponentNegative) exponent = -exponent;

  // value = digits x 10^(exponent - number of fraction digits), digits being
  // the integer and fraction digits side by side; leading and trailing zeros
  // only move the decimal exponent.
  const std::string_view a = token.integerDigits;
  const std::string_view b = token.fractionDigits;
  const std::size_t total = a.size() + b.size();
  const auto digitAt = [&](std::size_t k) { return k < a.size() ? a[k] : b[k - a.size()]; };
  std::size_t first = 0;
  while (first < total && digitAt(first) == '0') ++first;
  if (first == total) return zero;
  std::size_t last = total - 1;
  while (digitAt(last) == '0') --last;
  const std::size_t count = last - first + 1;
  // Decimal exponent of the leading significant digit.
  const std::int64_t leading = exponent - static_cast<std::int64_t>(b.size()) +
                               static_cast<std::int64_t>(total - 1 - first);

  constexpr int maxExponent = std::numeric_limits<T>::max_exponent10;   // 38 or 308
  constexpr int minExponent = std::numeric_limits<T>::min_exponent10 -  // -37 or -307,
                              (std::numeric_limits<T>::digits10 + 3);   // minus the subnormal span
  if (leading > maxExponent) {  // at least 10^(max+1): beyond the largest finite value
    overflow = true;
    return zero;
  }
  if (leading < minExponent - 2) return zero;  // below a tenth of the smallest subnormal

  // A midpoint between two neighbouring values of T has at most about 770
  // significant digits (112 for float); digits beyond kKeep are replaced by a
  // single 1, which keeps the value strictly between the same two neighbours
  // of the truncated digits and so rounds the same way.
  constexpr std::size_t kKeep = sizeof(T) == 4 ? 160 : 800;
  std::string text;
  text.reserve(std::min(count, kKeep + 1) + 16);
  if (token.negative) text += '-';
  for (std::size_t k = first; k <= last && k < first + kKeep; ++k) {
    text += digitAt(k);
    if (k == first) text += '.';
  }
  if (count > kKeep) text += '1';
  text += 'e';
  text += std::to_string(leading);

  T value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars reports a range error only for a result of infinity or zero.
    overflow = leading > 0;
    return zero;
  }
  return value;
}

Conversion toFloat(std::string_view text, float& out) {
  // The writer's fields for the non-finite values read back.
  if (text == "NaN") {
    out = std::numeric_limits<float>::quiet_NaN();
    return Conversion::Ok;
  }
  if (text == "Infinity" || text == "+Infinity" || text == "-Infinity") {
    out = text.front() == '-' ? -std::numeric_limits<float>::infinity()
                              : std::numeric_limits<float>::infinity();
    return Conversion::Ok;
  }
  const NumberToken token = scanNumber(text);
  if (token.fault != TokenFault::None) return Conversion::SyntaxError;

  // Fast path: at most 7 digits and no exponent. The digits form an integer
  // below 2^24 and 10^f (f <= 7) is exact in float too, so one float division
  // of exact operands is the correctly rounded quotient.
  if (!token.hasExponent && token.integerDigits.size() + token.fractionDigits.size() <= 7) {
    std::int32_t digits = 0;
    for (char c : token.integerDigits) digits = digits * 10 + (c - '0');
    for (char c : token.fractionDigits) digits = digits * 10 + (c - '0');
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
    const float magnitude = static_cast<float>(digits) / kPowers[token.fractionDigits.size()];
    out = token.negative ? -magnitude : magnitude;
    return Conversion::Ok;
  }
  bool overflow = false;
  const float value = decimalValue<float>(token, overflow);
  if (overflow) return Conversion::ConversionError;
  out = value;
  return Conversion::Ok;
}

Conversion toInteger(std::string_view text, std::int32_t& out) {
  const NumberToken token = scanNumber(text);
  if (token.fault != TokenFault::None) return Conversion::SyntaxError;
  if (!token.hasPoint && !token.hasExponent) {
    // Digits with an optional sign: the exact value, or an error when it is
    // outside the 32-bit range.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (char c : token.integerDigits) {
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > kLimit) return Conversion::ConversionError;
    }
    const std::int64_t value = token.negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return Conversion::ConversionError;
    out = static_cast<std::int32_t>(value);
    return Conversion::Ok;
  }
  // A point or an exponent: the value as a double, truncated toward zero to a
  // 64-bit integer whose low 32 bits are stored. A double outside the 64-bit
  // range (infinity included, for a value beyond the double range) becomes
  // -2^63, as the processor's truncating conversion gives it, so the low 32
  // bits are 0 and no undefined conversion is ever made.
  bool overflow = false;
  const double value = decimalValue<double>(token, overflow);
  constexpr double kTwoTo63 = 9223372036854775808.0;
  std::int64_t whole = std::numeric_limits<std::int64_t>::min();
  if (!overflow && value >= -kTwoTo63 && value < kTwoTo63) {
    whole = static_cast<std::int64_t>(value);
  }
  out = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
  return Conversion::Ok;
}

}  // namespace

struct ListRead::Value {
  enum class Kind { Null, End, Logical, Character, Token } kind;
  std::string_view token;  // Token: the numeric token's text
  bool truth = false;      // Logical
};

// Inlined into its callers so that the traceback starts at the routine that met the error.
[[gnu::always_inline]] inline void ListRead::fail(IoErrorNumber number) const {
  throw IoError(number, connection_->unit, connection_->name);
}

ListRead::ListRead(int unit)
    : connection_(&connectionFor(unit, IoErrorNumber::ReadError)) {
  if (!takeRecord(*connection_, record_)) fail(IoErrorNumber::EndOfFile);
}

ListRead::~ListRead() = default;

ListRead::Value ListRead::nextValue() {
  if (ended_) return {Value::Kind::End, {}, false};
  if (repeatLeft_ > 0) {
    --repeatLeft_;
    return {static_cast<Value::Kind>(repeatKind_), repeatToken_, repeatTruth_};
  }

  for (;;) {
    while (pos_ < record_.size() && isBlank(record_[pos_])) ++pos_;
    if (pos_ == record_.size()) {
      // Blank lines and record ends between values are one separator.
      if (!takeRecord(*connection_, record_)) fail(IoErrorNumber::EndOfFile);
      pos_ = 0;
      commaIsSeparator_ = false;
      continue;
    }
    const char c = record_[pos_];
    if (c == ',') {
      ++pos_;
      if (commaIsSeparator_) {
        commaIsSeparator_ = false;
        continue;
      }
      return {Value::Kind::Null, {}, false};
    }
    if (c == '/') {
      ended_ = true;
      return {Value::Kind::End, {}, false};
    }
    break;
  }

  // A repeat count: digits directly followed by an asterisk.
  std::int64_t repeat = 1;
  {
    std::size_t i = pos_;
    std::int64_t count = 0;
    bool tooLarge = false;
    while (i < record_.size() && isDigit(record_[i])) {
      count = count * 10 + (record_[i] - '0');
      if (count > std::numeric_limits<std::int32_t>::max()) {
        tooLarge = true;
        count = 0;
      }
      ++i;
    }
    if (i > pos_ && i < record_.size() && record_[i] == '*') {
      // A repeat count of zero or beyond the 32-bit range is not a count.
      if (count == 0 || tooLarge) fail(IoErrorNumber::SyntaxError);
      repeat = count;
      pos_ = i + 1;
      if (pos_ == record_.size() || endsValue(record_[pos_])) {
        repeatLeft_ = repeat - 1;
        repeatKind_ = static_cast<unsigned char>(Value::Kind::Null);
        commaIsSeparator_ = true;
        return {Value::Kind::Null, {}, false};
      }
    }
  }

  // One value token.
  const std::size_t start = pos_;
  const char c = record_[start];
  Value value{Value::Kind::Token, {}, false};
  if (isLogicalLetter(c) || (c == '.' && start + 1 < record_.size() &&
                             isLogicalLetter(record_[start + 1]))) {
    // The rest of a logical token is not looked at: [.TRUE.], [Tuesday].
    const char letter = c == '.' ? record_[start + 1] : c;
    value = {Value::Kind::Logical, {}, letter == 'T' || letter == 't'};
    while (pos_ < record_.size() && !endsValue(record_[pos_])) ++pos_;
  } else if (c == '\'' || c == '"') {
    value = {Value::Kind::Character, {}, false};
    std::size_t i = start + 1;
    while (i < record_.size() && record_[i] != c) ++i;
    pos_ = i < record_.size() ? i + 1 : i;
  } else {
    while (pos_ < record_.size() && !endsNumber(record_[pos_])) ++pos_;
    // An asterisk after anything but a bare count ([1.5*2], [2*3*4]) is no syntax of a value.
    if (pos_ < record_.size() && record_[pos_] == '*') fail(IoErrorNumber::SyntaxError);
    value.token = record_.substr(start, pos_ - start);
  }
  commaIsSeparator_ = true;
  if (repeat > 1) {
    repeatLeft_ = repeat - 1;
    repeatKind_ = static_cast<unsigned char>(value.kind);
    repeatToken_ = value.token;
    repeatTruth_ = value.truth;
  }
  return value;
}

void ListRead::get(float& target) {
  const Value value = nextValue();
  switch (value.kind) {
    case Value::Kind::Null:
    case Value::Kind::End:
      return;
    case Value::Kind::Logical:
      target = value.truth ? -1.0f : 0.0f;
      return;
    case Value::Kind::Character:
      fail(IoErrorNumber::ConversionError);
    case Value::Kind::Token: {
      float converted = 0.0f;
      const Conversion c = toFloat(value.token, converted);
      if (c != Conversion::Ok) fail(errorNumber(c));
      target = converted;
      return;
    }
  }
}

void ListRead::get(std::int32_t& target) {
  const Value value = nextValue();
  switch (value.kind) {
    case Value::Kind::Null:
    case Value::Kind::End:
      return;
    case Value::Kind::Logical:
      target = value.truth ? -1 : 0;
      return;
    case Value::Kind::Character:
      fail(IoErrorNumber::ConversionError);
    case Value::Kind::Token: {
      std::int32_t converted = 0;
      const Conversion c = toInteger(value.token, converted);
      if (c != Conversion::Ok) fail(errorNumber(c));
      target = converted;
      return;
    }
  }
}

}  // namespace ploverix::textio
