// Colour models a TIFF file may store that the callers' RGB pixels do not
// hold: CMYK by the plain ink formula, and CIELab through Little CMS, whose
// Lab is relative to the file's white (D50 unless the file names another)
// and whose sRGB is adapted to D65, so that paper white comes out white. Bands are converted in place
// before their rows are stored.
#include <lcms2.h>

#include <cstring>
#include <vector>

#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

template <typename T, uint64_t Max>
void CmykToRgb(T* p, size_t pixels, bool alpha) {
  const size_t in = alpha ? 5 : 4, out = alpha ? 4 : 3;
  for (size_t i = 0; i < pixels; ++i) {
    const T* s = p + i * in;
    const uint64_t c = s[0], m = s[1], y = s[2], k = s[3];
    const T a = alpha ? s[4] : T{0};
    T* d = p + i * out;  // never ahead of what is still to be read
    d[0] = static_cast<T>((Max - c) * (Max - k) / Max);
    d[1] = static_cast<T>((Max - m) * (Max - k) / Max);
    d[2] = static_cast<T>((Max - y) * (Max - k) / Max);
    if (alpha) d[3] = a;
  }
}

}  // namespace

void CmykBandToRgb(uint8_t* band, size_t pixels, Kind kind, bool alpha) {
  if (kind == Kind::U8)
    CmykToRgb<uint8_t, 255>(band, pixels, alpha);
  else
    CmykToRgb<uint16_t, 65535>(reinterpret_cast<uint16_t*>(band), pixels, alpha);
}

LabConverter::LabConverter(Kind kind, bool iccEncoding, double whiteX, double whiteY)
    : kind_(kind), icc_(iccEncoding) {
  // The file's white, D50 when it names none (Adobe's reading of TIFF Lab).
  cmsCIExyY white = {whiteX, whiteY, 1.0};
  const bool named = whiteX > 0.0 && whiteY > 0.0 && whiteX < 1.0 && whiteY < 1.0;
  cmsHPROFILE lab = cmsCreateLab4Profile(named ? &white : nullptr);
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  if (lab != nullptr && srgb != nullptr)
    transform_ = cmsCreateTransform(lab, TYPE_Lab_FLT, srgb,
                                    kind == Kind::U8 ? TYPE_RGB_8 : TYPE_RGB_16,
                                    INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
  if (lab != nullptr) cmsCloseProfile(lab);
  if (srgb != nullptr) cmsCloseProfile(srgb);
}

LabConverter::~LabConverter() {
  if (transform_ != nullptr) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void LabConverter::Convert(uint8_t* band, size_t pixels, int channels) const {
  std::vector<float> lab(pixels * 3);
  const size_t ch = static_cast<size_t>(channels);
  for (size_t i = 0; i < pixels; ++i) {
    float l, a, b;
    if (kind_ == Kind::U8) {
      const uint8_t* s = band + i * ch;
      l = s[0] * (100.0f / 255.0f);
      // CIELab keeps a and b as signed bytes, ICC Lab offsets them by 128.
      a = icc_ ? s[1] - 128.0f : static_cast<float>(static_cast<int8_t>(s[1]));
      b = icc_ ? s[2] - 128.0f : static_cast<float>(static_cast<int8_t>(s[2]));
    } else {
      const uint16_t* s = reinterpret_cast<const uint16_t*>(band) + i * ch;
      l = s[0] * (100.0f / 65535.0f);
      a = icc_ ? s[1] / 256.0f - 128.0f : static_cast<int16_t>(s[1]) / 256.0f;
      b = icc_ ? s[2] / 256.0f - 128.0f : static_cast<int16_t>(s[2]) / 256.0f;
    }
    lab[3 * i] = l;
    lab[3 * i + 1] = a;
    lab[3 * i + 2] = b;
  }
  const size_t unit = static_cast<size_t>(KindBytes(kind_));
  std::vector<uint8_t> rgb(pixels * 3 * unit);
  cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), lab.data(), rgb.data(),
                 static_cast<cmsUInt32Number>(pixels));
  // The colours replace L, a and b; an alpha sample stays where it is.
  for (size_t i = 0; i < pixels; ++i)
    std::memcpy(band + i * ch * unit, rgb.data() + i * 3 * unit, 3 * unit);
}

}  // namespace plat::imageio::detail
