// The unit table: which unit is connected to what, opening and closing files
// with status unknown, and the raw transfer of records to and from the system.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <signal.h>

#include "textio/connection.h"

namespace ploverix::textio {
namespace {

// Enough for the program's five units with room to spare; an open beyond it
// fails like an open beyond the system's limit.
constexpr int kMaxConnections = 16;

// Input records are read in chunks of this size; a longer record grows the
// buffer up to kMaxRecordBytes, beyond which it counts as too long (22).
constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 30;

struct Slot {
  bool used = false;
  Connection connection;
};

std::array<Slot, kMaxConnections> slots;

// The descriptors of connected files, mirrored for the interrupt handler,
// which may only read plain integers (-1: none).
volatile sig_atomic_t fileDescriptors[kMaxConnections] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                          -1, -1, -1, -1, -1, -1, -1, -1};

Slot* findSlot(int unit) {
  for (Slot& slot : slots) {
    if (slot.used && slot.connection.unit == unit) return &slot;
  }
  return nullptr;
}

Slot* freeSlot() {
  for (Slot& slot : slots) {
    if (!slot.used) return &slot;
  }
  return nullptr;
}

void release(Slot& slot) {
  Connection& c = slot.connection;
  if (!c.console && c.fd >= 0) {
    fileDescriptors[&slot - slots.data()] = -1;
    ::close(c.fd);
  }
  slot.used = false;
  c = Connection{};
}

Connection& connectConsole(int unit) {
  Slot* slot = freeSlot();
  if (slot == nullptr) {
    throw IoError(IoErrorNumber::OpenFailure, unit,
                  unit == kDefaultInput ? "CONIN$" : "CONOUT$", EMFILE);
  }
  slot->used = true;
  Connection& c = slot->connection;
  c = Connection{};
  c.unit = unit;
  c.console = true;
  if (unit == kDefaultInput) {
    c.name = "CONIN$";
    c.fd = 0;
    c.readOnly = true;
  } else {
    c.name = "CONOUT$";
    c.fd = 1;
    c.writeOnly = true;
  }
  return c;
}

// The catalogue entry for an open that the system refused with `err`.
IoErrorNumber openErrorNumber(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return IoErrorNumber::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return IoErrorNumber::FileNotFound;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      return IoErrorNumber::FileNameError;
    default:
      return IoErrorNumber::OpenFailure;
  }
}

// Only an open failure without an entry of its own shows the system's message.
// Inlined so that the traceback starts at the open.
[[noreturn, gnu::always_inline]] inline void throwOpenError(int unit, const std::string& name, int err) {
  const IoErrorNumber number = openErrorNumber(err);
  throw IoError(number, unit, name, number == IoErrorNumber::OpenFailure ? err : 0);
}

}  // namespace

Connection& connectionFor(int unit, IoErrorNumber whenUnconnected) {
  if (Slot* slot = findSlot(unit)) return slot->connection;
  if (unit == kDefaultOutput || unit == kMessageUnit || unit == kDefaultInput) {
    return connectConsole(unit);
  }
  throw IoError(whenUnconnected, unit, "", EBADF);
}

void openUnknown(int unit, std::string_view name) {
  closeUnit(unit);
  if (name.empty() || name.find('\0') != std::string_view::npos) {
    throw IoError(IoErrorNumber::FileNameError, unit, std::string(name));
  }
  std::string path;
  if (name.front() == '/') {
    path = name;
  } else {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) throwOpenError(unit, std::string(name), errno);
    path = cwd;
    if (path.back() != '/') path += '/';
    path += name;
  }
  Slot* slot = freeSlot();
  if (slot == nullptr) throw IoError(IoErrorNumber::OpenFailure, unit, path, EMFILE);

  bool readOnly = false;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int refused = errno;
    if (refused != EACCES && refused != EPERM && refused != EROFS && refused != ETXTBSY) {
      throwOpenError(unit, path, refused);
    }
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    // When reading is refused too, the refusal of writing is what the user
    // must fix (a missing file in a protected directory reports ENOENT here).
    if (fd < 0) throwOpenError(unit, path, refused == ETXTBSY ? errno : refused);
    readOnly = true;
  }

  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);

  slot->used = true;
  Connection& c = slot->connection;
  c = Connection{};
  c.unit = unit;
  c.name = std::move(path);
  c.fd = fd;
  c.readOnly = readOnly;
  // Only a regular file can be cut; devices and pipes take the records as they come.
  c.truncatePending = regular && !readOnly;
  fileDescriptors[slot - slots.data()] = fd;
}

void closeUnit(int unit) {
  if (Slot* slot = findSlot(unit)) release(*slot);
}

void closeAllUnits() noexcept {
  for (Slot& slot : slots) {
    if (slot.used) release(slot);
  }
}

void closeFilesForInterrupt() noexcept {
  for (int i = 0; i < kMaxConnections; ++i) {
    const int fd = fileDescriptors[i];
    if (fd >= 0) ::close(fd);
  }
}

void writeRecordBytes(Connection& c, std::string_view bytes) {
  if (c.readOnly) throw IoError(IoErrorNumber::WriteToReadOnly, c.unit, c.name);
  if (!c.console && c.end > c.pos) {
    // Input read ahead of the last record taken: the record goes where the
    // reading stopped, as if the file had been read record by record.
    if (::lseek(c.fd, -static_cast<off_t>(c.end - c.pos), SEEK_CUR) < 0) {
      throw IoError(IoErrorNumber::WriteError, c.unit, c.name, errno);
    }
  }
  c.pos = c.end = 0;
  c.atEnd = false;

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(c.fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw IoError(IoErrorNumber::WriteError, c.unit, c.name, errno);
    }
    if (n == 0) throw IoError(IoErrorNumber::WriteError, c.unit, c.name, ENOSPC);
    data += n;
    left -= static_cast<std::size_t>(n);
  }

  if (c.truncatePending) {
    const off_t here = ::lseek(c.fd, 0, SEEK_CUR);
    if (here < 0 || ::ftruncate(c.fd, here) != 0) {
      throw IoError(IoErrorNumber::WriteError, c.unit, c.name, errno);
    }
    c.truncatePending = false;
  }
}

bool takeRecord(Connection& c, std::string_view& record) {
  if (c.writeOnly) throw IoError(IoErrorNumber::ReadError, c.unit, c.name, EBADF);
  std::size_t searchFrom = c.pos;
  for (;;) {
    const char* base = c.buffer.data();
    const void* lf = c.end > searchFrom ? std::memchr(base + searchFrom, '\n', c.end - searchFrom)
                                        : nullptr;
    if (lf != nullptr) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
      record = std::string_view(base + c.pos, at - c.pos);
      if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
      c.pos = at + 1;
    } else if (c.atEnd) {
      if (c.pos == c.end) return false;
      // The last line of a file is a record even without its line feed.
      record = std::string_view(base + c.pos, c.end - c.pos);
      c.pos = c.end;
    } else {
      // Need more bytes: keep the unfinished record at the front of the buffer.
      if (c.pos > 0) {
        std::memmove(c.buffer.data(), c.buffer.data() + c.pos, c.end - c.pos);
        c.end -= c.pos;
        c.pos = 0;
      }
      searchFrom = c.end;
      if (c.end == c.buffer.size()) {
        const std::size_t grown = c.buffer.empty() ? kChunkBytes : 2 * c.buffer.size();
        if (grown > kMaxRecordBytes) throw IoError(IoErrorNumber::RecordTooLong, c.unit, c.name);
        try {
          c.buffer.resize(grown);
        } catch (const std::bad_alloc&) {
          throw IoError(IoErrorNumber::RecordTooLong, c.unit, c.name);
        }
      }
      ssize_t n;
      do {
        n = ::read(c.fd, c.buffer.data() + c.end, c.buffer.size() - c.end);
      } while (n < 0 && errno == EINTR);
      if (n < 0) throw IoError(IoErrorNumber::ReadError, c.unit, c.name, errno);
      if (n == 0) {
        c.atEnd = true;
      } else {
        c.end += static_cast<std::size_t>(n);
      }
      continue;
    }
    // A record of one Ctrl+Z is the end of the input, not data.
    if (record.size() == 1 && record.front() == '\x1a') return false;
    return true;
  }
}

}  // namespace ploverix::textio
