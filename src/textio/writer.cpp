// List-directed output: the 12-column integer field, the 15-column float field
// and the layout of items in records of at most 80 columns.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "textio/connection.h"

namespace ploverix::textio {
namespace {

constexpr int kRecordColumns = 80;
constexpr int kIntegerWidth = 12;
constexpr int kFloatWidth = 15;
constexpr std::string_view kRecordEnd = "\r\n";

std::string rightJustified(std::string_view text, std::size_t width) {
  std::string field(width > text.size() ? width - text.size() : 0, ' ');
  field += text;
  return field;
}

// One write in progress: the record being built and what the layout rules
// need to know about it.
class RecordBuilder {
 public:
  explicit RecordBuilder(Connection& connection) : connection_(connection) { start(); }

  void putString(std::string_view s) {
    const std::size_t n = s.size();
    const std::size_t freeAtStart = free();
    if (leadingBlankPending_ && n <= free()) {
      put(' ');
      leadingBlankPending_ = false;
    } else if (previous_ == Kind::Number && free() >= 1) {
      put(' ');
    }
    if (n > freeAtStart && !text_.empty()) {
      emit();
      if (n <= free()) {
        put(' ');
        leadingBlankPending_ = false;
      }
    }
    // A string longer than the room left runs on into continuation records.
    while (!s.empty()) {
      if (free() == 0) emit();
      const std::size_t take = std::min(s.size(), free());
      text_.append(s.substr(0, take));
      s.remove_prefix(take);
      leadingBlankPending_ = false;
    }
    previous_ = Kind::String;
  }

  void putNumber(std::string_view field) {
    if (free() < field.size()) emit();
    text_.append(field);
    leadingBlankPending_ = false;
    previous_ = Kind::Number;
  }

  void finish() {
    if (text_.empty()) put(' ');
    text_.append(kRecordEnd);
    writeRecordBytes(connection_, text_);
  }

 private:
  enum class Kind { None, String, Number };

  std::size_t free() const { return kRecordColumns - text_.size(); }
  void put(char c) { text_.push_back(c); }

  void start() {
    text_.clear();
    leadingBlankPending_ = true;
    previous_ = Kind::None;
  }

  void emit() {
    text_.append(kRecordEnd);
    writeRecordBytes(connection_, text_);
    start();
  }

  Connection& connection_;
  std::string text_;
  bool leadingBlankPending_ = true;
  Kind previous_ = Kind::None;
};

void writeItems(int unit, const Item* first, const Item* last) {
  RecordBuilder record(connectionFor(unit, IoErrorNumber::WriteError));
  for (const Item* item = first; item != last; ++item) {
    if (const auto* s = std::get_if<std::string_view>(item)) {
      record.putString(*s);
    } else if (const auto* i = std::get_if<std::int32_t>(item)) {
      record.putNumber(formatIntegerField(*i));
    } else {
      record.putNumber(formatFloatField(std::get<float>(*item)));
    }
  }
  record.finish();
}

}  // namespace

std::string formatIntegerField(std::int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return rightJustified(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)),
                        kIntegerWidth);
}

std::string formatFloatField(float value) {
  if (std::isnan(value)) return " NaN           ";
  if (std::isinf(value)) return value > 0 ? " Infinity      " : " -Infinity     ";
  if (value == 0.0f) return "  0.0000000E+00";

  // The float widened to double is the exact binary value, and to_chars with
  // a precision rounds that exact value to nearest, ties to even.
  const double v = std::fabs(static_cast<double>(value));
  const char* sign = value < 0.0f ? "-" : "";
  char text[64];

  // r = v to 7 significant digits; its decimal exponent picks the form, and
  // since it is taken after rounding, 9999999.5 already counts as 1.000000E+07.
  auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 6);
  int exponent = 0;
  const char* e = std::find(text, r.ptr, 'e');
  std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);

  if (exponent >= -1 && exponent <= 6) {
    // Fixed form: k digits before the point (0 below 1), 7 - k after it, so
    // the same 7 significant digits as r.
    const int k = exponent + 1;
    auto f = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 7 - k);
    std::string number = sign;
    number.append(text, f.ptr);
    if (k == 7) number += '.';
    return rightJustified(number, 11) + "    ";
  }

  // Exponent form: d.ddddddd, the letter E, the sign and two digits.
  auto x = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 7);
  std::string number = sign;
  number.append(text, x.ptr);
  number[number.find('e')] = 'E';
  return rightJustified(number, kFloatWidth);
}

void writeList(int unit, std::initializer_list<Item> items) {
  writeItems(unit, items.begin(), items.end());
}

void writeList(int unit, const std::vector<Item>& items) {
  writeItems(unit, items.data(), items.data() + items.size());
}

void writeRecord(int unit, std::string_view text) {
  Connection& connection = connectionFor(unit, IoErrorNumber::WriteError);
  std::string record(text);
  record.append(kRecordEnd);
  writeRecordBytes(connection, record);
}

}  // namespace ploverix::textio
