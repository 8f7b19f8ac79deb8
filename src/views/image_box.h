// The image box: the custom view that every effect dialog, the operation-list
// editor and the main editor embed to show the picture.
//
// A box keeps an RGBA display buffer of its view's size (rows bottom-up: row 0
// is drawn at the bottom of the image rectangle), renders the preview of the
// effect being edited into it, draws the picture and its editing overlays and
// edits frames, quads and ranges with the mouse. Windows reach a box only
// through its 93 virtual operations, on the instance the application object
// keeps for that view; the view itself is a toolbox custom view whose class
// handler forwards every event to the box (ImaBoxEventHandler).
//
// Every buffer and record copy comes from the session's block registry. A
// copy that could not be had, or one asked for before InitBuf made it, makes
// the operation that needs it do nothing (a getter leaves the caller's record
// alone), so the display stays as it was.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/core/file_records.h"
#include "paths/draw_par.h"
#include "platform/draw/port.h"
#include "platform/memory/block.h"
#include "platform/toolbox/toolbox.h"
#include "platform/types/mac_types.h"
#include "views/preview_engines.h"
#include "views/preview_job.h"
#include "views/view_geometry.h"

struct BordPar;
struct ColCorPar;
struct ColMatPar;
struct CombImaPar;
struct CookiCutPar;
struct FractPar;
struct GridInfo;
struct GridPar;
struct PlaidPar;
struct RepPar;
struct ShapePar;
struct TessPar;
struct WeaveInfo;
struct YoxelPar;
struct ZondracPar;
class CPathList;
class ScriptFile;
class Yoxel;

// The display parameters: 24 signed 16-bit fields. The first 21 switch the
// box's layers and editing modes; the last three are the pan-frame flags that
// field 20 sets.
struct ImaboxParam {
  int16_t hiddenFill = 0;   // 0: a hidden image paints the view light grey
  int16_t carried1 = 0;     // kept for the callers
  int16_t carried2 = 0;     // kept for the callers
  int16_t pathMode = 0;     // 1: draw and edit the path list
  int16_t quadMode = 0;     // 1: draw and edit the quad
  int16_t imageShown = 1;   // 1: draw the image and the overlays
  int16_t repeatMode = 0;   // repeat overlay and tile pick
  int16_t cookieMode = 0;   // cookie-cutter outline
  int16_t spiroMode = 0;    // spirograph outline
  int16_t starMode = 0;     // star outline
  int16_t stripeMode = 0;   // plaid stripes: 1 horizontal, 2 vertical
  int16_t plaidMode = 0;
  int16_t gridMode = 0;     // 0 off, 1 to 3 grid overlays and tools
  int16_t gridOverlay = 0;
  int16_t lensMode = 0;     // lens overlay 0 to 3 (SetZondracMode only)
  int16_t carried15 = 0;    // kept for the callers
  int16_t tessMode = 0;     // 0 off, 1 tile quad, 2 parallelogram
  int16_t borderMode = 0;
  int16_t weaveGrid = 0;
  int16_t weaveMode = 0;    // above 0 draws the weave cells, 2 toggles them
  int16_t panFrameSet = 0;  // 0 to 7: bits 0, 1, 2 show pan frames 0, 1, 2
  int16_t panFrameShown[3] = {0, 0, 0};
};
static_assert(sizeof(ImaboxParam) == 48);

// The box's geometry, pan, quad, brush and mask settings.
struct ImaboxState {
  plat::tb::ControlRef view = nullptr;
  float halfWidth = 0.0f;  // mid - min of the view's bounds
  float halfHeight = 0.0f;
  int32_t viewLeft = 0;  // view bounds in the window
  int32_t viewTop = 0;
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
  int32_t srcWidth = 0;  // picture size of the last preview
  int32_t srcHeight = 0;
  int32_t effWidth = 0;  // laid-out preview
  int32_t effHeight = 0;
  int32_t originX = 0;  // displayed image inside the view
  int32_t originY = 0;
  int32_t quadTag = 0;
  int32_t panTag = 0;
  int32_t scaleTag = 100;
  int32_t quadX[4] = {0, 100000, 100000, 0};
  int32_t quadY[4] = {0, 0, 100000, 100000};
  int32_t overlay[3] = {0, 0, 0};
  int32_t maskWidth = 0;
  int32_t maskHeight = 0;
  int32_t maskMode = 0;
  int32_t brushSize = 20;  // also the brush outline's horizontal radius
  int32_t brushSizeCopy = 20;  // and its vertical radius
  int32_t brushValue2 = 100;
  int32_t brushValue3 = 0;
  int32_t brushValue4 = 0;
  int32_t drawFlag = 0;
  int32_t vecModeA = 15;
  int32_t vecModeB = 1;
  int32_t vecModeC = 0;
  int32_t panLeft = 0;  // visible part of the picture, 1/100000
  int32_t panTop = 0;
  int32_t panRight = 100000;
  int32_t panBottom = 100000;
  // A zoomed view's zoom (x 10000): its previews show the pan rectangle at
  // that zoom from its corner (vmkviews::ShownPartOf); 0 fits the pan
  // rectangle into the view.
  int32_t shownZoom = 0;
  int32_t frameLeft[3] = {0, 0, 0};  // pan frames 0 to 2, 1/100000
  int32_t frameRight[3] = {0, 0, 0};
  int32_t frameTop[3] = {0, 0, 0};
  int32_t frameBottom[3] = {0, 0, 0};
};

class VMKimabox final {
 public:
  VMKimabox();
  // The box is destroyed through its own type only; nothing derives from it.
  ~VMKimabox();
  VMKimabox(const VMKimabox&) = delete;
  VMKimabox& operator=(const VMKimabox&) = delete;

  // ---- virtual operations, in slot order ----
  virtual int32_t GetRectOrix();
  virtual int32_t GetRectOriy();
  virtual int32_t GetRectSizx();
  virtual int32_t GetRectSizy();
  virtual int32_t GetEffWidth();
  virtual int32_t GetEffHeight();
  virtual void SetBounds(Rect* bounds);
  virtual void GetBounds(Rect* bounds);
  virtual void InitBufSize();
  virtual void InitBuf(int16_t mode);
  virtual void InitBufMsk(int32_t w, int32_t h, int16_t which);
  virtual void InitBufParam(ImaboxParam* param);
  virtual void CopyBufParam(ImaboxParam* param);
  virtual void SetBufParam(int16_t a1, int16_t a2, int16_t a3, int16_t a4, int16_t a5, int16_t a6,
                           int16_t a7, int16_t a8, int16_t a9, int16_t a10, int16_t a11,
                           int16_t a12, int16_t a13);
  virtual void SetSelMode(int16_t selectable, int16_t selected);
  virtual int16_t GetSel();
  virtual void GetRGBcolSel(int16_t* r, int16_t* g, int16_t* b);
  virtual void SetDrw(DrawPar* drawPar);
  virtual void SetVecMode(int16_t a, int16_t b, int16_t c);
  virtual void SetPathList(CPathList* list);
  virtual void GetPathList(CPathList* list);
  virtual void SetPickmode(int16_t mode, int16_t sampleSize);
  virtual void SetRGBmode(int16_t red, int16_t green, int16_t blue, int16_t fourth, int16_t maskA,
                          int16_t maskB);
  virtual void GetRGBmode(int16_t* red, int16_t* green, int16_t* blue, int16_t* fourth,
                          int16_t* maskA, int16_t* maskB);
  virtual void SetPickCoord(int16_t on);
  virtual void GetCoord(int32_t* x, int32_t* y);
  virtual void SetPickMinMax(int16_t on, int16_t scale);
  virtual void SetMinMax(int16_t minimum, int16_t maximum);
  virtual void GetMinMax(int16_t* minimum, int16_t* maximum);
  virtual void SetBufSSPan(int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int16_t scaleTag, int16_t index, int16_t panTag);
  virtual void GetBufSSPan(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom,
                           int16_t index);
  virtual void SetBufSSQua(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           int32_t x3, int32_t y3, int16_t scaleTag, int16_t quadTag);
  virtual void GetBufSSQua(int32_t* x0, int32_t* y0, int32_t* x1, int32_t* y1, int32_t* x2,
                           int32_t* y2, int32_t* x3, int32_t* y3);
  virtual void SetPanBufCoord(int32_t left, int32_t top, int32_t right, int32_t bottom);
  virtual void SetYoxelPar(YoxelPar* record, int16_t mode, int16_t level);
  virtual void GetYoxelPar(YoxelPar* record);
  virtual void PrepYoxelBuf(int16_t mode, int16_t level);
  virtual void SetNewRowCol(int16_t a, int16_t b, int16_t c, int16_t d);
  virtual void SetGridPar(GridPar* record, int16_t mode, int16_t level);
  virtual void GetGridPar(GridPar* record);
  virtual void PrepGridBuf(int16_t mode, int16_t level);
  virtual void SetColCorPar(ColCorPar* record, int16_t mode, int16_t level);
  virtual void GetColCorPar(ColCorPar* record);
  virtual void PrepColCorBuf(int16_t mode, int16_t level);
  virtual void SetZondracMode(int16_t mode);
  virtual void SetZondracPar(ZondracPar* record, int16_t mode, int16_t level);
  virtual void GetZondracPar(ZondracPar* record);
  virtual void PrepZondracBuf(int16_t mode, int16_t level);
  virtual void SetCreaWeavPar(WeaveInfo* record, int16_t mode, int16_t level);
  virtual void GetCreaWeavPar(WeaveInfo* record);
  virtual void PrepCreaWeavBuf(int16_t mode, int16_t level);
  virtual void DrawWWIHStrip(GrafPtr port, Rect rect);
  virtual void DrawWWIVStrip(GrafPtr port, Rect rect);
  virtual void SetWWInfoMode(int16_t mode);
  virtual void SetTessPar(TessPar* record, int16_t mode, int16_t option, ScriptFile* script);
  virtual void GetTessPar(TessPar* record);
  virtual void SetRepPar(RepPar* record, int16_t mode, int16_t option, ScriptFile* script);
  virtual void GetRepPar(RepPar* record);
  virtual void SetSpirMode(int16_t mode);
  virtual void SetStarMode(int16_t mode);
  virtual void SetShapePar(ShapePar* record, int16_t mode, int16_t option, int16_t code);
  virtual void GetShapePar(ShapePar* record);
  virtual void SetColMatPar(ColMatPar* record, int16_t mode, int16_t option, int16_t code);
  virtual void GetColMatPar(ColMatPar* record);
  virtual void SetFractPar(FractPar* record, int16_t mode, int16_t option, ScriptFile* script);
  virtual void GetFractPar(FractPar* record);
  virtual void GetPlaidPar(PlaidPar* record);
  virtual void SetPlaidPar(PlaidPar* record, int16_t mode, int16_t level, int16_t option,
                           int16_t code);
  virtual void SetPlaidMode(int16_t mode);
  virtual void SetBordPar(BordPar* record, int16_t mode, int16_t option, ScriptFile* script);
  virtual void GetBordPar(BordPar* record);
  virtual void SetCookiMode(int16_t mode);
  virtual void SetCookiCutPar(CookiCutPar* record, int16_t mode, int16_t option);
  virtual void SetWeaveInfo(WeaveInfo* record, int16_t weaveMode, int16_t weaveGrid, int16_t r1,
                            int16_t g1, int16_t b1, int16_t r2, int16_t g2, int16_t b2);
  virtual void GetWeaveInfo(WeaveInfo* record);
  virtual void SetRender(int16_t flag, fichier* file, int16_t mode, int16_t option);
  virtual void SetCombImaPar(CombImaPar* record, int16_t mode, int16_t option);
  virtual void PrepEffBuf(int16_t mode, int16_t level, int16_t option, int16_t code);
  virtual void GetMskcolfromBuf(int32_t x, int32_t y, int16_t* b, int16_t* a);
  virtual void GetMskBuf(int16_t scaled, int32_t w, int32_t h, char* a, char* b);
  virtual void SetMskBuf(int16_t scaled, int32_t w, int32_t h, char* a, char* b);
  virtual void SetMskMod(int32_t mode);
  virtual void SetBruMod(int32_t size, int32_t second, int32_t third, int32_t fourth);
  virtual void DrawBruShape(plat::tb::ControlRef control, int16_t show, int32_t x, int32_t y);
  virtual void DrawCrossShape(plat::tb::ControlRef control, int16_t show, int32_t x, int32_t y,
                              int32_t left, int32_t right, int32_t top, int32_t bottom);
  virtual void GetBuf(int32_t stride, int32_t ignored, char* pixels, int32_t w, int32_t h);
  virtual void GetBufRGB(int32_t stride, int32_t ignored, uint8_t* r, uint8_t* g, uint8_t* b,
                         int32_t w, int32_t h);
  // The owner's 4-byte pixels (R, G, B, unused) into the display, mode 0 only; a preview
  // asked for before it and still on its way is dropped when it comes back.
  virtual void SetBuf(int16_t mode, int32_t stride, int32_t ignored, char* pixels, int32_t w,
                      int32_t h, int16_t alpha);
  virtual void SetBufRGB(int16_t mode, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         int16_t maskOk, int32_t srcW, int32_t srcH, int32_t stride, int32_t rows,
                         uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* m, int16_t alpha,
                         int16_t maskTint);
  // Planes rendered at `scale` device pixels per view pixel, loaded as
  // SetBufRGB's mode 0 loads planes of the view's size: the bounds x0..x1,
  // y0..y1 (right and bottom exclusive), the row length `stride` and the
  // row count `rows` are in view pixels, and the planes hold stride x scale
  // samples a row and rows x scale rows. The display takes every scale-th
  // sample of every scale-th row (what the readouts, picks and copies out
  // read); the fine display takes the planes one to one while the box is at
  // that scale, so the view shows them on the device pixels. Scale 1 (or
  // less) is SetBufRGB itself.
  void SetFineBufRGB(int32_t scale, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t stride,
                     int32_t rows, uint8_t* r, uint8_t* g, uint8_t* b, uint8_t* m, int16_t alpha,
                     int16_t maskTint);
  virtual void SetSplitBufRGB(int16_t, int32_t, int32_t, int32_t, int32_t, int16_t, int32_t,
                              int32_t, int32_t, int32_t, uint8_t*, uint8_t*, uint8_t*, uint8_t*,
                              uint8_t*, uint8_t*, uint8_t*, uint8_t*, int16_t, int16_t, int16_t,
                              int16_t);
  virtual void GetRGBcolfromBuf(int16_t flip, int32_t x, int32_t y, int16_t* r, int16_t* g,
                                int16_t* b, int16_t* imageX, int16_t* imageY);
  virtual void SetOveLay(int32_t a, int32_t b, int32_t c);
  virtual int16_t CheckSetRefresh(int16_t value);

  // ---- registration and events ----
  // Registers the box's view class once under `classId` with `handler`;
  // later calls register nothing. Returns the class identifier.
  std::string GetHIimaViewClass(const std::string& classId, plat::tb::EventHandlerProc handler);
  OSStatus ImaBoxEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                              void* userData);
  void ReadRGBcol(plat::tb::EventRef event, plat::tb::ControlRef view);
  void DrawContent(plat::tb::EventRef event, plat::tb::ControlRef view,
                   const plat::draw::Context& context);
  void TrackMouse(plat::tb::EventRef event, plat::tb::ControlRef view,
                  const plat::draw::Context& context);

  // ---- where previews render ----
  // With a runner the previews run as jobs on it and show when complete;
  // null (the default) renders each at once. The runner outlives its use.
  void SetPreviewRunner(vmkviews::PreviewRunner* runner) { runner_ = runner; }
  // Window's thread: shows a finished job unless it is stale.
  void FinishPreview(const vmkviews::PreviewJob& job);
  // The preview that `ask` asks for (one of the Set<X>Par) renders aside:
  // on the runner like any other, but neither shown in this box nor made
  // stale by the previews asked for after it; once complete, `done` gets it
  // on the window's thread (at once without a runner). A newer aside
  // preview, or a value change (StalePreview), makes it stale.
  void RenderAside(vmkviews::PreviewDone done, const std::function<void()>& ask);
  // A finished job's picture sampled as GetBufRGB samples the display: for
  // y < h, x < w the pixel at column x x effect width / w and row
  // y x effect height / h, into index y x stride + x.
  static void GetJobRGB(const vmkviews::PreviewJob& job, int32_t stride, uint8_t* r, uint8_t* g,
                        uint8_t* b, int32_t w, int32_t h);
  // The preview on its way is no longer wanted: it stops and is dropped.
  void StalePreview();
  // A preview that could not be rendered: the box keeps the picture it showed and says so in
  // a band across its bottom edge (`words`, one line), until the next preview shows. Empty
  // words take the notice away.
  void SetPreviewFailure(const std::string& words);
  const std::string& previewFailure() const { return previewFailure_; }
  // A dialog asked for a preview it renders itself into this box (a job of
  // its own): logged as the box's own are, so that a look at the view can
  // wait for the preview a step asked for.
  void OwnPreviewAsked() const;
  // The display laid out, centred as a preview's would be, for a picture of
  // w x h of which the owner loads the shown width x height view pixels from
  // planes of its own (SetBufRGB), as the main editing window loads its
  // layers' render: fitted or a zoomed part.
  void LayOutOwnPicture(int32_t w, int32_t h, int32_t shownWidth, int32_t shownHeight);
  // The previews that show the pan rectangle (every one but the whole-picture
  // mode 2 and the previews by effect number) show it at `zoom` (x 10000),
  // one scale both ways, as large as the view or the picture at that zoom
  // allows, the pan rectangle counted as the zoomed views count it
  // (vmkviews::ZoomUnitOf); 0, as the box starts, fits the pan rectangle into
  // the view as it is. A dialog whose zoom text says a zoom sets it with its
  // pan rectangle, so that the view shows what the text says.
  void SetShownZoom(int32_t zoom) { state_.shownZoom = std::max(zoom, 0); }
  // The picture as DrawContent draws it into the image rectangle of
  // displayed width x height view pixels: the fine display while it holds
  // the picture, else the display.
  plat::draw::ImageRef DisplayImage() const;

  // ---- overlays ----
  // Each draws into `port` clipped to `rect` (the box's rectangle there) and
  // leaves the clip opened to (0, 0, 32000, 32000); the copy flag 0 draws in
  // pattern XOR, so drawing the same overlay twice removes it.
  void DrawPan(GrafPtr port, Rect rect, int16_t index, RGBColor colour, int16_t copy, int16_t);
  // The weave's cells: mode 1 one pixel a cell, other modes stretched over
  // rect; the cell grid in blue with the flag 1.
  void DrawWeave(GrafPtr port, Rect rect, int16_t cellMode, int16_t cellGrid, RGBColor background,
                 RGBColor foreground);
  // The border layer's tiles and corners, the tessellation's quads and the
  // repeat's tiles; the selected element in red.
  void DrawBord(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t);
  void DrawTess(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t);
  void DrawRep(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t);
  // The lens warp's lattice: grid 0 regular, 1 corrected.
  void DrawZondrac(GrafPtr port, Rect rect, int16_t grid, RGBColor colour, int16_t copy);
  // The current grid-warp grid: grid 0 the in grid, 1 the out grid; the
  // selected nodes marked with the flag 1.
  void DrawGrid(GrafPtr port, Rect rect, int16_t grid, RGBColor colour, int16_t copy, int16_t markers);
  // Points 0 to min(last, 2) of a grid being created, in 1/100000 of the
  // grid record's picture.
  void DrawCre(GrafPtr port, Rect rect, int32_t* x, int32_t* y, int16_t last, RGBColor colour);

  // ---- what tests and the session read ----
  const ImaboxState& state() const { return state_; }
  const ImaboxParam& param() const { return param_; }
  const uint8_t* displayBuffer() const { return display_.get(); }
  // The device pixels per view pixel the previews render at: the backing
  // scale of the view's window when InitBufSize ran (1 without a view).
  int32_t backingScale() const { return backing_; }
  // The display at that scale, (view width x scale) x (view height x scale)
  // pixels laid out as the display, and the scale of the picture it holds
  // now: 0 when it does not hold the display's picture (a load of the
  // view's size or none), and the display is drawn instead.
  const uint8_t* fineBuffer() const { return fine_.get(); }
  int32_t fineScale() const { return fineScale_; }
  int32_t displayedWidth() const { return dispWidth_; }
  int32_t displayedHeight() const { return dispHeight_; }
  const int16_t* maskA() const { return maskA_.get(); }
  // Previews loaded into the display so far.
  int64_t previewsShown() const { return previewsShown_; }
  const int16_t* maskB() const { return maskB_.get(); }
  const int32_t* brushBlock() const { return brush_.get(); }
  bool classRegistered() const { return !classId_.empty(); }
  YoxelPar* yoxelRecord() const;
  GridPar* gridRecord() const { return grid_; }
  RepPar* repRecord() const { return rep_; }
  TessPar* tessRecord() const { return tess_; }
  FractPar* fractRecord() const { return fract_; }
  BordPar* bordRecord() const { return bord_; }
  ShapePar* shapeRecord() const { return shape_; }
  ColCorPar* colCorRecord() const { return colCor_; }
  CombImaPar* combImaRecord() const { return combIma_; }
  CookiCutPar* cookiCutRecord() const { return cookiCut_; }
  ColMatPar* colMatRecord() const { return colMat_; }
  PlaidPar* plaidRecord() const { return plaid_; }
  WeaveInfo* weaveRecord() const { return weave_; }
  ZondracPar* zondracRecord() const { return zondrac_; }
  const DrawPar* drawPar() const { return drawPar_; }
  CPathList* pathList() const { return pathList_; }
  ScriptFile* script() const { return script_; }
  const fichier& renderFile() const { return renderFile_; }
  int16_t renderFlag() const { return renderFlag_; }
  const int16_t* newRowCol() const { return newRowCol_; }
  const int32_t* creaX() const { return creaX_; }
  const int32_t* creaY() const { return creaY_; }
  const int16_t* weaveColours() const { return weaveColours_; }
  int32_t cursorShown() const { return cursorShown_; }
  int32_t cursorLastX() const { return cursorLastX_; }
  int32_t cursorLastY() const { return cursorLastY_; }

 private:
  // Preview helpers (image_box_previews.cpp).
  struct Pass {
    int16_t shorts[8];
    int16_t count;
    int16_t maskOk;
  };
  // Lays the preview out into the call: mode 2 fits the whole picture, other
  // modes the pan window (clamped to the picture when asked). False when there
  // is nothing to show (no picture size, no visible extent). CommitLayout
  // makes it the box's: picture size, effect size, origin, displayed size;
  // a render commits only once it has its work planes, so a preview that
  // cannot run leaves the box as it was.
  bool LayOut(int16_t mode, int32_t w, int32_t h, bool clamp, bool panSource,
              vmkviews::PreviewCall* call);
  void CommitLayout(const vmkviews::PreviewCall& call);
  // Asks for one preview: one or two passes go to the runner as one job (at
  // once without one), keeping `recordBytes` of the record; a record that
  // is not plain data (`recordBytes` 0) renders here through RenderPasses,
  // which loads the planes into the display after each pass; nothing when
  // the planes cannot be had. A mask is usable when it holds the whole mask
  // size.
  void Render(vmkviews::PreviewCall* call, const Pass* passes, int count, size_t recordBytes);
  void RenderAsideJob(vmkviews::PreviewCall* call, const Pass* passes, int count, size_t recordBytes);
  void RenderPasses(vmkviews::PreviewCall* call, const Pass* passes, int count);
  // Planes of `scale` device pixels per view pixel (the call's backing);
  // above 1 the display gets every scale-th sample and the fine display the
  // planes themselves.
  void LoadPlanes(uint8_t* const planes[4], int16_t maskOk, int32_t scale);
  // Composes planes into a display laid out as the box's (row length
  // destWidth, displayed size dispW x dispH), with the masks' tint. With a
  // step above 1 the planes are step times as wide and high as stride x
  // rows and each pixel takes the sample at step times its column and row.
  void ComposeRGB(uint32_t* dest, int32_t destWidth, int32_t destHeight, int32_t dispW, int32_t dispH,
                  int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t stride, int32_t rows,
                  const uint8_t* r, const uint8_t* g, const uint8_t* b, const uint8_t* m, int16_t alpha,
                  int16_t maskTint, int32_t step = 1);
  bool MaskUsable(const plat::Block<int16_t>& mask) const;
  void RunDedicated(int16_t routine, int16_t mode, int16_t level, int32_t w, int32_t h,
                    bool clamp, void* record, size_t recordBytes);
  // Drawing helpers (image_box_drawing.cpp).
  void DrawOverlays(GrafPtr port, const Rect& control, const Rect& image);
  void DrawOutlines(GrafPtr port, const Rect& image);
  void DrawOutline(GrafPtr port, const Rect& image, int kind);
  void DrawWeavePixels(const Rect& rect, int32_t columns, int32_t rows);
  void DrawWeaveCells(const Rect& rect, int32_t columns, int32_t rows, int16_t cellGrid);
  void DrawTessBase(int32_t ox, int32_t oy);
  void DrawTessTiling(int32_t ox, int32_t oy, RGBColor colour);
  void DrawMeshes(GrafPtr port, const Rect& control);
  void DrawQuadFrame(const Rect& image);
  void DrawPanFrames(GrafPtr port, const Rect& control);
  void DrawMinMax(const Rect& view);
  void DrawPaths(GrafPtr port);
  // Overlay helpers (mesh_overlays.cpp): the current grid of the grid record
  // (null when none or outside its slots) and the clamped window the meshes
  // map through.
  const GridInfo* CurrentGrid() const;
  vmkviews::PanMap MeshWindow(const Rect& rect) const;
  // Tracking helpers (image_box_tracking.cpp).
  Point ImageOrigin(const Rect& bounds) const;
  Rect ImageRect(plat::tb::ControlRef view) const;
  int16_t TrackRange(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  void TrackPaths(GrafPtr port, const Rect& bounds);
  int16_t TrackPanFrame(int16_t k, GrafPtr port, const Rect& bounds, int16_t* trackResult);
  void TrackQuad(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  // The mask brush (mask_brush_tracking.cpp): the visible part of the mask,
  // its display scale and the brush's radii in mask samples.
  struct MaskFrame {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    float kx = 0.0f, ky = 0.0f;
    int32_t rx = 0, ry = 0;
  };
  bool MaskWindow(MaskFrame* frame) const;
  void TrackMaskBrush(GrafPtr port, plat::tb::ControlRef view, const plat::draw::Context& context,
                      const Rect& bounds, const Rect& image, int16_t* trackResult);
  void BrushStep(plat::tb::ControlRef view, const plat::draw::Context& context, const Rect& image,
                 const MaskFrame& frame, const int16_t* footprint, const plat::Block<uint8_t> planes[4],
                 int32_t scale, Point point, Point origin);
  // The pattern tools (pattern_picks.cpp, plaid_stripes.cpp).
  int32_t StripeAt(int16_t mode, const Rect& rect, Point point) const;
  void TrackStripe(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  void TrackWeaveCell(plat::tb::EventRef event, const Rect& image);
  void TrackTessCell(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  void TrackTessBase(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  bool TrackRepeat(GrafPtr port, const Rect& bounds, int16_t* trackResult);
  // The grid-warp tools (grid_tools.cpp): one press's geometry, the clamped
  // window of the box's picture and the grid's own picture size.
  struct GridFrame {
    GrafPtr port = nullptr;
    Rect bounds;
    Point origin;
    int32_t left = 0, top = 0;
    float sx = 0.0f, sy = 0.0f;
    int32_t width = 0, height = 0;
    int16_t grid = 0, set = 0, link = 0, sel = 1;
  };
  bool MakeGridFrame(GrafPtr port, const Rect& bounds, GridFrame* frame);
  void GridPoint(const GridFrame& frame, Point p, int32_t* x, int32_t* y) const;
  void GridPointRounded(const GridFrame& frame, Point p, int32_t* x, int32_t* y) const;
  void GridFeedback(const GridFrame& frame);
  template <class Change>
  void GridDrag(const GridFrame& frame, Point press, Point first, int16_t* trackResult, Change change);
  void TrackGrid(GrafPtr port, const Rect& bounds, Point press, int16_t* trackResult);
  int32_t TrackSelectionQuad(const GridFrame& frame);
  void SelectionBox(int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY) const;
  void GridSelect(const GridFrame& frame, Point press);
  void GridMove(const GridFrame& frame, Point press, Point first, int16_t* trackResult);
  void GridSize(const GridFrame& frame, Point press, Point first, int16_t* trackResult);
  void GridRotate(const GridFrame& frame, Point press, Point first, int16_t* trackResult);
  GridPar* GridPressCopy();
  void GridBend(const GridFrame& frame, Point press, Point first, int16_t* trackResult);
  void GridCreate(const GridFrame& frame, Point press);
  void GridRowColumn(const GridFrame& frame, Point press, int32_t tool);

  ImaboxState state_;
  ImaboxParam param_;
  std::string classId_;  // the registered view class; empty until registered
  int32_t dispWidth_ = 0;
  int32_t dispHeight_ = 0;
  plat::Block<uint8_t> display_;
  int32_t backing_ = 1;
  plat::Block<uint8_t> fine_;
  int32_t fineScale_ = 0;
  plat::Block<int16_t> maskA_;
  plat::Block<int16_t> maskB_;
  plat::Block<int32_t> brush_;
  Yoxel* yoxel_ = nullptr;
  RepPar* rep_ = nullptr;
  TessPar* tess_ = nullptr;
  FractPar* fract_ = nullptr;
  BordPar* bord_ = nullptr;
  ShapePar* shape_ = nullptr;
  GridPar* grid_ = nullptr;
  std::shared_ptr<plat::Block<GridPar>> gridPressCopy_;  // the size and rotate tools' copy
  ColCorPar* colCor_ = nullptr;
  CombImaPar* combIma_ = nullptr;
  CookiCutPar* cookiCut_ = nullptr;
  ColMatPar* colMat_ = nullptr;
  PlaidPar* plaid_ = nullptr;
  WeaveInfo* weave_ = nullptr;
  ZondracPar* zondrac_ = nullptr;
  CPathList* pathList_ = nullptr;
  // While a press is tracked: the window's loop runs on during the tools'
  // pauses and drags, and must neither swap the path list they edit nor
  // start a second press inside this one.
  bool tracking_ = false;
  DrawPar* drawPar_ = nullptr;
  ScriptFile* script_ = nullptr;
  int16_t renderFlag_ = 0;
  fichier renderFile_;
  int16_t refresh_ = 0;
  int16_t selected_ = 0;
  int16_t selectable_ = 0;
  int16_t selColour_[3] = {0, 0, 0};
  int16_t pickMinMaxOn_ = 0;
  int16_t pickScale_ = 0;
  int16_t pickMin_ = 0;
  int16_t pickMax_ = 0;
  int16_t pickCoordOn_ = 0;
  int16_t pickMode_ = 0;
  int16_t sampleSize_ = 3;
  int16_t cursorColour_[3] = {0, 0, 0};
  int16_t cursorX_ = 0;
  int16_t cursorY_ = 0;
  int16_t newRowCol_[4] = {0, 0, 0, 0};
  // red on, green on, blue on, a fourth flag nothing reads, mask A shown,
  // mask B shown; a channel shows when its flag has exactly that value.
  int16_t rgbMode_[6] = {0, 0, 0, 0, 0, 0};
  int16_t weaveColours_[6] = {0, 0, 0, 0, 0, 0};
  int32_t creaX_[4] = {0, 0, 0, 0};  // points of the create-grid tool
  int32_t creaY_[4] = {0, 0, 0, 0};
  // The grid tools' points, in 1/100000 of the grid's picture: where the
  // press began (or the previous drag point; also corner 0 of the selection
  // quad), the newest drag point, the selection quad's corners 1 to 3; and
  // the previous grid press in port coordinates.
  int32_t pressX_ = 0;
  int32_t pressY_ = 0;
  int32_t curX_ = 0;
  int32_t curY_ = 0;
  int32_t selQuadX_[3] = {0, 0, 0};
  int32_t selQuadY_[3] = {0, 0, 0};
  int32_t lastClickH_ = 0;
  int32_t lastClickV_ = 0;
  // Shared by the brush outline and the cross-hair: where the last one was
  // drawn, and whether it is on the screen.
  int32_t cursorLastX_ = 0;
  int32_t cursorLastY_ = 0;
  int32_t cursorShown_ = 0;
  // Previews: where they run, the number of the latest one asked for (a job
  // of another number is stale) and the job on its way.
  vmkviews::PreviewRunner* runner_ = nullptr;
  uint64_t previewGeneration_ = 0;
  int64_t previewsShown_ = 0;
  std::weak_ptr<vmkviews::PreviewJob> runningPreview_;
  // The aside request in force while RenderAside asks, and the aside job on
  // its way.
  vmkviews::PreviewDone asideNext_;
  std::weak_ptr<vmkviews::PreviewJob> runningAside_;
  // What the notice of a preview that could not be rendered says; empty for none.
  std::string previewFailure_;
  // Draws that notice across the bottom of `viewRect`.
  void DrawPreviewFailure(const Rect& viewRect);
};

// A class reference and a box, with a handler of the box's shape that
// forwards to the box's routines. Nothing creates one; its destructor
// unregisters the class when one was set.
class VMKimaboxevent {
 public:
  VMKimaboxevent() = default;
  ~VMKimaboxevent();
  VMKimaboxevent(const VMKimaboxevent&) = delete;
  VMKimaboxevent& operator=(const VMKimaboxevent&) = delete;

  void SetImaBoxPtr(VMKimabox* box) { box_ = box; }
  void SetClass(const std::string& classId) { classId_ = classId; }
  OSStatus ImaBoxEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                              void* userData);

 private:
  std::string classId_;
  VMKimabox* box_ = nullptr;
};
