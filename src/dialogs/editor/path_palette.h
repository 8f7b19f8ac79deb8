// The path-tool palette: a small modeless window beside the main editing
// window that chooses the tool with which the main view edits the current
// layer's paths, the path mode, and asks for four path operations (save,
// load, undo or redo, clear). Like the layer palette it acts only through
// the main window: its commands set its fields and a changed flag; its
// 0.2 s timer redraws it and raises a signal, which the main window's loop
// takes with CheckSetRefresh(0). The shape tools also open their parameter
// dialog at once.
//
// Made once by the main window's first 'Bpth', then shown or hidden; the
// main window closes and deletes it when it goes.
#pragma once

#include <cstdint>

#include "platform/toolbox/toolbox.h"

class VMKlibr;

class VMKtoolpath {
 public:
  static constexpr int kControls = 23;
  // The control numbers, in the order of `controls`.
  static constexpr int32_t kControlIds[kControls] = {20, 21, 23, 22, 2,  3,  4,  5,  6,  7,  8, 9,
                                                     10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 1};
  // Pending path operations.
  enum : int16_t { kSavePaths = 11, kLoadPaths = 12, kUndoPaths = 13, kClearPaths = 14 };

  VMKtoolpath();
  ~VMKtoolpath();
  VMKtoolpath(const VMKtoolpath&) = delete;
  VMKtoolpath& operator=(const VMKtoolpath&) = delete;

  // Builds and shows the palette and returns at once: 0, or -1 when the
  // window cannot be made (the caller does not look).
  int16_t Do_ToolPathDlg(int16_t family);
  // The signal; `value` takes its place (0: take and clear).
  int16_t CheckSetRefresh(int16_t value);
  // The palette has no fields to read.
  void GetEditValue() {}
  void WinToolPath_getval(plat::tb::WindowRef) {}
  void DrawWindowContent(plat::tb::WindowRef window);
  void ToolPathLoop(plat::tb::EventLoopTimerRef timer, void* window);
  // 0 hide, 1 show, 2 toggle; in every case the palette is marked changed.
  void ShowHideToolPathWindow(int16_t n);
  void CloseToolPathWindow();
  OSStatus ToolPathWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                      void* window);
  OSStatus ToolPathWindowEventCommandProcess(plat::tb::EventHandlerCallRef call,
                                             plat::tb::EventRef event, void* window);
  plat::tb::ControlRef Ctl(int32_t id) const;

  // ---- fields, in order ----
  int16_t pendingOp = 0;
  int16_t tool = 15;
  int16_t pathMode = 1;
  int16_t shownFlag = 0;
  int16_t family = 0;
  int16_t changedFlag = 0;
  int16_t signal = 0;
  plat::tb::WindowRef window = nullptr;
  VMKlibr* openShapeDialog = nullptr;
  plat::tb::ControlRef controls[kControls] = {};
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  plat::tb::EventLoopTimerProc timerUPP;  // empty until the timer is installed

 private:
  void ChooseTool(uint32_t command);
  void OpenShapeDialog(uint32_t command);
};

extern VMKtoolpath* gVMKtoolpath;

const plat::tb::EventHandlerProc& GetToolPathWindowEventHandlerUPP();
OSStatus ToolPathWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                    void* window);
void ToolPathLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
