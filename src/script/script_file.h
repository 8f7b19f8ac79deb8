// The script of one document: 256 layer stacks, the geometry of the image it renders, the
// drawing record of its paths and the numbered 8-bit channel planes that every operation
// reads and writes.
//
// Channel numbers: 1 or less no plane; 2 the composite image (planes 3, 4, 5, and plane 2 as
// the fourth ink of a CMYK script); 3 to 5 the image's components; 6 and 89 planes handed in
// by the renderer's caller; 7 to 36 scratch planes; 37 to 88 working planes. The plane
// manager has 90 slots, so a number outside 0..89 names no plane and is never used as one.
//
// Everything else reaches an operation through (stack, layer, operation): stack 0 to 255,
// layer and operation 1-based. A stack outside 0..255 or a missing layer finds nothing:
// getters then give the values of a missing operation and setters do nothing (-1 where they
// give a result); nothing is ever created in a missing layer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "paths/draw_par.h"
#include "platform/memory/block.h"
#include "script/effect_registries.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/record_kinds.h"

class CPathList;
class CSliceList;
class File_kern;
class VMKMemMan;
struct MulStruc;
struct TcolPar;

// The effect families' records, reached through the record kinds (script/record_kinds.h).
struct PlaidPar;
struct RepPar;
struct SupVigPar;
struct ScreenPar;
struct TessPar;
struct FramPar;
struct TextuPar;
struct ShadoPar;
struct CookiCutPar;
struct StrokPar;
struct LBlurPar;
struct FlarePar;
struct XTrudePar;
struct CombImaPar;
struct HeschPar;
struct BDropPar;
struct FractPar;
struct YoxelPar;
struct GridPar;
struct ColCorPar;
struct BordPar;
struct ShapePar;
struct CompoPar;
struct ZondracPar;
struct SprayPar;

// An operation that the renderer routed but found no registered case for: its 1-based layer
// and operation positions in the stack rendered, and its effect number.
struct MissingRenderCase {
  int16_t layer = 0;
  int16_t operation = 0;
  EffectCode effect = 0;
  bool operator==(const MissingRenderCase&) const = default;
};

// The step that stopped a render (ScriptFile::Failure): its 1-based layer and operation
// positions in the stack rendered, its effect number and why it could not do its work.
struct RenderFailure {
  int16_t layer = 0;
  int16_t operation = 0;
  EffectCode effect = 0;
  StepFailure why = StepFailure::kFailed;
  // The file it could not read, as its user knows it (RenderCall::file); empty otherwise.
  std::string file{};
  bool memoryRefused() const { return why == StepFailure::kNoMemory; }
  bool operator==(const RenderFailure&) const = default;
};

class ScriptFile {
 public:
  static constexpr int32_t kStacks = 256;
  static constexpr int32_t kPlaneSlots = 90;

  // Every stack starts with one layer, "Layer 0". The colour model starts as RGB.
  ScriptFile();
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  // --- Set-up ------------------------------------------------------------------------------
  // Plane manager for planeWidth x planeHeight 8-bit planes, colour model (mode 4 CMYK, 3 and
  // 11 RGB, others unchanged), geometry, preview and render scales, drawing record. -1, the
  // script as it was, when memory runs short.
  int32_t I_ScriptFile(int16_t mode, int32_t width, int32_t height, float resolution,
                       int32_t planeWidth, int32_t planeHeight, int32_t x0, int32_t y0,
                       int32_t x1, int32_t y1);
  int32_t SetTotLength(int32_t width, int32_t height);
  // Sets the plane count from the colour model and whether `alpha` is given.
  int32_t SetBuf(uint8_t* p1, uint8_t* p2, uint8_t* p3, uint8_t* p4, uint8_t* alpha, uint8_t* p6);
  void SetDrw(GrafPtr port, const DrawPar* source);
  // View offset x, y, scale x, y, model origin x, y of the script's drawing record.
  void SetDrwVal(float a, float b, float c, float d, float e, float f);
  // New area corners and render scales; the area size stays as I_ScriptFile computed it.
  void NewLimSize(int32_t x0, int32_t y0, int32_t x1, int32_t y1, float scaleX, float scaleY);

  // --- Channel planes ------------------------------------------------------------------------
  // Plane `channel`, created (content not set) when missing and create is 1; null for a
  // number outside 0..89, without a plane manager, or when memory runs short.
  uint8_t* ChannelPlane(int32_t channel, int16_t create);
  // Depth 8 only: planes 3, 4, 5 (and 2 for CMYK) from bytes 0, 1, 2 (3) of 4-byte pixels, or
  // zeros without pixels. -1 when a plane cannot be had.
  int32_t PrepAllImaBuf(const uint8_t* pixels, int16_t depth);
  void PrepareSmallBuf(uint32_t* pixels);
  // Deletes planes first to 36.
  void FreeAllChanBuf(int16_t first);
  // Resamples the region (thousandths of the area) of a channel (0: the mean of planes 3 to
  // 5) into an outWidth x outHeight buffer; p and q go to the resampler as the destination's
  // right and bottom. A channel without a plane gives zeros. 0, or -1 when memory runs short
  // (the output then untouched).
  int32_t CollectCharBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         int32_t outWidth, int32_t outHeight, uint8_t* out, int32_t p, int32_t q);
  // The same into 16-bit samples (value x 32) and 32-bit pixels (the value in all four
  // bytes; the composite as planes 3, 4, 5 in bytes 0, 1, 2).
  int32_t CollectShortBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          int32_t outWidth, int32_t outHeight, int16_t* out, int32_t p, int32_t q);
  int32_t CollectLongBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         int32_t outWidth, int32_t outHeight, uint32_t* out, int32_t p, int32_t q);

  // --- Rendering -----------------------------------------------------------------------------

  // A render's progress (platform/parallel/progress.h): loading the image planes takes this
  // part of it (a 6000 x 4000 picture: some tens of milliseconds, where the renders a user
  // waits on take seconds), and each operation it runs an even share of the rest, ended as
  // the operation ends.
  static constexpr double kProgressLoadingShare = 0.02;
  // Runs the active operations of the active layers of `stack` over the channel planes: loads
  // planes 3 to 5 (and 2 for CMYK) from 4-byte `pixels` (or, with fill 1, white; else as they
  // are), planes 6 and 89 from the caller's bytes when they are missing, and routes each
  // operation by the effect table. mode 0 runs every operation, 1 those whose 1-based index
  // is below `upto`, others none. The planes stay for the caller to read. 0; or -1 when a
  // step could not do its work: the render stops there (no later step runs, the planes keep
  // what the steps before it and the failed step itself left) and Failure() says which step
  // and why. A render the user stopped ends at its next step and answers 0 (its owner sees
  // plat::Cancelled()). The operations routed without a registered case are listed in
  // MissingCases() afterwards.
  int32_t Render(int16_t, int16_t fill, int16_t stack, const uint8_t* pixels,
                 const uint8_t* extra6, const uint8_t* extra89, int16_t mode, int16_t upto);
  // The two-plane dispatch: source plane FromChannel into destination ToChannel through the
  // operation mask. 0, or -1 when a temporary plane cannot be had.
  int32_t PerformFromToEffect(Oprn* op);
  // The one-plane dispatch: the operation on plane ToChannel (or the composite) through the
  // operation mask. 0, or -1 when memory is refused (by the frame or the case).
  int32_t PerformToEffect(Oprn* op);
  const std::vector<MissingRenderCase>& MissingCases() const { return missingCases_; }
  // The step that stopped the last render, or none when it ran to its end.
  const std::optional<RenderFailure>& Failure() const { return failure_; }

  // --- Steps of the render loop on paths ----------------------------------------------------
  // Effect 26: the current paths become those of the operation's path file ('pAth'), and so
  // do the paths of layer `layer` of `stack` when it has a list. A file that cannot be read
  // leaves the current list empty and the layer's paths as they were. Always 0.
  int32_t PerformLoadPath(Oprn* op, int16_t stack, int16_t layer);
  // Effect 61: the operation's image laid in four quarters around an elliptic ring, inside
  // a frame of colour Param3..Param5. 1 when it rendered, 0 when the operation is inactive,
  // has no file record (or one that names no file) or names no plane, -1 when the image
  // cannot be read (or has no size) or memory is refused.
  int32_t PerformPathFrame(Oprn* op);
  // Effect 30: the current paths mapped from their box (widened by 3) into the envelope of
  // the file. 0, or -1 with the paths unchanged when the envelope cannot be read.
  int32_t ApplyEnvelop(fichier* file);
  // The envelope file: a path list normalised to a 400 x 400 box, read into `into` scaled
  // to the box (x0, y0)-(x1, y1), or written from `from`'s paths taken out of that box.
  // 0, or -1 when the file cannot be read or written (or the box is empty on the save).
  int32_t RecallEnvelopPath(File_kern* file, CPathList* into, int32_t x0, int32_t y0, int32_t x1,
                            int32_t y1);
  int32_t SaveEnvelopPath(File_kern* file, CPathList* from, int32_t x0, int32_t y0, int32_t x1,
                          int32_t y1);
  // Plane `channel` (3..89), made and set to 0 when missing; null when it cannot be had.
  uint8_t* PreparedPlane(int32_t channel);
  // The mask of an operation: plane-sized, from its mask channel (IntExt 1 as is, 2
  // inverted, full elsewhere), then, with `selectColours`, narrowed by the colour selection
  // of its extension. -1 when memory is refused (nothing is then kept).
  int32_t OperationMask(const Oprn* op, plat::Block<uint8_t>* mask, bool selectColours = true);

  // --- Stacks and operation lists ----------------------------------------------------------
  LayerFile* GetStack(int16_t stack) const;
  // The layer that took the operation; null (the operation still the caller's) when there is
  // no such layer.
  Laye* AddOprn(int16_t stack, int16_t layer, int16_t index, Oprn* op);
  void MoveOprn(int16_t stack, int16_t layer, int16_t from, int16_t to);
  void DeleteOprn(int16_t stack, int16_t layer, int16_t index);
  void CleanOprn(int16_t stack, int16_t layer);
  Oprn* GetOprn(int16_t stack, int16_t layer, int16_t index) const;

  // --- Fields: getters write the value (or the missing operation's) and return the operation
  Oprn* GetEffect(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  int16_t GetAct(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetFromChannel(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetToChannel(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetMChannel(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetIntExt(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam1(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam2(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam3(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam4(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam5(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetParam99(int16_t s, int16_t l, int16_t o, int16_t* out) const;
  Oprn* GetMode(int16_t s, int16_t l, int16_t o, uint8_t* out) const;
  Oprn* GetOpa(int16_t s, int16_t l, int16_t o, uint8_t* out) const;

  // Setters create a missing operation in an existing layer; byte fields keep the low 8 bits.
  void SetFromChannel(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetToChannel(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetMChannel(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetIntExt(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam1(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam2(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam3(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam4(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam5(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetParam99(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetMode(int16_t s, int16_t l, int16_t o, int16_t value);
  void SetOpa(int16_t s, int16_t l, int16_t o, int16_t value);
  // Only on an existing operation; stores 0 while its effect number is 0.
  void SetAct(int16_t s, int16_t l, int16_t o, int16_t value);

  // --- The operation's own records ---------------------------------------------------------
  void GetColMat(int16_t s, int16_t l, int16_t o, int32_t* out);
  int16_t SetColMat(int16_t s, int16_t l, int16_t o, const int32_t* in);
  void GetLutVign(int16_t preset, int16_t s, int16_t l, int16_t o, LutVign* out) const;
  int16_t SetLutVign(int16_t s, int16_t l, int16_t o, const LutVign* in);
  void GetPath3D(int16_t s, int16_t l, int16_t o, Path3D* out) const;
  int16_t SetPath3D(int16_t s, int16_t l, int16_t o, const Path3D* in);
  int16_t GetSelOprnExt(int16_t s, int16_t l, int16_t o, OprnExt* out) const;
  int16_t SetSelOprnExt(int16_t s, int16_t l, int16_t o, const OprnExt* in);
  Oprn* GetFileOprn(int16_t s, int16_t l, int16_t o, fichier** out) const;
  int16_t SetFileOprn(int16_t s, int16_t l, int16_t o, const fichier* in);
  void GetMulStruc(int16_t s, int16_t l, int16_t o, MulStruc* out) const;
  int16_t SetMulStruc(int16_t s, int16_t l, int16_t o, const MulStruc* in);

  // --- Parameter records of the effect families --------------------------------------------
  // Get: the operation's record, its defaults when the operation or its block is missing; a
  // block without the record first gains it at its defaults (the other records stay). Set:
  // the operation must exist; the block and the record are made when missing. -1 when memory
  // runs short or the record's family is not registered.
  void GetRecordPar(int16_t kind, int16_t s, int16_t l, int16_t o, void* out);
  int16_t SetRecordPar(int16_t kind, int16_t s, int16_t l, int16_t o, const void* in);

  void GetPlaidPar(int16_t s, int16_t l, int16_t o, PlaidPar* out);
  int16_t SetPlaidPar(int16_t s, int16_t l, int16_t o, const PlaidPar* in);
  void GetRepPar(int16_t s, int16_t l, int16_t o, RepPar* out);
  int16_t SetRepPar(int16_t s, int16_t l, int16_t o, const RepPar* in);
  void GetSupVigPar(int16_t s, int16_t l, int16_t o, SupVigPar* out);
  int16_t SetSupVigPar(int16_t s, int16_t l, int16_t o, const SupVigPar* in);
  void GetScreenPar(int16_t s, int16_t l, int16_t o, ScreenPar* out);
  int16_t SetScreenPar(int16_t s, int16_t l, int16_t o, const ScreenPar* in);
  void GetTessPar(int16_t s, int16_t l, int16_t o, TessPar* out);
  int16_t SetTessPar(int16_t s, int16_t l, int16_t o, const TessPar* in);
  void GetFramPar(int16_t s, int16_t l, int16_t o, FramPar* out);
  int16_t SetFramPar(int16_t s, int16_t l, int16_t o, const FramPar* in);
  void GetTcolPar(int16_t s, int16_t l, int16_t o, TcolPar* out);
  int16_t SetTcolPar(int16_t s, int16_t l, int16_t o, const TcolPar* in);
  void GetTextuPar(int16_t s, int16_t l, int16_t o, TextuPar* out);
  int16_t SetTextuPar(int16_t s, int16_t l, int16_t o, const TextuPar* in);
  void GetShadoPar(int16_t s, int16_t l, int16_t o, ShadoPar* out);
  int16_t SetShadoPar(int16_t s, int16_t l, int16_t o, const ShadoPar* in);
  void GetCookiCutPar(int16_t s, int16_t l, int16_t o, CookiCutPar* out);
  int16_t SetCookiCutPar(int16_t s, int16_t l, int16_t o, const CookiCutPar* in);
  void GetStrokPar(int16_t s, int16_t l, int16_t o, StrokPar* out);
  int16_t SetStrokPar(int16_t s, int16_t l, int16_t o, const StrokPar* in);
  void GetLBlurPar(int16_t s, int16_t l, int16_t o, LBlurPar* out);
  int16_t SetLBlurPar(int16_t s, int16_t l, int16_t o, const LBlurPar* in);
  void GetFlarePar(int16_t s, int16_t l, int16_t o, FlarePar* out);
  int16_t SetFlarePar(int16_t s, int16_t l, int16_t o, const FlarePar* in);
  void GetXTrudePar(int16_t s, int16_t l, int16_t o, XTrudePar* out);
  int16_t SetXTrudePar(int16_t s, int16_t l, int16_t o, const XTrudePar* in);
  void GetCombImaPar(int16_t s, int16_t l, int16_t o, CombImaPar* out);
  int16_t SetCombImaPar(int16_t s, int16_t l, int16_t o, const CombImaPar* in);
  void GetHeschPar(int16_t s, int16_t l, int16_t o, HeschPar* out);
  int16_t SetHeschPar(int16_t s, int16_t l, int16_t o, const HeschPar* in);
  void GetBDropPar(int16_t s, int16_t l, int16_t o, BDropPar* out);
  int16_t SetBDropPar(int16_t s, int16_t l, int16_t o, const BDropPar* in);
  void GetFractPar(int16_t s, int16_t l, int16_t o, FractPar* out);
  int16_t SetFractPar(int16_t s, int16_t l, int16_t o, const FractPar* in);
  void GetYoxelPar(int16_t s, int16_t l, int16_t o, YoxelPar* out);
  int16_t SetYoxelPar(int16_t s, int16_t l, int16_t o, const YoxelPar* in);
  void GetGridPar(int16_t s, int16_t l, int16_t o, GridPar* out);
  int16_t SetGridPar(int16_t s, int16_t l, int16_t o, const GridPar* in);
  void GetColCorPar(int16_t s, int16_t l, int16_t o, ColCorPar* out);
  int16_t SetColCorPar(int16_t s, int16_t l, int16_t o, const ColCorPar* in);
  void GetBordPar(int16_t s, int16_t l, int16_t o, BordPar* out);
  int16_t SetBordPar(int16_t s, int16_t l, int16_t o, const BordPar* in);
  void GetShapePar(int16_t s, int16_t l, int16_t o, ShapePar* out);
  int16_t SetShapePar(int16_t s, int16_t l, int16_t o, const ShapePar* in);
  void GetCompoPar(int16_t s, int16_t l, int16_t o, CompoPar* out);
  int16_t SetCompoPar(int16_t s, int16_t l, int16_t o, const CompoPar* in);
  void GetZondracPar(int16_t s, int16_t l, int16_t o, ZondracPar* out);
  int16_t SetZondracPar(int16_t s, int16_t l, int16_t o, const ZondracPar* in);
  // The block has no slot for a spray record: Set gives 0 and Get does nothing.
  void GetSprayPar(int16_t s, int16_t l, int16_t o, SprayPar* out);
  int16_t SetSprayPar(int16_t s, int16_t l, int16_t o, const SprayPar* in);

  // --- Effect defaults -----------------------------------------------------------------------
  // Gives the operation (made when the layer has none there) its effect number and that
  // effect's default parameters, and frees the attached records the effect does not use.
  void SetEffect(int16_t s, int16_t l, int16_t o, int16_t effect, int32_t, int32_t, int32_t,
                 int32_t);

  // The sizes the accessors give a missing record its defaults at: the script's W, H and R,
  // the session's preview size.
  DefaultSizes AccessSizes() const;

  // --- Script records (one layer's operations as a stored block) ----------------------------
  // open 1: the file is open and stays so; else it is opened (existing file) and closed.
  // Writes at *pos and moves it past the record. The count stored is that of the operations
  // written (at most `count`). 0, or -1 (nothing written, *pos unchanged) when the file
  // cannot be opened or written or an operation's blocks cannot be stored.
  int32_t SaveScriptAtPos(int16_t open, int32_t* pos, int16_t count, Oprn* first, File_kern* file,
                          const char* preview, int16_t value1, int16_t value2, const char* text,
                          int16_t scaleFlag);
  // The record as the whole file, replacing it (a failed write leaves the old file).
  int32_t SaveScript(int16_t count, Oprn* first, File_kern* file, const char* preview,
                     int16_t value1, int16_t value2, const char* text, int16_t scaleFlag);
  // mode 1: texts, caller values and preview (67600 bytes, zeros without one); mode 2: texts
  // only; other modes: the whole record into a new chain that replaces *first and *count
  // only on success. -1 (everything of the caller's as it was) on any failure.
  int32_t RecallScriptAtPos(int32_t* pos, int16_t quiet, int16_t* count, Oprn** first,
                            File_kern* file, int16_t mode, char* preview, int16_t* value1,
                            int16_t* value2, char* name, char* text, float fx, float fy,
                            int16_t scaleFlag);
  int32_t RecallScript(int16_t quiet, int16_t* count, Oprn** first, File_kern* file,
                       int16_t mode, char* preview, int16_t* value1, int16_t* value2,
                       char* name, char* text, float fx, float fy, int16_t scaleFlag);
  // Size-dependent parameters of a chain: into the session's preview units (addend 0.95),
  // and from a stored size into this script's area (addend 0.5); a fitted preview's script
  // also brings the lengths of the blur's pyramid, the motion blur's streak, the mosaic's
  // blocks, the film grain's amount, the wind's length, the contrast expansion's disc and the
  // shadow's blur and offset to its scale, below or above 1 (a length of 0 stays 0).
  void CreateParamsForSave(Oprn* first, int16_t scaleFlag);
  void UpdateOprnParams(Oprn* first, int32_t width, int32_t height, float fx, float fy,
                        int16_t scaleFlag);

  // --- Layer records and combined-layer files ------------------------------------------------
  int32_t SaveLay(int16_t open, File_kern* file, Laye* layer, int32_t* pos);
  int32_t SaveAllLay(File_kern* file, int16_t stack, int32_t* pos);
  // The slice list is not stored yet: the argument is accepted and left alone.
  int32_t SaveCombiLay(File_kern* file, int32_t documentValue, CSliceList* slices);
  // mode 0 head, operations and paths; 1 head and operations; 2 head and paths; other values
  // the head only. -1, the layer as it was, when the record cannot be read.
  int32_t RecallLay(File_kern* file, Laye* layer, int32_t* pos, int16_t mode);
  int32_t RecallAllLay(File_kern* file, int16_t entry, int16_t stack);
  // mode 0 the head, 1 head and stacks, 2 the stacks only. -1, the script as it was, on any
  // failure.
  int32_t RecallCombiLay(File_kern* file, int16_t mode, int32_t* documentValue, CSliceList* slices);

  // --- Fields --------------------------------------------------------------------------------
  uint8_t version = 2;
  uint8_t byteOrderMark = 0;  // 0: the converted blocks of a stored script are little-endian
  int16_t colourModel = 1;    // 1 RGB, 0 CMYK
  int32_t width = 0;
  int32_t height = 0;
  float resolution = 0.0f;
  LayerFile* stacks[kStacks] = {};
  float previewScaleX = 0.0f;
  float previewScaleY = 0.0f;
  DrawPar* drawPar = nullptr;  // a registry block; owned
  int32_t planeWidth = 0;
  int32_t planeHeight = 0;
  int32_t areaX0 = 0, areaX1 = 0, areaY0 = 0, areaY1 = 0;  // inclusive corners
  int32_t areaWidth = 0;
  int32_t areaHeight = 0;
  float renderScaleX = 1.0f;
  float renderScaleY = 1.0f;
  VMKMemMan* planes = nullptr;        // owned
  CPathList* currentPaths = nullptr;  // the paths of the layer being rendered; owned
  uint8_t planeCount = 0;             // RGB 3 (4 with alpha), CMYK 4 (5); 0 not set
  // A fitted preview's script: its area is the planes the picture is rendered on for a view,
  // smaller than the picture (width x height) or, supersampled, larger. Reading operations
  // then also draws the lengths that a render of the whole picture takes in its pixels at the
  // planes' scale (UpdateOprnParams); at the picture's own size they are read as they are.
  bool fittedPreview = false;

 private:
  Laye* LayerAt(int16_t s, int16_t l) const;
  // The operation, made and inserted when the layer exists but has none at that index.
  Oprn* OprnOrNew(int16_t s, int16_t l, int16_t o);
  int32_t CollectSource(int16_t channel, uint8_t** plane, plat::Block<uint8_t>* owned);
  void LoadImagePlanes(int16_t fill, const uint8_t* pixels, const uint8_t* extra6,
                       const uint8_t* extra89);
  // 0, or -1 when an operation of the layer failed (failure_ then set).
  int32_t RenderLayer(int16_t stack, int16_t k, Laye* layer, int16_t mode, int16_t upto);
  int32_t SelectColours(const Oprn* op, uint8_t* mask);
  int32_t DispatchMask(const Oprn* op, plat::Block<uint8_t>* mask);
  // A plane-sized block for a mask or a mean: the spare one a finished operation of this
  // render left, else a new one from the registry. Spares are kept only while Render runs
  // (one mask and one mean), so an operation reuses the pages the one before it touched
  // rather than making and freeing a plane each time.
  plat::Block<uint8_t> PlaneBlock(plat::Block<uint8_t>& spare);
  void KeepSpare(plat::Block<uint8_t>& spare, plat::Block<uint8_t>&& block);

  std::vector<MissingRenderCase> missingCases_;
  std::optional<RenderFailure> failure_;
  // What the case the dispatch ran last said of its failure (RenderCall::failure).
  StepFailure stepFailure_ = StepFailure::kFailed;
  std::string stepFile_;  // and the file it named (RenderCall::file)
  plat::Block<uint8_t> spareMask_, spareMean_;
  int32_t rendering_ = 0;  // depth of Render calls on this script
  // The operations the render in progress runs and how many have started: each has an even
  // share of the render's span of its progress meter.
  int32_t progressOps_ = 0, progressStarted_ = 0;
};
