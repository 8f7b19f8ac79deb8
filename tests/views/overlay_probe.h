// An offscreen port for the image box's overlay routines, with its primitive
// log and what a test checks of it: the lines drawn, pixels, changes outside
// a rectangle, the steps of colour it went through, and that a routine left the port as the overlays promise
// (current port back, clip opened to (0, 0, 32000, 32000)).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/draw/port.h"

namespace vmktest {

class Probe {
 public:
  Probe(int width, int height) : port_(width, height), previous_(plat::draw::GetPort()) {
    port_.RecordTo(&log_);
    port_.onChanged = [this](const Rect&) { Trace(); };
  }
  ~Probe() {
    port_.onChanged = nullptr;
    port_.RecordTo(nullptr);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  plat::draw::Port* port() { return &port_; }
  const std::vector<std::string>& log() const { return log_; }
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (const std::string& s : log_)
      if (s.rfind("Line ", 0) == 0) out.push_back(s);
    return out;
  }
  // The colours of what was drawn, in order, each with the kind of the
  // primitive that drew it (the first word of its log entry), runs of one
  // kind and colour taken as one step: how a test follows the layers of a draw.
  const std::vector<std::string>& steps() const { return steps_; }
  // Forgets the log and narrows the clip back to the port, so that a routine
  // that opens it shows.
  void Clear() {
    log_.clear();
    steps_.clear();
    port_.clipRect = port_.portRect;
    previous_ = plat::draw::GetPort();
  }
  // A surface of varied pixels, so XOR and copies both show.
  void Fill() {
    plat::draw::Surface& s = port_.surface();
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x) s.row(y)[x] = 0xFF000000u | static_cast<uint32_t>((x * 7 + y * 13) * 2654435761u >> 8);
    Clear();
  }
  std::vector<uint32_t> pixels() const { return port_.surface().pixels(); }
  uint32_t At(int x, int y) const { return port_.surface().pixel(x, y); }
  // How many pixels differ from `before` outside rect.
  int ChangedOutside(const std::vector<uint32_t>& before, const Rect& rect) const {
    const plat::draw::Surface& s = port_.surface();
    int n = 0;
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x) {
        const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
        if (!inside && s.pixel(x, y) != before[static_cast<size_t>(y) * s.width() + x]) ++n;
      }
    return n;
  }
  void ExpectRestored() const {
    EXPECT_EQ(plat::draw::GetPort(), previous_);
    EXPECT_EQ(port_.clipRect.left, 0);
    EXPECT_EQ(port_.clipRect.top, 0);
    EXPECT_EQ(port_.clipRect.right, 32000);
    EXPECT_EQ(port_.clipRect.bottom, 32000);
    EXPECT_EQ(port_.pen.pnMode, plat::draw::patCopy);
  }

 private:
  void Trace() {
    const std::string entry = log_.empty() ? std::string() : log_.back();
    const RGBColor c = port_.foreColor;
    char buf[64];
    std::snprintf(buf, sizeof buf, " %04x%04x%04x", c.red, c.green, c.blue);
    std::string step = entry.substr(0, entry.find(' ')) + buf;
    if (steps_.empty() || steps_.back() != step) steps_.push_back(std::move(step));
  }

  plat::draw::Port port_;
  plat::draw::Port* previous_;
  std::vector<std::string> log_;
  std::vector<std::string> steps_;
};

}  // namespace vmktest
