#include "app/core/text_helpers.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

void VMK_StringToNum(const char* text, int32_t* value) {
  if (value == nullptr) return;
  *value = 0;
  if (text == nullptr) return;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t v = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    v = v * 10 + (*p - '0');
    if (v > int64_t{1} << 32) v = int64_t{1} << 32;  // held, not wrapped
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) v = std::numeric_limits<int32_t>::min();
  *value = static_cast<int32_t>(v);
}

void VMK_NumToString(int32_t value, unsigned char* text) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(value));
  SetPStr(text, buf);
}

int16_t ConvertString(const unsigned char* text, int16_t* value, int16_t minimum,
                      int16_t maximum) {
  const std::string_view s = PStrView(text);
  if (s.empty()) return 0;
  int32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    if (v <= 1000000) v = v * 10 + (c - '0');  // large enough to be out of any 16-bit range
  }
  if (v < minimum || v > maximum) return 0;
  *value = static_cast<int16_t>(v);
  return 1;
}

char* FloatToStr(char* text, float value, int16_t decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 9) decimals = 9;
  const int digits = decimals + 1;
  if (!std::isfinite(value)) {
    const int n = std::snprintf(text, 64, "%s", std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf");
    return text + n;
  }
  int64_t scale = 1;
  for (int i = 0; i < digits; ++i) scale *= 10;
  // The whole part of a float and its remainder are both exact.
  double whole = std::trunc(static_cast<double>(value));
  const float fraction = std::fabs(value - static_cast<float>(whole));
  auto f = static_cast<int64_t>(static_cast<double>(fraction) * static_cast<double>(scale) + 0.5);
  if (f >= scale) {
    f -= scale;
    whole += value < 0 ? -1.0 : 1.0;
  }
  const int n = std::snprintf(text, 64, "%s%.0f.%0*lld", value < 0 ? "-" : "", std::fabs(whole),
                              digits, static_cast<long long>(f));
  return text + n;
}

namespace {

int32_t toPixels(double v) {
  if (!(v > -2147483648.0)) return std::numeric_limits<int32_t>::min();
  if (!(v < 2147483647.0)) return v != v ? 0 : std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

int16_t toShort(float v) {
  if (v != v) return 0;
  if (v <= -32768.0f) return std::numeric_limits<int16_t>::min();
  if (v >= 32767.0f) return std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(v);
}

}  // namespace

namespace {

// How many of a scaled unit make an inch; 0 for pixels and unknown units.
double PerInch(int16_t unit) {
  switch (unit) {
    case kUnitMillimetres:
      return 25.4;
    case kUnitInches:
      return 1.0;
    case kUnitPoints:
      return 72.0;
    case kUnitPicas:
      return 6.0;
    default:
      return 0.0;
  }
}

}  // namespace

void pixfromunit(int32_t* pixels, int16_t unit, float value, float resolution) {
  if (unit == kUnitPixels) {
    *pixels = toPixels(value);
    return;
  }
  const double perInch = PerInch(unit);
  if (perInch == 0.0) return;
  const float p = value * resolution;
  // Inches are truncated; the finer units rounded to the nearest pixel.
  *pixels = toPixels(unit == kUnitInches ? p : p / perInch + 0.5);
}

void valfromunit(int32_t pixels, int16_t unit, float* value, float resolution) {
  if (unit == kUnitPixels) {
    *value = static_cast<float>(pixels);
    return;
  }
  const double perInch = PerInch(unit);
  if (perInch == 0.0) return;
  *value = static_cast<float>(pixels * perInch / resolution);
}

void ConvertCGRecttoRect(CGRect r, Rect* out) {
  ConvertCGRecttoRect(r.origin.x, r.origin.y, r.size.width, r.size.height, out);
}

void ConvertCGRecttoRect(float x, float y, float width, float height, Rect* out) {
  out->left = toShort(x);
  out->top = toShort(y);
  out->right = toShort(x + width);
  out->bottom = toShort(y + height);
}

void ConvertRecttoCGRect(Rect r, CGRect* out) {
  out->origin.x = r.left;
  out->origin.y = r.top;
  out->size.width = static_cast<float>(r.right - r.left);
  out->size.height = static_cast<float>(r.bottom - r.top);
}

void VMK_SetRect(Rect* r, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  r->left = left;
  r->top = top;
  r->right = right;
  r->bottom = bottom;
}

void setuprect(Rect* r, Point a, Point b) {
  r->left = std::min(a.h, b.h);
  r->right = std::max(a.h, b.h);
  r->top = std::min(a.v, b.v);
  r->bottom = std::max(a.v, b.v);
}

int16_t InRect(Rect r, Point p) {
  return p.h > r.left && p.h < r.right && p.v > r.top && p.v < r.bottom ? 1 : 0;
}

void QuickSort(int32_t* a, int32_t lo, int32_t hi) {
  while (hi > lo) {
    if (hi - lo <= 12) {
      for (int32_t i = lo + 1; i <= hi; ++i) {
        const int32_t v = a[i];
        int32_t j = i - 1;
        while (j >= lo && a[j] > v) {
          a[j + 1] = a[j];
          --j;
        }
        a[j + 1] = v;
      }
      return;
    }
    const int32_t mid = lo + (hi - lo) / 2;
    const int32_t pivot = a[mid];
    a[mid] = a[lo];
    a[lo] = pivot;
    int32_t i = lo;
    int32_t j = hi + 1;
    for (;;) {
      do --j;
      while (a[j] > pivot);
      do ++i;
      while (i < j && a[i] < pivot);
      if (i >= j) break;
      std::swap(a[i], a[j]);
    }
    a[lo] = a[j];
    a[j] = pivot;
    // The smaller side by recursion, the larger by the loop: the depth stays
    // logarithmic.
    if (j - lo < hi - j) {
      QuickSort(a, lo, j - 1);
      lo = j + 1;
    } else {
      QuickSort(a, j + 1, hi);
      hi = j - 1;
    }
  }
}

void PackBit(const uint8_t* source, int32_t count, uint8_t* destination, int32_t* length) {
  int32_t in = 0;
  int32_t out = 0;
  while (in < count) {
    int32_t run = 1;
    while (in + run < count && run < 128 && source[in + run] == source[in]) ++run;
    if (run >= 2) {
      destination[out++] = static_cast<uint8_t>(static_cast<int8_t>(1 - run));
      destination[out++] = source[in];
      in += run;
      continue;
    }
    // A stretch without repeats ends where two equal bytes begin.
    int32_t n = 1;
    while (in + n < count && n < 128 &&
           !(in + n + 1 < count && source[in + n] == source[in + n + 1]))
      ++n;
    destination[out++] = static_cast<uint8_t>(n - 1);
    std::memcpy(destination + out, source + in, static_cast<size_t>(n));
    out += n;
    in += n;
  }
  if (length != nullptr) *length = out;
}

const uint8_t* UnPackBit(const uint8_t* source, uint8_t* destination, int32_t count) {
  int32_t written = 0;
  while (written < count) {
    const uint8_t* header = source;
    const auto n = static_cast<int8_t>(*source++);
    if (n >= 0) {
      for (int32_t k = 0; k <= n; ++k) {
        if (written == count) return header;
        destination[written++] = *source++;
      }
    } else if (n != -128) {
      const uint8_t b = *source++;
      for (int32_t k = 0; k < 1 - n; ++k) {
        if (written == count) return header;
        destination[written++] = b;
      }
    } else {
      ++source;  // -128 is skipped with the byte after it
    }
    if (written == count) return header;
  }
  return source;
}
