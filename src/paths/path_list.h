// The path list: the container of vector paths that every path-carrying
// object holds (a layer, the preview view, the editor, the shape engines).
//
// It owns a singly linked chain of paths (through CPath::next), knows which
// are active, and carries what the path tools need between clicks: the
// drawing colour, the shape-tool parameters, the tool number and the values
// of the last move, resize or rotation. Drawing goes through the session's
// one DrawPar, so setting it through any list sets it for all.
//
// Operations that take a draw flag show the change at once by XOR drawing
// in the current port; activeOnly 1 means the active paths, anything else
// every path.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "paths/draw_par.h"
#include "paths/path.h"
#include "paths/shape_params.h"
#include "platform/types/mac_types.h"

class CWarpPath;
class File_kern;
struct fichier;

class CPathList {
 public:
  explicit CPathList(int16_t singlePath);
  ~CPathList();
  CPathList(const CPathList&) = delete;
  CPathList& operator=(const CPathList&) = delete;

  // --- Settings ----------------------------------------------------------------
  void SetTObjPar(const TObjPar* src);
  void SetDrw(GrafPtr port, const DrawPar* src);
  void SetDrwVal(int32_t, int32_t, int32_t, int32_t, float offsetX, float offsetY, int16_t mode,
                 float scaleX, float scaleY, float originX, float originY);
  void SetToolmode(int32_t t) { tool = t; }
  void ResetPivot() {}
  void BrushAround(int32_t, int32_t) {}

  // --- Path tools ----------------------------------------------------------------
  // One press of the current tool in the preview, followed until the button
  // is released: the pointer less the two offsets is the press, feedback is
  // drawn in XOR clipped to `clip` in the drawing parameters' port (else
  // `port`).
  void DoClick(GrafPtr port, int32_t offsetH, int32_t offsetV, Rect clip);
  // Drag copies of the active paths with the mouse (moved, scaled about the
  // pivot, turned about it) and put them back, or with Option at the
  // release add them. 1 when a path was active, else 0.
  int32_t MovePath(GrafPtr port, int32_t offsetH, int32_t offsetV);
  int32_t ResizePath(GrafPtr port, int32_t offsetH, int32_t offsetV);
  int32_t RotatePath(GrafPtr port, int32_t offsetH, int32_t offsetV);
  // Activates the paths and selects the knots that lie in the port
  // rectangle: 1 when a knot did.
  int32_t ActivateWithinRect(Rect r);

  // --- Adding and removing -------------------------------------------------------
  int32_t AddPath(int16_t draw);
  void RemoveSelPath(int16_t draw);
  void RemovePath(int16_t draw);
  void DelKeyHit();
  void DuplicatePathList();

  // --- Selection and drawing -----------------------------------------------------
  void ActivateAll(int16_t draw);
  void InActivateAll(int16_t draw);
  void SelectAll(int16_t draw);
  void SelectAllandDraw() { SelectAll(1); }
  void DrawPathList(GrafPtr port, int16_t, int16_t mode, RGBColor c);
  void DrawPivot(int16_t mode, RGBColor c, float x, float y);

  // --- Hit tests -----------------------------------------------------------------
  int32_t AreWeOnPath(Point pt, intptr_t* hitInfo, intptr_t* path);
  int32_t AreWeOnTxtPath(Point pt, intptr_t* txtPath);
  int32_t AreWeOnTxtObjCtrl(Point pt, intptr_t* txtObj);
  CPath* CapturePath(float x, float y, float* length);
  int32_t LookForTxtPath() const;
  int32_t FillOption() const;

  // --- Copying and attaching -----------------------------------------------------
  // Paths copied or attached into a list take the list's drawing record, so that a
  // render filling a list made on another thread leaves it no record of its own.
  void CopyPathList(CPathList* dst) const;
  void CopyActivePaths(CPathList* dst) const;
  void CopyAttachPathList(const CPathList* src);
  void AttachPathList(int16_t draw, CPathList* other);
  void CopyLastReformParams(const CPathList* src);

  // --- Bounds and subdivision ----------------------------------------------------
  int32_t GetBound(int16_t activeOnly, float* minX, float* minY, float* maxX, float* maxY) const;
  void InsertPoints(int32_t n);

  // --- Transforms ----------------------------------------------------------------
  void MovePathList(int16_t, int16_t activeOnly, float dx, float dy);
  void ResizePathList(int16_t, int16_t activeOnly, float cx, float cy, float oldWidth,
                      float newWidth, float oldHeight, float newHeight);
  void RotatePathList(int16_t, int16_t activeOnly, float cx, float cy, float angle);
  void FlipPathList(int16_t, int16_t activeOnly, float x, float y, float angle);
  void ApplyLastReform();
  int32_t RectAroundPaths(float* xMin, float* xMax, float* yMin, float* yMax) const;
  int32_t ResizePathsInRect(CPathList* dst, int32_t height, float left, float right,
                            float bottom, float top) const;
  void CopyPathListAndExtend(CPathList* dst) const;

  // --- Path-resource export ------------------------------------------------------
  // Adds to *records the 26-byte path-resource records the block will need:
  // for each of the first `count` paths that has two knots or more and no
  // text path, one length record, one per knot and one more when closed.
  void PathList_sizHandlRsrc(int32_t* records) const;
  // Writes those records, big-endian, into `block`: 5, or -1 for an empty
  // image size.
  int32_t PathList_creaHandlRsrc(char* block, int32_t width, int32_t height) const;

  // --- Path-list record and file ---------------------------------------------------
  int32_t WritePathList(int16_t mode, File_kern* file, int32_t* pos, int32_t refWidth,
                        int32_t refHeight);
  int32_t ReadPathList(int16_t mode, File_kern* file, int32_t* pos, int16_t draw, RGBColor c,
                       int32_t curWidth, int32_t curHeight);
  // Save...: the list into the file the user chooses. 0 when it was written
  // or the dialog was cancelled, -1 when the chosen file could not be
  // written (an old file of that name is left as it was).
  int32_t SavePathList(int32_t refWidth, int32_t refHeight);
  void RecallPathList(int16_t draw, RGBColor c, int32_t curWidth, int32_t curHeight);
  // Without a dialog: 0 writes the list to the file, 1 replaces the list's
  // paths by the file's, 2 adds the file's paths; nothing is drawn. 0, or
  // -1 when the file could not be written or read (other modes: 0).
  int32_t DefaultPath(int16_t mode, const fichier* file, int32_t width, int32_t height);

  // --- Envelopes, quads and frame distortion -------------------------------------
  // Maps the rectangle (x0, y0)-(x1, y1) onto the area that the four edge
  // paths bound (top rightward, right downward, bottom leftward, left
  // upward). tangentMode 0 moves each knot's handles with its position,
  // any other value maps them each by itself.
  void Transform(int16_t tangentMode, float x0, float y0, float x1, float y1, CPath* top,
                 CPath* right, CPath* bottom, CPath* left);
  // Maps the bounds of the chosen paths onto the quad P1 (top left), P2,
  // P3, P4 (clockwise on screen).
  void DistortInQuad(int16_t activeOnly, float x1, float y1, float x2, float y2, float x3,
                     float y3, float x4, float y4);
  // Draws the quad and its nine handles (mode 0 in XOR, else in the colour).
  void DrawDistQuad(GrafPtr port, int16_t mode, RGBColor c, float x1, float y1, float x2,
                    float y2, float x3, float y3, float x4, float y4) const;
  // Draws a warp frame by its kind; other kinds draw nothing.
  void DrawDistWarp(GrafPtr port, int16_t mode, RGBColor c, CWarpPath* frame) const;
  // Bends the paths into a frame of two curved edges (kinds 2, 3, 20, 30)
  // or of four (kind 33), given by its 28-point arrays; density not 0 first
  // subdivides the paths.
  void Distort2Path(int16_t onlyActive, int16_t kind, const float* X, const float* Y,
                    int16_t density);
  void DistortWithPath(int16_t onlyActive, const float* X, const float* Y, int16_t density);

  // --- Shape generators ------------------------------------------------------------
  // Closed outlines laid out as knots. The calc functions take every value
  // as an argument; the crea functions take them from objPar and add their
  // paths through AddPath(flag). Two-phase generators (star, spirograph,
  // cookie) give the path its knots in phase 0 and place them in phase 1,
  // with the same values both times; phase 1 on a path of any other knot
  // count places nothing. Outlines are drawn only when the list's drawing
  // parameters name a port, in XOR in the list's colour.
  void fct_calc_ellipse(CPath* path, float x1, float y1, float x2, float y2, float margin);
  void fct_calc_Rect(CPath* path, float x1, float y1, float x2, float y2);
  void fct_calc_RRect(int16_t flag, float x1, float y1, float x2, float y2, float offset,
                      float r0, float r1, float r2, float r3, int32_t s0, int32_t s1,
                      int32_t s2, int32_t s3);
  void fct_crea_RRect(int16_t flag);
  void fct_crea_ellipse(int16_t flag);
  // 0, or -1 for fewer than one point, a path of the wrong knot count or a
  // rounding construction between parallel lines.
  int32_t fct_calc_ngon(int16_t phase, float scale, int16_t points, CPath* path, float cx,
                        float cy, float radius, float innerPercent, float altTipPercent,
                        float altInnerPercent, const int32_t* depthPercents, float startAngle,
                        float radiusAddend, int32_t innerForward, int32_t innerBackward,
                        int32_t innerStyle, int32_t innerPerPoint, int32_t tipForward,
                        int32_t tipBackward, int32_t tipStyle, int32_t tipPerPoint);
  // The result of the last star placed (0 or -1).
  int32_t fct_crea_ngon(int16_t flag);
  void fct_calc_Table(int16_t flag, float x1, float y1, float x2, float y2, int16_t columns,
                      int16_t rows, float columnGap, float rowGap, float offset);
  void fct_crea_Table(int16_t flag);
  // 0, or -1 when phase 1 meets a path of the wrong knot count.
  int32_t fct_calc_spiro(int16_t phase, int32_t, int32_t, int32_t, int32_t, int32_t cx,
                         int32_t cy, CPath* path, int32_t a, int32_t b, int32_t d,
                         int32_t angleStep, int32_t turns);
  // 0, or -1 for fewer than one step or a path of the wrong knot count.
  int32_t fct_calc_cooki(int16_t phase, float, int16_t steps, CPath* path, float cx, float cy,
                         float k, int32_t size, int32_t rotation, int32_t phaseStep, int32_t m,
                         int32_t e1, int32_t e2, int32_t e3, int32_t factor);
  void fct_calc_StepRepeat(int16_t mode, int16_t count, float pivotX, float pivotY,
                           float offsetX, float offsetY, float scaleX, float scaleY,
                           float angle);
  void fct_crea_StepRepeat();

  // --- Fields ----------------------------------------------------------------------
  CPath* first = nullptr;    // head of the chain; every path owned
  int32_t count = 0;
  CPath* current = nullptr;  // the path being drawn or edited; not owned
  int32_t resizeNumX = 0, resizeNumY = 0;  // last resize: pointer to pivot at the release
  int32_t resizeDenX = 0, resizeDenY = 0;  // ... and at the press
  int16_t lastReform = 0;    // 27 move, 28 rotate, 29 resize, 15 move started
  float moveX = 0.0f, moveY = 0.0f;
  float rotation = 0.0f;     // radians
  float pivotX = 0.0f, pivotY = 0.0f;
  int16_t singlePath = 0;    // 1: at most one path
  RGBColor colour;           // used by the redraws the list makes itself
  TObjPar objPar;
  DrawPar* drawPar = nullptr;  // the record current when made; not owned
  int32_t tool = 15;         // current path tool, 15 to 41

 private:
  CPath* Last() const;
  // The tools' actions (path_tools.cpp); x, y is the press in path units,
  // pt in port pixels.
  void SelectAndEdit(Point pt, float x, float y, bool shift);
  // The press on the curve of p (onText: the hit names its text): true
  // when handled, false to go on with the next path.
  bool EditPathUnderPress(CPath* p, float x, float y, bool shift, bool onText);
  void AddKnotTool(Point pt, float x, float y, bool shift);
  void InsertKnotTool(float x, float y);
  void DragSelectedKnots(float x, float y);
  void Marquee(Point from);
  void RectangleTool(float x0, float y0, bool shift);
  void EllipseTool(float x0, float y0, bool shift);
  void StarTool(float x0, float y0);
  void StepRepeatTool(float x0, float y0);
  // A new path for a rubber band, given `knots` closed knots; null when
  // the list takes no new path.
  CPath* NewBandPath(int32_t knots);
  // The interactive move (27), rotation (28) and scaling (29); the mouse
  // loop of one, true when something moved.
  int32_t Reform(int16_t which);
  struct Gesture;
  bool TrackReform(Gesture& g, CPathList& copies,
                   const std::vector<std::pair<CPath*, CPath*>>& pairs);
  // Frees the whole chain and empties the list.
  void FreeAll();
};

// --- Shape generators (free functions) ---------------------------------------------
// Fills the knots of a rounded rectangle: 4 knots plus one for each radius
// that is not near zero (nothing is placed on a path with fewer). Corners in
// the order top-left, bottom-left, bottom-right, top-right; style 1 bevels,
// any other rounds (convex for r > 0, concave for r < 0).
void RRect(CPath* path, float left, float top, float right, float bottom, float r0, float r1,
           float r2, float r3, int32_t s0, int32_t s1, int32_t s2, int32_t s3);
// One superformula point relative to the centre; the centre itself when
// the radius is 0 or the point is not finite.
void CalcCooki(double m, double e1, double e2, double e3, double phi, double rotation,
               int32_t size, double k, double* x, double* y);
