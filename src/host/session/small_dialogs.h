// The small modal dialogs that several editors share: names, library
// updates, grid steps, layer moves, clear, mask, colour and percentage
// options, two alerts, the five shape tools' parameters and the selection
// options. Create a VMKlibr, call one Do_<X>Dlg, read the answer, delete it.
//
// Each dialog is a nib window with controls found by signature and index,
// one window handler and, for those with number fields, a 0.5 s timer that
// limits what was typed to the field's range one second after the last key.
// OK answers 1 and writes the values back; Cancel answers 0.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "paths/shape_params.h"
#include "platform/toolbox/toolbox.h"

struct OprnExt;

class VMKlibr {
 public:
  VMKlibr();
  ~VMKlibr();
  VMKlibr(const VMKlibr&) = delete;
  VMKlibr& operator=(const VMKlibr&) = delete;

  // "LayerName" (0) or "CategName" (1): the C string is shown and, on OK,
  // replaced by the field's text (at most 255 characters).
  int16_t Do_CatalogDlg(int16_t which, char* name);
  int16_t Do_UpdateDlg();
  // close 0: shows the progress window and returns it; else hides and
  // disposes of `window` and returns null.
  plat::tb::WindowRef Do_UpdatingDlg(int16_t close, plat::tb::WindowRef window);
  // Both numbers are read back after the dialog whatever the answer.
  int16_t Do_GrdStpDlg(int32_t* h, int32_t* v);
  int16_t Do_MovLayDlg(int16_t mode, int32_t* from, int32_t* to);
  int16_t Do_ClearOptDlg(int16_t* value);
  int16_t Do_MaskOptDlg(int16_t* option, int16_t* percent);
  int16_t Do_ColorOptDlg(int16_t* mode, int16_t* red, int16_t* green, int16_t* blue);
  int16_t Do_PercOptDlg(int16_t* a, int16_t* b);
  // "SaveAlert" (1) or "SeleAlert" (2): 1 for OK, 2 for the second choice,
  // 0 for cancel, another `which` or no window.
  int16_t Do_AlertDlg(int16_t which);
  int16_t Do_CreElliDlg(TObjPar* par);
  int16_t Do_CreStarDlg(TObjPar* par);
  int16_t Do_CreRectDlg(TObjPar* par);
  int16_t Do_CreStepDlg(TObjPar* par);
  int16_t Do_CreTableDlg(TObjPar* par);
  // Edits values A to D of the current entry of the private selection copy.
  int16_t Do_SeleOptDlg();

  // Selection companions.
  void SetSeleVal(const OprnExt* ext);
  void GetSeleVal(OprnExt* ext) const;
  int16_t SeleCheckSetRefresh(int16_t value);
  void GetSeleEditValue();

  // ---- answers and working values ----
  int16_t catalogAnswer = 0;
  int16_t updateAnswer = 0;
  int16_t gridStepAnswer = 0;
  int16_t moveLayerAnswer = 0;
  int16_t clearAnswer = 0;
  int16_t maskAnswer = 0;
  int16_t colourAnswer = 0;
  int16_t percentAnswer = 0;
  int16_t alertAnswer = 0;
  int16_t ellipseAnswer = 0;
  int16_t starAnswer = 0;
  int16_t rectAnswer = 0;
  int16_t stepAnswer = 0;
  int16_t tableAnswer = 0;
  int16_t selectionAnswer = 0;
  int16_t maskOption = 0;
  int16_t maskPercent = 0;
  int16_t percentA = 0;
  int16_t percentB = 0;
  TObjPar objPar;
  OprnExt* selection = nullptr;  // from the block registry, on first use
  bool selectionOnHeap = false;   // made without a session
  int16_t fieldsChanged = 0;
  int16_t previewRefresh = 0;

  // ---- the running dialog ----
  struct NumberField {
    plat::tb::ControlRef control = nullptr;
    std::function<int32_t()> get;
    std::function<void(int32_t)> set;
    int32_t minimum = 0;
    int32_t maximum = 0;
  };
  struct Running {
    plat::tb::WindowRef window = nullptr;
    OSType sig = 0;
    int16_t* answer = nullptr;
    std::vector<NumberField> fields;
    // Commands of the dialog besides OK and Cancel: true when taken.
    std::function<bool(uint32_t)> command;
    // Work of each tick before the fields are read (the colour view, the
    // selection values).
    std::function<void()> tick;
    // Runs as OK (true) or Cancel (false) ends the dialog, while its
    // controls still exist.
    std::function<void(bool)> closing;
    bool readEveryTick = false;
    plat::tb::EventLoopTimerRef timer = nullptr;
  };
  Running running;

  OSStatus DialogEventHandler(plat::tb::EventRef event, plat::tb::WindowRef window);
  void DialogTick();
  // The number fields typed into since the last tick, read into their values and held to
  // their ranges.
  void TakeTypedFields();
  void RedrawFields();

 private:
  plat::tb::ControlRef Control(int32_t id) const;
  bool Open(const char* name, OSType sig, int16_t* answer);
  // Installs the handler (with or without the text types) and the timer,
  // runs the modal loop and takes the window down.
  void Run(bool timer, bool textEvents);
  void AddField(int32_t id, std::function<int32_t()> get, std::function<void(int32_t)> set,
                int32_t minimum, int32_t maximum);
  void AddWordField(int32_t id, int32_t* word, int32_t minimum, int32_t maximum);
  void PairSlider(int32_t sliderId, int32_t fieldId);
  int16_t ShapeDialog(TObjPar* par, int16_t* answer, const std::function<bool()>& open);
};

extern VMKlibr* gVMKlibr;
