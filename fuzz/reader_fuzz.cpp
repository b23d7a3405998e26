// Feeds arbitrary bytes to the list-directed reader through a file unit. The
// first byte chooses the kinds of the targets (bit set: float); the rest is
// the file. Every outcome is either values or a typed IoError; anything else
// (a crash, a sanitizer report, another exception) is a fault.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "textio/textio.h"

namespace {

using namespace ploverix::textio;

int memoryFile() {
  static const int fd = memfd_create("fuzz_reader", 0);
  return fd;
}

void checkField(float value) {
  const std::string field = formatFloatField(value);
  if (field.size() != 15) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t kinds = data[0];
  const int fd = memoryFile();
  if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
  if (size > 1 && ::pwrite(fd, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) {
    std::abort();
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  try {
    openUnknown(10, path);
    // Two reads: the second starts on the record after the first one's last.
    for (int read = 0; read < 2; ++read) {
      ListRead r(10);
      for (int target = 0; target < 24; ++target) {
        if ((kinds >> (target % 8)) & 1) {
          float value = 0.0f;
          r.get(value);
          checkField(value);
        } else {
          std::int32_t value = 0;
          r.get(value);
          if (formatIntegerField(value).size() != 12) std::abort();
        }
      }
    }
  } catch (const IoError& error) {
    const int n = static_cast<int>(error.number);
    if (n != 22 && n != 24 && n != 39 && n != 59 && n != 64) std::abort();
  }
  closeAllUnits();
  return 0;
}
