// The frame every fuzz target shares. A target is one reader family: the
// inputs it is given, the seeds its own writers make, and the promises it
// checks besides the sanitizers':
//   * a reader answers 0 or -1 (image files: 0 or a negative status);
//   * where a reader promises to leave the caller's record alone on a
//     refused file, the record (and its planes, masks and texts) is byte
//     for byte as it was;
//   * what a reader accepted can be stored again by its own writer.
// A broken promise prints "VMK-INVARIANT" and aborts, which both libFuzzer
// and the replay test report as a failure.
//
// The same target source builds two programs: fuzz_<family> on libFuzzer
// (clang only, scripts/fuzz), and replay_<family>, a plain driver that runs
// the writers' seeds and a checked-in corpus as an ordinary test.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/file_records.h"
#include "platform/toolbox/api/scripted_ui.h"

namespace vmkfuzz {

using Bytes = std::vector<uint8_t>;

struct Family {
  Family(const char* name, std::function<std::vector<Bytes>()> seeds,
         std::function<void(const uint8_t*, size_t)> one, std::function<std::vector<Bytes>()> replayOnly = {})
      : name(name), seeds(std::move(seeds)), one(std::move(one)), replayOnly(std::move(replayOnly)) {}
  const char* name;
  // Valid inputs made by the family's own writers.
  std::function<std::vector<Bytes>()> seeds;
  // One input: read it and check the promises.
  std::function<void(const uint8_t* data, size_t size)> one;
  // Inputs the replay runs besides the seeds but that are not handed to
  // libFuzzer: too large to fuzz at speed.
  std::function<std::vector<Bytes>()> replayOnly;
};

// Defined by each target.
const Family& TheFamily();

// Sets up the process once: a session with its memory manager and drawing
// settings, application data whose maker's folder is a private work folder,
// and a scripted user who answers the save dialogs.
void SetUp();

[[noreturn]] void Violation(const char* what, const std::string& detail = {});

// Outcome counts, printed at exit when VMK_FUZZ_STATS is set.
void Accepted();
void RefusedChecked();

// The private work folder and files in it.
std::string File(const std::string& name);
void PutFile(const std::string& path, const uint8_t* data, size_t size);
Bytes GetFile(const std::string& path);
FSSpec SpecForPath(const std::string& posix);
plat::ui::ScriptedUi& Ui();

template <class R>
Bytes RawBytes(const R& r) {
  Bytes b(sizeof(R));
  std::memcpy(b.data(), static_cast<const void*>(&r), sizeof(R));
  return b;
}

// Writes the family's seeds into `folder` as seed-<family>-<n>; their count.
int WriteSeeds(const std::string& folder);

}  // namespace vmkfuzz
