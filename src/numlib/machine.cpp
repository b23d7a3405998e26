// The machine constants of IEEE single precision and of 32-bit integers.
#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "numlib/internal.h"
#include "numlib/numlib.h"
#include "textio/textio.h"

namespace ploverix::numlib {

float AMACH(const int& n) {
  switch (n) {
    case 1: return std::numeric_limits<float>::min();            // 2^-126
    case 2: return std::numeric_limits<float>::max();            // (2 - 2^-23) 2^127
    case 3: return std::numeric_limits<float>::epsilon() / 2.0f;  // 2^-24
    case 4: return std::numeric_limits<float>::epsilon();         // 2^-23
    case 5: return 0.30103001f;                                   // log10(2)
    case 6: return std::bit_cast<float>(std::uint32_t{0x7FC00000});
    case 7: return std::numeric_limits<float>::infinity();
    case 8: return -std::numeric_limits<float>::infinity();
    default: break;
  }
  E1PSH("AMACH");
  E1INTG(1, n);
  E1MES(5, 5, "The argument must be between 1 and 8 inclusive. N = %(I1)");
  E1POP("AMACH");  // a TERMINAL error stops the run here
  return AMACH(6);
}

int IMACH(const int& n) {
  static constexpr int kConstants[13] = {0,   32, 4,     2,  31,   2147483647, 2,
                                         24,  -125, 128, 53, -1021, 1024};
  if (n >= 1 && n <= 12) return kConstants[n];

  // A direct write: the message machinery itself relies on these constants.
  int unit = 0;
  UMACH(2, unit);
  std::string number = std::to_string(n);
  if (number.size() < 6) number.insert(0, 6 - number.size(), ' ');
  textio::writeRecord(unit, "");
  textio::writeRecord(unit, " *** TERMINAL ERROR 5 from IMACH.  The argument");
  textio::writeRecord(unit, " ***          must be between 1 and 12 inclusive.");
  textio::writeRecord(unit, " ***          N = " + number + ".");
  textio::writeRecord(unit, "");
  throw LibraryStop("IMACH", 5, 5);
}

}  // namespace ploverix::numlib
