// A session record for benchmarks: installs gPer with its own block
// registry, which the raster functions draw their work buffers from.
#pragma once

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"

struct BenchSession {
  CMemMan man;
  TPermanent per;
  TPermanent* previous;
  BenchSession() : previous(gPer) {
    per.memMan = &man;
    gPer = &per;
  }
  ~BenchSession() { gPer = previous; }
  BenchSession(const BenchSession&) = delete;
  BenchSession& operator=(const BenchSession&) = delete;
};
