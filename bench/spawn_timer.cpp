// Times whole runs of a program: starts it RUNS times in DIR with standard
// input from STDIN and output to /dev/null, and prints the median and the
// fastest wall-clock time in microseconds. Used by run_whole.sh to set the
// start-up of a trivial program beside an everyday run, measured the same way.
//
//   spawn_timer RUNS DIR STDIN PROGRAM [ARGS...]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: spawn_timer RUNS DIR STDIN PROGRAM [ARGS...]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  if (runs < 1 || ::chdir(argv[2]) != 0) {
    std::fprintf(stderr, "spawn_timer: bad run count or directory\n");
    return 2;
  }
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, argv[3], O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, argv[4], &actions, nullptr, argv + 4, environ) != 0) {
      std::fprintf(stderr, "spawn_timer: cannot start %s\n", argv[4]);
      return 2;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%.0f %.0f\n", times[times.size() / 2], times.front());
  return 0;
}
