// What the benchmark programs share: a session record that installs gPer with its own
// block registry (the raster functions draw their work buffers from it), the three-plane
// picture the engines run on and a scratch folder for the files they read. Plain C++: the
// side-by-side peers program includes it too, without Google Benchmark.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/core/file_records.h"
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

// Three planes of width x height in a diagonal pattern: sample i of plane k is 7 i + 50 k,
// modulo 256.
struct BenchPlanes {
  std::vector<uint8_t> p[3];
  BenchPlanes(int32_t width, int32_t height) {
    for (int32_t k = 0; k < 3; ++k) {
      p[k].resize(static_cast<size_t>(width) * height);
      for (size_t i = 0; i < p[k].size(); ++i) p[k][i] = static_cast<uint8_t>((i * 7 + k * 50) & 255);
    }
  }
};

// A scratch folder under the temporary folder, removed with what it holds when the object
// goes; `path` stays empty when none could be made.
struct BenchScratchDir {
  std::string path;
  BenchScratchDir() {
    std::string t = (std::filesystem::temp_directory_path() / "vmk-bench-XXXXXX").string();
    if (::mkdtemp(t.data()) != nullptr) path = t;
  }
  ~BenchScratchDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  BenchScratchDir(const BenchScratchDir&) = delete;
  BenchScratchDir& operator=(const BenchScratchDir&) = delete;
};

// A file record naming a POSIX path.
inline fichier BenchFileRecord(const std::string& path) {
  fichier f;
  Init_FicStruct(&f);
  SetFicFromPosix(&f, path);
  return f;
}
