// The operation-list editor ("Tune Effect"): the editor of one layer's
// operation list, and the object through which the effect launcher and the
// editor's own adjust command open an effect's dialog (Perform_Effect, whose
// rows live in the effect registry). The image-tools window (family 118) is
// this same class.
//
// One instance at a time, reached by the file's handlers through
// gVMKtuneeff. Its buffers come from the session's memory manager and go
// back to it when the editor goes. The effect launcher never shows the
// window: it binds the editor to the document's script with operation 1
// current and dispatches one effect.
#pragma once

#include <cstdint>

#include "app/core/pascal_strings.h"
#include "dialogs/frame/live_preview.h"
#include "platform/files/file_spec.h"
#include "platform/toolbox/toolbox.h"

class ScriptFile;
class VMKdoc;
class VMKlibr;
struct DrawPar;
struct YoxelPar;

class VMKtuneeff {
 public:
  static constexpr int32_t kSlots = 3;
  static constexpr int32_t kSliderRows = 5;
  static constexpr int32_t kMenuEntries = 255;
  static constexpr int32_t kPlaneSlots = 90;
  static constexpr int32_t kEffectFiles = 4096;
  static constexpr int32_t kControlIds = 76;  // controls are kept by id, 0..75

  VMKtuneeff();
  ~VMKtuneeff();
  VMKtuneeff(const VMKtuneeff&) = delete;
  VMKtuneeff& operator=(const VMKtuneeff&) = delete;

  // Current operation = first, current kind item = second.
  void LoadVal(long first, long second);
  // Binds the editor to a layer of a script: the six display values (image
  // width and height, work area left, top, right, bottom), the script,
  // stack, layer and the current document. With the window open, operation
  // 1 becomes current and the window shows it.
  void SetScriptFile(ScriptFile* script, short stack, short layer, short width, short height,
                     short left, short top, short right, short bottom);
  void GetScriptFile(ScriptFile* script);
  // Code 42 starts its launched operation with Param1 255; every other
  // code leaves the operation alone. The bound script, stack and layer are
  // the ones changed, not the arguments.
  void InitScriptParams(ScriptFile* script, short stack, short layer, short code);
  // Opens the dialog of effect `code` on the current operation (a row of
  // the effect registry) and writes it back on OK; 1 or 0 as the row
  // answers, 0 for a code no row serves. Flag 0 from the effect launcher,
  // 1 from this editor's own commands.
  short Perform_Effect(short code, short flag);

  void SetChanFlag(short v) { chanFlag = v; }
  short GetChanFlag() const { return chanFlag; }
  void SetRefreshFlag(short v) { refreshFlag = v; }
  // With preview on: the pending preview request, replaced by v; else 0.
  short CheckSetPreview(short v);
  // Refreshes every control of the window from the script.
  void DrawWindowContent(plat::tb::WindowRef window);

  // ---- fields, in the order the editor's record keeps them ----
  int16_t startFlag = 0;
  int16_t family = 0;
  int16_t shown = 0;
  int16_t result = 0;
  int16_t refreshFlag = 0;
  int16_t chanFlag = 0;
  int16_t loopCount = 3;
  int16_t firstVisible = 0;
  int16_t selectedSlot = 0;
  int16_t slotCount = kSlots;
  int16_t loopWords[kSlots] = {-1, -1, -1};
  int16_t previewOn = 1;
  int16_t pendingPreview = 0;
  int16_t imaToolsValue = 1;
  int16_t showAdjust = 0;
  int16_t showSource = 1;
  int16_t showMask = 1;
  int16_t showSwatch[3] = {0, 0, 0};
  int16_t showBlend = 0;
  int16_t pickedRed = 0;
  int16_t pickedGreen = 0;
  int16_t pickedBlue = 0;
  int16_t codeToItem[kMenuEntries] = {};
  int16_t itemToCode[kMenuEntries] = {};
  int16_t itemCount = 0;
  int16_t currentOprn = 1;
  int16_t currentKindItem = 1;
  int16_t maskMode = 1;
  int16_t maskChannel = 1;
  int16_t destChannel = 2;
  int16_t sourceChannel = 1;
  int16_t opacity = 255;
  int16_t blendItem = 1;
  int16_t selectionItem = 1;
  int16_t swatchColours[3][3] = {};
  plat::tb::WindowRef window = nullptr;
  ScriptFile* script = nullptr;  // not owned
  int16_t stack = 0;
  int16_t layer = 0;
  int16_t imageWidth = 0;  // the six display values
  int16_t imageHeight = 0;
  int16_t areaLeft = 0;
  int16_t areaTop = 0;
  int16_t areaRight = 0;
  int16_t areaBottom = 0;
  VMKdoc* document = nullptr;
  int32_t sliderValue[kSliderRows] = {};
  int32_t sliderMinimum[kSliderRows] = {};
  int32_t sliderMaximum[kSliderRows] = {};
  int32_t sliderShown[kSliderRows] = {};
  Str255 sliderTitle[kSliderRows] = {};
  uint8_t** resultPlanes = nullptr;  // kPlaneSlots entries, by channel
  uint8_t** sourcePlanes = nullptr;
  DrawPar* drawPar = nullptr;
  YoxelPar* workRecord = nullptr;
  VMKlibr* selectionDialog = nullptr;  // while either runs nested
  // The ramp editor a ramp row runs, polled by the loop for live previews.
  LivePreviewSource* rampEditor = nullptr;
  int16_t rampPreviewFlag = 1;
  FSSpec* effectFiles = nullptr;  // kEffectFiles entries
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  plat::tb::EventLoopTimerProc loopTimerUPP;  // empty until the timer is made
  plat::tb::ControlRef controls[kControlIds] = {};
};

extern VMKtuneeff* gVMKtuneeff;
