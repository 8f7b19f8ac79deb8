// The noise reduction and the focus's denoise step keep a picture's brightness at every
// setting their dialogs offer, rendered as the engine renders them: on a textured, photo-like
// picture and on its negative the mean moves by at most a level, whole or through a mask; a
// flat picture stays exactly flat. Noise Reduction: opacity 0 to 100, threshold 0 to 100
// (the smart blur takes a third), 1 to 5 iterations; its darken and lighten limits change the
// brightness by design and are left out. Focus, its denoise group alone: opacity 0 to 100,
// 0 to 20 passes, threshold 0 to 100 (the amount takes no part in the 3 x 3 window).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engines/correction/colour_correction_engine.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
using vmktest::Negative;

// Three planes of a picture, and their mean.
struct Picture {
  int w = 0, h = 0;
  Plane rgb[3];
  double Mean() const {
    return (vmktest::Mean(rgb[0]) + vmktest::Mean(rgb[1]) + vmktest::Mean(rgb[2])) / 3.0;
  }
  Picture Negated() const {
    Picture n = *this;
    for (Plane& p : n.rgb) p = Negative(p);
    return n;
  }
};

Picture PhotoLike(int w, int h) {
  const Plane px = vmktest::PhotoLike(w, h, 3);
  Picture p{w, h, {}};
  for (int c = 0; c < 3; ++c) {
    p.rgb[c].resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < p.rgb[c].size(); ++i) p.rgb[c][i] = px[3 * i + c];
  }
  return p;
}

Picture Flat(int w, int h, uint8_t v) {
  Picture p{w, h, {}};
  for (Plane& c : p.rgb) c.assign(static_cast<size_t>(w) * h, v);
  return p;
}

struct NoiseReduction {
  int opacity, threshold, iterations;
};
struct FocusDenoise {
  int opacity, passes, threshold;
};

class CorrectionBrightness : public vmktest::SessionTest {
 protected:
  // One engine render of the whole picture in the normal mode at full strength.
  static Picture Rendered(const ColCorPar& par, Picture p, const Plane* mask = nullptr) {
    MiscColCor e;
    e.SetColCorPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, p.w, p.h, 0, 0, p.w, p.h, p.w, p.h, 0, 0, p.w, p.h, 1.0f, 1.0f,
              p.rgb[0].data(), p.rgb[1].data(), p.rgb[2].data(), nullptr,
              mask != nullptr ? mask->data() : nullptr);
    return p;
  }
  static ColCorPar Record(const Picture& p, int kind) {
    ColCorPar r;
    Init_ColCorPar(&r, p.w, p.h, 72, static_cast<int16_t>(kind), 0, 0);
    return r;
  }
  static Picture Rendered(const NoiseReduction& s, const Picture& p, const Plane* mask = nullptr) {
    ColCorPar r = Record(p, 103);
    r.w[5013] = s.opacity;
    r.w[5014] = s.threshold;
    r.w[5015] = s.iterations;
    r.w[5016] = 0;  // no limit
    return Rendered(r, p, mask);
  }
  static Picture Rendered(const FocusDenoise& s, const Picture& p, const Plane* mask = nullptr) {
    ColCorPar r = Record(p, 105);
    r.w[kCCFocusMode] = 2;  // the denoise step alone
    r.w[4992] = s.opacity;
    r.w[4996] = s.passes;
    r.w[5000] = 100;
    r.w[5004] = s.threshold;
    return Rendered(r, p, mask);
  }
  // The picture's and its negative's results each keep the picture's mean within a level.
  template <typename Setting>
  static void ExpectKept(const Setting& s, const Picture& photo, const Plane* mask,
                         const char* what) {
    const double before = photo.Mean();
    EXPECT_NEAR(Rendered(s, photo, mask).Mean(), before, 1.0) << what;
    EXPECT_NEAR(255.0 - Rendered(s, photo.Negated(), mask).Mean(), before, 1.0)
        << "the negative, " << what;
  }
};

std::string Describe(const NoiseReduction& s) {
  return "noise reduction, opacity " + std::to_string(s.opacity) + ", threshold " +
         std::to_string(s.threshold) + ", " + std::to_string(s.iterations) + " iterations";
}
std::string Describe(const FocusDenoise& s) {
  return "focus denoise, opacity " + std::to_string(s.opacity) + ", " + std::to_string(s.passes) +
         " passes, threshold " + std::to_string(s.threshold);
}

// Every iteration of the smart blur truncated its weighted means: on a 3000 x 2000 plane at 5
// iterations and a threshold of 16 (48 on the slider) the picture lost 2.7 levels.
TEST_F(CorrectionBrightness, NoiseReductionKeepsTheMeanAtEverySetting) {
  const Picture photo = PhotoLike(480, 320);
  for (int iterations = 1; iterations <= 5; ++iterations)
    for (const int threshold : {0, 10, 25, 48, 75, 100})
      for (const int opacity : {100, 50}) {
        const NoiseReduction s{opacity, threshold, iterations};
        ExpectKept(s, photo, nullptr, Describe(s).c_str());
      }
  const NoiseReduction s{100, 48, 5};
  ExpectKept(s, PhotoLike(3000, 2000), nullptr, ("3000 x 2000, " + Describe(s)).c_str());
}

// Every pass truncated its weighted means and medians: on a 3000 x 2000 plane at 20 passes and
// threshold 25 the picture lost 8.7 levels.
TEST_F(CorrectionBrightness, FocusDenoiseKeepsTheMeanAtEverySetting) {
  const Picture photo = PhotoLike(480, 320);
  for (const int passes : {1, 2, 5, 10, 20})
    for (const int threshold : {0, 1, 3, 10, 25, 50, 100}) {
      const FocusDenoise s{100, passes, threshold};
      ExpectKept(s, photo, nullptr, Describe(s).c_str());
    }
  for (const int threshold : {1, 25, 100}) {
    const FocusDenoise s{50, 20, threshold};
    ExpectKept(s, photo, nullptr, Describe(s).c_str());
  }
  const FocusDenoise s{100, 20, 25};
  ExpectKept(s, PhotoLike(3000, 2000), nullptr, ("3000 x 2000, " + Describe(s)).c_str());
}

// Through a mask of half weight and a soft ramp of every weight, the engine's result is mixed
// with the picture once more.
TEST_F(CorrectionBrightness, ThroughAMaskToo) {
  const int w = 480, h = 320;
  const Picture photo = PhotoLike(w, h);
  const Plane half(static_cast<size_t>(w) * h, 128);
  const Plane ramp = [&] {
    Plane m(half.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        m[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((x + 3 * y) % 256);
    return m;
  }();
  for (const Plane* mask : {&half, &ramp}) {
    const std::string which = mask == &half ? "a mask of 128, " : "a ramp mask, ";
    for (const NoiseReduction s : {NoiseReduction{100, 48, 5}, NoiseReduction{60, 100, 3}})
      ExpectKept(s, photo, mask, (which + Describe(s)).c_str());
    for (const FocusDenoise s : {FocusDenoise{100, 20, 25}, FocusDenoise{60, 10, 3}})
      ExpectKept(s, photo, mask, (which + Describe(s)).c_str());
  }
}

TEST_F(CorrectionBrightness, FlatPicturesStayExactlyFlat) {
  const int w = 61, h = 43;
  const Plane ramp = [&] {
    Plane m(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<uint8_t>(i * 7);
    return m;
  }();
  for (const uint8_t v : {0, 1, 77, 128, 254, 255}) {
    const Picture flat = Flat(w, h, v);
    for (const Plane* mask : {static_cast<const Plane*>(nullptr), &ramp}) {
      for (int iterations = 1; iterations <= 5; ++iterations)
        for (const int threshold : {0, 48, 100})
          for (const int opacity : {100, 37}) {
            const NoiseReduction s{opacity, threshold, iterations};
            const Picture got = Rendered(s, flat, mask);
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(got.rgb[c], flat.rgb[c])
                  << "level " << int{v} << (mask != nullptr ? ", masked, " : ", ") << Describe(s);
          }
      for (const int passes : {1, 2, 5, 20})
        for (const int threshold : {0, 1, 25, 100})
          for (const int opacity : {100, 37}) {
            const FocusDenoise s{opacity, passes, threshold};
            const Picture got = Rendered(s, flat, mask);
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(got.rgb[c], flat.rgb[c])
                  << "level " << int{v} << (mask != nullptr ? ", masked, " : ", ") << Describe(s);
          }
    }
  }
}

}  // namespace
