// Slices and slice lists: editing, copying, snapping, drawing, the record
// and the slice file.
//
// Readers check every count against the bytes the file holds before making
// anything; a slice that ends early is dropped, the complete ones read
// before it are kept, and the answer is -1. The recall reads into a list of
// its own and takes it only when the whole file was read.
#include "paths/slices.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"
#include "paths/behaviours.h"
#include "paths/path_internal.h"
#include "platform/bytes/byte_order.h"
#include "platform/draw/port.h"

namespace draw = plat::draw;

namespace {

using plat::bytes::Order;
using plat::bytes::Reader;
using plat::bytes::Writer;

constexpr uint16_t kVersion = 1;
constexpr int32_t kListHead = 6;
constexpr OSType kCreator = FourCC("vMkC");
constexpr OSType kSliceType = FourCC("sLic");
constexpr float kSnap = 5.0f;

void CopyPStr255(unsigned char* dst, const unsigned char* src) {
  if (src != nullptr) PStrCopyCut(dst, src, CSlice::kUrlBytes - 1);
}

// The slice's own fields as stored, before its behaviour record.
std::vector<uint8_t> FixedRecord(const CSlice& s) {
  Writer w;
  w.i16(s.urlActive);
  w.i16(s.urlTarget);
  w.raw(s.urlName, CSlice::kUrlBytes);
  w.raw(s.urlAlt, CSlice::kUrlBytes);
  w.f32(s.left);
  w.f32(s.top);
  w.f32(s.right);
  w.f32(s.bottom);
  return w.take();
}

void GetFixed(Reader& r, CSlice* s) {
  s->urlActive = r.i16();
  s->urlTarget = r.i16();
  r.raw(s->urlName, CSlice::kUrlBytes);
  r.raw(s->urlAlt, CSlice::kUrlBytes);
  s->urlName[0] = std::min<unsigned char>(s->urlName[0], CSlice::kUrlBytes - 1);
  s->urlAlt[0] = std::min<unsigned char>(s->urlAlt[0], CSlice::kUrlBytes - 1);
  s->left = r.f32();
  s->top = r.f32();
  s->right = r.f32();
  s->bottom = r.f32();
}

// Reads one slice at *pos in `order`: its fields into `s` and its behaviour
// record into `behaviours` (emptied first). False, with *pos where it had
// got to, when the file holds less.
bool ReadOneSlice(File_kern* file, int32_t* pos, int32_t size, Order order, CSlice* s,
                  CBehavList* behaviours) {
  if (*pos < 0 || static_cast<int64_t>(*pos) + CSlice::kFixedBytes > size) return false;
  uint8_t fixed[CSlice::kFixedBytes];
  if (file->S_read(fixed, *pos, CSlice::kFixedBytes) != 0) return false;
  Reader r(fixed, sizeof fixed, order);
  GetFixed(r, s);
  *pos += CSlice::kFixedBytes;
  behaviours->RemoveAllBehav();
  return paths_detail::ReadBehavRecord(behaviours, file, pos, size, order) == 0;
}

// Moves the behaviours of `from` into `to`, which is emptied first.
void TakeBehaviours(CBehavList* to, CBehavList* from) {
  to->RemoveAllBehav();
  std::swap(to->first, from->first);
  std::swap(to->count, from->count);
  to->listValue = from->listValue;
}

bool OpenUnlessOpen(int16_t mode, File_kern* file) { return mode == 1 || file->S_open(0) == 0; }

int32_t CloseIfOpened(int16_t mode, File_kern* file, int32_t result) {
  if (mode != 1 && file->S_close() != 0) return -1;
  return result;
}

// World to device: (value - world origin) / scale + device origin + 0.5.
float ToDevice(float v, float world, float scale, float device) {
  return std::trunc((v - world) / scale + device + 0.5f);
}

}  // namespace

// ---- CSlice ---------------------------------------------------------------------

CSlice::CSlice() { Init_DrawPar(&drawPar); }

void CSlice::GetURL(int16_t* a, int16_t* t, unsigned char* url, unsigned char* alt) const {
  if (a != nullptr) *a = urlActive;
  if (t != nullptr) *t = urlTarget;
  if (url != nullptr) std::memcpy(url, urlName, static_cast<size_t>(urlName[0]) + 1);
  if (alt != nullptr) std::memcpy(alt, urlAlt, static_cast<size_t>(urlAlt[0]) + 1);
}

void CSlice::SetURLname(const unsigned char* url) { CopyPStr255(urlName, url); }
void CSlice::SetURLalt(const unsigned char* alt) { CopyPStr255(urlAlt, alt); }

void CSlice::CreaSlice(float l, float t, float r, float b) {
  left = l;
  top = t;
  right = r;
  bottom = b;
}

void CSlice::GetBound(float* l, float* t, float* r, float* b) const {
  *l = left;
  *t = top;
  *r = right;
  *b = bottom;
}

int16_t CSlice::IfOnSlice(float x, float y) const {
  return left < x && x < right && top < y && y < bottom ? 1 : 0;
}

void CSlice::CopySlice(CSlice* target) const {
  if (target == nullptr || target == this) return;
  target->CreaSlice(left, top, right, bottom);
  std::memcpy(target->limits, limits, sizeof limits);
  target->active = active;
  target->spare = spare;
  target->urlActive = urlActive;
  target->urlTarget = urlTarget;
  std::memcpy(target->urlName, urlName, sizeof urlName);
  std::memcpy(target->urlAlt, urlAlt, sizeof urlAlt);
  // Slices of one list share its behaviours: copying the list onto itself
  // would empty it first.
  if (behav != nullptr && target->behav != nullptr && behav != target->behav) {
    behav->CopyBehavList(target->behav);
  }
}

void CSlice::DrawSlice(int16_t mode, RGBColor colour) {
  Rect r;
  r.left = PathToPortH(drawPar, left);
  r.top = PathToPortV(drawPar, top);
  r.right = static_cast<int16_t>(PathToPortH(drawPar, right) + 1);
  r.bottom = static_cast<int16_t>(PathToPortV(drawPar, bottom) + 1);
  draw::PenState pen;
  RGBColor fore;
  draw::GetPenState(&pen);
  draw::GetForeColor(&fore);
  draw::PenNormal();
  if (mode == 0) {
    draw::PenMode(draw::patXor);
    draw::FrameRect(r);
  } else {
    // Coloured slices show only their selection pattern, as they always have.
    draw::RGBForeColor(colour);
    draw::PenMode(draw::patOr);
  }
  if (active != 0) {
    draw::PenPat(draw::GetIndPattern(CSliceList::kPatternList, 1));
    draw::PaintRect(r);
  }
  draw::SetPenState(pen);
  draw::RGBForeColor(fore);
}

int32_t CSlice::WriteSlice(int16_t mode, File_kern* file, int32_t* pos) const {
  if (file == nullptr || pos == nullptr || behav == nullptr) return -1;
  if (!OpenUnlessOpen(mode, file)) return -1;
  const std::vector<uint8_t> fixed = FixedRecord(*this);
  int32_t result = file->S_write(fixed.data(), *pos, kFixedBytes) == 0 ? 0 : -1;
  if (result == 0) {
    *pos += kFixedBytes;
    result = paths_detail::WriteBehavRecord(behav, file, pos);
  }
  return CloseIfOpened(mode, file, result);
}

int32_t CSlice::ReadSlice(int16_t mode, File_kern* file, int32_t* pos) {
  if (file == nullptr || pos == nullptr || behav == nullptr) return -1;
  if (!OpenUnlessOpen(mode, file)) return -1;
  int32_t size = 0;
  int32_t result = -1;
  if (file->S_getEOF(&size) == 0) {
    CSlice read;
    CBehavList behaviours;
    if (ReadOneSlice(file, pos, size, Order::Little, &read, &behaviours)) {
      urlActive = read.urlActive;
      urlTarget = read.urlTarget;
      std::memcpy(urlName, read.urlName, sizeof urlName);
      std::memcpy(urlAlt, read.urlAlt, sizeof urlAlt);
      CreaSlice(read.left, read.top, read.right, read.bottom);
      TakeBehaviours(behav, &behaviours);
      result = 0;
    }
  }
  return CloseIfOpened(mode, file, result);
}

void CSliima::AddEvent(int16_t code) {
  // 127 codes at most: the last slot keeps the terminating 0.
  for (int i = 0; i < kEvents - 1; ++i) {
    if (events[i] == 0) {
      events[i] = code;
      return;
    }
  }
}

// ---- CSliceList: slices ------------------------------------------------------------

CSliceList::CSliceList() : behav(new CBehavList) { behav->AddBehav(0); }

CSliceList::~CSliceList() {
  RemoveSlice(0);
  DeleteSlirect();
  DeleteSlihori();
  DeleteSliverti();
  DeleteSliima();
  delete behav;
}

CSlice* CSliceList::Last() const {
  CSlice* s = first;
  while (s != nullptr && s->next != nullptr) s = s->next;
  return s;
}

CSlice* CSliceList::NewSlice() const {
  auto* s = new CSlice;
  s->behav = behav;
  return s;
}

void CSliceList::AppendSlice(CSlice* s) {
  s->next = nullptr;
  if (CSlice* last = Last()) {
    last->next = s;
  } else {
    first = s;
  }
  ++count;
}

void CSliceList::Draw(CSlice* s, int16_t mode, RGBColor c) const {
  s->drawPar.viewOffsetX = deviceX;
  s->drawPar.viewOffsetY = deviceY;
  s->drawPar.originX = worldX;
  s->drawPar.originY = worldY;
  s->drawPar.scaleX = scaleX;
  s->drawPar.scaleY = scaleY;
  s->DrawSlice(mode, c);
}

int32_t CSliceList::AddSlice(int16_t draw) {
  CSlice* last = Last();
  if (draw == 1 && last != nullptr && last->active != 0) Draw(last, 0, colour);
  for (CSlice* s = first; s != nullptr; s = s->next) s->Inactivate();
  if (draw == 1 && last != nullptr) Draw(last, 0, colour);
  if (first != nullptr && single == 1) return -1;
  CSlice* s = NewSlice();
  AppendSlice(s);
  current = s;
  return 0;
}

void CSliceList::RemoveSlice(int16_t draw) {
  CSlice* s = first;
  while (s != nullptr) {
    CSlice* next = s->next;
    if (draw == 1) Draw(s, 0, colour);
    delete s;
    s = next;
  }
  first = nullptr;
  current = nullptr;
  count = 0;
}

void CSliceList::RemoveSelSlice(int16_t draw) {
  CSlice** link = &first;
  while (*link != nullptr) {
    CSlice* s = *link;
    if (s->active == 0) {
      link = &s->next;
      continue;
    }
    if (draw == 1) Draw(s, 0, colour);
    *link = s->next;
    if (current == s) current = nullptr;
    delete s;
    --count;
  }
}

void CSliceList::ActivateAll(int16_t draw) {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active != 0) continue;
    if (draw == 1 || draw == 2) Draw(s, 0, colour);
    s->Activate();
    if (draw == 1) Draw(s, 0, colour);
  }
}

void CSliceList::InActivateAll(int16_t draw) {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active == 0) continue;
    if (draw == 1 || draw == 2) Draw(s, 0, colour);
    s->Inactivate();
    if (draw == 1) Draw(s, 0, colour);
  }
}

void CSliceList::SetOffG(int32_t, int32_t, int32_t, int32_t, float dx, float dy, int16_t sp,
                         float sx, float sy, float wx, float wy) {
  deviceX = dx;
  deviceY = dy;
  spareValue = sp;
  scaleX = sx;
  scaleY = sy;
  worldX = wx;
  worldY = wy;
}

void CSliceList::CopySliceList(CSliceList* target) const {
  if (target == nullptr || target == this) return;
  target->RemoveSlice(0);
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    CSlice* copy = target->NewSlice();
    s->CopySlice(copy);
    target->AppendSlice(copy);
  }
}

void CSliceList::CopyActiveSlices(CSliceList* target) const {
  if (target == nullptr || target == this) return;
  target->RemoveSlice(0);
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active == 0) continue;
    CSlice* copy = target->NewSlice();
    s->CopySlice(copy);
    target->AppendSlice(copy);
  }
}

void CSliceList::CopyAttachSliceList(const CSliceList* source) {
  if (source == nullptr) return;
  InActivateAll(0);
  // Taken before anything is appended, so attaching a list to itself ends.
  std::vector<const CSlice*> from;
  for (const CSlice* s = source->first; s != nullptr; s = s->next) from.push_back(s);
  for (const CSlice* s : from) {
    CSlice* copy = NewSlice();
    s->CopySlice(copy);
    AppendSlice(copy);
  }
}

void CSliceList::AttachSliceList(int16_t draw, CSliceList* source) {
  if (source == nullptr || source == this) return;
  InActivateAll(0);
  CSlice* s = source->first;
  source->first = nullptr;
  source->current = nullptr;
  source->count = 0;
  while (s != nullptr) {
    CSlice* next = s->next;
    // The source's behaviour list goes with the source.
    s->behav = behav;
    s->Activate();
    AppendSlice(s);
    if (draw == 1) Draw(s, 0, colour);
    s = next;
  }
}

void CSliceList::DuplicateSliceList() {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active == 0) continue;
    CSlice* copy = NewSlice();
    s->CopySlice(copy);
    copy->Move(20.0f, 20.0f);
    copy->Activate();
    Draw(copy, 0, colour);
    copy->next = first;
    first = copy;
    ++count;
  }
}

int32_t CSliceList::GetBound(int16_t activeOnly, float* l, float* t, float* r, float* b) const {
  *l = *t = *r = *b = 0.0f;
  int32_t found = 0;
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    if (activeOnly != 0 && s->active == 0) continue;
    float sl, st, sr, sb;
    s->GetBound(&sl, &st, &sr, &sb);
    if (found == 0) {
      *l = sl, *t = st, *r = sr, *b = sb;
    } else {
      *l = std::min(*l, sl), *t = std::min(*t, st);
      *r = std::max(*r, sr), *b = std::max(*b, sb);
    }
    found = 1;
  }
  return found;
}

void CSliceList::fct_calc_Rect(CSlice* s, float x1, float y1, float x2, float y2) const {
  if (s == nullptr) return;
  s->CreaSlice(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

// ---- Finding ----------------------------------------------------------------------

CSlice* CSliceList::ExtractSliceFromNum(int16_t n) const {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->orderNumber == n) return s;
  }
  return nullptr;
}

CSlirect* CSliceList::ExtractSlirectFromNum(int16_t n) const {
  for (CSlirect* c = firstRect; c != nullptr; c = c->next) {
    if (c->number == n) return c;
  }
  return nullptr;
}

CSliima* CSliceList::ExtractSliimaFromNum(int16_t n) const {
  for (CSliima* c = firstIma; c != nullptr; c = c->next) {
    if (c->number == n) return c;
  }
  return nullptr;
}

CBehav* CSliceList::ExtractBehavFromNum(int16_t n, int16_t* kind) const {
  CBehav* b = behav != nullptr ? behav->GetNumberBehav(n) : nullptr;
  if (b != nullptr && kind != nullptr) *kind = b->kind;
  return b;
}

void CSliceList::Capture(float* x, float* y) const {
  auto near = [](float a, float b) { return std::fabs(a - b) < kSnap; };
  for (const CSlice* s = first; s != nullptr; s = s->next) {
    float ex = 0.0f;
    const bool xHit = near(*x, s->left) || near(*x, s->right);
    if (xHit) ex = near(*x, s->left) ? s->left : s->right;
    const bool yHit = near(*y, s->top) || near(*y, s->bottom);
    const float ey = near(*y, s->top) ? s->top : s->bottom;
    if (!xHit && !yHit) continue;
    if (xHit) *x = ex;
    if (yHit) *y = ey;
    return;
  }
}

CSlice* CSliceList::CaptureSlice(float x, float y) const {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->IfOnSlice(x, y) != 0) return s;
  }
  return nullptr;
}

// ---- Drawing ----------------------------------------------------------------------

void CSliceList::DrawSliceList(GrafPtr port, int16_t mode, RGBColor c) {
  paths_detail::PortScope scope(port);
  SortSlice();
  PrepareDraw();
  PrepareSlirect();
  for (CSlice* s = first; s != nullptr; s = s->next) Draw(s, mode, c);
  DrawSlirect(mode, c);
}

void CSliceList::DrawSlirect(int16_t mode, RGBColor) {
  const RGBColor frame{65000, 0, 32000};
  const RGBColor blue{0, 0, 65535};
  const RGBColor white{65535, 65535, 65535};
  draw::PenState pen;
  RGBColor fore;
  draw::GetPenState(&pen);
  draw::GetForeColor(&fore);
  const int16_t textSize = draw::GetPort() != nullptr ? draw::GetPort()->textSize : 12;
  for (const CSlirect* c = firstRect; c != nullptr; c = c->next) {
    Rect r;
    r.left = static_cast<int16_t>(ToDevice(c->left, worldX, scaleX, deviceX));
    r.top = static_cast<int16_t>(ToDevice(c->top, worldY, scaleY, deviceY));
    r.right = static_cast<int16_t>(ToDevice(c->right, worldX, scaleX, deviceX) + 1);
    r.bottom = static_cast<int16_t>(ToDevice(c->bottom, worldY, scaleY, deviceY) + 1);
    draw::PenNormal();
    if (mode == 0) {
      draw::PenMode(draw::patXor);
      draw::FrameRect(r);
      continue;
    }
    draw::PenMode(draw::patOr);
    draw::RGBForeColor(frame);
    draw::FrameRect(r);
    const int16_t w = c->number >= 100 ? 21 : c->number >= 10 ? 14 : 8;
    const Rect label{r.top, r.left, static_cast<int16_t>(r.top + 10), static_cast<int16_t>(r.left + w)};
    draw::PenMode(draw::patCopy);
    draw::RGBForeColor(c->owner != -1 ? blue : frame);
    draw::PaintRect(label);
    draw::RGBForeColor(white);
    draw::TextSize(9);
    draw::MoveTo(static_cast<int16_t>(r.left + 2), static_cast<int16_t>(r.top + 8));
    draw::DrawString(std::to_string(c->number));
  }
  if (draw::GetPort() != nullptr) draw::TextSize(textSize);
  draw::SetPenState(pen);
  draw::RGBForeColor(fore);
}

void CSliceList::SelectAllandDraw() {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active != 0) continue;
    Draw(s, 0, colour);
    s->Activate();
    Draw(s, 0, colour);
  }
}

// ---- Record and files ---------------------------------------------------------------

int32_t CSliceList::WriteSliceList(int16_t mode, File_kern* file, int32_t* pos) {
  if (file == nullptr || pos == nullptr) return -1;
  if (!OpenUnlessOpen(mode, file)) return -1;
  int32_t n = 0;
  for (const CSlice* s = first; s != nullptr; s = s->next) ++n;
  Writer w;
  w.u16(kVersion);
  w.i32(n);
  int32_t result = file->S_write(w.bytes().data(), *pos, kListHead) == 0 ? 0 : -1;
  if (result == 0) *pos += kListHead;
  for (const CSlice* s = first; s != nullptr && result == 0; s = s->next) {
    result = s->WriteSlice(1, file, pos);
  }
  return CloseIfOpened(mode, file, result);
}

int32_t CSliceList::ReadSliceList(int16_t mode, File_kern* file, int32_t* pos, int16_t drawMode,
                                  RGBColor c) {
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active == 0) continue;
    if (drawMode != -1) Draw(s, 0, c);
    s->Inactivate();
    if (drawMode != -1) Draw(s, 0, c);
  }
  if (file == nullptr || pos == nullptr) return -1;
  if (!OpenUnlessOpen(mode, file)) return -1;
  int32_t size = 0;
  uint8_t head[kListHead];
  if (file->S_getEOF(&size) != 0 || *pos < 0 || static_cast<int64_t>(*pos) + kListHead > size ||
      file->S_read(head, *pos, kListHead) != 0) {
    return CloseIfOpened(mode, file, -1);
  }
  const Order order = paths_detail::OrderOfVersion(head);
  Reader hr(head, sizeof head, order);
  hr.u16();
  const int32_t wanted = hr.i32();
  if (wanted < 0) return CloseIfOpened(mode, file, -1);
  *pos += kListHead;
  int32_t result = 0;
  for (int32_t i = 0; i < wanted; ++i) {
    // Each slice needs its fixed part and a behaviour header at least; the
    // count is never trusted beyond what the file holds.
    CSlice* s = NewSlice();
    CBehavList behaviours;
    int32_t at = *pos;
    if (!ReadOneSlice(file, &at, size, order, s, &behaviours)) {
      delete s;
      result = -1;
      break;
    }
    *pos = at;
    // Every slice shares the list's behaviours: the list read last wins.
    TakeBehaviours(behav, &behaviours);
    s->Inactivate();
    AppendSlice(s);
    if (drawMode != -1) Draw(s, drawMode, c);
  }
  return CloseIfOpened(mode, file, result);
}

int32_t CSliceList::SaveSlice() {
  return paths_detail::SaveThroughDialog(
      kSliceType, [this](File_kern* file, int32_t* pos) { return WriteSliceList(1, file, pos); });
}

int32_t CSliceList::RecallSlice(int16_t drawMode, RGBColor c) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = kCreator;
  f.type = kSliceType;
  unsigned char prompt[256];
  SetPStr(prompt, "Load a New Slice...");
  if (VMK_GetFile(&f, &kSliceType, prompt, 1) != 1) return 0;
  CSliceList loaded;
  File_kern file(&f);
  int32_t pos = 0;
  if (loaded.ReadSliceList(0, &file, &pos, -1, c) != 0) return -1;
  SelectAll(drawMode != -1 ? 1 : 0);
  RemoveSelSlice(drawMode != -1 ? 1 : 0);
  TakeReadSlices(&loaded, drawMode, c);
  return 0;
}

void CSliceList::TakeReadSlices(CSliceList* read, int16_t drawMode, RGBColor c) {
  if (read == nullptr || read == this) return;
  for (CSlice* s = first; s != nullptr; s = s->next) {
    if (s->active == 0) continue;
    if (drawMode != -1) Draw(s, 0, c);
    s->Inactivate();
    if (drawMode != -1) Draw(s, 0, c);
  }
  if (read->first != nullptr) TakeBehaviours(behav, read->behav);
  CSlice* s = read->first;
  read->first = nullptr;
  read->current = nullptr;
  read->count = 0;
  while (s != nullptr) {
    CSlice* next = s->next;
    s->behav = behav;
    AppendSlice(s);
    if (drawMode != -1) Draw(s, drawMode, c);
    s = next;
  }
}

int32_t CSliceList::DefaultSlice(int16_t mode, const fichier* file) {
  if (mode == 1) {
    RemoveSlice(0);
    return 0;
  }
  if (file == nullptr || (mode != 0 && mode != 2)) return 0;
  File_kern fk(file);
  int32_t pos = 0;
  if (mode == 2) return ReadSliceList(0, &fk, &pos, -1, colour);
  if (fk.S_open(3) != 0) return -1;
  int32_t result = WriteSliceList(1, &fk, &pos);
  if (fk.S_close() != 0) result = -1;
  return result;
}
