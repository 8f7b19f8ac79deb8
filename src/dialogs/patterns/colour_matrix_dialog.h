// The colour-matrix dialog (effect 22): the user paints the 33 x 33 cells
// of the matrix by clicking in the preview with a painting colour, in the
// channels chosen, with the shape the popup picks; hue, saturation and value
// shifts, the mask inverted, presets loaded, saved and previewed on hover.
// The dialog is the frame's shape with its own values, the preview box's
// clicks and the colour swatch polled at every tick.
//
// Its owner, the effect dispatcher, hands it the operation's cells and four
// parameters (SetColMatVal) and takes them back on OK (GetColMatVal).
#pragma once

#include <cstdint>

#include "dialogs/frame/effect_frame.h"
#include "engines/correction/colour_matrix.h"
#include "paths/draw_par.h"

class VMKcolbox;

class VMKcolormatrixUI : public EffectFrame {
 public:
  VMKcolormatrixUI();
  ~VMKcolormatrixUI() override;

  // The owner's hand-over: 1089 cells, the operation's parameter 1 and the
  // three shifts; the fifth value is neither read nor written.
  void SetColMatVal(const int32_t* cells, int16_t p1, int16_t hue, int16_t saturation, int16_t value,
                    int16_t fifth);
  void GetColMatVal(int32_t* cells, int16_t* p1, int16_t* hue, int16_t* saturation, int16_t* value,
                    int16_t* fifth);
  // A whole record in (after a backup) or out.
  void SetColMatPar(const ColMatPar* in);
  void GetColMatPar(ColMatPar* out);
  // `unused` is accepted and not read (kept).
  int16_t Do_ColorMatrixDlg(int16_t runFlag, int16_t unused);
  void BackRestCMat(int16_t n) { BackRest(n); }
  void LoadColorMatrixMenus() { LoadPresetMenus(); }
  void ColorMatrixLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus ColorMatrixWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return WindowEventHandler(call, event, window);
  }
  OSStatus ColorMatrixWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                                void* window) {
    return CommandProcess(call, event, window);
  }
  ColMatPar* record() const { return static_cast<ColMatPar*>(edit); }
  static int16_t UndoRequest();

  // The cell a click at (x, y) of the preview box paints: column and row
  // from the top, each held to 0..32.
  void CellAt(int32_t x, int32_t y, int16_t* column, int16_t* row) const;
  // Calc_vign's mode of the current modifier keys: -1 with Control (whatever
  // else is held), 1 with Option alone, else 0.
  static int16_t PaintMode();

  // ---- state, public for the owner and tests ----
  int32_t displayedWidth = 1;
  int32_t displayedHeight = 1;
  DrawPar* drawPar = nullptr;
  int16_t effectDisplay = 1;            // check box 35: the box shows the effect
  int16_t channels[4] = {1, 1, 1, 0};   // paint reaches red, green, blue, mask
  int32_t boxLeft = 0, boxTop = 0, boxWidth = 0, boxHeight = 0;

 protected:
  void ShowPreview() override;
  void DrawOwnContent(plat::tb::WindowRef window) override;
  bool OwnCommand(uint32_t command, plat::tb::ControlRef source, plat::tb::WindowRef window) override;
  bool OwnEvent(plat::tb::EventRef event, plat::tb::WindowRef window, OSStatus* status) override;
  bool PollTick(plat::tb::WindowRef window) override;
  void OpenViews(plat::tb::WindowRef window) override;
  bool ReadyToRun() const override;

 private:
  void FitPicture();
  bool PaintClick();
  bool SwatchChange();
  VMKcolbox* swatch_ = nullptr;
};

extern VMKcolormatrixUI* gVMKcolormatrix;

void ColorMatrixLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus ColorMatrixWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetColorMatrixWindowEventHandlerUPP();
