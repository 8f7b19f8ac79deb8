// The edit session: the editable versions the host made of the user's
// selection, the four images the plug-in works with, the render of the
// session's layer scratch file over the image, the opacity and blend-mode
// mix, and the write-back of every version on OK.
//
// Images: `source` is what the next render starts from, `filtered` the last
// raw render result, `destination` what the window shows and OK writes,
// `spare` the previous destination (or the blend layer). They share bodies
// until a write separates them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ApePlugInUtilities/image_files.h"
#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "platform/files/folder_lock.h"
#include "platform/hostapi/host_api.h"
#include "platform/types/mac_types.h"

class VMKapp;
class VMKapemainUI;
struct TPermanent;
struct fichier;

struct EditVersion {
  std::string path;
  std::string type;
  ImageProperties properties;
};

class CarbonEditPlugin {
 public:
  CarbonEditPlugin(plat::hostapi::ApertureApiManager* apiManager, const char* pluginClass,
                   plat::hostapi::ApertureEditManager* editManager);
  ~CarbonEditPlugin();
  CarbonEditPlugin(const CarbonEditPlugin&) = delete;
  CarbonEditPlugin& operator=(const CarbonEditPlugin&) = delete;

  // The window the host shows (a QWidget*), built on the first request;
  // null when the session has no image or its window cannot be built.
  void* editWindow();
  const PixelBuffer& sourceBuffer() const { return source; }
  const PixelBuffer& destinationBuffer() const { return destination; }

  // Runs an effect's window; renders only when the window was confirmed and
  // its effect stored. The render runs on the window's OK, before the window
  // closes: an effect that could not be stored, or whose render failed or was
  // stopped, is not applied (the first two are reported) and the window stays
  // open with what the user set, for another OK or a Cancel.
  void UIFilter(int16_t effect);
  // Renders the layer scratch file onto the source and blends; 0, or -1
  // (kRenderCancelled when the user stopped it, kRenderNoMemory when memory
  // ran out) with the destination as it was, and failedStep naming the
  // step that stopped the render.
  int32_t DoFilter();
  void OpaModAPEimage(int32_t left, int32_t top, int32_t right, int32_t bottom, int16_t opacity,
                      int16_t mode);
  void doOpaMod(int16_t opacity, int16_t mode);
  void doBack();
  void doRevert();
  // Writes every version and asks the host to end the session; on a failed
  // write the user is told and the session stays open. 0 when the session
  // was asked to end.
  int32_t doOK();
  void doCancel();
  int32_t ReadAPEimage(int32_t count, uint8_t* rgb, uint8_t* alpha, int16_t planes, int32_t left,
                       int32_t top, int32_t right, int32_t bottom);
  int32_t WriteAPEimage(int32_t count, const void* rgb, const uint8_t* alpha, int16_t planes,
                        int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Makes the session's records; `makers` is the maker's folder it holds.
  int32_t VMKAlloc(const fichier& makers);
  void VMKDeAlloc();

  // Writes rendered planes (bottom row first, width x height bytes each)
  // into the destination over the image rectangle. 0, or -1 for a depth
  // it cannot write.
  // Installs a combined-layer file as the session's layer scratch file and
  // renders it as after a confirmed effect: the stand-in host's scripted
  // runs. 0, or -1 (nothing changed) when the file cannot be copied or
  // rendered.
  int32_t RenderLayerFile(const std::string& path);
  // True when a confirmed effect left layers in the scratch file.
  bool LayersToRender() const;
  int32_t WriteBackPlanes(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                          int32_t width, int32_t height);

  plat::hostapi::ApertureApiManager* apiManager = nullptr;
  const char* pluginClass = nullptr;
  plat::hostapi::ApertureEditManager* editManager = nullptr;
  void* window = nullptr;
  PixelBuffer source;
  PixelBuffer filtered;
  PixelBuffer destination;
  PixelBuffer spare;
  int32_t versionCount = 0;
  std::vector<EditVersion> versions;
  std::string firstPath;
  VMKapp* app = nullptr;
  VMKapemainUI* mainWindow = nullptr;
  int16_t opacity = 100;  // percent
  int16_t blendMode = 1;
  bool leopard = true;
  // Why the last write or start failed, for the user.
  std::string lastError;
  // The step that stopped the last render and why, in the user's words ("operation 1
  // (Transform) of layer 1 could not get the memory it needs"); empty when the render did not
  // stop at a step.
  std::string failedStep;

 private:
  // Tells the user that a confirmed effect could not be stored in the layer
  // scratch file and so was not applied.
  void TellEffectNotStored();
  // Tells the user that the render of a confirmed effect failed, so that the
  // effect was not applied.
  void TellEffectNotRendered();
  // The effect a window confirmed stored for the render (`launched` as
  // VMKapp::StoreConfirmed takes it), rendered and what failed told; true
  // when it was applied.
  bool ApplyConfirmed(int16_t launched);
  // The layer scratch file rendered as a confirmed effect and a failure told;
  // true when it was applied.
  bool RenderConfirmed();
  int32_t LoadVersion(size_t i);
  void ShareBuffers();
  void PublishSpans();

  // Takes the maker's folder for this session, before the session touches
  // anything of the process's; false (with the reason in lastError) when
  // another edit has it.
  bool HoldMakersFolder(const fichier& makers);

  // This session's hold on the maker's folder, from its start to its end.
  plat::files::FolderLock supportFolderHold;
  // The process-wide records this session made (gFilterRecord, gPer) and
  // whether it published its images: a session turned away at its start
  // made none of them, and its end must leave another session's alone.
  FilterRecord* filterRecord_ = nullptr;
  TPermanent* per_ = nullptr;
  bool spansPublished_ = false;
};

extern CarbonEditPlugin* gCarbonEditPlugin;

// Empties the layer scratch file at `lay` as a session starts, without ever
// writing through a link: whatever is there (a file, a link) is replaced by
// an empty file with the given type and creator; nothing is made where
// nothing was.
void EmptyLayerScratch(const std::string& lay, OSType type, OSType creator);

// The warning that the maker's folder cannot be held (fully) is given once
// in a program's life; a test that looks for it starts as a new program
// would.
void ForgetSupportFolderWarningForTesting();
