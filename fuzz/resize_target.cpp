// Fuzz target: The content-aware resize file with its two run-length masks
// (Do_AYoxel_file).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "engines/correction/resize_record.h"

namespace vmkfuzz {
namespace {


constexpr int32_t kMaskW = 6, kMaskH = 4;

struct ResizeKit {
  YoxelPar r{};
  Bytes before;
  void Init(int variant) {
    Dele_YoxelMsk(&r);
    r = YoxelPar{};
    Init_YoxelPar(&r, variant == 0 ? 3000 : 640, variant == 0 ? 2000 : 480, 300, 0, 8);
    r.maskWidth = kMaskW;
    r.maskHeight = kMaskH;
    Init_YoxelMsk(&r, 0);
    for (int32_t k = 0; k < kMaskW * kMaskH; ++k) {
      r.protectMask[k] = static_cast<int16_t>(variant == 0 ? (k / 3) % 7 * 1000 : k + 1);
      r.removeMask[k] = static_cast<int16_t>(variant == 0 && k % kMaskW < 2 ? -16384 : 0);
    }
  }
  int16_t Do(int16_t mode, FSSpec spec) {
    return Do_AYoxel_file(mode, spec, &r, 1, kMaskW, kMaskH, r.protectMask, r.removeMask);
  }
  Bytes Snapshot() {
    Bytes b = RawBytes(r);
    const size_t masks = static_cast<size_t>(kMaskW + 1) * (kMaskH + 1) * sizeof(int16_t);
    const auto* p = reinterpret_cast<const uint8_t*>(r.protectMask);
    const auto* q = reinterpret_cast<const uint8_t*>(r.removeMask);
    b.insert(b.end(), p, p + masks);
    b.insert(b.end(), q, q + masks);
    return b;
  }
};

ResizeKit& Resize() {
  static ResizeKit* k = new ResizeKit;
  return *k;
}

std::vector<Bytes> ResizeSeeds() {
  ResizeKit& k = Resize();
  k.Init(0);
  const std::string path = File("seed.hyxl");
  if (k.Do(3, SpecForPath(path)) != 0) Violation("resize seed writer failed");
  return {GetFile(path)};
}

void ResizeOne(const uint8_t* data, size_t size) {
  ResizeKit& k = Resize();
  k.Init(1);
  const Bytes before = k.Snapshot();
  const std::string path = File("offered.hyxl");
  PutFile(path, data, size);
  const int16_t rc = k.Do(2, SpecForPath(path));
  if (rc != 0 && rc != -1) Violation("resize answer");
  if (rc == -1 && k.Snapshot() != before) Violation("resize: record or masks changed by a refused file");
  rc == 0 ? Accepted() : RefusedChecked();
  if (rc == 0 && k.Do(3, SpecForPath(File("again.hyxl"))) != 0)
    Violation("resize: what was read cannot be stored again");
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"resize", ResizeSeeds, ResizeOne};
  return family;
}

}  // namespace vmkfuzz
