// The main editing window "PinMain": the layered editor in which the user
// builds the current document's script for one effect family out of layers,
// vector paths and operation lists, and sees the layer stack rendered over
// the picture. The effect road opens it for the families 114 to 117 (and for
// 41, 42 and 58 on their advanced road); on OK it writes the combined layer
// file into the session's layer scratch file, from which the road renders.
//
// The window owns no layers: it works on the current document's script, its
// current layer stack and current layer. Beside it live the layer palette and
// the path-tool palette (made on first use, then shown and hidden), which
// only store requests that this window's loop carries out. Over it run the
// operation-list editor, the load-effect browser and the compose chooser,
// during whose modal loops this window's timer keeps polling.
//
// It is a description and hooks on the one dialog frame (window, timer,
// modal run, close box, typing, resizing); zoom, pan, navigator, readout and
// the zoom slider behave as in every effect dialog, but for the part shown
// away from Fit, which is the view's size at the zoom the zoom text says
// (PanAtZoom), and the render of only that part. The layer-stack render
// at view size (PrepareBuf) runs on the frame's preview worker: the newest
// request wins, a stale render stops, and the planes of the last complete
// render stay shown until the next is ready. On a denser screen it renders
// at the main view's backing scale and shows one to one; every size and
// coordinate of the window stays in view pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/core/file_records.h"
#include "dialogs/editor/preview_render.h"
#include "dialogs/frame/effect_frame.h"
#include "dialogs/frame/zoom_pan.h"
#include "platform/toolbox/toolbox.h"

class CPathList;
class VMKtunelay;
class VMKtoolpath;
class VMKtuneeff;
struct DrawPar;
struct YoxelPar;
class LayerFile;
class Laye;
class PinmainRender;
class PreviewWorker;
namespace vmkviews {
class PreviewJob;
}

// One ring of path snapshots: ages (-1 marks a free entry) and the lists.
// Ages grow by one with every snapshot, so the largest is the newest.
struct BkPath {
  static constexpr int kEntries = 100;
  int32_t age[kEntries] = {};
  CPathList* list[kEntries] = {};
};

// Product names of the window titles by family.
const char* PinmainProductName(int16_t family);
// The title for a family of the title table: product name, version, " - "
// and the maker's web address; empty for a family that keeps the nib's.
std::string PinmainTitle(int16_t family);
// The families that never show or edit paths.
bool IsPathlessFamily(int16_t family);

// What the main view shows of the picture. At Fit the whole picture fitted
// into the view (the preview size). Away from Fit the picture at the current
// zoom, one scale for both axes (10000 = one picture pixel a view pixel),
// from the pan rectangle's corner: the rectangle is the view's size at that
// zoom, kept inside the picture, so the picture fills the view wherever it is
// larger than the view at that zoom.
struct PinmainZoom {
  bool zoomed = false;
  int32_t shownWidth = 0, shownHeight = 0;  // view pixels the picture covers
  double step = 1.0;                        // picture pixels a view pixel
  int32_t left = 0, top = 0;                // picture pixel at the shown picture's top-left corner
  bool operator==(const PinmainZoom&) const = default;
};

// The window's zoom geometry, which needs no window, so that what its view shows at a zoom can
// be reckoned and rendered as the window does without opening one. The pan rectangle (left,
// top, right, bottom in 1/100000 of a width x height picture) of a viewW x viewH view at `zoom`
// about picture point (cx, cy): the view's size at that zoom, the whole side where the picture
// has less, moved inside the picture (PanAtZoom).
void PinmainPanAtZoom(int32_t width, int32_t height, int32_t viewW, int32_t viewH, double cx, double cy,
                      int32_t zoom, int32_t pan[4]);
// The picture point along one side of `size` pixels at the middle of a pan rectangle's sides
// `from` and `to`: where a zoom press or a resize keeps the view.
double PinmainPanCentre(int32_t size, int32_t from, int32_t to);
// What the view shows away from Fit at `zoom` through the pan rectangle (ViewZoom).
PinmainZoom PinmainZoomedView(int32_t width, int32_t height, int32_t viewW, int32_t viewH, const int32_t pan[4],
                              int32_t zoom);
// The part a zoomed render of that view renders, on planes of `scale` device pixels a view
// pixel each way.
ZoomedPart PinmainRenderedPart(const PinmainZoom& zoom, int32_t scale);

inline constexpr const char* kProductVersion = "1.0";
inline constexpr const char* kMakerWebAddress = "www.vellmarkstead.org";

class VMKpinmainUI final : public EffectFrame {
 public:
  static constexpr int kPlanes = 90;

  VMKpinmainUI();
  ~VMKpinmainUI() override;

  // Runs the window: 1 after OK, kEffectNotStored after an OK whose layers
  // the layer scratch file would not take, 0 after cancel, the close box or
  // when the window cannot be made. Under a session that offers its render
  // (ok_render.h) OK stores and renders the layers through it, and the window
  // stays open when that fails.
  int16_t Do_PinmainDlg(int16_t family);
  // One layer operation (1 to 17) on the current layer stack.
  void ModifLayer(int16_t op);
  // Path snapshots: 0 make, 1 clear, 2 push, 3 pop, 4 free.
  void BackRestPath(int16_t mode, BkPath* ring, CPathList* paths);
  // Mode 0 renders the picture without the layers into the source planes,
  // other modes the layers over it into the effect planes: from the current
  // script (written as the combined layer file into the layer scratch file)
  // when `file` is null, else from that one effect file.
  void PrepareBuf(int16_t mode, fichier* file);
  void PrepareLayPhoMenus();
  void PrepareWindowForDisplay(plat::tb::WindowRef window);
  // The picture fitted into a view of viewW x viewH (the preview size) and
  // the planes 3 to 6 of both tables taken at the view's size.
  void FitPicture(int32_t viewW, int32_t viewH);
  void SetRefreshFlag(int16_t value) { refreshFlag = value; }
  // The overlay opacity field into the display record.
  void GetEditValue() override;
  void DrawRGBPicker();
  void SetNavZoom(int32_t minimum);
  void SetPanZoom(plat::tb::WindowRef window, int32_t zoom);
  void AdjustPanZoom(plat::tb::WindowRef window, int16_t position);
  void DrawWindowContent(plat::tb::WindowRef window) override;
  void PinmainLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus PinmainWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus PinmainWindowEventCommandProcess(plat::tb::EventHandlerCallRef call,
                                            plat::tb::EventRef event, void* window) {
    return CommandProcess(call, event, window);
  }
  // One pass of the loop, for the load browser's hover preview.
  void RunLoopOnce() { PinmainLoop(nullptr, window); }
  // The digits pass; every other character beeps and is dropped (the
  // editing keys still work).
  static bool NumEditKey(int16_t charCode);

  // ---- state, in order (result, refresh flag, loop timer and controls are
  // the frame's) ----
  int16_t pathEditFlag = 0;
  int16_t tool = 15;
  int16_t pathMode = 1;
  plat::tb::WindowRef window = nullptr;
  VMKtunelay* layerPalette = nullptr;
  VMKtoolpath* pathPalette = nullptr;
  VMKtuneeff* operationEditor = nullptr;
  int16_t family = 0;
  int16_t displayWord = 3;
  int16_t fitFlag = 1;
  int16_t showEffect = 1;
  int16_t channelShown = 1;
  int16_t readout[5] = {0, 0, 0, 0, 0};
  // 90 entries; entry k is channel plane k, of (view width x plane scale) x
  // (view height x plane scale) samples.
  uint8_t** effectPlanes = nullptr;
  uint8_t** sourcePlanes = nullptr;
  int32_t previewWidth = 0;
  int32_t previewHeight = 0;
  BkPath undoRing;
  BkPath redoRing;
  DrawPar* drawPar = nullptr;
  YoxelPar* display = nullptr;
  int32_t pan[4] = {0, 0, 100000, 100000};
  int32_t oneToOne[4] = {0, 0, 100000, 100000};
  int32_t zoomTable[kZoomEntries] = {};
  int32_t minIndex = 0, midIndex = 16, maxIndex = 32;
  int32_t curIndex = 16, curZoom = 10000;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t viewOriginX = 0, viewOriginY = 0, viewWidth = 0, viewHeight = 0;

  VMKimabox* mainView() const { return Box(0); }
  VMKimabox* navigator() const { return Box(1); }
  // Renders handed to the worker and renders that arrived (tests, bench).
  uint64_t rendersAsked() const { return rendersAsked_; }
  uint64_t rendersShown() const { return rendersShown_; }
  // The worker of the layer-stack renders while the window is open; there
  // from construction, so that a test can hold its jobs before the window
  // opens and see what arrives late.
  PreviewWorker* renderWorker() const { return renders_.get(); }
  // What the main view shows now: the pan rectangle away from Fit, else
  // the fitted picture.
  PinmainZoom ViewZoom() const;
  // Samples per view pixel each way of the planes: the main view's backing
  // scale when the picture was last fitted (1 on an ordinary screen).
  int32_t planeScale() const { return planeScale_; }
  // Called on the window's thread when a render of `generation` is complete.
  void TakeRender(int16_t mode, uint64_t generation, int32_t width, int32_t height, const PinmainZoom& zoom,
                  uint8_t** planes, uint8_t** channels);

 protected:
  bool ReadyToRun() const override;
  void PrepareBoxesAndMenus(plat::tb::WindowRef window) override;
  void InstallOwnControls(const FrameProcs& procs, plat::tb::WindowRef window) override;
  void BeforeShow(plat::tb::WindowRef window) override;
  void PrepareWindowForDisplay() override { PrepareWindowForDisplay(window); }
  bool PollTick(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  void OkRenderRuns(bool running) override;

 private:
  // Loop steps.
  bool TakeLayerRequest();
  bool FollowOperationEditor();
  bool TakePathEdit();
  bool TakePathRequest();
  void ShowChannel();
  // Layer operations.
  LayerFile* Stack() const;
  Laye* CurrentLayer() const;
  void Refetch();
  void RenameLayer();
  void CopyLayer();
  void MoveLayer();
  void DeleteLayer();
  void SaveLayer();
  void LoadLayer();
  void SaveAllLayers();
  void LoadAllLayers();
  // Paths.
  CPathList* LayerPaths() const;
  void SnapshotBeforeChange(CPathList* paths);
  void UndoRedoPaths(CPathList* paths);
  // Rendering and the window.
  int16_t WriteCombinedLayers();
  void SubmitRender(const std::shared_ptr<PinmainRender>& render, int lane);
  void FreePlanes(uint8_t** table, int first, int last);
  size_t PlaneSize() const;
  bool TakeViewPlanes();
  void ResetNavigator(plat::tb::WindowRef window, int16_t frames);
  // The path tools' mapping and the main view's pan for what the view shows.
  void ApplyViewMapping();
  // A zoom or pan the renders shown do not have yet: the view's mapping
  // follows it and both tables are rendered for it.
  void FollowZoom();
  void ApplyIndex(plat::tb::WindowRef window, int32_t index);
  // '+' (direction 1) and '-' (-1): the next zoom of the table above or below
  // the one shown; '+' at Fit leaves Fit for the first step above it.
  void ZoomStep(plat::tb::WindowRef window, int direction);
  void LeaveFit(plat::tb::WindowRef window);
  // The zoom the zoom text says at Fit.
  int32_t FitZoom() const;
  // The pan rectangle of the view at `zoom` about picture point (cx, cy).
  void PanAtZoom(double cx, double cy, int32_t zoom);
  // The navigator's frame as the user left it: moved, the view follows it at
  // the same zoom; resized, the zoom is the one that shows the frame.
  void TakeNavigatorFrame();
  void ShowFitControls();
  void ShowOverlay();
  bool ReadRGB(const Point& where);
  void ChannelCommand(uint32_t command, plat::tb::ControlRef source);
  void OverlayToNavigator();
  void OpenOperationEditor();
  // 'Bloa' and 'Bcom': an effect chosen in a browser into the current layer.
  bool OwnLoadCommand(uint32_t command);
  bool BrowseEffect(fichier* chosen);
  bool ComposeEffect(Laye* layer, fichier* chosen);

  void StopRenders();

  uint64_t generation_[2] = {0, 0};  // per mode lane: 0 source, 1 effect
  int32_t planeScale_ = 1;
  // Per lane: the table's planes 3 to 6 hold a complete render of the
  // present layout (a render arrives after the window's first loop step).
  bool rendered_[2] = {false, false};
  // Per lane: what the table's planes show (the layout they are loaded in).
  PinmainZoom shown_[2];
  // What the last renders asked for were made for.
  PinmainZoom asked_;
  // The layer-stack renders have a worker of their own, beside the one of
  // the boxes' previews, so a navigator preview never takes a render's place
  // in line (nor a render a preview's).
  std::unique_ptr<PreviewWorker> renders_;
  std::weak_ptr<vmkviews::PreviewJob> lastRender_[2];
  // Per lane: a render OK's render stopped on its way, asked for again should the window stay.
  bool stoppedForOk_[2] = {false, false};
  uint64_t rendersAsked_ = 0;
  uint64_t rendersShown_ = 0;
};

extern VMKpinmainUI* gVMKpinmain;

void PinmainLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus PinmainWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* window);
const plat::tb::EventHandlerProc& GetPinmainWindowEventHandlerUPP();
// The window's ScrollBar32BitActionProc, ScrollBarPan32BitActionProc and
// NumEditKeyFilter are file-static in main_editor.cpp: other windows of the
// same library have their own of those names.
