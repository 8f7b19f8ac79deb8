#pragma once

// The process's resident memory as the kernel reports it, for the benchmarks that print a
// render's peak beside its time.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <malloc.h>

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline long StatusKb(const char* field) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kb = -1;
  const size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
      kb = std::strtol(line + n + 1, nullptr, 10);
      break;
    }
  std::fclose(f);
  return kb;
}

// The peak starts again from what the process holds now, once the allocator has handed its
// free memory back: the rise after it is the next measurement's alone.
inline bool ResetPeakResident() {
  malloc_trim(0);
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (f == nullptr) return false;
  const bool done = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && done;
}
