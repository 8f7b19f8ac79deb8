// The project beside libvips and OpenCV: the same operations on the same
// 3072 x 2048 RGB picture, timed in one process.
//
// Each library gets the picture once in its own native form (the project:
// three 8-bit planes; vips: a 3-band uchar memory image; OpenCV: an 8UC3 BGR
// Mat) and every operation is timed the same way: a few warm-up calls, then
// N timed calls (median reported). Before every call, timed or not, the
// library's input is refreshed from a pristine copy (untimed), which the
// project's in-place functions need and which leaves every library's input in
// the same cache state. vips runs with its operation cache off, so every call
// recomputes; its result is forced into memory inside the timed region.
//
// Every library runs twice: on one thread (plat::SetThreadCount(1),
// vips_concurrency_set(1), cv::setNumThreads(1)) and at its default thread
// count. Checks of mean differences between the results are printed with
// every group, so that no row times a no-op. The closing table gives the
// project's time over the fastest peer's, at one thread and at the default.
//
// The picture is made here (smooth shading, edges, fine texture and noise,
// as a photograph has) unless --image names one; the JPEG and 16-bit TIFF
// rows read files written from it into the scratch folder.
//
// Usage: bench_peers [--image PHOTO.png] [--scratch DIR] [--reps N] [--warm N]
//                    [--only GROUP[,GROUP...]] [--libs project,vips,opencv]
//                    [--csv FILE] [--no-mmap]
// Groups: floor blur resize median conv3x3 conv5x5 unsharp lut hue
//         jpeg-read jpeg-write tiff16-read tiff16-write
#include <malloc.h>
#include <time.h>
#include <unistd.h>
#include <fcntl.h>

#include <filesystem>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vips/vips.h>

#include "../bench_session.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/focus_filters.h"
#include "raster/rescale.h"
#include "raster/tone_lut.h"

namespace {

// ---------------------------------------------------------------- options

struct Options {
  std::string image, jpeg, scratch, csv;
  int reps = 11;
  int warm = 2;
  std::set<std::string> only;
  std::set<std::string> libs;  // empty: all three
  bool noMmap = false;
} opt;

[[noreturn]] void Die(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fputc('\n', stderr);
  std::exit(2);
}

bool Wanted(const std::string& group) { return opt.only.empty() || opt.only.count(group) != 0; }
bool LibWanted(const char* lib) { return opt.libs.empty() || opt.libs.count(lib) != 0; }

// ---------------------------------------------------------------- timing

double WallMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
// CPU time of every thread of the process: a ratio to wall time near 1 means
// one thread did the work.
double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Stat {
  double median = 0, min = 0, max = 0, cpuRatio = 0;
  int n = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

Stat Measure(const std::function<void()>& prep, const std::function<void()>& run) {
  for (int i = 0; i < opt.warm; ++i) {
    prep();
    run();
  }
  std::vector<double> wall, cpu;
  for (int i = 0; i < opt.reps; ++i) {
    prep();
    const double c0 = CpuMs(), t0 = WallMs();
    run();
    const double t1 = WallMs(), c1 = CpuMs();
    wall.push_back(t1 - t0);
    cpu.push_back(c1 - c0);
  }
  Stat s;
  s.n = opt.reps;
  s.median = Median(wall);
  s.min = *std::min_element(wall.begin(), wall.end());
  s.max = *std::max_element(wall.begin(), wall.end());
  double sw = 0, sc = 0;
  for (size_t i = 0; i < wall.size(); ++i) {
    sw += wall[i];
    sc += cpu[i];
  }
  s.cpuRatio = sw > 0 ? sc / sw : 0;
  return s;
}

// ---------------------------------------------------------------- results

enum Lib { kProject = 0, kVips = 1, kOpenCV = 2 };
const char* LibName(Lib l) { return l == kProject ? "project" : (l == kVips ? "vips" : "opencv"); }

struct Entry {
  std::string group, variant;
  Lib lib;
  int threads;  // 1 = single-threaded run, 0 = library default
  // 2: does the project's operation (same kernel or format settings);
  // 1: the closest the library offers, but not the same operation;
  // 0: listed for information only (left out of the summary).
  int level;
  Stat st;
};
std::vector<Entry> entries;
std::vector<std::string> groupOrder;
std::map<std::string, std::vector<std::string>> checks;  // group -> lines

void Note(const std::string& group, const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  checks[group].push_back(buf);
  std::fprintf(stderr, "    check %-10s %s\n", group.c_str(), buf);
}

int defaultVipsThreads = 0, defaultCvThreads = 0;

void PeersSingle(bool single) {
  vips_concurrency_set(single ? 1 : defaultVipsThreads);
  cv::setNumThreads(single ? 1 : defaultCvThreads);
}

void Record(const std::string& group, const std::string& variant, Lib lib, int threads, int level,
            const Stat& st) {
  if (std::find(groupOrder.begin(), groupOrder.end(), group) == groupOrder.end())
    groupOrder.push_back(group);
  entries.push_back({group, variant, lib, threads, level, st});
  std::fprintf(stderr, "  %-9s %-7s %-44s %s  median %9.3f ms  min %9.3f  cpu/wall %.2f\n",
               group.c_str(), LibName(lib), variant.c_str(), threads == 1 ? "1T " : "dfT",
               st.median, st.min, st.cpuRatio);
}

// The project: once on one thread, once on the shared pool at its default.
void TimeProject(const std::string& group, const std::string& variant,
                 const std::function<void()>& prep, const std::function<void()>& run) {
  if (!LibWanted("project")) return;
  plat::SetThreadCount(1);
  Record(group, variant, kProject, 1, 2, Measure(prep, run));
  plat::SetThreadCount(0);
  Record(group, variant, kProject, 0, 2, Measure(prep, run));
  plat::SetThreadCount(1);
}

// A peer: once single-threaded, once at its default thread count.
enum Level { kInfo = 0, kRough = 1, kSame = 2 };
void TimePeer(const std::string& group, const std::string& variant, Lib lib, int level,
              const std::function<void()>& prep, const std::function<void()>& run) {
  if (!LibWanted(LibName(lib))) return;
  PeersSingle(true);
  Record(group, variant, lib, 1, level, Measure(prep, run));
  PeersSingle(false);
  Record(group, variant, lib, 0, level, Measure(prep, run));
  PeersSingle(true);
}

// ---------------------------------------------------------------- pictures

constexpr int kMaxW = 1 << 15;

struct Planes {
  int w = 0, h = 0;
  std::vector<uint8_t> p[3];
  void Alloc(int width, int height) {
    w = width;
    h = height;
    for (auto& q : p) q.assign(static_cast<size_t>(w) * h, 0);
  }
  size_t Size() const { return static_cast<size_t>(w) * h; }
};

// Interleaved RGB copy of three planes.
cv::Mat PlanesToRGB(const Planes& pl) {
  cv::Mat m(pl.h, pl.w, CV_8UC3);
  for (int y = 0; y < pl.h; ++y) {
    uint8_t* d = m.ptr<uint8_t>(y);
    const size_t row = static_cast<size_t>(y) * pl.w;
    for (int x = 0; x < pl.w; ++x) {
      d[3 * x] = pl.p[0][row + x];
      d[3 * x + 1] = pl.p[1][row + x];
      d[3 * x + 2] = pl.p[2][row + x];
    }
  }
  return m;
}

cv::Mat BGRToRGB(const cv::Mat& bgr) {
  cv::Mat rgb;
  if (bgr.empty()) return rgb;
  cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
  return rgb;
}

// A vips image in memory as an RGB Mat (uchar, 3 bands expected).
cv::Mat VipsToRGB(VipsImage* im) {
  if (im == nullptr) return {};
  VipsImage* m = vips_image_copy_memory(im);
  if (m == nullptr) Die("vips_image_copy_memory: %s", vips_error_buffer());
  const int type = m->BandFmt == VIPS_FORMAT_USHORT ? CV_16UC(m->Bands) : CV_8UC(m->Bands);
  if (m->BandFmt != VIPS_FORMAT_UCHAR && m->BandFmt != VIPS_FORMAT_USHORT)
    Die("unexpected vips band format %d", m->BandFmt);
  cv::Mat wrap(m->Ysize, m->Xsize, type, VIPS_IMAGE_ADDR(m, 0, 0), VIPS_IMAGE_SIZEOF_LINE(m));
  cv::Mat copy = wrap.clone();
  g_object_unref(m);
  return copy;
}

// Mean absolute difference over all samples, `margin` pixels off each edge.
double Mad(const cv::Mat& a, const cv::Mat& b, int margin) {
  if (a.empty() || b.empty()) return NAN;
  if (a.size() != b.size() || a.type() != b.type()) {
    std::fprintf(stderr, "    (MAD of mismatched images %dx%d t%d vs %dx%d t%d)\n", a.cols, a.rows,
                 a.type(), b.cols, b.rows, b.type());
    return NAN;
  }
  const cv::Rect r(margin, margin, a.cols - 2 * margin, a.rows - 2 * margin);
  cv::Mat d;
  cv::absdiff(a(r), b(r), d);
  const cv::Scalar s = cv::mean(d);
  double sum = 0;
  for (int c = 0; c < a.channels(); ++c) sum += s[c];
  return sum / a.channels();
}

double MaxDiff(const cv::Mat& a, const cv::Mat& b, int margin) {
  if (a.empty() || b.empty() || a.size() != b.size() || a.type() != b.type()) return NAN;
  const cv::Rect r(margin, margin, a.cols - 2 * margin, a.rows - 2 * margin);
  cv::Mat d;
  cv::absdiff(a(r), b(r), d);
  double mx = 0;
  cv::minMaxLoc(d.reshape(1), nullptr, &mx);
  return mx;
}

// ---------------------------------------------------------------- vips helpers

// `out` by reference: it is read only after the call that fills it.
VipsImage* Checked(int rc, VipsImage*& out, const char* what) {
  if (rc != 0 || out == nullptr) Die("%s failed: %s", what, vips_error_buffer());
  return out;
}

// Forces the lazily built pipeline `out` into a memory image; drops `out`.
VipsImage* Eval(VipsImage* out) {
  VipsImage* m = vips_image_copy_memory(out);
  g_object_unref(out);
  if (m == nullptr) Die("vips evaluation failed: %s", vips_error_buffer());
  return m;
}

void Drop(VipsImage*& im) {
  if (im != nullptr) g_object_unref(im);
  im = nullptr;
}

void SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) Die("cannot open %s to sync it", path.c_str());
  ::fsync(fd);
  ::close(fd);
}

long FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// ---------------------------------------------------------------- main work

struct Inputs {
  int w = 0, h = 0;
  Planes pristinePlanes, planes;       // project
  std::vector<uint8_t> pristineRGB;    // interleaved RGB, the pristine source for vips
  std::vector<uint8_t> vipsBuf;        // vips reads its input from here
  VipsImage* vin = nullptr;            // sRGB uchar 3-band over vipsBuf
  cv::Mat pristineBGR, cvIn;           // OpenCV
  cv::Mat refRGB;                      // the picture, RGB, for checks
};

void PrepProject(Inputs& in) {
  for (int c = 0; c < 3; ++c)
    std::memcpy(in.planes.p[c].data(), in.pristinePlanes.p[c].data(), in.planes.Size());
}
void PrepVips(Inputs& in) { std::memcpy(in.vipsBuf.data(), in.pristineRGB.data(), in.vipsBuf.size()); }
void PrepCv(Inputs& in) { in.pristineBGR.copyTo(in.cvIn); }

void LoadInputs(Inputs& in) {
  // Project: its own reader into its pixel buffer, then three planes.
  PixelBuffer pb;
  std::string msg;
  if (readSourceImage(opt.image, nullptr, nullptr, 8, true, pb, &msg) != 0)
    Die("project reader: %s", msg.c_str());
  in.w = static_cast<int>(pb.width());
  in.h = static_cast<int>(pb.height());
  if (pb.componentsPerPixel() != 4 || pb.bytesPerComponent() != 1) Die("unexpected pixel buffer");
  in.pristinePlanes.Alloc(in.w, in.h);
  for (int y = 0; y < in.h; ++y) {
    const uint8_t* r = pb.rowPtr(y);
    for (int x = 0; x < in.w; ++x)
      for (int c = 0; c < 3; ++c) in.pristinePlanes.p[c][static_cast<size_t>(y) * in.w + x] = r[4 * x + c];
  }
  in.planes = in.pristinePlanes;

  // vips: its own loader, into memory, then over our buffer.
  VipsImage* loaded = vips_image_new_from_file(opt.image.c_str(), nullptr);
  if (loaded == nullptr) Die("vips load: %s", vips_error_buffer());
  VipsImage* mem = vips_image_copy_memory(loaded);
  g_object_unref(loaded);
  if (mem == nullptr || mem->Bands != 3 || mem->BandFmt != VIPS_FORMAT_UCHAR)
    Die("vips: expected a 3-band uchar picture");
  in.pristineRGB.resize(static_cast<size_t>(in.w) * in.h * 3);
  for (int y = 0; y < in.h; ++y)
    std::memcpy(in.pristineRGB.data() + static_cast<size_t>(y) * in.w * 3,
                VIPS_IMAGE_ADDR(mem, 0, y), static_cast<size_t>(in.w) * 3);
  g_object_unref(mem);
  in.vipsBuf = in.pristineRGB;
  VipsImage* raw = vips_image_new_from_memory(in.vipsBuf.data(), in.vipsBuf.size(), in.w, in.h, 3,
                                              VIPS_FORMAT_UCHAR);
  if (raw == nullptr) Die("vips_image_new_from_memory: %s", vips_error_buffer());
  VipsImage* tagged = nullptr;
  Checked(vips_copy(raw, &tagged, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr), tagged,
          "vips_copy");
  g_object_unref(raw);
  in.vin = tagged;

  // OpenCV: its own reader.
  in.pristineBGR = cv::imread(opt.image, cv::IMREAD_COLOR);
  if (in.pristineBGR.empty()) Die("cv::imread failed on %s", opt.image.c_str());
  in.cvIn = in.pristineBGR.clone();

  // The three must hold the same samples.
  in.refRGB = PlanesToRGB(in.pristinePlanes);
  cv::Mat vipsRGB(in.h, in.w, CV_8UC3, in.pristineRGB.data());
  const double d1 = Mad(in.refRGB, vipsRGB, 0), d2 = Mad(in.refRGB, BGRToRGB(in.pristineBGR), 0);
  Note("load", "picture %dx%d; project vs vips MAD %.4f, project vs OpenCV MAD %.4f", in.w, in.h,
       d1, d2);
  if (d1 != 0 || d2 != 0) Die("the three loaders disagree");
}

// ---- the physical floor

void GroupFloor(Inputs& in) {
  const std::string g = "floor";
  if (!Wanted(g)) return;
  Planes dst;
  dst.Alloc(in.w, in.h);
  const size_t n = in.planes.Size();
  TimeProject(g, "memcpy 3 planes (src->dst)", [&] { PrepProject(in); },
              [&] {
                for (int c = 0; c < 3; ++c)
                  std::memcpy(dst.p[c].data(), in.pristinePlanes.p[c].data(), n);
              });
  // Sixteen bytes at a time whatever the compiler's vectoriser decides.
  typedef uint8_t Bytes16 __attribute__((vector_size(16)));
  TimeProject(g, "read+write each byte once (in place, 255-v, 16-byte SIMD)", [&] { PrepProject(in); },
              [&] {
                for (int c = 0; c < 3; ++c) {
                  uint8_t* p = in.planes.p[c].data();
                  size_t i = 0;
                  for (; i + 16 <= n; i += 16) {
                    Bytes16 v;
                    std::memcpy(&v, p + i, 16);
                    v = 255 - v;
                    std::memcpy(p + i, &v, 16);
                  }
                  for (; i < n; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
                }
              });
}

// ---- 1. blur

void GroupBlur(Inputs& in) {
  const std::string g = "blur";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h;
  Planes pyr, gau;
  TimeProject(g, "Effects::Blur pyramid radius 5 (x3 planes)", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c)
      if (Effects::Blur(0, 255, in.planes.p[c].data(), nullptr, W, H, 0, 0, W - 1, H - 1, 5, 1) != 0)
        Die("Blur failed");
  });
  pyr = in.planes;
  Filter gauss;
  if (gauss.MakeDogFilter(31, 0, 5.0f) == 0) Die("MakeDogFilter failed");
  TimeProject(g, "Filter Gaussian s5 31 taps, rows+cols (x3)", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c) {
      uint8_t* p = in.planes.p[c].data();
      if (gauss.ConvCharBuf(p, nullptr, W, H, 0, 1.0f, 0) == 0 ||
          gauss.ConvCharBuf(p, nullptr, W, H, 1, 1.0f, 0) == 0)
        Die("ConvCharBuf failed");
    }
  });
  gau = in.planes;

  VipsImage *vDef = nullptr, *vWide = nullptr;
  TimePeer(g, "vips_gaussblur s5 (min_ampl 0.2: 19 taps)", kVips, kSame,
           [&] { Drop(vDef); PrepVips(in); },
           [&] { VipsImage* o = nullptr; vDef = Eval(Checked(vips_gaussblur(in.vin, &o, 5.0, nullptr), o, "gaussblur")); });
  TimePeer(g, "vips_gaussblur s5 min_ampl 0.011 (31 taps)", kVips, kSame,
           [&] { Drop(vWide); PrepVips(in); },
           [&] { VipsImage* o = nullptr; vWide = Eval(Checked(vips_gaussblur(in.vin, &o, 5.0, "min_ampl", 0.011, nullptr), o, "gaussblur")); });
  cv::Mat cvOut;
  TimePeer(g, "cv::GaussianBlur s5 (31 taps)", kOpenCV, kSame, [&] { PrepCv(in); },
           [&] { cv::GaussianBlur(in.cvIn, cvOut, cv::Size(0, 0), 5.0, 5.0, cv::BORDER_REPLICATE); });

  // Checks: distances to OpenCV's Gaussian, well inside the borders.
  const cv::Mat ref = BGRToRGB(cvOut);
  const cv::Mat P1 = PlanesToRGB(pyr), P2 = PlanesToRGB(gau);
  Note(g, "MAD vs input: cv %.2f, project pyramid %.2f (the blur does something)",
       Mad(ref, in.refRGB, 20), Mad(P1, in.refRGB, 20));
  Note(g, "MAD vs cv Gaussian s5 (20 px margin): project pyramid r5 %.3f, project Filter s5 %.3f, "
          "vips s5 %.3f, vips s5 wide %.3f",
       Mad(P1, ref, 20), Mad(P2, ref, 20), Mad(VipsToRGB(vDef), ref, 20), Mad(VipsToRGB(vWide), ref, 20));
  // Which Gaussian the pyramid radius 5 is closest to.
  double bestS = 0, bestD = 1e9;
  std::string curve;
  for (double s = 3.0; s <= 8.01; s += 0.5) {
    cv::Mat b;
    cv::GaussianBlur(in.pristineBGR, b, cv::Size(0, 0), s, s, cv::BORDER_REPLICATE);
    const double d = Mad(P1, BGRToRGB(b), 24);
    char buf[32];
    std::snprintf(buf, sizeof buf, " s%.1f:%.2f", s, d);
    curve += buf;
    if (d < bestD) {
      bestD = d;
      bestS = s;
    }
  }
  Note(g, "pyramid r5 vs cv Gaussian of sigma ->%s; closest sigma %.1f (MAD %.2f)", curve.c_str(), bestS, bestD);
  Drop(vDef);
  Drop(vWide);
}

// ---- 2. downscale to 50 %

void GroupResize(Inputs& in) {
  const std::string g = "resize";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h, w2 = W / 2, h2 = H / 2;
  Planes out;
  out.Alloc(w2, h2);
  TimeProject(g, "X_Newechant_buffer Lanczos3 (3 planes)", [&] { PrepProject(in); }, [&] {
    if (X_Newechant_buffer(6, in.planes.p[0].data(), in.planes.p[1].data(), in.planes.p[2].data(), W, H,
                           out.p[0].data(), out.p[1].data(), out.p[2].data(), w2, h2, 0, 0, W, H, 0, 0,
                           w2, h2) != 0)
      Die("X_Newechant_buffer failed");
  });
  Planes one;
  one.Alloc(w2, h2);
  TimeProject(g, "X_Newechant_charbuf Lanczos3 x3 planes", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c)
      if (X_Newechant_charbuf(6, in.planes.p[c].data(), W, H, one.p[c].data(), w2, h2, 0, 0, W, H, 0, 0, w2, h2) != 0)
        Die("X_Newechant_charbuf failed");
  });
  VipsImage* v = nullptr;
  TimePeer(g, "vips_resize 0.5 lanczos3", kVips, kSame, [&] { Drop(v); PrepVips(in); },
           [&] { VipsImage* o = nullptr; v = Eval(Checked(vips_resize(in.vin, &o, 0.5, "kernel", VIPS_KERNEL_LANCZOS3, nullptr), o, "resize")); });
  cv::Mat lz, area;
  TimePeer(g, "cv::resize INTER_LANCZOS4 (no antialias)", kOpenCV, kRough, [&] { PrepCv(in); },
           [&] { cv::resize(in.cvIn, lz, cv::Size(w2, h2), 0, 0, cv::INTER_LANCZOS4); });
  TimePeer(g, "cv::resize INTER_AREA (2x2 box)", kOpenCV, kInfo, [&] { PrepCv(in); },
           [&] { cv::resize(in.cvIn, area, cv::Size(w2, h2), 0, 0, cv::INTER_AREA); });
  const cv::Mat P = PlanesToRGB(out), V = VipsToRGB(v), L = BGRToRGB(lz), A = BGRToRGB(area);
  Note(g, "output %dx%d; buffer vs charbuf MAD %.3f", out.w, out.h, Mad(P, PlanesToRGB(one), 0));
  Note(g, "MAD (8 px margin): project vs vips lanczos3 %.3f, project vs cv LANCZOS4 %.3f, project vs cv AREA %.3f, vips vs cv AREA %.3f",
       Mad(P, V, 8), Mad(P, L, 8), Mad(P, A, 8), Mad(V, A, 8));
  Drop(v);
}

// ---- 3. median 3x3

void GroupMedian(Inputs& in) {
  const std::string g = "median";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h;
  TimeProject(g, "X_median_buf 3x3 (x3 planes)", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c)
      if (X_median_buf(W, H, in.planes.p[c].data(), 0, 0, W - 1, H - 1, 0) != 0) Die("median failed");
  });
  const cv::Mat P = PlanesToRGB(in.planes);
  VipsImage* v = nullptr;
  TimePeer(g, "vips_median 3", kVips, kSame, [&] { Drop(v); PrepVips(in); },
           [&] { VipsImage* o = nullptr; v = Eval(Checked(vips_median(in.vin, &o, 3, nullptr), o, "median")); });
  cv::Mat co;
  TimePeer(g, "cv::medianBlur 3", kOpenCV, kSame, [&] { PrepCv(in); },
           [&] { cv::medianBlur(in.cvIn, co, 3); });
  const cv::Mat C = BGRToRGB(co);
  Note(g, "MAD vs input %.3f; project vs cv %.4f (max %.0f), vips vs cv %.4f (1 px margin)",
       Mad(P, in.refRGB, 1), Mad(P, C, 1), MaxDiff(P, C, 1), Mad(VipsToRGB(v), C, 1));
  Drop(v);
}

// ---- 4. integer convolutions

void GroupConv(Inputs& in) {
  const int W = in.w, H = in.h;
  // 3x3: the raster core's sharpening kernel of level 150.
  int32_t k3[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  int16_t div3 = 1;
  Load_matrix(0, 150, k3, &div3);
  // 5x5: the benchmark's kernel, ones with 8 in the middle, over 32.
  std::vector<int32_t> k5(25, 1);
  k5[12] = 8;
  const float div5 = 32.0f;
  const unsigned char zero[1] = {0};

  if (Wanted("conv3x3")) {
    const std::string g = "conv3x3";
    char kdesc[128];
    std::snprintf(kdesc, sizeof kdesc, "kernel [%d %d %d; %d %d %d; %d %d %d] / %d", k3[0], k3[1], k3[2], k3[3],
                  k3[4], k3[5], k3[6], k3[7], k3[8], div3);
    Note(g, "%s", kdesc);
    TimeProject(g, "X_Mat_Chbuf (x3 planes)", [&] { PrepProject(in); }, [&] {
      for (int c = 0; c < 3; ++c)
        if (X_Mat_Chbuf(W, H, in.planes.p[c].data(), 0, 0, W - 1, H - 1, 0, div3, k3, 4096) != 0)
          Die("X_Mat_Chbuf failed");
    });
    const cv::Mat P1 = PlanesToRGB(in.planes);
    TimeProject(g, "ApplyMatrix radius 1 (x3 planes)", [&] { PrepProject(in); }, [&] {
      for (int c = 0; c < 3; ++c)
        if (ApplyMatrix(in.planes.p[c].data(), nullptr, 1, 1, W, H, 0, W - 1, 0, H - 1, 1, 1, zero,
                        static_cast<float>(div3), k3) != 0)
          Die("ApplyMatrix failed");
    });
    const cv::Mat P2 = PlanesToRGB(in.planes);
    TimeProject(g, "ApplyMatrix radius 1, samples 3 on RGB interleaved", [&] { PrepVips(in); }, [&] {
      const unsigned char z3[3] = {0, 0, 0};
      if (ApplyMatrix(in.vipsBuf.data(), nullptr, 1, 1, W, H, 0, W - 1, 0, H - 1, 1, 3, z3,
                      static_cast<float>(div3), k3) != 0)
        Die("ApplyMatrix failed");
    });
    const cv::Mat P3 = cv::Mat(H, W, CV_8UC3, in.vipsBuf.data()).clone();
    PrepVips(in);
    // The script's Sharpen at strength 15 runs this very kernel over a
    // copy of the whole plane, then blends the copy back.
    TimeProject(g, "Effects::Sharpen strength 15 (same kernel; copy+blend) (x3)", [&] { PrepProject(in); }, [&] {
      for (int c = 0; c < 3; ++c)
        if (Effects::Sharpen(0, 255, in.planes.p[c].data(), nullptr, W, H, 0, 0, W - 1, H - 1, 15) != 0)
          Die("Sharpen failed");
    });
    const cv::Mat P4 = PlanesToRGB(in.planes);
    Note(g, "Effects::Sharpen vs X_Mat_Chbuf MAD %.4f", Mad(P4, P1, 0));
    VipsImage* mask = vips_image_new_matrixv(3, 3, double(k3[0]), double(k3[1]), double(k3[2]), double(k3[3]),
                                             double(k3[4]), double(k3[5]), double(k3[6]), double(k3[7]),
                                             double(k3[8]));
    vips_image_set_double(mask, "scale", div3);
    vips_image_set_double(mask, "offset", 0);
    VipsImage* v = nullptr;
    TimePeer(g, "vips_conv 3x3 precision integer", kVips, kSame, [&] { Drop(v); PrepVips(in); },
             [&] { VipsImage* o = nullptr; v = Eval(Checked(vips_conv(in.vin, &o, mask, "precision", VIPS_PRECISION_INTEGER, nullptr), o, "conv")); });
    cv::Mat kf(3, 3, CV_32F), co;
    for (int i = 0; i < 9; ++i) kf.at<float>(i / 3, i % 3) = static_cast<float>(k3[i]) / div3;
    TimePeer(g, "cv::filter2D 3x3 (float kernel, 8U)", kOpenCV, kSame, [&] { PrepCv(in); },
             [&] { cv::filter2D(in.cvIn, co, -1, kf, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE); });
    const cv::Mat C = BGRToRGB(co), V = VipsToRGB(v);
    Note(g, "MAD vs input %.2f; vs cv (2 px margin): X_Mat_Chbuf %.4f (max %.0f), ApplyMatrix %.4f (max %.0f), ApplyMatrix RGB %.4f, vips %.4f (max %.0f)",
         Mad(P1, in.refRGB, 2), Mad(P1, C, 2), MaxDiff(P1, C, 2), Mad(P2, C, 2), MaxDiff(P2, C, 2),
         Mad(P3, C, 2), Mad(V, C, 2), MaxDiff(V, C, 2));
    Drop(v);
    g_object_unref(mask);
  }

  if (Wanted("conv5x5")) {
    const std::string g = "conv5x5";
    Note(g, "kernel 5x5 of ones, centre 8, / 32");
    TimeProject(g, "ApplyMatrix radius 2 (x3 planes)", [&] { PrepProject(in); }, [&] {
      for (int c = 0; c < 3; ++c)
        if (ApplyMatrix(in.planes.p[c].data(), nullptr, 1, 1, W, H, 0, W - 1, 0, H - 1, 2, 1, zero, div5,
                        k5.data()) != 0)
          Die("ApplyMatrix failed");
    });
    const cv::Mat P = PlanesToRGB(in.planes);
    std::vector<double> m(25);
    for (int i = 0; i < 25; ++i) m[i] = k5[i];
    VipsImage* mask = vips_image_new_matrix_from_array(5, 5, m.data(), 25);
    vips_image_set_double(mask, "scale", div5);
    vips_image_set_double(mask, "offset", 0);
    VipsImage* v = nullptr;
    TimePeer(g, "vips_conv 5x5 precision integer", kVips, kSame, [&] { Drop(v); PrepVips(in); },
             [&] { VipsImage* o = nullptr; v = Eval(Checked(vips_conv(in.vin, &o, mask, "precision", VIPS_PRECISION_INTEGER, nullptr), o, "conv")); });
    cv::Mat kf(5, 5, CV_32F), co;
    for (int i = 0; i < 25; ++i) kf.at<float>(i / 5, i % 5) = static_cast<float>(k5[i]) / div5;
    TimePeer(g, "cv::filter2D 5x5 (float kernel, 8U)", kOpenCV, kSame, [&] { PrepCv(in); },
             [&] { cv::filter2D(in.cvIn, co, -1, kf, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE); });
    const cv::Mat C = BGRToRGB(co), V = VipsToRGB(v);
    Note(g, "MAD vs input %.2f; vs cv (3 px margin): ApplyMatrix %.4f (max %.0f, project truncates, cv rounds), vips %.4f",
         Mad(P, in.refRGB, 3), Mad(P, C, 3), MaxDiff(P, C, 3), Mad(V, C, 3));
    Drop(v);
    g_object_unref(mask);
  }
}

// ---- 5. unsharp mask / sharpen

void GroupSharpen(Inputs& in) {
  const std::string g = "unsharp";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h;
  TimeProject(g, "Effects::UnSharpMask r5 amount 100 thr 0 (x3)", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c)
      if (Effects::UnSharpMask(0, 255, in.planes.p[c].data(), nullptr, W, H, 0, 0, W - 1, H - 1, 5, 100, 0) != 0)
        Die("UnSharpMask failed");
  });
  const cv::Mat P = PlanesToRGB(in.planes);
  VipsImage *va = nullptr, *vs = nullptr;
  TimePeer(g, "vips gaussblur s5 + subtract + add + cast (USM)", kVips, kSame, [&] { Drop(va); PrepVips(in); }, [&] {
    VipsImage *b = nullptr, *d = nullptr, *s = nullptr, *o = nullptr;
    Checked(vips_gaussblur(in.vin, &b, 5.0, nullptr), b, "gaussblur");
    Checked(vips_subtract(in.vin, b, &d, nullptr), d, "subtract");
    Checked(vips_add(in.vin, d, &s, nullptr), s, "add");
    Checked(vips_cast_uchar(s, &o, nullptr), o, "cast");
    g_object_unref(b);
    g_object_unref(d);
    g_object_unref(s);
    va = Eval(o);
  });
  TimePeer(g, "vips_sharpen sigma 5 (LabS, L only, nonlinear)", kVips, kInfo, [&] { Drop(vs); PrepVips(in); }, [&] {
    VipsImage* o = nullptr;
    VipsImage* s = Checked(vips_sharpen(in.vin, &o, "sigma", 5.0, nullptr), o, "sharpen");
    VipsImage* c = nullptr;
    // Back to 8-bit sRGB (vips_sharpen's output is 16-bit RGB for 8-bit input).
    if (s->BandFmt != VIPS_FORMAT_UCHAR) {
      Checked(vips_colourspace(s, &c, VIPS_INTERPRETATION_sRGB, nullptr), c, "colourspace");
      g_object_unref(s);
      s = c;
    }
    vs = Eval(s);
  });
  cv::Mat blur, co;
  TimePeer(g, "cv GaussianBlur s5 + addWeighted(2,-1)", kOpenCV, kSame, [&] { PrepCv(in); }, [&] {
    cv::GaussianBlur(in.cvIn, blur, cv::Size(0, 0), 5.0, 5.0, cv::BORDER_REPLICATE);
    cv::addWeighted(in.cvIn, 2.0, blur, -1.0, 0.0, co);
  });
  const cv::Mat C = BGRToRGB(co), VA = VipsToRGB(va), VS = VipsToRGB(vs);
  Note(g, "MAD vs input: project USM %.2f, cv %.2f, vips_sharpen %.2f", Mad(P, in.refRGB, 20),
       Mad(C, in.refRGB, 20), Mad(VS, in.refRGB, 20));
  Note(g, "MAD vs cv USM (20 px margin): project USM %.3f, vips arith USM %.3f, vips_sharpen %.3f",
       Mad(P, C, 20), Mad(VA, C, 20), Mad(VS, C, 20));
  Drop(va);
  Drop(vs);
}

// ---- 6. look-up table

void GroupLut(Inputs& in) {
  const std::string g = "lut";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h;
  unsigned char table[256];
  Effects::CreaLut(table, 30, 10, 0);
  TimeProject(g, "Effects::Etch 1 table (x3 planes)", [&] { PrepProject(in); }, [&] {
    for (int c = 0; c < 3; ++c)
      if (Effects::Etch(0, 255, in.planes.p[c].data(), H, W, 0, 0, W - 1, H - 1, 1, nullptr, table) != 0)
        Die("Etch failed");
  });
  const cv::Mat P = PlanesToRGB(in.planes);
  // The raster core's table applier works on 32-bit pixels (4 bytes each).
  std::vector<uint32_t> src(static_cast<size_t>(W) * H), dst(src.size());
  for (size_t i = 0; i < src.size(); ++i)
    src[i] = uint32_t(in.pristinePlanes.p[0][i]) | uint32_t(in.pristinePlanes.p[1][i]) << 8 |
             uint32_t(in.pristinePlanes.p[2][i]) << 16 | 0xFF000000u;
  int16_t lut16[256];
  for (int i = 0; i < 256; ++i) lut16[i] = table[i];
  TimeProject(g, "X_lut_buffer (RGBA 32-bit pixels, src->dst)", [&] { PrepProject(in); }, [&] {
    X_lut_buffer(H, W, src.data(), dst.data(), 0, 0, W, H, nullptr, 100, lut16, lut16, lut16, nullptr);
  });
  VipsImage* lutImg = vips_image_new_from_memory_copy(table, 256, 256, 1, 1, VIPS_FORMAT_UCHAR);
  VipsImage* v = nullptr;
  TimePeer(g, "vips_maplut (256x1 table, all bands)", kVips, kSame, [&] { Drop(v); PrepVips(in); },
           [&] { VipsImage* o = nullptr; v = Eval(Checked(vips_maplut(in.vin, &o, lutImg, nullptr), o, "maplut")); });
  cv::Mat lutMat(1, 256, CV_8U, table), co;
  TimePeer(g, "cv::LUT (8UC3)", kOpenCV, kSame, [&] { PrepCv(in); }, [&] { cv::LUT(in.cvIn, lutMat, co); });
  cv::Mat D(H, W, CV_8UC4, dst.data());
  std::vector<cv::Mat> ch;
  cv::split(D, ch);
  ch.pop_back();
  cv::Mat DL;
  cv::merge(ch, DL);
  const cv::Mat C = BGRToRGB(co);
  Note(g, "MAD vs input %.2f; Etch vs cv %.4f, X_lut_buffer vs cv %.4f, vips vs cv %.4f", Mad(P, in.refRGB, 0),
       Mad(P, C, 0), Mad(DL, C, 0), Mad(VipsToRGB(v), C, 0));
  Drop(v);
  g_object_unref(lutImg);
}

// ---- 7. hue shift

void GroupHsl(Inputs& in) {
  const std::string g = "hue";
  if (!Wanted(g)) return;
  const int W = in.w, H = in.h;
  TimeProject(g, "Effects::HSLBlend hue +30 (3 planes, float HLS)", [&] { PrepProject(in); }, [&] {
    Effects::HSLBlend(0, 255, H, W, in.planes.p[0].data(), in.planes.p[1].data(), in.planes.p[2].data(),
                      nullptr, nullptr, 0, 0, W - 1, H - 1, 30, 0, 0, 1);
  });
  const cv::Mat P = PlanesToRGB(in.planes);
  // vips: 8-bit HSV round trip, hue +21/256 of a turn through a 3-band table.
  unsigned char l3[256 * 3];
  for (int i = 0; i < 256; ++i) {
    l3[3 * i] = static_cast<unsigned char>((i + 21) & 255);
    l3[3 * i + 1] = static_cast<unsigned char>(i);
    l3[3 * i + 2] = static_cast<unsigned char>(i);
  }
  VipsImage* lutV = vips_image_new_from_memory_copy(l3, sizeof l3, 256, 1, 3, VIPS_FORMAT_UCHAR);
  VipsImage* v = nullptr;
  TimePeer(g, "vips sRGB->HSV, maplut hue, HSV->sRGB (8-bit)", kVips, kRough, [&] { Drop(v); PrepVips(in); }, [&] {
    VipsImage *hsv = nullptr, *sh = nullptr, *tag = nullptr, *o = nullptr;
    Checked(vips_colourspace(in.vin, &hsv, VIPS_INTERPRETATION_HSV, nullptr), hsv, "to HSV");
    Checked(vips_maplut(hsv, &sh, lutV, nullptr), sh, "maplut");
    Checked(vips_copy(sh, &tag, "interpretation", VIPS_INTERPRETATION_HSV, nullptr), tag, "copy");
    Checked(vips_colourspace(tag, &o, VIPS_INTERPRETATION_sRGB, nullptr), o, "to sRGB");
    g_object_unref(hsv);
    g_object_unref(sh);
    g_object_unref(tag);
    v = Eval(o);
  });
  // OpenCV: 8-bit HLS round trip (hue in 0..179, +15 = +30 degrees).
  cv::Mat l3c(1, 256, CV_8UC3);
  for (int i = 0; i < 256; ++i)
    l3c.at<cv::Vec3b>(0, i) = cv::Vec3b(static_cast<uchar>(i < 180 ? (i + 15) % 180 : i), static_cast<uchar>(i),
                                        static_cast<uchar>(i));
  cv::Mat hls, hls2, co;
  TimePeer(g, "cv cvtColor BGR2HLS, LUT hue, HLS2BGR (8-bit)", kOpenCV, kRough, [&] { PrepCv(in); }, [&] {
    cv::cvtColor(in.cvIn, hls, cv::COLOR_BGR2HLS);
    cv::LUT(hls, l3c, hls2);
    cv::cvtColor(hls2, co, cv::COLOR_HLS2BGR);
  });
  const cv::Mat C = BGRToRGB(co);
  Note(g, "MAD vs input: project %.2f, cv %.2f; project vs cv HLS %.3f, project vs vips HSV %.3f",
       Mad(P, in.refRGB, 0), Mad(C, in.refRGB, 0), Mad(P, C, 0), Mad(P, VipsToRGB(v), 0));
  Drop(v);
  g_object_unref(lutV);
}

// ---- 8. codecs

void GroupCodecs(Inputs& in) {
  const int W = in.w, H = in.h;
  const std::string dir = opt.scratch;
  // The project's native pixel buffers for writing: four components a pixel.
  PixelBuffer pb8(W, H, 1, 4), pb16(W, H, 2, 4);
  for (int y = 0; y < H; ++y) {
    uint8_t* r8 = pb8.rowPtr(y);
    uint16_t* r16 = reinterpret_cast<uint16_t*>(pb16.rowPtr(y));
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < 4; ++c) {
        const uint8_t v = c < 3 ? in.pristinePlanes.p[c][static_cast<size_t>(y) * W + x] : 255;
        r8[4 * x + c] = v;
        r16[4 * x + c] = static_cast<uint16_t>(v * 257);
      }
  }
  cv::Mat bgr16;
  in.pristineBGR.convertTo(bgr16, CV_16UC3, 257.0);
  std::vector<uint16_t> rgb16(static_cast<size_t>(W) * H * 3);
  for (size_t i = 0; i < rgb16.size(); ++i) rgb16[i] = static_cast<uint16_t>(in.pristineRGB[i] * 257);
  VipsImage* v16raw = vips_image_new_from_memory(rgb16.data(), rgb16.size() * 2, W, H, 3, VIPS_FORMAT_USHORT);
  VipsImage* v16 = nullptr;
  Checked(vips_copy(v16raw, &v16, "interpretation", VIPS_INTERPRETATION_RGB16, nullptr), v16, "copy");
  g_object_unref(v16raw);

  // A plain (uncompressed, strips) 16-bit RGB TIFF for the readers.
  const std::string ref16 = dir + "/ref16.tif";
  if (vips_tiffsave(v16, ref16.c_str(), "compression", VIPS_FOREIGN_TIFF_COMPRESSION_NONE, "strip", TRUE, nullptr) != 0)
    Die("tiffsave: %s", vips_error_buffer());

  const auto nop = [] {};
  std::string msg;

  if (Wanted("jpeg-read")) {
    const std::string g = "jpeg-read";
    PixelBuffer b;
    TimeProject(g, "readSourceImage JPEG -> RGBA 8-bit buffer", nop, [&] {
      PixelBuffer t;
      if (readSourceImage(opt.jpeg, nullptr, nullptr, 0, true, t, &msg) != 0) Die("read: %s", msg.c_str());
      b.swap(t);
    });
    VipsImage* v = nullptr;
    TimePeer(g, "vips_image_new_from_file (seq) + copy_memory", kVips, kSame, [&] { Drop(v); }, [&] {
      VipsImage* im = vips_image_new_from_file(opt.jpeg.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
      if (im == nullptr) Die("vips load: %s", vips_error_buffer());
      v = Eval(im);
    });
    cv::Mat c;
    TimePeer(g, "cv::imread IMREAD_COLOR", kOpenCV, kSame, nop, [&] { c = cv::imread(opt.jpeg, cv::IMREAD_COLOR); });
    cv::Mat P;
    if (b.height() == static_cast<uint32_t>(H)) {
      P.create(H, W, CV_8UC3);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          for (int k = 0; k < 3; ++k) P.at<cv::Vec3b>(y, x)[k] = b.rowPtr(y)[4 * x + k];
    }
    const cv::Mat C = BGRToRGB(c), V = VipsToRGB(v);
    Note(g, "decoded MAD: project vs cv %.4f, vips vs cv %.4f; vs the PNG original %.3f", Mad(P, C, 0),
         Mad(V, C, 0), Mad(C, in.refRGB, 0));
    Drop(v);
  }

  if (Wanted("jpeg-write")) {
    const std::string g = "jpeg-write";
    const std::string pp = dir + "/p.jpg", vp = dir + "/v.jpg", cp = dir + "/c.jpg";
    TimeProject(g, "writeDestinationImage JPEG q90 4:2:0 (fsyncs)", nop, [&] {
      if (writeDestinationImage(pp, "public.jpeg", {}, pb8, &msg) != 0) Die("write: %s", msg.c_str());
    });
    const auto vsave = [&] {
      if (vips_jpegsave(in.vin, vp.c_str(), "Q", 90, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, "strip", TRUE, nullptr) != 0)
        Die("jpegsave: %s", vips_error_buffer());
    };
    const auto csave = [&] {
      if (!cv::imwrite(cp, in.cvIn, {cv::IMWRITE_JPEG_QUALITY, 90})) Die("imwrite jpeg failed");
    };
    TimePeer(g, "vips_jpegsave Q90 4:2:0", kVips, kInfo, [&] { PrepVips(in); }, vsave);
    TimePeer(g, "vips_jpegsave Q90 4:2:0 + fsync", kVips, kSame, [&] { PrepVips(in); }, [&] { vsave(); SyncFile(vp); });
    TimePeer(g, "cv::imwrite JPEG q90 (4:2:0 default)", kOpenCV, kInfo, [&] { PrepCv(in); }, csave);
    TimePeer(g, "cv::imwrite JPEG q90 + fsync", kOpenCV, kSame, [&] { PrepCv(in); }, [&] { csave(); SyncFile(cp); });
    const cv::Mat P = BGRToRGB(cv::imread(pp)), V = BGRToRGB(cv::imread(vp)), C = BGRToRGB(cv::imread(cp));
    Note(g, "sizes: project %ld, vips %ld, cv %ld bytes; decoded MAD vs original: %.3f / %.3f / %.3f", FileSize(pp),
         FileSize(vp), FileSize(cp), Mad(P, in.refRGB, 0), Mad(V, in.refRGB, 0), Mad(C, in.refRGB, 0));
  }

  if (Wanted("tiff16-read")) {
    const std::string g = "tiff16-read";
    PixelBuffer b;
    TimeProject(g, "readSourceImage TIFF 16 -> RGBA 16-bit buffer", nop, [&] {
      PixelBuffer t;
      if (readSourceImage(ref16, nullptr, nullptr, 0, true, t, &msg) != 0) Die("read: %s", msg.c_str());
      b.swap(t);
    });
    VipsImage* v = nullptr;
    TimePeer(g, "vips_image_new_from_file (seq) + copy_memory", kVips, kSame, [&] { Drop(v); }, [&] {
      VipsImage* im = vips_image_new_from_file(ref16.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
      if (im == nullptr) Die("vips load: %s", vips_error_buffer());
      v = Eval(im);
    });
    cv::Mat c;
    TimePeer(g, "cv::imread IMREAD_UNCHANGED", kOpenCV, kSame, nop, [&] { c = cv::imread(ref16, cv::IMREAD_UNCHANGED); });
    cv::Mat P;
    if (b.height() == static_cast<uint32_t>(H)) {
      if (b.bytesPerComponent() != 2) Die("project read the TIFF at %u bytes", b.bytesPerComponent());
      P.create(H, W, CV_16UC3);
      for (int y = 0; y < H; ++y) {
        const uint16_t* r = reinterpret_cast<const uint16_t*>(b.rowPtr(y));
        for (int x = 0; x < W; ++x)
          for (int k = 0; k < 3; ++k) P.at<cv::Vec<uint16_t, 3>>(y, x)[k] = r[4 * x + k];
      }
    }
    const cv::Mat C = BGRToRGB(c);
    const cv::Mat V = VipsToRGB(v);
    cv::Mat want(H, W, CV_16UC3, rgb16.data());
    Note(g, "file %ld bytes; decoded MAD vs written samples: project %.4f, vips %.4f, cv %.4f", FileSize(ref16),
         Mad(P, want, 0), Mad(V, want, 0), Mad(C, want, 0));
    Drop(v);
  }

  if (Wanted("tiff16-write")) {
    const std::string g = "tiff16-write";
    const std::string pp = dir + "/p16.tif", vp = dir + "/v16.tif", cp = dir + "/c16.tif";
    TimeProject(g, "writeDestinationImage TIFF 16 none (fsyncs)", nop, [&] {
      if (writeDestinationImage(pp, "public.tiff", {}, pb16, &msg) != 0) Die("write: %s", msg.c_str());
    });
    const auto vsave = [&] {
      if (vips_tiffsave(v16, vp.c_str(), "compression", VIPS_FOREIGN_TIFF_COMPRESSION_NONE, "strip", TRUE, nullptr) != 0)
        Die("tiffsave: %s", vips_error_buffer());
    };
    const auto csave = [&] {
      if (!cv::imwrite(cp, bgr16, {cv::IMWRITE_TIFF_COMPRESSION, 1})) Die("imwrite tiff failed");
    };
    TimePeer(g, "vips_tiffsave 16-bit none", kVips, kInfo, nop, vsave);
    TimePeer(g, "vips_tiffsave 16-bit none + fsync", kVips, kSame, nop, [&] { vsave(); SyncFile(vp); });
    TimePeer(g, "cv::imwrite TIFF 16 none", kOpenCV, kInfo, nop, csave);
    TimePeer(g, "cv::imwrite TIFF 16 none + fsync", kOpenCV, kSame, nop, [&] { csave(); SyncFile(cp); });
    cv::Mat want(H, W, CV_16UC3, rgb16.data());
    auto back = [&](const std::string& p) {
      cv::Mat m = cv::imread(p, cv::IMREAD_UNCHANGED), r;
      if (m.empty()) return cv::Mat();
      cv::cvtColor(m, r, cv::COLOR_BGR2RGB);
      return r;
    };
    Note(g, "sizes: project %ld, vips %ld, cv %ld bytes; read back MAD: %.4f / %.4f / %.4f", FileSize(pp),
         FileSize(vp), FileSize(cp), Mad(back(pp), want, 0), Mad(back(vp), want, 0), Mad(back(cp), want, 0));
  }
  g_object_unref(v16);
}

// ---------------------------------------------------------------- report

std::string LoadAvg() {
  FILE* f = std::fopen("/proc/loadavg", "r");
  char buf[128] = "?";
  if (f != nullptr) {
    if (std::fgets(buf, sizeof buf, f) == nullptr) std::strcpy(buf, "?");
    std::fclose(f);
  }
  std::string s(buf);
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}
std::string loadAtStart;

// The fastest entry of a library in a group at exactly `level`.
const Entry* Best(const std::string& group, Lib lib, int threads, int level) {
  const Entry* best = nullptr;
  for (const Entry& e : entries) {
    if (e.group != group || e.lib != lib || e.threads != threads || e.level != level) continue;
    if (best == nullptr || e.st.median < best->st.median) best = &e;
  }
  return best;
}

void Report() {
  double floorMs = 0;
  for (const Entry& e : entries)
    if (e.group == "floor" && e.threads == 1 && e.variant.rfind("memcpy", 0) == 0) floorMs = e.st.median;

  std::printf("\nload average at start: %s; at end: %s (other processes share this machine)\n",
              loadAtStart.c_str(), LoadAvg().c_str());
  std::printf("\n## Every measurement (median of %d after %d warm-up; ms; cpu/wall = CPU time of all threads / wall time)\n\n",
              opt.reps, opt.warm);
  std::printf("| group | library | variant | threads | median ms | min ms | cpu/wall | kind |\n");
  std::printf("|---|---|---|---|---:|---:|---:|---|\n");
  for (const Entry& e : entries)
    std::printf("| %s | %s | %s | %s | %.3f | %.3f | %.2f | %s |\n", e.group.c_str(), LibName(e.lib), e.variant.c_str(),
                e.threads == 1 ? "1" : "default", e.st.median, e.st.min,
                e.st.cpuRatio, e.level == kSame ? "same op" : (e.level == kRough ? "closest (differs)" : "info only"));

  std::printf("\n## Ratios (each project variant against the fastest same-operation variant of either peer,"
              " at one thread and at default threads; * = no peer has the same operation, the closest is used)\n\n");
  std::printf("| operation | project variant | project 1T ms | project default ms | vips 1T | vips default | OpenCV 1T | OpenCV default | ratio 1T | ratio default | project 1T / memcpy |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  // A library's equivalent variant, else its closest (marked *).
  auto pick = [](const std::string& g, Lib lib, int threads, bool* ref) {
    const Entry* e = Best(g, lib, threads, kSame);
    *ref = false;
    if (e == nullptr) {
      e = Best(g, lib, threads, kRough);
      *ref = e != nullptr;
    }
    return e;
  };
  auto cell = [](const Entry* e, bool ref) {
    char b[32];
    if (e == nullptr) return std::string("-");
    std::snprintf(b, sizeof b, "%.1f%s", e->st.median, ref ? "*" : "");
    return std::string(b);
  };
  // The fastest peer at a thread setting: same operations first, closest ones
  // only when no peer has the same.
  auto bestPeer = [&](const std::string& g, int threads, bool* ref) {
    double best = 0;
    for (int pass = 0; pass < 2 && best == 0; ++pass)
      for (Lib lib : {kVips, kOpenCV}) {
        bool r = false;
        const Entry* e = pick(g, lib, threads, &r);
        if (e != nullptr && r == (pass == 1) && (best == 0 || e->st.median < best)) {
          best = e->st.median;
          *ref = r;
        }
      }
    return best;
  };
  auto ratio = [](double project, double peer, bool ref) {
    char b[32] = "-";
    if (peer > 0 && project > 0) std::snprintf(b, sizeof b, "%.2fx%s", project / peer, ref ? "*" : "");
    return std::string(b);
  };
  for (const std::string& g : groupOrder) {
    if (g == "floor" || g == "load") continue;
    bool r1, r2, r3, r4, b1 = false, b0 = false;
    const Entry* v1 = pick(g, kVips, 1, &r1);
    const Entry* vd = pick(g, kVips, 0, &r2);
    const Entry* c1 = pick(g, kOpenCV, 1, &r3);
    const Entry* cd = pick(g, kOpenCV, 0, &r4);
    const double peer1 = bestPeer(g, 1, &b1), peer0 = bestPeer(g, 0, &b0);
    for (const Entry& p : entries) {
      if (p.group != g || p.lib != kProject || p.threads != 1) continue;
      double projectDefault = 0;
      for (const Entry& q : entries)
        if (q.group == g && q.lib == kProject && q.threads == 0 && q.variant == p.variant)
          projectDefault = q.st.median;
      char fl[32] = "-";
      if (floorMs > 0) std::snprintf(fl, sizeof fl, "%.1fx", p.st.median / floorMs);
      std::printf("| %s | %s | %.1f | %.1f | %s | %s | %s | %s | %s | %s | %s |\n", g.c_str(), p.variant.c_str(),
                  p.st.median, projectDefault, cell(v1, r1).c_str(), cell(vd, r2).c_str(), cell(c1, r3).c_str(),
                  cell(cd, r4).c_str(), ratio(p.st.median, peer1, b1).c_str(),
                  ratio(projectDefault, peer0, b0).c_str(), fl);
    }
  }
  std::printf("\nmemcpy floor (three planes): %.3f ms\n", floorMs);

  std::printf("\n## Checks\n\n");
  for (const auto& [g, lines] : checks)
    for (const std::string& l : lines) std::printf("- %s: %s\n", g.c_str(), l.c_str());

  if (!opt.csv.empty()) {
    FILE* f = std::fopen(opt.csv.c_str(), "w");
    if (f == nullptr) Die("cannot write %s", opt.csv.c_str());
    std::fprintf(f, "group,library,variant,threads,median_ms,min_ms,max_ms,cpu_wall,level\n");
    for (const Entry& e : entries)
      std::fprintf(f, "%s,%s,\"%s\",%s,%.4f,%.4f,%.4f,%.3f,%d\n", e.group.c_str(), LibName(e.lib), e.variant.c_str(),
                   e.threads == 1 ? "1" : "default", e.st.median, e.st.min, e.st.max,
                   e.st.cpuRatio, e.level);
    std::fclose(f);
  }
}

void ParseArgs(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) Die("%s needs a value", a.c_str());
      return argv[++i];
    };
    if (a == "--image") opt.image = next();
    else if (a == "--jpeg") opt.jpeg = next();
    else if (a == "--scratch") opt.scratch = next();
    else if (a == "--csv") opt.csv = next();
    else if (a == "--reps") opt.reps = std::max(1, std::atoi(next().c_str()));
    else if (a == "--warm") opt.warm = std::max(0, std::atoi(next().c_str()));
    else if (a == "--no-mmap") opt.noMmap = true;
    else if (a == "--libs") {
      std::stringstream ss(next());
      std::string t;
      while (std::getline(ss, t, ',')) opt.libs.insert(t);
    }
    else if (a == "--only") {
      std::stringstream ss(next());
      std::string t;
      while (std::getline(ss, t, ',')) opt.only.insert(t);
    } else Die("unknown argument %s", a.c_str());
  }
}

// ---------------------------------------------------------------- the picture

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x85ebca6bu;
  h ^= h >> 16;
  return h;
}

// Smooth noise: bilinear between hashed lattice values `cell` pixels apart.
float ValueNoise(int x, int y, int cell, uint32_t seed) {
  const int cx = x / cell, cy = y / cell;
  const float fx = static_cast<float>(x % cell) / cell, fy = static_cast<float>(y % cell) / cell;
  auto v = [&](int i, int j) { return static_cast<float>(Hash(cx + i, cy + j, seed) & 255); };
  const float top = v(0, 0) + (v(1, 0) - v(0, 0)) * fx, bottom = v(0, 1) + (v(1, 1) - v(0, 1)) * fx;
  return top + (bottom - top) * fy;
}

// A photograph's mix of content: broad shading, objects with hard edges,
// mid-scale texture and sensor noise, in interleaved RGB.
std::vector<uint8_t> MakePicture(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  struct Disc {
    float x, y, r;
    uint8_t c[3];
  };
  std::vector<Disc> discs;
  for (uint32_t k = 0; k < 40; ++k)
    discs.push_back({static_cast<float>(Hash(k, 1, 7) % w), static_cast<float>(Hash(k, 2, 7) % h),
                     static_cast<float>(40 + Hash(k, 3, 7) % 300),
                     {static_cast<uint8_t>(Hash(k, 4, 7)), static_cast<uint8_t>(Hash(k, 5, 7)),
                      static_cast<uint8_t>(Hash(k, 6, 7))}});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float c[3];
      for (int k = 0; k < 3; ++k)
        c[k] = 128.0f + 70.0f * std::sin(x * (0.0011f + 0.0004f * k) + y * 0.0017f + k) +
               0.25f * (ValueNoise(x, y, 24 + 8 * k, 11 + k) - 128.0f);
      for (const Disc& d : discs) {
        const float dx = x - d.x, dy = y - d.y;
        if (dx * dx + dy * dy < d.r * d.r)
          for (int k = 0; k < 3; ++k) c[k] = 0.35f * c[k] + 0.65f * d.c[k];
      }
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
      for (int k = 0; k < 3; ++k) {
        const float noise = static_cast<float>(Hash(x, y, 100 + k) % 13) - 6.0f;
        p[k] = static_cast<uint8_t>(std::clamp(c[k] + noise, 0.0f, 255.0f));
      }
    }
  return rgb;
}

// Whether the scratch folder is ours to remove at the end.
bool madeScratch = false;

// Fills in the picture and scratch paths the options left out.
void PrepareFiles() {
  if (opt.scratch.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/vmk-peers-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Die("cannot make a scratch folder");
    opt.scratch = pattern;
    madeScratch = true;
  }
  if (opt.image.empty()) {
    constexpr int kW = 3072, kH = 2048;
    std::vector<uint8_t> rgb = MakePicture(kW, kH);
    VipsImage* im = vips_image_new_from_memory(rgb.data(), rgb.size(), kW, kH, 3, VIPS_FORMAT_UCHAR);
    opt.image = opt.scratch + "/picture.png";
    if (im == nullptr || vips_pngsave(im, opt.image.c_str(), "compression", 1, nullptr) != 0)
      Die("cannot write %s: %s", opt.image.c_str(), vips_error_buffer());
    g_object_unref(im);
  }
  if (opt.jpeg.empty()) {
    VipsImage* im = vips_image_new_from_file(opt.image.c_str(), nullptr);
    opt.jpeg = opt.scratch + "/picture.jpg";
    if (im == nullptr || vips_jpegsave(im, opt.jpeg.c_str(), "Q", 92, nullptr) != 0)
      Die("cannot write %s: %s", opt.jpeg.c_str(), vips_error_buffer());
    g_object_unref(im);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) != 0) Die("vips init failed");
  ParseArgs(argc, argv);
  if (opt.noMmap) {
    // Large blocks from the heap instead of fresh mappings: no page faults
    // for work buffers that every call allocates anew.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  vips_cache_set_max(0);
  PrepareFiles();
  defaultVipsThreads = vips_concurrency_get();
  defaultCvThreads = cv::getNumThreads();
  std::string parallel = "?";
  {
    const std::string bi = cv::getBuildInformation();
    const size_t at = bi.find("Parallel framework:");
    if (at != std::string::npos) parallel = bi.substr(at + 19, bi.find('\n', at) - at - 19);
  }
  std::printf("# Side-by-side timings\n\nvips %s (default concurrency %d), OpenCV %s (default threads %d, parallel framework%s), %ld CPUs online%s\n",
              vips_version_string(), defaultVipsThreads, CV_VERSION, defaultCvThreads, parallel.c_str(),
              sysconf(_SC_NPROCESSORS_ONLN), opt.noMmap ? ", --no-mmap" : "");
  loadAtStart = LoadAvg();
  BenchSession session;
  Inputs in;
  LoadInputs(in);
  PeersSingle(true);
  GroupFloor(in);
  GroupBlur(in);
  GroupResize(in);
  GroupMedian(in);
  GroupConv(in);
  GroupSharpen(in);
  GroupLut(in);
  GroupHsl(in);
  GroupCodecs(in);
  Report();
  g_object_unref(in.vin);
  vips_shutdown();
  // The pictures and written files run to a few hundred megabytes.
  if (madeScratch) std::filesystem::remove_all(opt.scratch);
  return 0;
}
