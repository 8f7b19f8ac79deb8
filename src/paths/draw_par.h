// Drawing parameters: how path coordinates (image pixels, floats, y down)
// reach the pixels of a drawing port.
//
// The session owns one DrawPar (gPer->drawPar), the interface thread's: its
// views and boxes lend it their mapping and port while they draw. A render
// works on a record of its own instead (RenderDrawingScope), so that neither
// sees the other's mapping or port. Every knot, path and path list keeps a
// pointer to the record that was current on its thread when it was made (a
// list's paths and their knots to the list's), so setting the view through
// any of them sets it for all of that record.
#pragma once

#include <cstdint>

#include "platform/types/mac_types.h"

namespace plat::draw {
class Port;
}
// A drawing port, as the drawing code of the system passes ports around.
using GrafPtr = plat::draw::Port*;

struct DrawPar {
  float viewOffsetX = 0.0f;  // port h at which the model origin is shown
  float viewOffsetY = 0.0f;  // port v at which the model origin is shown
  float originX = 0.0f;      // path x shown at the view offset
  float originY = 0.0f;      // path y shown at the view offset
  float scaleX = 1.0f;       // path units per port pixel, horizontally
  float scaleY = 1.0f;       // path units per port pixel, vertically
  int16_t mode = 0;          // stored by the path list's value setter only
  Rect limit;                // carried along by every copy; 0, 0, 32000, 32000
  GrafPtr port = nullptr;    // null: draw into the port that is current
};

// The defaults: no offset, no origin, scale 1, limit 0, 0, 32000, 32000, no port.
void Init_DrawPar(DrawPar* dp);
// Copies every field except the port.
void Copy_DrawPar(const DrawPar* src, DrawPar* dst);
// What SetDrw does for knots, paths and lists: the shared record (if any)
// takes the given parameters (if any) and the port.
void SetDrawParAndPort(DrawPar* shared, GrafPtr port, const DrawPar* src);

// Path to port: trunc((x - origin) / scale + offset + 0.5) as a 16-bit
// coordinate (values beyond the 16-bit range are held at its ends).
int16_t PathToPortH(const DrawPar& dp, float x);
int16_t PathToPortV(const DrawPar& dp, float y);
Point PathToPort(const DrawPar& dp, float x, float y);
// The same without the view offset (the flattening tables use it).
int16_t PathToUnitH(const DrawPar& dp, float x);
int16_t PathToUnitV(const DrawPar& dp, float y);

// Port to path: (h - offset) * scale + origin.
float PortToPathX(const DrawPar& dp, float h);
float PortToPathY(const DrawPar& dp, float v);

// The calling thread's record: that of the render scope it is in, else the
// session's (null before a session exists). A port freed on a thread is
// forgotten by that thread's record: it names no closed window's port.
DrawPar* SessionDrawPar();

// The thread draws as a render for the life of the scope: it has no current
// port (the one it had comes back at the end), so the paths a render draws
// reach no window, and SessionDrawPar() is a record of the scope's own, at
// the defaults, when the session has a record. A scope inside another
// changes nothing. Whatever keeps the record's pointer must not outlive the
// scope: a render's own paths go with it, and paths copied into a list made
// elsewhere take that list's record.
class RenderDrawingScope {
 public:
  RenderDrawingScope();
  ~RenderDrawingScope();
  RenderDrawingScope(const RenderDrawingScope&) = delete;
  RenderDrawingScope& operator=(const RenderDrawingScope&) = delete;

 private:
  DrawPar own_;
  bool outermost_ = false;
  GrafPtr port_ = nullptr;
};
