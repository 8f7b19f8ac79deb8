// The application object of an edit session: the application data at its
// head (gappData), the document table, the nib and resource file of the
// bundle, and the custom views of every window. One per session, reached
// through gVMKapp.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/app_data.h"
#include "app/core/session_state.h"
#include "host/session/view_registry.h"

class VMKimabox;
class VMKcolbox;
class ScriptFile;
class VMKdoc;

// Runs one effect's own dialog on layer `layer` of stack `stack` of a
// document's script, with operation 1 current, for a picture of width x
// height; 1 when confirmed. The operation-list editor provides it; the
// session installs it at its start, since nothing here sees the dialogs.
using EffectLauncher = int16_t (*)(ScriptFile* script, int16_t stack, int16_t layer, int32_t width,
                                   int32_t height, int16_t effect);

// What an effect road answers when its dialog was confirmed but the layer
// scratch file could not take the effect: unlike a cancel (0), the user must
// be told that the effect was not applied.
inline constexpr int16_t kEffectNotStored = -2;

// The bundle the plug-in runs from, and the names inside it.
inline constexpr const char* kBundleIdentifier = "com.vellmarkstead.edit.ApeVMKPlugin";
inline constexpr const char* kNibName = "VMKmain_pin";
inline constexpr const char* kResourceFileName = "ApeVMKPlugin";
// The bundle folder (".../ApeVMKPlugin.bundle"); the plug-in's entry sets it
// from where its module was loaded, tests from the build tree.
void SetBundleFolder(const std::string& folder);
const std::string& BundleFolder();
// "<bundle>/Resources/VMKmain_pin.nib" and "<bundle>/Resources/ApeVMKPlugin.rsrc".
std::string BundleNibFolder();
std::string BundleResourceFolder();

class VMKapp {
 public:
  VMKapp();
  ~VMKapp();
  VMKapp(const VMKapp&) = delete;
  VMKapp& operator=(const VMKapp&) = delete;

  int32_t Initialize();
  // 1: opens the bundle's resource file, registers the custom views and
  // opens the nib; the nib's status (0 on success). 0: closes the nib.
  int16_t InitNibRef(int16_t open);
  // Makes the resource folder at `path` the current resource file.
  void OpenResFile(const std::string& path);
  // One effect's own dialog on the current document; 1 when confirmed and
  // stored in the layer scratch file, kEffectNotStored when confirmed but
  // the file cannot be written (it is then left as it was), else the
  // dialog's answer (0 also when no launcher is installed).
  int16_t LaunchEffect(int16_t effect);
  // What a confirmed window leaves for the render, stored as LaunchEffect stores it: with
  // `launched` (the effect a launched dialog edits; 0 for the layered editor, whose layers
  // are stored as they are) operation 1 of the current layer set up as that effect renders
  // it, then the current document's script into the layer scratch file. 1, or
  // kEffectNotStored when the file cannot be written (it is then left as it was).
  int16_t StoreConfirmed(int16_t launched);
  // Basic (1) or advanced (2) for effects 41, 42, 58, 92, 100, 106, 114 and
  // 116; 0 when the window cannot be made.
  int16_t Do_BasAdvDlog(int16_t effect);
  void SetBufSize(int32_t width, int32_t height);

  // Custom views.
  void InitCustControl();
  void RegisterCustControl();
  void UnRegisterCustControl();
  // The instance of view `index` (null before registration).
  VMKimabox* ImageView(int index) const;
  VMKcolbox* ColourView(int index) const;
  void* ViewInstance(int index) const;

  TAppData appData;
  // Single views in table order, then the arrays (blocks of the registry).
  void* singleViews[kSingleViewCount] = {};
  void** viewArrays[kViewArrayCount] = {};
  int32_t bufWidth = 0;
  int32_t bufHeight = 0;
  int16_t basAdvAnswer = 0;  // 1 basic, 2 advanced
  EffectLauncher effectLauncher = nullptr;
  // What Initialize answered: -1 when the session record's blocks could not
  // be had.
  int32_t initStatus = 0;

 private:
  void** ViewSlot(int index) const;
  // Operation 1 of the current layer as a launched effect renders it.
  static void SetLaunchedOperation(VMKdoc* doc, int16_t effect);
  // Replaces the layer scratch file with the document's script; false, the
  // file as it was, when it cannot be written.
  static bool SaveLayerScratch(VMKdoc* doc);
};

extern VMKapp* gVMKapp;

// Fills the application data as a session starts; 0.
int32_t InitappData(TAppData* data);
// Sets up the session record for box limits (w, h); -1 when its drawing or
// shape-tool block cannot be had.
int32_t Init_PerData(TPermanent* per, int32_t w, int32_t h);
// Returns the drawing and shape-tool blocks and clears both pointers.
void Delete_PerData(TPermanent* per);
