// Fuzz target: The grid-warp file with its selection plane (Do_AGrid_file).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "engines/correction/grid_record.h"

namespace vmkfuzz {
namespace {


constexpr int32_t kGridW = 8, kGridH = 6;

struct GridKit {
  std::unique_ptr<GridPar> pristine = std::make_unique<GridPar>();
  std::unique_ptr<GridPar> work = std::make_unique<GridPar>();
  uint8_t planePristine[kGridW * kGridH] = {};
  uint8_t plane[kGridW * kGridH] = {};
  int16_t Do(int16_t mode, FSSpec spec) {
    return Do_AGrid_file(mode, spec, work.get(), 1, kGridW, kGridH, plane);
  }
};

GridKit& Grid() {
  static GridKit* k = [] {
    auto* g = new GridKit;
    Init_GridPar(g->pristine.get(), 640, 480, 9, 9, 1, 3, 1, 1);
    for (int32_t i = 0; i < kGridW * kGridH; ++i) g->planePristine[i] = static_cast<uint8_t>(1 + i);
    std::memcpy(static_cast<void*>(g->work.get()), g->pristine.get(), sizeof(GridPar));
    std::memcpy(g->plane, g->planePristine, sizeof g->plane);
    return g;
  }();
  return *k;
}

std::vector<Bytes> GridSeeds() {
  std::vector<Bytes> out;
  GridKit& g = Grid();
  const int shapes[][4] = {{4, 3, 1, 3}, {2, 2, 2, 1}, {1, 1, 1, 1}};
  int n = 0;
  for (const auto& s : shapes) {
    Init_GridPar(g.work.get(), 640, 480, s[0], s[1], s[2], s[3], 1, 1);
    g.work->head.w[kGpCount] = n + 1;  // one, two and three grids in use
    for (int32_t i = 0; i < kGridW * kGridH; ++i)
      g.plane[i] = static_cast<uint8_t>(i % 5 == 0 ? 200 : (n == 1 ? i : 0));
    const std::string path = File("grid-seed" + std::to_string(n++) + ".hxgr");
    if (g.Do(3, SpecForPath(path)) != 0) Violation("grid seed writer failed");
    out.push_back(GetFile(path));
  }
  std::memcpy(static_cast<void*>(g.work.get()), g.pristine.get(), sizeof(GridPar));
  std::memcpy(g.plane, g.planePristine, sizeof g.plane);
  return out;
}

// The caller's record is 23 MB, most of it grids not in use: copying and comparing the whole
// of it for every input held the target to some 30 inputs a second. A read writes the
// record only once the whole file has been taken, and then only the head, the file records
// and the grids the file holds, so the parts compared and put back are the head, every file
// record, every grid's head words, and the grids either side has in use.
int32_t InUse(const GridPar& r) { return std::clamp(r.head.w[kGpCount], 0, kGridSlots); }

bool SameAsPristine(const GridKit& g) {
  const GridPar& a = *g.pristine;
  const GridPar& b = *g.work;
  if (std::memcmp(&a.head, &b.head, sizeof a.head) != 0 ||
      std::memcmp(a.files, b.files, sizeof a.files) != 0)
    return false;
  for (int32_t i = 0; i < kGridSlots; ++i) {
    const size_t bytes = i < std::max(InUse(a), InUse(b)) ? sizeof(GridInfo) : sizeof a.grids[i].w;
    if (std::memcmp(&a.grids[i], &b.grids[i], bytes) != 0) return false;
  }
  return true;
}

void PutBack(GridKit& g, int32_t grids) {
  std::memcpy(&g.work->head, &g.pristine->head, sizeof g.pristine->head);
  std::memcpy(g.work->files, g.pristine->files, sizeof g.pristine->files);
  for (int32_t i = 0; i < grids; ++i)
    std::memcpy(&g.work->grids[i], &g.pristine->grids[i], sizeof(GridInfo));
  std::memcpy(g.plane, g.planePristine, sizeof g.plane);
}

void GridOne(const uint8_t* data, size_t size) {
  GridKit& g = Grid();
  const std::string path = File("offered.hxgr");
  PutFile(path, data, size);
  const int16_t rc = g.Do(2, SpecForPath(path));
  if (rc != 0 && rc != -1) Violation("grid answer");
  if (rc == -1 && (!SameAsPristine(g) || std::memcmp(g.plane, g.planePristine, sizeof g.plane) != 0))
    Violation("grid: record or plane changed by a refused file");
  rc == 0 ? Accepted() : RefusedChecked();
  if (rc == 0) {
    const std::string again = File("again.hxgr");
    if (g.Do(3, SpecForPath(again)) != 0) Violation("grid: what was read cannot be stored again");
    PutBack(g, std::max(InUse(*g.pristine), InUse(*g.work)));
  }
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"grid", GridSeeds, GridOne};
  return family;
}

}  // namespace vmkfuzz
