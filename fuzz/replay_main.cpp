// Replays a family's inputs without libFuzzer: first the seeds its writers
// make now (and the inputs kept from libFuzzer for their size), then every
// file of the folders (or the files) named, in name order. Any broken
// promise aborts; 0 when every input was taken.
//   replay_<family> [--write-seeds <folder>] [folder-or-file ...]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  vmkfuzz::SetUp();
  const vmkfuzz::Family& family = vmkfuzz::TheFamily();
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--write-seeds" && i + 1 < argc) {
      std::printf("%s: wrote %d seeds\n", family.name, vmkfuzz::WriteSeeds(argv[++i]));
      return 0;
    }
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      for (const auto& e : fs::directory_iterator(arg, ec))
        if (e.is_regular_file()) inputs.push_back(e.path().string());
    } else {
      inputs.push_back(arg);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  int seeds = 0;
  for (const vmkfuzz::Bytes& b : family.seeds()) {
    family.one(b.data(), b.size());
    ++seeds;
  }
  if (family.replayOnly)
    for (const vmkfuzz::Bytes& b : family.replayOnly()) {
      family.one(b.data(), b.size());
      ++seeds;
    }
  for (const std::string& path : inputs) {
    const vmkfuzz::Bytes b = vmkfuzz::GetFile(path);
    family.one(b.data(), b.size());
  }
  std::printf("%s: %d seeds and %zu corpus inputs replayed\n", family.name, seeds, inputs.size());
  return 0;
}
