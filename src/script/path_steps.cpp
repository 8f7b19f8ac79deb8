// The render loop's own steps on paths: loading the current paths from a path file (26),
// bending them into an envelope (30), and the path frame (61), which lays the operation's
// image around an elliptic ring inside a coloured frame.
//
// The envelope file is a path list normalised to a 400 x 400 box: its first path is the
// envelope, cut at its knots 2, 3, 4 and 1 into the top, right, bottom and left sides.
#include <algorithm>
#include <memory>
#include <new>

#include "app/core/file_records.h"
#include "app/core/memory_manager.h"
#include "app/file_access.h"
#include "app/image_import.h"
#include "operations/effects.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "raster/distortion_warp.h"
#include "raster/warp_frame_record.h"
#include "raster/warp_lattice.h"
#include "script/render_cases.h"
#include "script/script_file.h"

namespace {

constexpr OSType kPathFileType = FourCC("pAth");
constexpr float kEnvelopeBox = 400.0f;
constexpr int32_t kEnvelopeKnots = 60;
constexpr float kEnvelopeMargin = 3.0f;
constexpr int16_t kRingCells = 80;

// The thread's drawing record (the render's own), put back whole (port included) when the
// step ends.
class KeptSessionDrawPar {
 public:
  KeptSessionDrawPar() : shared_(SessionDrawPar()) {
    if (shared_ != nullptr) kept_ = *shared_;
  }
  ~KeptSessionDrawPar() {
    if (shared_ != nullptr) *shared_ = kept_;
  }
  KeptSessionDrawPar(const KeptSessionDrawPar&) = delete;
  KeptSessionDrawPar& operator=(const KeptSessionDrawPar&) = delete;

 private:
  DrawPar* shared_;
  DrawPar kept_;
};

// Moves and scales every path of the list: (p + move) x zoom when `moveFirst`, else
// p x zoom + move.
void PlaceAll(CPathList* list, float dx, float dy, float zx, float zy, bool moveFirst) {
  for (CPath* p = list->first; p != nullptr; p = p->next) {
    if (moveFirst) p->Move(dx, dy);
    p->Zoom(zx, zy);
    if (!moveFirst) p->Move(dx, dy);
  }
}

// --- The path frame --------------------------------------------------------------------------

// The frame's geometry: the area, and the insets of the two ellipses from the area's edge.
struct FrameGeometry {
  int32_t aw = 0, ah = 0;
  int32_t i1 = 0, i2 = 0;  // from the smaller and the larger of Param1, Param2
  // The same two insets named after the parameter that made each: the ring is warped from the
  // ellipse of Param2 to that of Param1, so their order decides which way the picture faces.
  int32_t ofParam1 = 0, ofParam2 = 0;
};

FrameGeometry FrameOf(const ScriptFile& s, const Oprn& op) {
  FrameGeometry g;
  g.aw = s.areaWidth;
  g.ah = s.areaHeight;
  const int32_t m = std::min(g.aw - 1, g.ah - 1);
  auto inset = [m](int32_t percent) { return m * (100 - percent) / 100; };
  g.i1 = inset(std::min(op.Param1, op.Param2));
  g.i2 = inset(std::max(op.Param1, op.Param2));
  g.ofParam1 = inset(op.Param1);
  g.ofParam2 = inset(op.Param2);
  return g;
}

// A one-path list holding the rectangle of the area, reshaped into the ellipse centred on
// the area whose box is the area less `inset` on each axis.
std::unique_ptr<CPathList> FrameEllipse(const FrameGeometry& g, int32_t inset) {
  auto list = std::make_unique<CPathList>(1);
  list->SetDrw(nullptr, nullptr);  // nothing is drawn into a port meanwhile
  list->AddPath(0);
  if (list->current == nullptr) return nullptr;
  list->current->CreaPathof_xpts(4, 1);
  list->fct_calc_Rect(list->current, 0.0f, 0.0f, static_cast<float>(g.aw),
                      static_cast<float>(g.ah));
  int32_t* w = list->objPar.w;
  w[kObjCentreX] = (g.aw - 1) / 2;
  w[kObjCentreY] = (g.ah - 1) / 2;
  w[kObjBoxWidth] = g.aw - 1 - inset;
  w[kObjBoxHeight] = g.ah - 1 - inset;
  w[kObjOutlineOffset] = 0;
  list->fct_crea_ellipse(0);
  return list;
}

// Path files keep no knot marks, so an envelope read back has none: its knots are then
// numbered 1 to 4 at the quarters of its knot count (the corners of an envelope drawn with
// four knots, or with one more knot along each side). Marks it has are kept.
void MarkEnvelopeCorners(CPath* envelope) {
  CPathPoint* k = envelope->first;
  for (int32_t i = 0; i < envelope->count && k != nullptr; ++i, k = k->next)
    if (k->markNum != 0) return;
  k = envelope->first;
  for (int32_t i = 0, m = 0; i < envelope->count && k != nullptr && m < 4; ++i, k = k->next)
    if (i == m * envelope->count / 4) k->markNum = static_cast<int16_t>(++m);
}

}  // namespace

// --- Effect 26 -------------------------------------------------------------------------------

int32_t ScriptFile::PerformLoadPath(Oprn* op, int16_t stack, int16_t layer) {
  if (op == nullptr || op->Act == 0 || op->FileOprn == nullptr) return 0;
  auto* fresh = new (std::nothrow) CPathList(0);
  if (fresh == nullptr) return 0;
  delete currentPaths;
  currentPaths = fresh;
  if (op->FileOprn->type != kPathFileType) return 0;
  // Read aside: a damaged file must not reach the layer's paths half read.
  CPathList loaded(0);
  File_kern file(op->FileOprn);
  int32_t pos = 0;
  const RGBColor black;
  if (loaded.ReadPathList(0, &file, &pos, 0, black, width, height) != 0) return 0;
  loaded.CopyPathList(currentPaths);
  Laye* l = LayerAt(stack, layer);
  if (l != nullptr && l->paths != nullptr) currentPaths->CopyPathList(l->paths);
  return 0;
}

// --- Effect 30 -------------------------------------------------------------------------------

int32_t ScriptFile::RecallEnvelopPath(File_kern* file, CPathList* into, int32_t x0, int32_t y0,
                                      int32_t x1, int32_t y1) {
  if (file == nullptr || into == nullptr) return -1;
  CPathList loaded(0);
  int32_t pos = 0;
  if (loaded.ReadPathList(0, file, &pos, -1, RGBColor{}, areaWidth, areaHeight) != 0) return -1;
  PlaceAll(&loaded, static_cast<float>(x0), static_cast<float>(y0),
           static_cast<float>(x1 - x0) / kEnvelopeBox, static_cast<float>(y1 - y0) / kEnvelopeBox,
           false);
  loaded.CopyPathList(into);
  return 0;
}

int32_t ScriptFile::SaveEnvelopPath(File_kern* file, CPathList* from, int32_t x0, int32_t y0,
                                    int32_t x1, int32_t y1) {
  // An empty box has no scale into the envelope's 400 x 400.
  if (file == nullptr || from == nullptr || x1 == x0 || y1 == y0) return -1;
  CPathList copy(0);
  from->CopyPathList(&copy);
  PlaceAll(&copy, static_cast<float>(-x0), static_cast<float>(-y0),
           kEnvelopeBox / static_cast<float>(x1 - x0), kEnvelopeBox / static_cast<float>(y1 - y0),
           true);
  int32_t pos = 0;
  return copy.WritePathList(0, file, &pos, areaWidth, areaHeight) == 0 ? 0 : -1;
}

int32_t ScriptFile::ApplyEnvelop(fichier* f) {
  if (f == nullptr) return -1;
  if (currentPaths == nullptr || currentPaths->first == nullptr) return 0;
  File_kern file(f);
  // The subdivided copy is the one transformed: a failure leaves the current paths as
  // they were.
  auto work = std::make_unique<CPathList>(0);
  currentPaths->CopyPathList(work.get());
  work->InsertPoints(kEnvelopeKnots);
  float bx0 = 0.0f, by0 = 0.0f, bx1 = 0.0f, by1 = 0.0f;
  work->GetBound(0, &bx0, &by0, &bx1, &by1);
  const auto x0 = static_cast<int32_t>(bx0 - kEnvelopeMargin);
  const auto y0 = static_cast<int32_t>(by0 - kEnvelopeMargin);
  const auto x1 = static_cast<int32_t>(bx1 + kEnvelopeMargin);
  const auto y1 = static_cast<int32_t>(by1 + kEnvelopeMargin);

  CPathList envelope(0);
  if (RecallEnvelopPath(&file, &envelope, x0, y0, x1, y1) != 0) return -1;
  if (envelope.first == nullptr || envelope.first->count < 4) return -1;
  MarkEnvelopeCorners(envelope.first);
  CPath sides[4];
  CPath* pieces[4] = {&sides[0], &sides[1], &sides[2], &sides[3]};
  envelope.first->DivideAlongMarkedPoints(4, pieces);
  work->Transform(1, static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1),
                  static_cast<float>(y1), pieces[0], pieces[1], pieces[2], pieces[3]);
  delete currentPaths;
  currentPaths = work.release();
  return 0;
}

// --- Effect 61 -------------------------------------------------------------------------------

int32_t ScriptFile::PerformPathFrame(Oprn* op) {
  // No image named yet (its kind just chosen): nothing to frame.
  if (op == nullptr || planes == nullptr || op->Act == 0 || op->FileOprn == nullptr ||
      op->FileOprn->name[0] == 0)
    return 0;
  if (op->ToChannel < 2 || op->ToChannel >= kPlaneSlots) return 0;
  const bool composite = op->ToChannel == 2;
  fichier file = *op->FileOprn;
  int32_t iw = 0, ih = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&file, &iw, &ih, &unused) == -1 || iw <= 0 || ih <= 0) return -1;
  const int32_t colours = composite ? 3 : 1;
  const int64_t imageSize = int64_t{iw} * ih;
  plat::Block<uint8_t> image(colours * imageSize, WorkSource());
  if (!image) return -1;
  image.Clear();
  uint8_t* buf[3] = {image.get(), nullptr, nullptr};
  if (composite) {
    buf[1] = image.get() + imageSize;
    buf[2] = image.get() + 2 * imageSize;
  }
  if (AS_GetResizedImage(&file, 1, 0, 0, iw - 1, ih - 1, iw, ih, 0, 0, iw - 1, ih - 1,
                         composite ? 3 : 0, buf[0], buf[1], buf[2], nullptr) == -1)
    return -1;

  plat::Block<uint8_t> mask;
  if (OperationMask(op, &mask, false) != 0) return -1;
  const int64_t n = int64_t{planeWidth} * planeHeight;
  plat::Block<uint8_t> ellipse(n, WorkSource());
  if (!ellipse) return -1;
  ellipse.Clear();
  plat::Block<TCWrap> grid(1, WorkSource());
  if (!grid) return -1;

  const KeptSessionDrawPar kept;
  const FrameGeometry g = FrameOf(*this, *op);
  auto outer = FrameEllipse(g, (g.i1 + g.i2) / 2);
  auto ofParam1 = FrameEllipse(g, g.ofParam1);
  auto ofParam2 = FrameEllipse(g, g.ofParam2);
  if (outer == nullptr || ofParam1 == nullptr || ofParam2 == nullptr) return -1;
  if (FillColPath(0, outer.get(), planeHeight, planeWidth, ellipse.get(), 1, g.ah, 1.0f, 1.0f, 0, 0,
                  255, 0) < 0)
    return -1;
  const int32_t rows = std::min(g.ah, planeHeight), cols = std::min(g.aw, planeWidth);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      const int64_t i = int64_t{y} * planeWidth + x;
      mask[i] = static_cast<uint8_t>(mask[i] * ellipse[i] / 256);
    }

  uint8_t* target[3] = {};
  for (int32_t k = 0; k < colours; ++k) {
    target[k] = PreparedPlane(composite ? 3 + k : op->ToChannel);
    if (target[k] == nullptr) return -1;
  }
  const int16_t full[4] = {255, 255, 255, 255};
  const int16_t params[3] = {op->Param3, op->Param4, op->Param5};
  for (int32_t k = 0; k < colours; ++k) {
    const auto colour = static_cast<uint8_t>(params[k]);
    Effects::Fill(0, 255, target[k], planeHeight, planeWidth, 0, 0, g.aw, g.ah, 1, mask.get(),
                  &colour, full);
  }

  // The ring between the two ellipses takes the whole image once in each quarter.
  for (int16_t quarter = 0; quarter < 4; ++quarter) {
    grid.Clear();
    InitGrid(kRingCells, 1, iw, ih, planeWidth, planeHeight, grid.get());
    if (ofParam2->first->X_TwoPartPaths_toGrid(ofParam1->first, static_cast<int16_t>(25 * quarter),
                                               static_cast<int16_t>(25 * (quarter + 1)), kRingCells,
                                               grid.get()) != 0)
      continue;
    const TCWrap& w = grid[0];
    for (int32_t k = 0; k < colours; ++k)
      X_Grid_buffer(0, 0, ih, iw, buf[k], nullptr, planeHeight, planeWidth, target[k], nullptr,
                    nullptr, w.columns, w.rows, w.set2.x, w.set2.y, 0, 0, iw - 1, ih - 1, 1.0f,
                    1.0f, 100);
  }
  return 1;
}

namespace {

int32_t LoadPathStep(RenderCall& c) { return c.script->PerformLoadPath(c.op, c.stack, c.layer); }

// An envelope that cannot be read (or holds no envelope of four sides) cannot bend the paths
// that the layer's later steps fill.
int32_t EnvelopeStep(RenderCall& c) {
  // No envelope named yet (its kind just chosen): nothing to bend the paths into.
  if (c.op->FileOprn == nullptr || c.op->FileOprn->name[0] == 0) return 0;
  if (c.script->ApplyEnvelop(c.op->FileOprn) == 0) return 0;
  return FileUnreadable(c, *c.op->FileOprn);
}

// Short of memory (which the renderer finds itself), the frame fails only when its image
// cannot be read.
int32_t PathFrameStep(RenderCall& c) {
  if (c.script->PerformPathFrame(c.op) >= 0) return 0;
  return FileUnreadable(c, *c.op->FileOprn);
}

}  // namespace

void RegisterPathSteps() {
  RegisterRenderCase(26, LoadPathStep);
  RegisterRenderCase(30, EnvelopeStep);
  RegisterRenderCase(61, PathFrameStep);
}
