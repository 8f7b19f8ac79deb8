// The warp frame: a closed outline of four edges of seven points each (28
// points, every corner stored twice), laid over a path list or a text
// object so that what it surrounds can be bent into its shape.
//
// Points 0-6 run down the left edge, 7-13 right along the bottom, 14-20 up
// the right edge and 21-27 left along the top; 0/27, 6/7, 13/14 and 20/21
// are the same corner and always move together.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"

#include "platform/files/file_spec.h"
#include "platform/types/mac_types.h"

class CPathList;
struct OpaqueMenuRef;

class CWarpPath {
 public:
  static constexpr int kPoints = 28;
  static constexpr int kMenus = 5;  // kinds 2, 3, 20, 30, 33

  CWarpPath();
  ~CWarpPath();
  CWarpPath(const CWarpPath&) = delete;
  CWarpPath& operator=(const CWarpPath&) = delete;

  // Points, centre and kind into dst (its saved copy, menus and mapping stay).
  void CopyWarpPath(CWarpPath* dst) const;
  void MoveFrame(float dx, float dy);
  // X = px + (X - px) * toW / fromW, likewise Y, multiplying first.
  void ResizeFrame(float px, float py, float fromW, float toW, float fromH, float toH);
  // Turns every point about (cx, cy), the angle counted with y pointing up.
  void RotateFrame(float cx, float cy, float angle);

  // --- Laying out, keeping, drawing and files ---------------------------------
  // Lays a rectangular frame of the current kind over the bounds of the
  // list's active paths (activating every path when none is), or over the
  // box 10, 10, 110, 110 when there is no list.
  void Reset(CPathList* list);
  // 0 keeps the points and kind in the saved copy; any other value takes
  // them back.
  void BackTable(int16_t restore);
  // Draw the frame given by X and Y through this frame's own mapping into
  // the current port: mode 0 in XOR, any other mode in the colour.
  // DisplayFrame2 serves the kinds 2, 3, 20 and 30, DisplayFrame kind 33.
  void DisplayFrame2(int16_t mode, RGBColor colour, int16_t frameKind, const float* xs,
                     const float* ys);
  void DisplayFrame(int16_t mode, RGBColor colour, const float* xs, const float* ys);
  // Mode 1 saves X and Y as a warp file of the kind (save dialog), mode 0
  // loads one (open dialog), mode 2 loads `spec`; points are scaled between
  // the file's reference size and width x height. 0 on success and on
  // cancel; -1 on a file error or an unknown kind, the arrays then as they
  // were.
  int32_t Do_A_file(int16_t frameKind, int16_t mode, FSSpec spec, int32_t width, int32_t height,
                    float* xs, float* ys);
  // The five warp-file menus, listed from the folder "Warps" of the maker's
  // folder: 0, or -1 when a menu or its file table cannot be had.
  int32_t PrepareMenus();
  // Erases r and draws the frame into it, the whole image shown in r.
  void Refresh_Dialog(int16_t mode, RGBColor colour, int16_t frameKind, Rect r);

  // --- Editing with the mouse ------------------------------------------------
  // 1 when the port point lies within 6 frame units of a point that the
  // kind makes editable (the corners always; kind 33 only those), else 0.
  int16_t OnCtrl(int16_t frameKind, Point pt) const;
  // Drags the point under the press (any point, whatever the kind) until
  // the button is released, or with no point there the whole frame (Option
  // scales it about the centre of its points). The frame is drawn in XOR
  // as the kind draws it. 1 when the frame changed, else 0.
  int16_t Interactive2(int16_t frameKind, Point pt);
  // The same, drawn as kind 33.
  void Interactive(Point pt);

  // The warp-file type of a kind ('Sw02' ... 'Sw33'), 0 for another kind.
  static OSType FileTypeOfKind(int16_t frameKind);

  FSSpec* fileTables[kMenus] = {};   // warp files listed in each menu
  OpaqueMenuRef* menus[kMenus] = {};
  int16_t spareWords[6] = {1, 1, 1, 1, 1, 1};
  float X[kPoints] = {};
  float Y[kPoints] = {};
  float savedX[kPoints] = {};
  float savedY[kPoints] = {};
  float centreX = 0.0f;
  float centreY = 0.0f;
  int16_t kind = 0;       // which edges are curves: 2, 3, 20, 30 or 33
  int16_t savedKind = 0;
  DrawPar drawPar;        // maps this frame alone to the port

 private:
  // Frees the menus and file tables that PrepareMenus made.
  void ReleaseMenus();
  // Draws the frame in XOR as the kind draws it.
  void ShowFrame(int16_t frameKind);
  // The move rules of a dragged corner and of any other point: (x, y) is
  // the mouse, (dx, dy) the step, (cx, cy) the centre of the frame.
  void MoveCorner(int i, float x, float y, float dx, float dy, float cx, float cy);
  void MoveInnerPoint(int i, float x, float y, float dx, float dy, float cx, float cy);
};
