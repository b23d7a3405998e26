// Internal to textio: the connection behind a unit, shared by the unit table,
// the writer and the reader. Not part of the subsystem's public header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textio/textio.h"

namespace ploverix::textio {

struct Connection {
  int unit = 0;
  std::string name;       // "CONIN$", "CONOUT$" or the absolute path
  int fd = -1;
  bool console = false;   // standard input or output: its descriptor is never closed
  bool readOnly = false;  // no writing: the open fell back to reading only, or standard input
  bool writeOnly = false; // no reading: standard output
  bool truncatePending = false;  // cut the file after the next record written

  // Input buffer: bytes [pos, end) of `buffer` are read from the file but not
  // yet taken as records. `atEnd` is set once read(2) has returned 0.
  std::string buffer;
  std::size_t pos = 0;
  std::size_t end = 0;
  bool atEnd = false;
};

// The connection of `unit`, connecting the default units on first use. For
// any other unit that is not connected, throws the error `whenUnconnected`
// (38 for a write, 39 for a read) with the system's "bad file descriptor".
Connection& connectionFor(int unit, IoErrorNumber whenUnconnected);

// Writes the complete record `bytes` (terminator included) to `connection`,
// then cuts the file after it if a cut is pending. Throws IoError (38, 47).
void writeRecordBytes(Connection& connection, std::string_view bytes);

// Takes the next record of `connection` (without its LF, nor a CR before the
// LF). The view stays valid until the next call for the same connection.
// Returns false at the end of the input (also for a record of one Ctrl+Z).
// Throws IoError (22, 39).
bool takeRecord(Connection& connection, std::string_view& record);

// Closes the file descriptors of every connected file. Async-signal-safe: the
// interrupt handler calls it; nothing else about the units is touched.
void closeFilesForInterrupt() noexcept;

}  // namespace ploverix::textio
