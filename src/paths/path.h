// A vector path: a chain of knots joined by cubic Bezier segments, with its
// flags, marks and link texts, and optionally a text object or text path.
//
// Chains come in two shapes. The pen builds a null-terminated chain (first
// knot's prev and last knot's next are null) and closing it links the ends.
// CreaPathof_xpts always builds a ring, whatever the closed flag says. So
// every walk over a whole path stops after `count` knots or at a null link,
// whichever comes first; only the pen looks for a null link alone.
//
// Editing draws in XOR on the drawing port: every change draws the old look
// again (erasing it), changes the data and draws the new look.
#pragma once

#include <cstdint>

#include "paths/draw_par.h"
#include "paths/path_point.h"
#include "platform/types/mac_types.h"

class CTxtObj;
class CTxtPath;
class File_kern;
struct TCWrap;

// A point of a flattened path.
struct Point2f {
  float x = 0.0f;
  float y = 0.0f;
};

class CPath {
 public:
  static constexpr int kMaxMarks = 20;
  // Bytes of each link string, length byte included.
  static constexpr int kUrlBytes = 255;

  CPath();
  ~CPath();
  CPath(const CPath&) = delete;
  CPath& operator=(const CPath&) = delete;

  // --- Knots and paths -----------------------------------------------------
  void SetDrw(GrafPtr port, const DrawPar* drawPar);
  void SetDrwVal(float offsetX, float offsetY, float scaleX, float scaleY, float originX,
                 float originY);
  int32_t CreaTxtObj();
  int32_t CreaTxtPath();
  void GetURL(int16_t* active, int16_t* target, uint8_t* name, uint8_t* alt) const;
  void SetURLactive(int16_t v) { urlActive = v; }
  void SetURLtarget(int16_t v) { urlTarget = v; }
  void SetURLname(const uint8_t* name);
  void SetURLalt(const uint8_t* alt);
  // A ring of n knots at (0, 0) as the path's knots (the path must be empty).
  void CreaPathof_xpts(int32_t n, int16_t closed);
  // Appends a caller-made knot at the end of a null-terminated chain.
  void AddPoint(CPathPoint* knot);
  // Copies this path into the empty path dst; the copied knots take dst's
  // drawing record.
  void CopyPath(CPath* dst) const;
  // Makes this empty path a copy of src: mode 1 same direction, else reversed.
  void DuplicatePath(const CPath* src, int16_t mode);
  void Move(float dx, float dy);
  void Zoom(float sx, float sy);
  // Widens the given bounds by every knot and control point; 1 when the
  // path has a knot.
  int32_t GetBound(float* minX, float* minY, float* maxX, float* maxY) const;
  void Activate();
  void Inactivate();
  void SelectAll();
  void DeselectAll();
  int32_t ug_spline(Point p0, Point p1, Point p2, Point p3, int16_t step);
  void DrawSegment(CPathPoint* a, CPathPoint* b);
  void SimpleDraw();
  void DrawPath(int16_t mode, RGBColor colour);
  CPathPoint* IfOnSelectedPoint(float x, float y) const;

  // --- Editing and hit tests -----------------------------------------------
  CPathPoint* IfOnPoint(float x, float y) const;
  CPathPoint* IfOnTanPoint(float x, float y, int16_t* which) const;
  int16_t IfOnSegment(float x, float y, const CPathPoint* a, const CPathPoint* b,
                      int16_t* t) const;
  int16_t IfOnCurve(float x, float y, CPathPoint** a, CPathPoint** b, int16_t* t,
                    intptr_t* object) const;
  void AddPoint(float x, float y, int16_t mode);
  void PutToAddPointMode();
  void DeleteLastPoint();
  void InsertPoint(float x, float y);
  void RemovePoint(float x, float y);
  void CornerPoint(float x, float y);
  void SelectPoint(float x, float y);
  void MoveSelPathPoints(float dx, float dy);
  int32_t Calc_Pttg(float x1, float y1, float x2, float y2, float x3, float y3, float* inX,
                    float* inY, float* outX, float* outY);
  void CalcNewCurve(CPathPoint* a, CPathPoint* b, float x, float y, float t, int16_t mode);

  // --- Lengths, sampling and marks -----------------------------------------
  static float SplineLength(float x0, float y0, float x1, float y1, float x2, float y2,
                            float x3, float y3, int16_t step);
  float GetAcuPathLength() const;
  int32_t GetLengthAtPoint(int16_t mode, float* length, float x, float y, float* startX,
                           float* startY) const;
  void GetPointAtLength(int16_t mode, float length, float* angle, float* x, float* y,
                        CPathPoint** a, CPathPoint** b) const;
  int32_t InsertPointOnSpline(CPathPoint* a, CPathPoint* b, CPathPoint* knot, float x,
                              float y) const;
  void InsertPoints(int32_t maxLength);
  int32_t DrawToTable(float* xs, float* ys, int16_t step) const;
  int32_t PointsOnAPath(Point2f* points, int32_t* count) const;
  int32_t PutMarks(int16_t n, int16_t mode);
  int32_t ifOnMarkedLength(float x, float y) const;
  void DrawMarker(int16_t mode, RGBColor colour);
  void DoInteractiveChangeOfMark(int16_t h, int16_t v);

  // --- Path record ---------------------------------------------------------
  // Writes this path's record at *pos (opening and closing the file unless
  // mode is 1); 0, or -1 with *pos where the record was to go.
  int32_t WritePath(int16_t mode, File_kern* file, int32_t* pos);
  // Reads one path record at *pos into this path, knots unscaled and
  // appended after its own; 0, or -1 with nothing taken.
  int32_t ReadPath(int16_t mode, File_kern* file, int32_t* pos);

  // --- Division, interpolation and grids -------------------------------------
  // Cuts a closed path into n open pieces of equal length, appended to the
  // n empty paths of `pieces`: 0, or -1 (pieces untouched) for an open path,
  // n < 1, marks that cannot be set or a cut that cannot be placed.
  int32_t DivideInNb(int32_t n, CPath** pieces);
  // Copies the path into n pieces that end at the knots numbered 2, ..., n, 1.
  void DivideAlongMarkedPoints(int16_t n, CPath** pieces) const;
  // n evenly spaced whole-number points along the path; always 0.
  int32_t CutPathInto(int32_t n, int32_t* xs, int32_t* ys) const;
  // The k-th (from 1) of n evenly spaced whole-number locations.
  void GetLocation(int32_t* x, int32_t* y, int32_t n, int32_t k) const;
  // The tangent of segment a -> b at the point under (x, y): 1 at a (a's
  // out handle), 2 at b (b's in handle), 3 inside, -1 off the segment.
  int32_t Tan_atOnSpline(float x, float y, const CPathPoint* a, const CPathPoint* b, float* dx,
                         float* dy) const;
  // Builds this empty path, closed, between paths a (t = 1) and b (t = 0).
  void InterPolatePath(const CPath* a, const CPath* b, float t);
  // Two grid rows of n + 1 nodes along this path and `other`, between from
  // and to percent of each length: 0, or -1 with the grid unchanged.
  int32_t X_TwoPartPaths_toGrid(const CPath* other, int16_t from, int16_t to, int16_t n,
                                TCWrap* grid) const;

  // --- Fields ----------------------------------------------------------------
  CPathPoint* first = nullptr;    // head of the chain; owned
  CPathPoint* spare = nullptr;    // kept for the stored shape of the record
  CPathPoint* current = nullptr;  // knot last added, selected or edited
  CTxtObj* txtObj = nullptr;      // owned
  CTxtPath* txtPath = nullptr;    // owned
  RGBColor colour;                // used when editing redraws the path
  int32_t count = 0;              // knots in the chain
  int16_t closed = 0;
  int16_t active = 1;
  int16_t plain = 1;              // 0 once a text path is attached
  int16_t markCount = -1;         // -1 no marks
  float marks[kMaxMarks] = {};    // fractions of the length, in order of creation
  int16_t urlActive = 1;
  int16_t urlTarget = 0;
  uint8_t urlName[kUrlBytes] = {};
  uint8_t urlAlt[kUrlBytes] = {};
  CPath* next = nullptr;          // next path of the owning list; not owned
  DrawPar* drawPar = nullptr;     // the record current when made, or its list's; not owned

 private:
  // The shared record, or a default one when no session has given one.
  const DrawPar& Drw() const;
  // Segments a length walk covers: `count` on a closed path, else count - 1.
  int32_t SegmentBound() const;
  float SegmentLength(const CPathPoint* a, const CPathPoint* b) const;
  // Knots of the chain in order, at most `count`, stopping at a null link.
  template <typename F>
  void ForEachKnot(F&& f) const;
  void EraseKnotAndSegments(CPathPoint* k);
};

template <typename F>
void CPath::ForEachKnot(F&& f) const {
  CPathPoint* k = first;
  for (int32_t i = 0; i < count && k != nullptr; ++i) {
    CPathPoint* nx = k->next;
    f(k);
    if (nx == first) break;
    k = nx;
  }
}
