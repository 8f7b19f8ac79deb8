// Fuzz target: warp-frame files: CWarpPath::Do_A_file loading a named file
// (mode 2), scaled to the caller's size. A refused file leaves the caller's
// point arrays as they were; points read can be saved again (mode 1, through
// the save dialog).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "paths/warp_frame.h"
#include "platform/files/file_types.h"

namespace vmkfuzz {
namespace {

using Points = std::vector<float>;

struct Arrays {
  explicit Arrays(float base) : xs(CWarpPath::kPoints), ys(CWarpPath::kPoints) {
    for (int i = 0; i < CWarpPath::kPoints; ++i) {
      xs[i] = base + 3.5f * i;
      ys[i] = base - 1.25f * i;
    }
  }
  Points xs, ys;
};

// Saves the arrays through the save dialog as `name` (the dialog adds the
// kind's extension); its bytes, empty when the save failed or wrote nothing.
Bytes SaveWarp(int16_t kind, Arrays& a, int32_t w, int32_t h, const std::string& name) {
  const std::string posix = File(name);
  const std::string saved = plat::files::WithTypeExtension(posix, CWarpPath::FileTypeOfKind(kind));
  PutFile(saved, nullptr, 0);
  Ui().AnswerSaveFile(posix, true);
  CWarpPath frame;
  if (frame.Do_A_file(kind, 1, SpecForPath(File("")), w, h, a.xs.data(), a.ys.data()) != 0)
    return {};
  return GetFile(saved);
}

std::vector<Bytes> WarpSeeds() {
  std::vector<Bytes> out;
  Arrays a(10.0f), b(-4.0f);
  out.push_back(SaveWarp(2, a, 640, 480, "seed.wrp"));
  out.push_back(SaveWarp(33, b, 0, 0, "seed2.wrp"));
  for (const Bytes& seed : out)
    if (seed.empty()) Violation("harness: warp seed");
  return out;
}

void WarpOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.wrp");
  PutFile(path, data, size);
  int32_t rc = -1;
  for (const int16_t kind : {int16_t{20}, int16_t{33}}) {
    Arrays a(1.0f);
    const Arrays before = a;
    CWarpPath frame;
    const int32_t r = frame.Do_A_file(kind, 2, SpecForPath(path), 300, 200, a.xs.data(), a.ys.data());
    if (r != 0 && r != -1) Violation("Do_A_file answer", std::to_string(r));
    if (r != 0 && (a.xs != before.xs || a.ys != before.ys))
      Violation("Do_A_file changed the points on a refused file");
    if (r == 0 && SaveWarp(kind, a, 300, 200, "again.wrp").empty())
      Violation("Do_A_file: the points read cannot be saved again");
    rc = r;
  }
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"warp", WarpSeeds, WarpOne};
  return family;
}

}  // namespace vmkfuzz
