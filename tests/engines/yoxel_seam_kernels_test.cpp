// The tuned seam steps (row-wise maps, memmove and row-order shifts) against plain
// references written sample by sample from the rules, in both directions, on random planes
// with extreme energies and seams that touch both ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "engines/correction/yoxel_seams.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

namespace {

constexpr int32_t kStride = 40, kMaxH = 40, kAlong = 23, kAcross = 37;
constexpr int64_t kMax = 2147483647;

// Sample (i along the seam, j across it) of a plane: vertical seams run down rows.
struct Axis {
  bool vertical;
  int64_t at(int32_t i, int32_t j) const {
    return vertical ? int64_t{i} * kStride + j : int64_t{j} * kStride + i;
  }
};

int32_t Sat(int64_t v) {
  return static_cast<int32_t>(std::clamp(v, -kMax, kMax));
}
uint8_t Mean(uint8_t a, uint8_t b) {
  return static_cast<uint8_t>((a + b) >> 1);
}
int32_t Mean(int32_t a, int32_t b) {
  return static_cast<int32_t>((int64_t{a} + b) / 2);
}

void RefMap(const Axis& a, int32_t along, int32_t across, std::vector<int32_t>& m,
            const std::vector<int32_t>& e1, const std::vector<int32_t>& e2,
            const std::vector<int32_t>* e3, const int32_t* seed) {
  for (int32_t i = 0; i < along; ++i) {
    const int32_t lo = seed ? std::max(*seed - 3 - i, 0) : 0;
    const int32_t hi = seed ? std::min(*seed + 2 + i, across - 1) : across - 1;
    for (int32_t j = lo; j <= hi; ++j) {
      int64_t v = int64_t{e1[a.at(i, j)]} + e2[a.at(i, j)] + (e3 ? (*e3)[a.at(i, j)] : 0);
      if (i > 0) {
        int32_t least = m[a.at(i - 1, j)];
        if (j > 0) least = std::min(least, m[a.at(i - 1, j - 1)]);
        if (j + 1 < across) least = std::min(least, m[a.at(i - 1, j + 1)]);
        v += least;
      }
      m[a.at(i, j)] = Sat(v);
    }
  }
}

template <class T>
void RefRemove(const Axis& a, std::vector<T>& p, const std::vector<int32_t>& xs, int32_t across) {
  for (int32_t i = 0; i < kAlong; ++i) {
    const int32_t x = xs[i];
    if (x == across - 1) continue;
    if (x > 0) {
      p[a.at(i, x - 1)] = Mean(p[a.at(i, x - 1)], p[a.at(i, x)]);
      p[a.at(i, x)] = Mean(p[a.at(i, x)], p[a.at(i, x + 1)]);
      for (int32_t j = x + 2; j < across; ++j) p[a.at(i, j - 1)] = p[a.at(i, j)];
    } else {
      for (int32_t j = 1; j < across; ++j) p[a.at(i, j - 1)] = p[a.at(i, j)];
    }
  }
}

template <class T>
void RefInsert(const Axis& a, std::vector<T>& p, const std::vector<int32_t>& xs, int32_t across) {
  for (int32_t i = 0; i < kAlong; ++i) {
    const int32_t x = xs[i];
    for (int32_t j = across - 2; j >= x; --j) p[a.at(i, j + 1)] = p[a.at(i, j)];
    p[a.at(i, x)] = x > 0 ? Mean(p[a.at(i, x - 1)], p[a.at(i, x)]) : p[a.at(i, 1)];
  }
}

void RefAdded(const Axis& a, std::vector<int32_t>& p, const std::vector<int32_t>& xs,
              int32_t across) {
  for (int32_t i = 0; i < kAlong; ++i) {
    const int32_t x = xs[i];
    for (int32_t j = across - 2; j >= x; --j) p[a.at(i, j + 1)] = p[a.at(i, j)];
    const int32_t v = Sat(int64_t{p[a.at(i, x > 0 ? x : 1)]} + addweight);
    p[a.at(i, x)] = v;
    p[a.at(i, x + 1)] = v;
  }
}

struct Work {
  std::vector<uint8_t> b[4];
  std::vector<int32_t> w[4];  // map, edge, mask, added
  explicit Work(std::mt19937& rnd) {
    for (auto& p : b) {
      p.resize(kStride * kMaxH);
      for (auto& v : p) v = static_cast<uint8_t>(rnd());
    }
    for (auto& p : w) {
      p.resize(kStride * kMaxH);
      for (auto& v : p) {
        const uint32_t k = rnd() % 8;
        v = k == 0   ? 2147483647
            : k == 1 ? -2147483647
                     : static_cast<int32_t>(rnd() % 200001) - 100000;
      }
    }
  }
  bool operator==(const Work& o) const {
    for (int k = 0; k < 4; ++k)
      if (b[k] != o.b[k] || w[k] != o.w[k]) return false;
    return true;
  }
};

// Seam points at the ends and in between, one per position along the seam; or, narrow,
// all within four places of the middle, so that whole rows and columns lie beyond them.
std::vector<int32_t> Points(std::mt19937& rnd, int32_t across, bool narrow) {
  std::vector<int32_t> xs(kAlong);
  for (int32_t i = 0; i < kAlong; ++i) {
    if (narrow) {
      xs[i] = across / 2 - 2 + static_cast<int32_t>(rnd() % 4);
    } else {
      xs[i] = i % 5 == 0 ? 0 : i % 5 == 1 ? across - 1 : static_cast<int32_t>(rnd() % across);
    }
  }
  return xs;
}

std::vector<pixXY> Seam(bool vertical, const std::vector<int32_t>& xs) {
  std::vector<pixXY> s(kAlong);
  for (int32_t i = 0; i < kAlong; ++i) s[i] = vertical ? pixXY{xs[i], i} : pixXY{i, xs[i]};
  return s;
}

TEST(YoxelSeamKernels, MapsMatchThePlainSums) {
  // Each vector form of the row sums (AVX2: four columns a step in 64-bit lanes).
  for (const plat::SimdLevel level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2}) {
    plat::SetSimdLevel(level);
    std::mt19937 rnd(11);
    for (bool vertical : {true, false}) {
      SCOPED_TRACE(vertical);
      const Axis a{vertical};
      Work k(rnd);
      for (int32_t seed : {-1, 0, 17, kAcross - 1}) {
        std::vector<int32_t> want = k.w[0], got = k.w[0];
        const std::vector<int32_t>* none = nullptr;
        for (const std::vector<int32_t>* e3 :
             {none, static_cast<const std::vector<int32_t>*>(&k.w[3])}) {
          RefMap(a, kAlong, kAcross, want, k.w[1], k.w[2], e3, seed < 0 ? nullptr : &seed);
          const pixXY point = vertical ? pixXY{seed, 0} : pixXY{0, seed};
          const int32_t* third = e3 ? e3->data() : nullptr;
          if (vertical)
            Energy_VMap(kAlong, kAcross, kStride, kMaxH, got.data(), k.w[1].data(), k.w[2].data(),
                        third, seed < 0 ? nullptr : &point);
          else
            Energy_HMap(kAcross, kAlong, kStride, kMaxH, got.data(), k.w[1].data(), k.w[2].data(),
                        third, seed < 0 ? nullptr : &point);
          ASSERT_EQ(got, want) << seed << " level " << static_cast<int>(level);
        }
      }
    }
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
}

TEST(YoxelSeamKernels, ShiftsMatchThePlainLoops) {
  // A vertical seam's rows move in bands of 16 on the shared threads: the 23 rows make two.
  for (int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    std::mt19937 rnd(5);
    addweight = 21;
    for (bool vertical : {true, false}) {
      SCOPED_TRACE(vertical);
      const Axis a{vertical};
      for (int round = 0; round < 4; ++round) {
        Work got(rnd);
        Work want = got;
        // Removal from the live extent.
        std::vector<int32_t> xs = Points(rnd, kAcross, round % 2 == 1);
        for (auto& p : want.b) RefRemove(a, p, xs, kAcross);
        for (int k = 0; k < 3; ++k) RefRemove(a, want.w[k], xs, kAcross);
        std::vector<pixXY> s = Seam(vertical, xs);
        if (vertical)
          Remove_VPath(kAlong, kAcross, kStride, kMaxH, got.b[0].data(), got.b[1].data(),
                       got.b[2].data(), got.b[3].data(), got.w[0].data(), got.w[1].data(),
                       got.w[2].data(), s.data());
        else
          Remove_HPath(kAcross, kAlong, kStride, kMaxH, got.b[0].data(), got.b[1].data(),
                       got.b[2].data(), got.b[3].data(), got.w[0].data(), got.w[1].data(),
                       got.w[2].data(), s.data());
        ASSERT_TRUE(got == want) << round;
        // Insertion into a live extent one larger (the seam never on its last place).
        const int32_t now = kAcross + 1;
        xs = Points(rnd, now - 1, round % 2 == 1);
        for (auto& p : want.b) RefInsert(a, p, xs, now);
        for (int k = 0; k < 3; ++k) RefInsert(a, want.w[k], xs, now);
        RefAdded(a, want.w[3], xs, now);
        s = Seam(vertical, xs);
        if (vertical)
          Add_VPath(kAlong, now, kStride, kMaxH, got.b[0].data(), got.b[1].data(), got.b[2].data(),
                    got.b[3].data(), got.w[0].data(), got.w[1].data(), got.w[2].data(),
                    got.w[3].data(), s.data());
        else
          Add_HPath(now, kAlong, kStride, kMaxH, got.b[0].data(), got.b[1].data(), got.b[2].data(),
                    got.b[3].data(), got.w[0].data(), got.w[1].data(), got.w[2].data(),
                    got.w[3].data(), s.data());
        ASSERT_TRUE(got == want) << round << " threads " << threads;
      }
    }
  }
  plat::SetThreadCount(0);
  addweight = 0;
}

}  // namespace
