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

  // --- Path-list record and file ---------------------------------------------------
  int32_t WritePathList(int16_t mode, File_kern* file, int32_t* pos, int32_t refWidth,
                        int32_t refHeight);
  int32_t ReadPathList(int16_t mode, File_kern* file, int32_t* pos, int16_t draw, RGBColor c,
                       int32_t curWidth, int32_t curHeight);
  void SavePathList(int32_t refWidth, int32_t refHeight);
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
  DrawPar* drawPar = nullptr;  // the session's record; not owned
  int32_t tool = 15;         // current path tool, 15 to 41

 private:
  CPath* Last() const;
  // Frees the whole chain and empties the list.
  void FreeAll();
};
