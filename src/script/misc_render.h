// Rendering a script without owning one: the current document's script, a given script, a
// combined-layer file or a script file rendered over the caller's planes, and the render
// file through which the effect engines take the document rendered so far as their source.
//
// One object per use: SetFich, one or a few FillBuf or ReadWriteRendFile calls, CollectChans,
// delete. The object keeps copies of the extra channel planes (6 to 89) of its last render.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "app/core/file_records.h"
#include "script/script_file.h"

class CPathList;
class ScriptFile;

class MiscRender {
 public:
  static constexpr int32_t kKeptPlanes = 90;

  MiscRender();
  ~MiscRender();
  MiscRender(const MiscRender&) = delete;
  MiscRender& operator=(const MiscRender&) = delete;

  // mode 0 the current document's script, 1 `script`, 2 the combined-layer file, 3 the
  // script file; the file record is kept only for modes 2 and 3.
  void SetFich(const fichier* file, ScriptFile* script, int16_t mode, int16_t renderMode,
               int16_t limit);
  // Renders the source over planes red, green, blue (all four planes must be given) inside
  // the area (right and bottom exclusive) and blends the result back at the blend mode and
  // opacity, weighted by `mask` where given. source 1 white, 3 the host photo's rectangle
  // (inclusive corners) at the two scales, 0 and 2 the planes as they are; apply 1 renders,
  // other values only blend the source back. Modes 0 and 1 render at the script's own plane
  // size. 0, or -1 (planes as the source step left them) on failure.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, CPathList* paths, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                  int32_t photoBottom, float scaleX, float scaleY, int32_t width, int32_t height,
                  uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth, uint8_t* mask);
  // FillBuf's render of modes 2 and 3 over the host photo's rectangle (source 3) at blend
  // mode 0 and full opacity, on the script's own planes alone: `take` is handed the planes
  // FillBuf would leave in the caller's red, green, blue and fourth planes (w x h, rows from
  // the bottom, the whole area), before they go, where FillBuf takes four more planes of the
  // caller's for them. 0, or -1 on failure (`take` is not called).
  int32_t RenderPhoto(int16_t apply, int32_t photoLeft, int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                      float scaleX, float scaleY, int32_t w, int32_t h,
                      const std::function<void(uint8_t* const planes[4])>& take);
  // Hands out copies of the kept planes at width x height into table[6..89] (other entries
  // untouched); the caller owns them (blocks of the session's registry, or of the plain
  // allocator outside a session).
  void CollectChans(int32_t width, int32_t height, unsigned char** table);
  // Renders the source onto the current document's photo fitted into W x H and writes the
  // render file. -1 when there is no document or the render fails: no render file remains.
  int32_t ScriptToRendFile(const fichier* file, ScriptFile* script, int16_t mode, int32_t W,
                           int32_t H, int16_t renderMode, int16_t limit);
  // direction 0 writes the four W x H planes with the valid area (right, bottom); other
  // values read the file back, rescaled into (0, 0)-(right, bottom) of the caller's planes
  // (a null fourth plane is not read). -1, planes untouched, when the file is missing or
  // damaged; a failed write leaves no render file.
  int32_t ReadWriteRendFile(int16_t direction, int32_t width, int32_t height, uint8_t* red,
                            uint8_t* green, uint8_t* blue, uint8_t* fourth, int32_t right,
                            int32_t bottom);

  fichier file;
  ScriptFile* script = nullptr;  // not owned
  int16_t mode = 0;
  int16_t renderMode = 0;
  int16_t limit = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t** kept = nullptr;  // kKeptPlanes entries; 0 to 5 stay empty
  // Modes 2 and 3 render a window's preview of the picture fitted into it: the file's
  // lengths are read at the preview's scale (ScriptFile::fittedPreview).
  bool fittedPreview = false;
  // Modes 2 and 3: the whole picture's size at the planes' scale when the planes hold only a
  // window of it (a zoomed preview renders the part its view shows). The script's area is then
  // the whole picture's, so that the file's places and lengths are read at the planes' scale
  // as a render of the whole picture on planes of that scale reads them; 0 x 0 keeps the
  // area FillBuf is given.
  int32_t wholeWidth = 0;
  int32_t wholeHeight = 0;
  // Modes 2 and 3: how far around a sample the file's render reads, in samples of planes of
  // width x height at the scale above (StackReach, script/render_reach.h); kReachesWhole when
  // it has no bound, or when the file cannot be read (a render then fails as it would).
  int32_t SourceReach(int32_t width, int32_t height);
  // The step that stopped the last FillBuf's render (ScriptFile::Failure), or none.
  std::optional<RenderFailure> failure;

 private:
  ScriptFile* MakeScript(int32_t areaWidth, int32_t areaHeight, int32_t planeWidth,
                         int32_t planeHeight);
  int32_t LoadSource(ScriptFile* s, CPathList* paths);
  int32_t RenderSource(ScriptFile* s, CPathList* paths, uint8_t* fourth);
  void KeepPlanes(ScriptFile* s, int32_t planeWidth, int32_t planeHeight);
};

// The render file record: ":com.vellmarkstead.prend" in the maker's folder, 'aHrn'.
bool RenderFileRecord(fichier* f);
// Installs the render file as the effect engines' source 2 (engine_frame.h).
void InstallRenderFileSource();
