// What the benchmarks measure with: a file's bytes, the time a step takes (by the clock on the
// wall or by this process's CPU) and the peak of resident memory so far.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace quorlan::bench {

// The whole file, or nothing when it cannot be opened.
inline std::optional<std::string> file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::stringstream ss;
  ss << file.rdbuf();
  return std::move(ss).str();
}

template <class F>
double wall_seconds(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <class F>
double cpu_seconds(F&& f) {
  const double t0 = cpu_now();
  f();
  return cpu_now() - t0;
}

// The process's maximum resident set size so far, in MB.
inline double peak_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

}  // namespace quorlan::bench
