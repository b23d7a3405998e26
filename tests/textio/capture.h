// Test helpers: capture what the units write to standard output, feed bytes
// to standard input, and make scratch files.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace ploverix::textio::testing {

// Redirects file descriptor `fd` to a scratch file for its lifetime; text()
// returns everything written to it so far.
class DescriptorCapture {
 public:
  explicit DescriptorCapture(int fd) : fd_(fd) {
    std::fflush(nullptr);
    char name[] = "/tmp/textio-capture-XXXXXX";
    file_ = ::mkstemp(name);
    path_ = name;
    saved_ = ::dup(fd_);
    ::dup2(file_, fd_);
  }
  ~DescriptorCapture() {
    std::fflush(nullptr);
    ::dup2(saved_, fd_);
    ::close(saved_);
    ::close(file_);
    ::unlink(path_.c_str());
  }
  std::string text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

 private:
  int fd_;
  int file_ = -1;
  int saved_ = -1;
  std::string path_;
};

// Makes standard input read `bytes` (then end of file) for its lifetime.
class StdinFeed {
 public:
  explicit StdinFeed(const std::string& bytes) {
    char name[] = "/tmp/textio-stdin-XXXXXX";
    const int file = ::mkstemp(name);
    path_ = name;
    if (::write(file, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::lseek(file, 0, SEEK_SET);
    saved_ = ::dup(0);
    ::dup2(file, 0);
    ::close(file);
  }
  ~StdinFeed() {
    ::dup2(saved_, 0);
    ::close(saved_);
    ::unlink(path_.c_str());
  }

 private:
  int saved_ = -1;
  std::string path_;
};

// A fresh scratch directory, removed with its files at the end of the test.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char name[] = "/tmp/textio-dir-XXXXXX";
    path_ = ::mkdtemp(name);
  }
  ~ScratchDirectory() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace ploverix::textio::testing
