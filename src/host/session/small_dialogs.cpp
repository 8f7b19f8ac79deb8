#include "host/session/small_dialogs.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "app/core/text_helpers.h"
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/operation.h"
#include "views/colour_box.h"

namespace tb = plat::tb;

VMKlibr* gVMKlibr = nullptr;

namespace {

OSStatus DialogHandler(tb::EventHandlerCallRef, tb::EventRef event, void* data) {
  return gVMKlibr != nullptr ? gVMKlibr->DialogEventHandler(event, static_cast<tb::WindowRef>(data))
                             : tb::eventNotHandledErr;
}

void DialogTimer(tb::EventLoopTimerRef, void*) {
  if (gVMKlibr != nullptr) gVMKlibr->DialogTick();
}

// Number fields take digits, space, minus and backspace only.
bool NumberKeys(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t*) {
  const int16_t c = *charCode;
  return (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == 8;
}

int32_t FieldValue(tb::ControlRef c) {
  int32_t v = 0;
  VMK_StringToNum(tb::GetControlText(c).c_str(), &v);
  return v;
}

void ShowNumber(tb::ControlRef c, int32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%ld", static_cast<long>(v));
  tb::SetControlText(c, text);
}

// Sliders step by 1 on their arrows and by 10 on their pages; the paired
// number field follows at once.
void SliderAction(tb::ControlRef slider, int16_t part) {
  int32_t v = tb::GetControl32BitValue(slider);
  switch (part) {
    case tb::kControlUpButtonPart: v -= 1; break;
    case tb::kControlDownButtonPart: v += 1; break;
    case tb::kControlPageUpPart: v -= 10; break;
    case tb::kControlPageDownPart: v += 10; break;
    default: break;
  }
  tb::SetControl32BitValue(slider, v);
  if (auto field = static_cast<tb::ControlRef>(tb::GetControlReference(slider)))
    ShowNumber(field, tb::GetControl32BitValue(slider));
}

// The entry of the selection copy that the dialog edits: head word 6, held
// to the sixteen entries so that a damaged record cannot reach past them.
int32_t SelectionEntry(const OprnExt* ext) {
  return std::clamp<int32_t>(ext->head[5], 0, OprnExt::kEntries - 1);
}

int32_t* SelectionValue(OprnExt* ext, int k) {
  const int32_t e = SelectionEntry(ext);
  switch (k) {
    case 0: return &ext->SelLevel[e];
    case 1: return &ext->SelValueB[e];
    case 2: return &ext->SelValueC[e];
    default: return &ext->SelValueD[e];
  }
}

}  // namespace

VMKlibr::VMKlibr() { gVMKlibr = this; }

VMKlibr::~VMKlibr() {
  // A copy from the registry is the registry's to free (at the latest when
  // the session ends); one made without a session is ours.
  if (selection != nullptr && selectionOnHeap) delete[] reinterpret_cast<char*>(selection);
  else if (selection != nullptr && SessionMemMan() != nullptr) SessionMemMan()->DelBuf(selection);
  if (gVMKlibr == this) gVMKlibr = nullptr;
}

// ---- shared mechanics ----

tb::ControlRef VMKlibr::Control(int32_t id) const {
  return tb::FindControl(running.window, running.sig, id);
}

bool VMKlibr::Open(const char* name, OSType sig, int16_t* answer) {
  running = Running{};
  running.sig = sig;
  running.answer = answer;
  *answer = 0;
  fieldsChanged = 0;
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  tb::WindowRef w = nullptr;
  if (tb::CreateWindowFromNib(name, &w) != 0 || w == nullptr) return false;
  running.window = w;
  return true;
}

void VMKlibr::AddField(int32_t id, std::function<int32_t()> get, std::function<void(int32_t)> set,
                       int32_t minimum, int32_t maximum) {
  tb::ControlRef c = Control(id);
  if (c == nullptr) return;
  tb::SetKeyFilter(c, NumberKeys);
  running.fields.push_back(NumberField{c, std::move(get), std::move(set), minimum, maximum});
  ShowNumber(c, running.fields.back().get());
}

void VMKlibr::AddWordField(int32_t id, int32_t* word, int32_t minimum, int32_t maximum) {
  AddField(id, [word] { return *word; }, [word](int32_t v) { *word = v; }, minimum, maximum);
}

void VMKlibr::PairSlider(int32_t sliderId, int32_t fieldId) {
  tb::ControlRef slider = Control(sliderId);
  if (slider == nullptr) return;
  tb::SetControlReference(slider, Control(fieldId));
  tb::SetControlAction(slider, SliderAction);
}

void VMKlibr::Run(bool timer, bool textEvents) {
  tb::WindowRef w = running.window;
  std::vector<tb::EventTypeSpec> types = {{tb::kEventClassCommand, 1}, {tb::kEventClassMouse, 5}};
  if (textEvents) {
    types.push_back({tb::kEventClassTextInput, tb::kEventTextInputFilterText});
    types.push_back({tb::kEventClassControl, tb::kEventControlTrack});
  }
  tb::InstallWindowEventHandler(w, DialogHandler, types, w);
  if (timer) {
    tb::InstallEventLoopTimer(tb::kEventDurationForever, 0.5, DialogTimer, nullptr, &running.timer);
    tb::SetEventLoopTimerNextFireTime(running.timer, 0.0);
  }
  tb::ShowWindow(w);
  tb::RunAppModalLoopForWindow(w);
  if (running.timer != nullptr) {
    tb::SetEventLoopTimerNextFireTime(running.timer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(running.timer);
    running.timer = nullptr;
  }
  tb::HideWindow(w);
  tb::DisposeWindow(w);
  running.window = nullptr;
}

OSStatus VMKlibr::DialogEventHandler(tb::EventRef event, tb::WindowRef window) {
  if (event->eventClass == tb::kEventClassTextInput &&
      (event->kind == tb::kEventTextInputFilterText || event->kind == tb::kEventTextInputUnicodeForKeyEvent)) {
    fieldsChanged = 1;
    if (running.timer != nullptr) tb::SetEventLoopTimerNextFireTime(running.timer, 1.0);
  } else if (event->eventClass == tb::kEventClassMouse) {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  } else if (event->eventClass == tb::kEventClassCommand) {
    if (event->command == FourCC("ok  ") || event->command == FourCC("canc")) {
      const bool ok = event->command == FourCC("ok  ");
      // A value typed since the last tick counts: Return presses OK at once, without the
      // second the fields wait for after a key.
      if (ok) TakeTypedFields();
      if (running.answer != nullptr) *running.answer = ok ? 1 : 0;
      if (running.closing) running.closing(ok);
      tb::QuitAppModalLoopForWindow(window);
    } else if (running.command) {
      running.command(event->command);
    }
  }
  // The platform's own handling runs too.
  return tb::eventNotHandledErr;
}

void VMKlibr::RedrawFields() {
  for (const NumberField& f : running.fields) ShowNumber(f.control, f.get());
}

void VMKlibr::DialogTick() {
  if (running.tick) running.tick();
  TakeTypedFields();
}

void VMKlibr::TakeTypedFields() {
  if (fieldsChanged == 0) return;
  for (const NumberField& f : running.fields) f.set(std::clamp(FieldValue(f.control), f.minimum, f.maximum));
  RedrawFields();
  fieldsChanged = 0;
}

// ---- dialogs without a timer ----

int16_t VMKlibr::Do_CatalogDlg(int16_t which, char* name) {
  const char* window = which == 0 ? "LayerName" : which == 1 ? "CategName" : nullptr;
  if (window == nullptr || name == nullptr || !Open(window, FourCC("Catn"), &catalogAnswer)) return 0;
  tb::ControlRef field = Control(1);
  if (field != nullptr) {
    tb::SetControlText(field, name);
    tb::SetKeyboardFocus(running.window, field);
  }
  running.closing = [name, field](bool ok) {
    if (!ok || field == nullptr) return;
    const std::string text = tb::GetControlText(field).substr(0, 255);
    std::memcpy(name, text.c_str(), text.size() + 1);
  };
  Run(false, false);
  return catalogAnswer;
}

int16_t VMKlibr::Do_UpdateDlg() {
  if (!Open("Update", FourCC("Updt"), &updateAnswer)) return 0;
  Run(false, false);
  return updateAnswer;
}

tb::WindowRef VMKlibr::Do_UpdatingDlg(int16_t close, tb::WindowRef window) {
  if (close != 0) {
    if (window != nullptr) {
      tb::HideWindow(window);
      tb::DisposeWindow(window);
    }
    return nullptr;
  }
  tb::WindowRef w = nullptr;
  if (tb::CreateWindowFromNib("Updating", &w) != 0) return nullptr;
  tb::ShowWindow(w);
  return w;
}

int16_t VMKlibr::Do_GrdStpDlg(int32_t* h, int32_t* v) {
  if (!Open("GridStep", FourCC("Gstp"), &gridStepAnswer)) return 0;
  tb::ControlRef fh = Control(6);
  tb::ControlRef fv = Control(5);
  if (fh != nullptr) ShowNumber(fh, *h);
  if (fv != nullptr) ShowNumber(fv, *v);
  // Both numbers come back on cancel too: the grid editor has always read
  // them whatever the answer.
  running.closing = [h, v, fh, fv](bool) {
    if (fh != nullptr) *h = FieldValue(fh);
    if (fv != nullptr) *v = FieldValue(fv);
  };
  Run(false, false);
  return gridStepAnswer;
}

int16_t VMKlibr::Do_MovLayDlg(int16_t mode, int32_t* from, int32_t* to) {
  if (!Open("MovLay", FourCC("Mlay"), &moveLayerAnswer)) return 0;
  tb::SetWindowTitle(running.window, mode == 0 ? "Move From/To" : "Copy From/To");
  tb::ControlRef ff = Control(6);
  tb::ControlRef ft = Control(5);
  if (ff != nullptr) ShowNumber(ff, *from);
  if (ft != nullptr) ShowNumber(ft, *to);
  // As the grid step: the numbers come back on cancel too.
  running.closing = [from, to, ff, ft](bool) {
    if (ff != nullptr) *from = FieldValue(ff);
    if (ft != nullptr) *to = FieldValue(ft);
  };
  Run(false, false);
  return moveLayerAnswer;
}

int16_t VMKlibr::Do_ClearOptDlg(int16_t* value) {
  if (!Open("ClearOpt", FourCC("Clop"), &clearAnswer)) return 0;
  tb::ControlRef choice = Control(3);
  if (choice != nullptr) tb::SetControl32BitValue(choice, *value);
  running.closing = [value, choice](bool ok) {
    if (ok && choice != nullptr) *value = static_cast<int16_t>(tb::GetControl32BitValue(choice));
  };
  Run(false, false);
  return clearAnswer;
}

int16_t VMKlibr::Do_AlertDlg(int16_t which) {
  const char* name = which == 1 ? "SaveAlert" : which == 2 ? "SeleAlert" : nullptr;
  if (name == nullptr || !Open(name, FourCC("Aler"), &alertAnswer)) return 0;
  running.command = [this](uint32_t c) {
    if (c != FourCC("Val2")) return false;
    alertAnswer = 2;
    tb::QuitAppModalLoopForWindow(running.window);
    return true;
  };
  Run(false, false);
  return alertAnswer;
}

// ---- dialogs with number fields and a timer ----

int16_t VMKlibr::Do_MaskOptDlg(int16_t* option, int16_t* percent) {
  if (!Open("MaskOpt", FourCC("Clop"), &maskAnswer)) return 0;
  maskOption = *option;
  maskPercent = *percent;
  tb::ControlRef choice = Control(3);
  tb::ControlRef slider = Control(4);
  if (choice != nullptr) tb::SetControl32BitValue(choice, maskOption);
  if (slider != nullptr) tb::SetControl32BitValue(slider, maskPercent);
  AddField(5, [this] { return maskPercent; }, [this](int32_t v) { maskPercent = static_cast<int16_t>(v); },
           0, 100);
  PairSlider(4, 5);
  running.command = [this, choice, slider](uint32_t c) {
    if (c == FourCC("Sopa") && slider != nullptr) {
      maskPercent = static_cast<int16_t>(tb::GetControl32BitValue(slider));
    } else if (c == FourCC("Ropt") && choice != nullptr) {
      maskOption = static_cast<int16_t>(tb::GetControl32BitValue(choice));
    } else {
      return false;
    }
    RedrawFields();
    return true;
  };
  Run(true, true);
  if (maskAnswer == 1) {
    *option = maskOption;
    *percent = maskPercent;
  }
  return maskAnswer;
}

int16_t VMKlibr::Do_ColorOptDlg(int16_t* mode, int16_t* red, int16_t* green, int16_t* blue) {
  VMKcolbox* view = nullptr;
  if (gVMKapp != nullptr) view = gVMKapp->ColourView(FindCustomView("com.vellmarkstead.copt.HIcol"));
  if (view != nullptr) {
    view->SetBufParam(0, 0, 0, 1);
    view->SetCol(*red, *green, *blue);
  }
  if (!Open("ColorOpt", FourCC("Copt"), &colourAnswer)) return 0;
  tb::ControlRef choice = Control(3);
  tb::ControlRef swatch = Control(4);
  if (choice != nullptr) tb::SetControl32BitValue(choice, *mode + 1);
  // The swatch only means something for the third choice.
  auto showSwatch = [choice, swatch] {
    if (swatch != nullptr && choice != nullptr)
      tb::SetControlVisibility(swatch, tb::GetControl32BitValue(choice) == 3);
  };
  showSwatch();
  running.command = [showSwatch](uint32_t c) {
    if (c != FourCC("Rgrp")) return false;
    showSwatch();
    return true;
  };
  running.tick = [view] {
    if (view == nullptr || view->CheckSetRefresh(0) == 0) return;
    int16_t r = 0, g = 0, b = 0;
    view->GetCol(&r, &g, &b);
    view->SetCol(r, g, b);
  };
  running.closing = [mode, red, green, blue, choice, view](bool ok) {
    if (!ok) return;
    if (choice != nullptr) *mode = static_cast<int16_t>(tb::GetControl32BitValue(choice) - 1);
    if (view != nullptr) view->GetCol(red, green, blue);
  };
  Run(true, false);
  return colourAnswer;
}

int16_t VMKlibr::Do_PercOptDlg(int16_t* a, int16_t* b) {
  if (!Open("PercOpt", FourCC("Popt"), &percentAnswer)) return 0;
  percentA = *a;
  percentB = *b;
  AddField(3, [this] { return percentA; }, [this](int32_t v) { percentA = static_cast<int16_t>(v); }, 1, 100);
  AddField(5, [this] { return percentB; }, [this](int32_t v) { percentB = static_cast<int16_t>(v); }, 1, 100);
  Run(true, true);
  if (percentAnswer == 1) {
    *a = percentA;
    *b = percentB;
  }
  return percentAnswer;
}

int16_t VMKlibr::ShapeDialog(TObjPar* par, int16_t* answer, const std::function<bool()>& open) {
  if (par == nullptr) return 0;
  Copy_TObjPar(par, &objPar);
  if (!open()) return 0;
  Run(true, true);
  // Only OK hands the edits back.
  if (*answer == 1) Copy_TObjPar(&objPar, par);
  return *answer;
}

int16_t VMKlibr::Do_CreElliDlg(TObjPar* par) {
  return ShapeDialog(par, &ellipseAnswer, [this] {
    if (!Open("CreaElli", FourCC("Cell"), &ellipseAnswer)) return false;
    AddWordField(4, &objPar.w[kObjOutlineOffset], 0, 1000);
    return true;
  });
}

int16_t VMKlibr::Do_CreStarDlg(TObjPar* par) {
  return ShapeDialog(par, &starAnswer, [this] {
    if (!Open("CreaStar", FourCC("Csta"), &starAnswer)) return false;
    AddWordField(5, &objPar.w[kObjOutlineOffset], 0, 1000);
    AddWordField(7, &objPar.w[kObjStarPoints], 2, 2000);
    AddWordField(9, &objPar.w[kObjStarInner], 0, 200);
    return true;
  });
}

int16_t VMKlibr::Do_CreRectDlg(TObjPar* par) {
  return ShapeDialog(par, &rectAnswer, [this] {
    if (!Open("CreaRect", FourCC("Crec"), &rectAnswer)) return false;
    const int32_t ids[5] = {5, 6, 8, 9, 7};
    for (int i = 0; i < 5; ++i) AddWordField(ids[i], &objPar.w[kObjOutlineOffset + i], -10000, 10000);
    // Corners in the order of their flags: top left, bottom left, bottom
    // right, top right; each shows one of its two buttons.
    struct Corner {
      uint32_t set, clear;
      int32_t plain, flagged;
    };
    static constexpr Corner kCorners[4] = {{FourCC("Brtl"), FourCC("Bstl"), 10, 18},
                                           {FourCC("Brbl"), FourCC("Bsbl"), 12, 20},
                                           {FourCC("Brbr"), FourCC("Bsbr"), 13, 21},
                                           {FourCC("Brtr"), FourCC("Bstr"), 11, 19}};
    auto show = [this] {
      for (int k = 0; k < 4; ++k) {
        const bool flagged = objPar.w[kObjCornerStyle + k] == 1;
        if (tb::ControlRef c = Control(kCorners[k].plain)) tb::SetControlVisibility(c, !flagged);
        if (tb::ControlRef c = Control(kCorners[k].flagged)) tb::SetControlVisibility(c, flagged);
      }
    };
    show();
    running.command = [this, show](uint32_t c) {
      for (int k = 0; k < 4; ++k) {
        if (c == kCorners[k].set || c == kCorners[k].clear) {
          objPar.w[kObjCornerStyle + k] = c == kCorners[k].set ? 1 : 0;
          show();
          return true;
        }
      }
      return false;
    };
    return true;
  });
}

int16_t VMKlibr::Do_CreStepDlg(TObjPar* par) {
  return ShapeDialog(par, &stepAnswer, [this] {
    if (!Open("CreaStep", FourCC("Cstp"), &stepAnswer)) return false;
    tb::ControlRef choice = Control(4);
    if (choice != nullptr) tb::SetControl32BitValue(choice, objPar.w[kObjStepMode] + 1);
    AddWordField(16, &objPar.w[kObjStepCount], 0, 10000);
    static constexpr int32_t ids[5] = {5, 7, 9, 11, 13};
    // The five step values are not limited.
    for (int i = 0; i < 5; ++i) AddWordField(ids[i], &objPar.w[kObjStepX + i], INT32_MIN, INT32_MAX);
    auto show = [this] {
      const int32_t mode = objPar.w[kObjStepMode];
      for (int i = 0; i < 5; ++i) {
        const bool on = (mode == 0 && i < 2) || (mode == 1 && (i == 2 || i == 3)) || (mode == 2 && i == 4);
        for (int32_t id : {ids[i], ids[i] + 1})
          if (tb::ControlRef c = Control(id)) tb::SetControlVisibility(c, on);
      }
    };
    show();
    running.command = [this, choice, show](uint32_t c) {
      if (c != FourCC("Ropt") || choice == nullptr) return false;
      objPar.w[kObjStepMode] = tb::GetControl32BitValue(choice) - 1;
      show();
      return true;
    };
    return true;
  });
}

int16_t VMKlibr::Do_CreTableDlg(TObjPar* par) {
  return ShapeDialog(par, &tableAnswer, [this] {
    if (!Open("CreaTable", FourCC("Ctab"), &tableAnswer)) return false;
    AddWordField(8, &objPar.w[kObjOutlineOffset], 0, 1000);
    AddWordField(4, &objPar.w[kObjColumnGap], 0, 1000);
    AddWordField(6, &objPar.w[kObjRowGap], 0, 1000);
    AddWordField(11, &objPar.w[kObjColumns], 1, 2000);
    AddWordField(13, &objPar.w[kObjRows], 1, 2000);
    return true;
  });
}

// ---- selection options ----

void VMKlibr::SetSeleVal(const OprnExt* ext) {
  if (ext == nullptr) return;
  if (selection == nullptr) {
    CMemMan* mm = SessionMemMan();
    char* block = mm != nullptr ? mm->NewBuf(static_cast<int32_t>(sizeof(OprnExt)))
                                : new char[sizeof(OprnExt)];
    if (block == nullptr) return;
    selectionOnHeap = mm == nullptr;
    selection = new (block) OprnExt();
  }
  CopyOprnExt(ext, selection);
}

void VMKlibr::GetSeleVal(OprnExt* ext) const {
  if (selection != nullptr && ext != nullptr) CopyOprnExt(selection, ext);
}

int16_t VMKlibr::SeleCheckSetRefresh(int16_t value) {
  const int16_t was = previewRefresh;
  previewRefresh = value;
  return was;
}

void VMKlibr::GetSeleEditValue() {
  if (selection == nullptr) return;
  const int32_t fields[4] = {4, 13, 8, 6};
  for (int k = 0; k < 4; ++k)
    if (tb::ControlRef c = Control(fields[k])) *SelectionValue(selection, k) = std::clamp(FieldValue(c), 0, 100);
}

int16_t VMKlibr::Do_SeleOptDlg() {
  selectionAnswer = 0;
  fieldsChanged = 0;
  previewRefresh = 1;
  if (selection == nullptr || !Open("SeleOpt", FourCC("Seop"), &selectionAnswer)) return 0;
  const int32_t sliders[4] = {3, 12, 7, 5};
  const int32_t fields[4] = {4, 13, 8, 6};
  for (int k = 0; k < 4; ++k) {
    int32_t* value = SelectionValue(selection, k);
    if (tb::ControlRef s = Control(sliders[k])) tb::SetControl32BitValue(s, *value);
    AddWordField(fields[k], value, 0, 100);
    PairSlider(sliders[k], fields[k]);
  }
  auto redraw = [this, sliders] {
    RedrawFields();
    for (int k = 0; k < 4; ++k)
      if (tb::ControlRef s = Control(sliders[k])) tb::SetControl32BitValue(s, *SelectionValue(selection, k));
  };
  running.command = [this, sliders, redraw](uint32_t c) {
    if (c != FourCC("Sfad") && c != FourCC("Slix") && c != FourCC("Sliy") && c != FourCC("Sopa")) return false;
    for (int k = 0; k < 4; ++k)
      if (tb::ControlRef s = Control(sliders[k])) *SelectionValue(selection, k) = tb::GetControl32BitValue(s);
    redraw();
    fieldsChanged = 1;
    return true;
  };
  // Each tick takes the fields as they stand; a change also asks the
  // caller's preview to render again.
  running.tick = [this, redraw] {
    GetSeleEditValue();
    if (fieldsChanged == 0) return;
    previewRefresh = 1;
    redraw();
    fieldsChanged = 0;
  };
  Run(true, true);
  return selectionAnswer;
}
