// live-screen: the live check's eyes on the X server, and its maker of
// pictures. scripts/live-check presses and types with xdotool; what it
// needs to see, and the few things a window manager would do, are here:
//
//   live-screen photo OUT.jpg W H      a photo-like JPEG (smooth light, edges,
//                                      fine grain) for the host to open
//   live-screen grab OUT.png X Y W H   a rectangle of the screen as a PNG
//   live-screen sum X Y W H            a hash of a rectangle's pixels and
//                                      their mean, one line: "<hash> <mean>"
//   live-screen means X Y W H          the mean of red, green and blue over a
//                                      rectangle: "<r> <g> <b>"
//   live-screen pairs X Y W H          the share of pixel pairs (even column,
//                                      the next) that differ: near 0 when a
//                                      picture was drawn at half the screen's
//                                      resolution and doubled
//   live-screen close WINDOW           asks a window to close as a window
//                                      manager's close box does
//                                      (WM_DELETE_WINDOW)
//   live-screen keys TEXT              binds each character of TEXT that no
//                                      key types to a spare key, and keeps
//                                      it so: xdotool then types it as any
//                                      other key (its own binding is undone
//                                      at once, and a program that reads
//                                      the keyboard map late loses the key)
//   live-screen wm                     the name of the window manager that
//                                      runs on the display (exit status 1
//                                      while none does)
//   live-screen frame WINDOW           what the window manager made of a
//                                      window, one line: "TRANSIENT_FOR X Y W
//                                      H CLOSE": the window it is transient
//                                      for (0: none), its frame on the screen
//                                      (the window with its decorations) and
//                                      whether the manager offers to close it
//   live-screen sheet OUT.png NAME=PNG ...   a contact sheet of pictures, each
//                                      with its name under it
//   live-screen compare PREVIEW.png VERSION [OUT.png]
//                                      the picture in a grab of a preview
//                                      against a written version scaled to its
//                                      size: "<difference> X Y W H", the mean
//                                      absolute difference per sample of the
//                                      medians of 8 x 8 pixel blocks, and
//                                      where the picture lies
//                                      in the grab; OUT.png shows both and
//                                      their difference side by side
//   live-screen flip IN OUT.tif        a picture upside down (the check's test
//                                      of its comparison)
//   live-screen stats PICTURE          each channel's mean and the count of
//                                      coloured pixels (samples not all equal),
//                                      one line: "<red> <green> <blue> <coloured>"
//   live-screen change PICTURE REFERENCE   how far a written version is from
//                                      the picture it was made from: the mean
//                                      absolute difference per colour sample
//
// The screen commands read DISPLAY; exit status 0 on success, 1 with a
// message on stderr otherwise, 2 on a usage error.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "photo.h"
#include "platform/imageio/image_io.h"

// Xlib last: its macros (Status, Bool, None) would rename what the headers
// above declare.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "live-screen: %s\n", what);
  return 1;
}

// The photograph of photo.h as a JPEG.
int Photo(const std::string& out, uint32_t w, uint32_t h) {
  if (w == 0 || h == 0 || w > 20000 || h > 20000) return Fail("photo size out of range");
  const std::vector<uint8_t> px = livescreen::PhotoPixels(w, h);
  plat::imageio::Properties props;
  props.jpegQuality = 92;
  const plat::imageio::PixelSource source{px.data(), static_cast<size_t>(w) * 4, w, h, 1};
  std::string message;
  if (plat::imageio::WriteImage(out, plat::imageio::kTypeJPEG, props, source, &message) != 0)
    return Fail(message.c_str());
  return 0;
}

struct Screen {
  Display* display = XOpenDisplay(nullptr);
  ~Screen() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

// The rectangle as 32-bit RGB, clipped to the screen; null image when none is left.
QImage Grab(Display* d, int x, int y, int w, int h) {
  const int sw = DisplayWidth(d, DefaultScreen(d));
  const int sh = DisplayHeight(d, DefaultScreen(d));
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + w, sw), y1 = std::min(y + h, sh);
  if (x1 <= x0 || y1 <= y0) return QImage();
  XImage* img = XGetImage(d, DefaultRootWindow(d), x0, y0, static_cast<unsigned>(x1 - x0),
                          static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
  if (img == nullptr) return QImage();
  QImage out(x1 - x0, y1 - y0, QImage::Format_RGB32);
  for (int j = 0; j < out.height(); ++j) {
    auto* row = reinterpret_cast<uint32_t*>(out.scanLine(j));
    for (int i = 0; i < out.width(); ++i) row[i] = 0xff000000u | (XGetPixel(img, i, j) & 0xffffffu);
  }
  XDestroyImage(img);
  return out;
}

int GrabCommand(const std::string& out, int x, int y, int w, int h) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  QImage img = Grab(s.display, x, y, w, h);
  if (img.isNull()) return Fail("nothing of that rectangle is on the screen");
  if (!img.save(QString::fromStdString(out), "PNG")) return Fail("cannot write the picture");
  return 0;
}

int SumCommand(int x, int y, int w, int h) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  QImage img = Grab(s.display, x, y, w, h);
  if (img.isNull()) return Fail("nothing of that rectangle is on the screen");
  uint64_t hash = 1469598103934665603ull;
  double total = 0;
  for (int j = 0; j < img.height(); ++j) {
    const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(j));
    for (int i = 0; i < img.width(); ++i) {
      const uint32_t v = row[i] & 0xffffffu;
      hash = (hash ^ v) * 1099511628211ull;
      total += ((v >> 16) & 255) + ((v >> 8) & 255) + (v & 255);
    }
  }
  std::printf("%016llx %.3f\n", static_cast<unsigned long long>(hash),
              total / (3.0 * img.width() * img.height()));
  return 0;
}

int MeansCommand(int x, int y, int w, int h) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  QImage img = Grab(s.display, x, y, w, h);
  if (img.isNull()) return Fail("nothing of that rectangle is on the screen");
  double total[3] = {0.0, 0.0, 0.0};
  for (int j = 0; j < img.height(); ++j) {
    const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(j));
    for (int i = 0; i < img.width(); ++i)
      for (int k = 0; k < 3; ++k) total[k] += (row[i] >> (16 - 8 * k)) & 255u;
  }
  const double n = static_cast<double>(img.width()) * img.height();
  std::printf("%.3f %.3f %.3f\n", total[0] / n, total[1] / n, total[2] / n);
  return 0;
}

int PairsCommand(int x, int y, int w, int h) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  QImage img = Grab(s.display, x, y, w, h);
  if (img.isNull()) return Fail("nothing of that rectangle is on the screen");
  long pairs = 0, differ = 0;
  for (int j = 0; j < img.height(); ++j) {
    const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(j));
    for (int i = 0; i + 1 < img.width(); i += 2, ++pairs)
      if ((row[i] & 0xffffffu) != (row[i + 1] & 0xffffffu)) ++differ;
  }
  std::printf("%.4f\n", pairs > 0 ? static_cast<double>(differ) / static_cast<double>(pairs) : 0.0);
  return 0;
}

int CloseCommand(unsigned long window) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(s.display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(s.display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(s.display, window, False, NoEventMask, &e);
  XSync(s.display, False);
  return 0;
}

// A window property of 32-bit items (CARDINAL, ATOM, WINDOW), empty when
// the window has none.
std::vector<long> Property32(Display* d, Window w, const char* name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> out;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    if (format == 32) {
      const auto* items = reinterpret_cast<const long*>(data);
      out.assign(items, items + count);
    }
    XFree(data);
  }
  return out;
}

// The code points of a UTF-8 text (no validation beyond the lead byte's length).
std::vector<uint32_t> CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    uint32_t cp = extra == 0 ? b : b & (0x3Fu >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

int KeysCommand(const std::string& text) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  int first = 0, last = 0, per = 0;
  XDisplayKeycodes(s.display, &first, &last);
  KeySym* map = XGetKeyboardMapping(s.display, static_cast<KeyCode>(first), last - first + 1, &per);
  if (map == nullptr) return Fail("cannot read the keyboard map");
  auto mapped = [&](KeySym sym) {
    for (int i = 0; i < (last - first + 1) * per; ++i)
      if (map[i] == sym) return true;
    return false;
  };
  int spare = last;
  for (const uint32_t cp : CodePoints(text)) {
    // Latin-1 characters have keysyms of their own number; the rest are Unicode keysyms.
    const KeySym sym = cp < 0x100 ? cp : 0x1000000 + cp;
    if (cp < 0x80 || mapped(sym)) continue;
    while (spare >= first) {
      bool empty = true;
      for (int k = 0; k < per; ++k) empty = empty && map[(spare - first) * per + k] == NoSymbol;
      if (empty) break;
      --spare;
    }
    if (spare < first) {
      XFree(map);
      return Fail("no spare key left");
    }
    KeySym row[2] = {sym, sym};
    XChangeKeyboardMapping(s.display, spare, 2, row, 1);
    for (int k = 0; k < per; ++k) map[(spare - first) * per + k] = k < 2 ? sym : NoSymbol;
  }
  XFree(map);
  XSync(s.display, False);
  return 0;
}

int WmCommand() {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  // A compliant manager names a window of its own on the root, and names
  // itself on that window.
  const std::vector<long> check = Property32(s.display, DefaultRootWindow(s.display), "_NET_SUPPORTING_WM_CHECK",
                                             XA_WINDOW);
  if (check.empty()) return 1;
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string name = "unnamed";
  if (XGetWindowProperty(s.display, static_cast<Window>(check[0]), XInternAtom(s.display, "_NET_WM_NAME", False), 0,
                         256, False, XInternAtom(s.display, "UTF8_STRING", False), &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    if (format == 8 && count > 0) name.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  std::printf("%s\n", name.c_str());
  return 0;
}

int FrameCommand(unsigned long window) {
  Screen s;
  if (s.display == nullptr) return Fail("cannot open the display");
  Display* d = s.display;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(d, window, &attributes) == 0) return Fail("no such window");
  Window owner = 0;
  if (XGetTransientForHint(d, window, &owner) == 0) owner = 0;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  // left, right, top, bottom
  std::vector<long> extents = Property32(d, window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
  extents.resize(4, 0);
  const std::vector<long> actions = Property32(d, window, "_NET_WM_ALLOWED_ACTIONS", XA_ATOM);
  const Atom close = XInternAtom(d, "_NET_WM_ACTION_CLOSE", False);
  const bool closes = std::find(actions.begin(), actions.end(), static_cast<long>(close)) != actions.end();
  std::printf("%lu %ld %ld %ld %ld %d\n", static_cast<unsigned long>(owner), x - extents[0], y - extents[2],
              attributes.width + extents[0] + extents[1], attributes.height + extents[2] + extents[3],
              closes ? 1 : 0);
  return 0;
}

int SheetCommand(int argc, char** argv, const std::string& out) {
  // Text needs a font database, so an application; no display is needed.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  constexpr int kCell = 400, kLabel = 24, kColumns = 4;
  struct Entry {
    QString name;
    QImage image;
  };
  std::vector<Entry> entries;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    const size_t eq = a.find('=');
    if (eq == std::string::npos) return Fail("a sheet entry is NAME=PICTURE");
    entries.push_back({QString::fromStdString(a.substr(0, eq)), QImage(QString::fromStdString(a.substr(eq + 1)))});
  }
  if (entries.empty()) return Fail("a sheet needs at least one picture");
  const int rows = (static_cast<int>(entries.size()) + kColumns - 1) / kColumns;
  const int columns = std::min<int>(kColumns, static_cast<int>(entries.size()));
  QImage sheet(columns * kCell, rows * (kCell + kLabel), QImage::Format_RGB32);
  sheet.fill(QColor(48, 48, 48));
  QPainter p(&sheet);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QFont font("DejaVu Sans");
  font.setPixelSize(14);
  p.setFont(font);
  p.setPen(Qt::white);
  for (size_t k = 0; k < entries.size(); ++k) {
    const int cx = static_cast<int>(k % kColumns) * kCell;
    const int cy = static_cast<int>(k / kColumns) * (kCell + kLabel);
    const QImage& img = entries[k].image;
    if (!img.isNull()) {
      const QSize s = img.size().scaled(kCell - 8, kCell - 8, Qt::KeepAspectRatio);
      p.drawImage(QRect(cx + (kCell - s.width()) / 2, cy + (kCell - s.height()) / 2, s.width(), s.height()), img);
    }
    p.drawText(QRect(cx, cy + kCell, kCell, kLabel), Qt::AlignCenter,
               img.isNull() ? entries[k].name + " (missing)" : entries[k].name);
  }
  p.end();
  if (!sheet.save(QString::fromStdString(out), "PNG")) return Fail("cannot write the sheet");
  return 0;
}

// ---- a preview against the written version ----

// The written version as 8-bit RGB(A) rows, four bytes a pixel.
struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> px;
};

bool ReadPicture(const std::string& path, Picture* out, std::string* message) {
  std::vector<uint8_t> raw;
  int bytes = 1;
  plat::imageio::ImageInfo info;
  const int status = plat::imageio::ReadImage(
      path,
      [&](const plat::imageio::ImageInfo& i, plat::imageio::PixelTarget* t) {
        bytes = i.isFloat ? 4 : i.bitsPerComponent > 8 ? 2 : 1;
        raw.resize(static_cast<size_t>(i.width) * i.height * 4 * bytes);
        t->base = raw.data();
        t->rowBytes = static_cast<size_t>(i.width) * 4 * bytes;
        t->bytesPerComponent = bytes;
        return true;
      },
      &info, false, message);
  if (status != 0) return false;
  out->width = info.width;
  out->height = info.height;
  const size_t n = static_cast<size_t>(info.width) * info.height * 4;
  out->px.resize(n);
  for (size_t i = 0; i < n; ++i) {
    if (bytes == 1) {
      out->px[i] = raw[i];
    } else if (bytes == 2) {
      uint16_t v;
      std::memcpy(&v, raw.data() + 2 * i, 2);
      out->px[i] = static_cast<uint8_t>((v * 255u + 32767u) / 65535u);
    } else {
      float v;
      std::memcpy(&v, raw.data() + 4 * i, 4);
      out->px[i] = static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
    }
  }
  return true;
}

int Channel(QRgb c, int k) { return k == 0 ? qRed(c) : k == 1 ? qGreen(c) : qBlue(c); }

// Where the picture lies in a grab of a preview view: the view's ground is
// the colour that fills most of a ring just inside its edge (the fitted
// picture leaves bands of it); rows and columns that are mostly something
// else are the picture's. An overlay that reaches into the bands (a grid
// drawn a little beyond the picture) is cut back to the largest rectangle of
// the picture's proportions centred in what was found. Without bands the
// picture fills the view inside its frame line.
QRect PictureIn(const QImage& view, double aspect) {
  const int w = view.width(), h = view.height();
  std::map<QRgb, int> ring;
  int ringCount = 0;
  for (int x = 2; x < w - 2; ++x) {
    ++ring[view.pixel(x, 2) & 0xffffffu];
    ++ring[view.pixel(x, h - 3) & 0xffffffu];
    ringCount += 2;
  }
  for (int y = 2; y < h - 2; ++y) {
    ++ring[view.pixel(2, y) & 0xffffffu];
    ++ring[view.pixel(w - 3, y) & 0xffffffu];
    ringCount += 2;
  }
  QRgb ground = 0;
  int most = 0;
  for (const auto& [c, n] : ring)
    if (n > most) ground = c, most = n;
  QRect found(1, 1, w - 2, h - 2);
  if (most * 5 >= ringCount) {
    auto away = [&](QRgb c) {
      for (int k = 0; k < 3; ++k)
        if (std::abs(Channel(c, k) - Channel(ground, k)) > 6) return true;
      return false;
    };
    std::vector<int> rows(h, 0), cols(w, 0);
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x)
        if (away(view.pixel(x, y))) ++rows[y], ++cols[x];
    int top = -1, bottom = -1, left = -1, right = -1;
    for (int y = 1; y < h - 1; ++y)
      if (rows[y] * 2 > w - 2) {
        if (top < 0) top = y;
        bottom = y;
      }
    for (int x = 1; x < w - 1; ++x)
      if (cols[x] * 2 > h - 2) {
        if (left < 0) left = x;
        right = x;
      }
    if (top < 0 || left < 0) return QRect();
    found = QRect(left, top, right - left + 1, bottom - top + 1);
  }
  // The picture's own proportions, centred in what was found.
  double pw = found.width(), ph = found.height();
  if (pw / ph > aspect) pw = ph * aspect;
  else ph = pw / aspect;
  const int iw = static_cast<int>(std::lround(pw)), ih = static_cast<int>(std::lround(ph));
  return QRect(found.x() + (found.width() - iw) / 2, found.y() + (found.height() - ih) / 2, iw, ih);
}

// The version scaled to `size` by the mean of the source pixels each target
// pixel covers.
QImage ScaledVersion(const Picture& p, QSize size) {
  QImage out(size, QImage::Format_RGB32);
  const double sx = static_cast<double>(p.width) / size.width();
  const double sy = static_cast<double>(p.height) / size.height();
  for (int y = 0; y < size.height(); ++y) {
    const uint32_t y0 = static_cast<uint32_t>(y * sy);
    const uint32_t y1 = std::max(y0 + 1, std::min(p.height, static_cast<uint32_t>((y + 1) * sy)));
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      const uint32_t x0 = static_cast<uint32_t>(x * sx);
      const uint32_t x1 = std::max(x0 + 1, std::min(p.width, static_cast<uint32_t>((x + 1) * sx)));
      uint64_t sum[3] = {0, 0, 0};
      for (uint32_t v = y0; v < y1; ++v) {
        const uint8_t* s = p.px.data() + (static_cast<size_t>(v) * p.width + x0) * 4;
        for (uint32_t u = x0; u < x1; ++u, s += 4)
          for (int k = 0; k < 3; ++k) sum[k] += s[k];
      }
      const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
      row[x] = qRgb(static_cast<int>((sum[0] + n / 2) / n), static_cast<int>((sum[1] + n / 2) / n),
                    static_cast<int>((sum[2] + n / 2) / n));
    }
  }
  return out;
}

// Each channel's median over blocks of `b` x `b` pixels (the last ones
// smaller): the comparison looks at what a person sees of the picture at this
// size, not at its grain, at how either side was resampled, or at the thin
// lines a window draws over it (a grid, a frame), which take a few pixels of
// a block and move its median little.
std::vector<double> BlockMedians(const QImage& img, int b, int* bw, int* bh) {
  *bw = (img.width() + b - 1) / b;
  *bh = (img.height() + b - 1) / b;
  std::vector<double> out(static_cast<size_t>(*bw) * *bh * 3, 0.0);
  std::vector<int> values;
  for (int by = 0; by < *bh; ++by)
    for (int bx = 0; bx < *bw; ++bx)
      for (int k = 0; k < 3; ++k) {
        values.clear();
        for (int y = by * b; y < std::min(img.height(), (by + 1) * b); ++y)
          for (int x = bx * b; x < std::min(img.width(), (bx + 1) * b); ++x) values.push_back(Channel(img.pixel(x, y), k));
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        out[(static_cast<size_t>(by) * *bw + bx) * 3 + k] =
            n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
      }
  return out;
}

// live-screen compare PREVIEW.png VERSION [OUT.png]: the picture found in a
// grab of a preview view, against the written version scaled to the same
// size. Prints "<difference> <x> <y> <w> <h>": the mean absolute difference
// per sample (0..255) of the two after each is taken as its medians over
// 8 x 8 pixel blocks, and the picture's rectangle in the grab. OUT.png shows the
// preview's picture, the scaled version and their difference four times
// over, side by side.
int CompareCommand(const std::string& previewPath, const std::string& versionPath, const std::string& out) {
  QImage grab(QString::fromStdString(previewPath));
  if (grab.isNull()) return Fail("cannot read the preview's picture");
  grab = grab.convertToFormat(QImage::Format_RGB32);
  Picture version;
  std::string message;
  if (!ReadPicture(versionPath, &version, &message)) return Fail(("cannot read the version: " + message).c_str());
  if (version.width == 0 || version.height == 0) return Fail("the version is empty");
  const QRect r = PictureIn(grab, static_cast<double>(version.width) / version.height);
  if (r.width() < 8 || r.height() < 8) return Fail("no picture found in the preview");
  const QImage shown = grab.copy(r);
  const QImage result = ScaledVersion(version, r.size());
  constexpr int kBlock = 8;
  int bw = 0, bh = 0;
  const std::vector<double> a = BlockMedians(shown, kBlock, &bw, &bh);
  const std::vector<double> b = BlockMedians(result, kBlock, &bw, &bh);
  double total = 0.0;
  for (size_t i = 0; i < a.size(); ++i) total += std::fabs(a[i] - b[i]);
  const double difference = total / static_cast<double>(a.size());
  if (!out.empty()) {
    QImage side(r.width() * 3 + 8, r.height(), QImage::Format_RGB32);
    side.fill(QColor(48, 48, 48));
    QPainter p(&side);
    p.drawImage(0, 0, shown);
    p.drawImage(r.width() + 4, 0, result);
    QImage diff(r.size(), QImage::Format_RGB32);
    for (int y = 0; y < r.height(); ++y)
      for (int x = 0; x < r.width(); ++x) {
        const QRgb c = shown.pixel(x, y), d = result.pixel(x, y);
        int v[3];
        for (int k = 0; k < 3; ++k) v[k] = std::min(255, 4 * std::abs(Channel(c, k) - Channel(d, k)));
        diff.setPixel(x, y, qRgb(v[0], v[1], v[2]));
      }
    p.drawImage(2 * r.width() + 8, 0, diff);
    p.end();
    if (!side.save(QString::fromStdString(out), "PNG")) return Fail("cannot write the comparison");
  }
  std::printf("%.3f %d %d %d %d\n", difference, r.x(), r.y(), r.width(), r.height());
  return 0;
}

// live-screen flip IN OUT.tif: the picture upside down, as an 8-bit TIFF (the
// live check's test of itself: a preview must not pass against it).
int FlipCommand(const std::string& in, const std::string& out) {
  Picture p;
  std::string message;
  if (!ReadPicture(in, &p, &message)) return Fail(("cannot read the picture: " + message).c_str());
  std::vector<uint8_t> flipped(p.px.size());
  const size_t row = static_cast<size_t>(p.width) * 4;
  for (uint32_t y = 0; y < p.height; ++y)
    std::memcpy(flipped.data() + y * row, p.px.data() + (p.height - 1 - y) * row, row);
  const plat::imageio::PixelSource source{flipped.data(), row, p.width, p.height, 1};
  if (plat::imageio::WriteImage(out, plat::imageio::kTypeTIFF, {}, source, &message) != 0)
    return Fail(message.c_str());
  return 0;
}

// What a written version holds, for the checks that read it: each channel's mean over the
// whole picture and how many pixels are coloured (their three samples not all equal).
int StatsCommand(const std::string& path) {
  Picture p;
  std::string message;
  if (!ReadPicture(path, &p, &message)) return Fail(("cannot read the picture: " + message).c_str());
  const size_t pixels = static_cast<size_t>(p.width) * p.height;
  if (pixels == 0) return Fail("the picture is empty");
  uint64_t sum[3] = {0, 0, 0}, coloured = 0;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* q = p.px.data() + 4 * i;
    for (int k = 0; k < 3; ++k) sum[k] += q[k];
    coloured += q[0] != q[1] || q[1] != q[2];
  }
  const auto n = static_cast<double>(pixels);
  std::printf("%.3f %.3f %.3f %llu\n", sum[0] / n, sum[1] / n, sum[2] / n, static_cast<unsigned long long>(coloured));
  return 0;
}

int ChangeCommand(const std::string& path, const std::string& referencePath) {
  Picture p, reference;
  std::string message;
  if (!ReadPicture(path, &p, &message)) return Fail(("cannot read the picture: " + message).c_str());
  if (!ReadPicture(referencePath, &reference, &message))
    return Fail(("cannot read the reference: " + message).c_str());
  if (p.width != reference.width || p.height != reference.height) return Fail("the pictures differ in size");
  const size_t pixels = static_cast<size_t>(p.width) * p.height;
  if (pixels == 0) return Fail("the picture is empty");
  uint64_t sum = 0;
  for (size_t i = 0; i < pixels; ++i)
    for (size_t k = 0; k < 3; ++k) sum += static_cast<uint64_t>(std::abs(p.px[4 * i + k] - reference.px[4 * i + k]));
  std::printf("%.4f\n", static_cast<double>(sum) / (3.0 * static_cast<double>(pixels)));
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: live-screen photo OUT.jpg W H | grab OUT.png X Y W H | sum X Y W H | pairs X Y W H |\n"
               "       means X Y W H |\n"
               "       close WINDOW | keys TEXT | wm | frame WINDOW | sheet OUT.png NAME=PICTURE ... |\n"
               "       compare PREVIEW.png VERSION [OUT.png] | flip IN OUT.tif | stats PICTURE |\n"
               "       change PICTURE REFERENCE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  auto n = [&](int i) { return std::atoi(argv[i]); };
  if (command == "photo" && argc == 5) return Photo(argv[2], static_cast<uint32_t>(n(3)), static_cast<uint32_t>(n(4)));
  if (command == "grab" && argc == 7) return GrabCommand(argv[2], n(3), n(4), n(5), n(6));
  if (command == "sum" && argc == 6) return SumCommand(n(2), n(3), n(4), n(5));
  if (command == "pairs" && argc == 6) return PairsCommand(n(2), n(3), n(4), n(5));
  if (command == "means" && argc == 6) return MeansCommand(n(2), n(3), n(4), n(5));
  if (command == "close" && argc == 3) return CloseCommand(std::strtoul(argv[2], nullptr, 0));
  if (command == "wm" && argc == 2) return WmCommand();
  if (command == "keys" && argc == 3) return KeysCommand(argv[2]);
  if (command == "frame" && argc == 3) return FrameCommand(std::strtoul(argv[2], nullptr, 0));
  if (command == "sheet" && argc >= 4) return SheetCommand(argc, argv, argv[2]);
  if (command == "compare" && (argc == 4 || argc == 5)) return CompareCommand(argv[2], argv[3], argc == 5 ? argv[4] : "");
  if (command == "flip" && argc == 4) return FlipCommand(argv[2], argv[3]);
  if (command == "stats" && argc == 3) return StatsCommand(argv[2]);
  if (command == "change" && argc == 4) return ChangeCommand(argv[2], argv[3]);
  return Usage();
}
