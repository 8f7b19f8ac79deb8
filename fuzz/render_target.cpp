// Fuzz target: the render file: MiscRender::ReadWriteRendFile reading back,
// rescaled into the caller's area, with and without a fourth plane. A refused
// file leaves the caller's planes as they were; planes read can be written
// again.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "script/misc_render.h"

namespace vmkfuzz {
namespace {

struct Planes {
  Planes(int32_t w, int32_t h, int seed) : width(w), height(h) {
    for (int c = 0; c < 4; ++c) {
      p[c].resize(static_cast<size_t>(w) * h);
      for (size_t i = 0; i < p[c].size(); ++i)
        p[c][i] = static_cast<uint8_t>(seed + i * (c + 1));
    }
  }
  int32_t width, height;
  Bytes p[4];
};

std::string RenderPath() {
  fichier f;
  if (!RenderFileRecord(&f)) Violation("harness: render file record");
  return FicToPosix(f);
}

int32_t Write(Planes& q, int32_t right, int32_t bottom) {
  MiscRender r;
  return r.ReadWriteRendFile(0, q.width, q.height, q.p[0].data(), q.p[1].data(), q.p[2].data(),
                             q.p[3].data(), right, bottom);
}

std::vector<Bytes> RenderSeeds() {
  std::vector<Bytes> out;
  for (const auto [w, h, right, bottom] : {std::array{12, 9, 12, 7}, std::array{5, 17, 3, 17}}) {
    Planes q(w, h, w);
    if (Write(q, right, bottom) != 0) Violation("harness: render seed");
    out.push_back(GetFile(RenderPath()));
  }
  return out;
}

// Reads the file into planes of w x h over (0, 0)-(right, bottom); the answer.
int32_t ReadInto(const char* what, int32_t w, int32_t h, int32_t right, int32_t bottom,
                 bool fourth) {
  Planes q(w, h, 3);
  const Planes before = q;
  MiscRender r;
  const int32_t rc = r.ReadWriteRendFile(1, w, h, q.p[0].data(), q.p[1].data(), q.p[2].data(),
                                         fourth ? q.p[3].data() : nullptr, right, bottom);
  if (rc != 0 && rc != -1) Violation(what, std::to_string(rc));
  for (int c = 0; c < 4; ++c) {
    if (rc != 0 && q.p[c] != before.p[c]) Violation(what, "changed the planes on a refused file");
    if (!fourth && c == 3 && q.p[c] != before.p[c]) Violation(what, "wrote the absent plane");
  }
  if (rc == 0 && Write(q, right, bottom) != 0) Violation(what, "planes read cannot be written");
  return rc;
}

void RenderOne(const uint8_t* data, size_t size) {
  const std::string path = RenderPath();
  PutFile(path, data, size);
  const int32_t rc = ReadInto("read at 12 x 9", 12, 9, 12, 9, true);
  // The write above replaced the file: offer it again for the rescaled read.
  PutFile(path, data, size);
  ReadInto("read rescaled, no fourth plane", 20, 15, 17, 11, false);
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"render", RenderSeeds, RenderOne};
  return family;
}

}  // namespace vmkfuzz
