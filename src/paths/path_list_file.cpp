// The path-list record and the path-list file.
//
// A path list is stored as a 14-byte head (version 2, the reference image
// size the knots were written for, the path count) and one record per
// path: a 528-byte head, then a text-path block, then either a text-object
// block or 48 bytes per knot. Numbers are little-endian; knot coordinates
// are fixed values of 8 bytes (integer part, then the fraction in
// hundred-thousandths with the sign of the value). The one exception is the
// text path's 16588-byte layout block, kept big-endian as the original
// host wrote it so that those bytes stay compatible.
//
// Readers check every count against the bytes that are really there before
// they take anything: a record that ends early stops the reading, the paths
// completed before it are kept, and the answer is -1.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"
#include "platform/bytes/byte_order.h"

namespace {

using plat::bytes::Order;
using plat::bytes::Reader;
using plat::bytes::Writer;

constexpr uint16_t kVersion = 2;
constexpr int32_t kListHead = 14;
constexpr int32_t kPathHead = 528;
constexpr int32_t kTextPathBlock = 16895;
constexpr int32_t kTextObjBlock = 757;
constexpr int32_t kKnotBytes = 48;
constexpr int32_t kTextBytes = 255;
constexpr OSType kCreator = FourCC("vMkC");
constexpr OSType kPathType = FourCC("pAth");
constexpr OSType kTextType = FourCC("TEXT");

int32_t TruncToInt32(float v) {
  const double t = std::trunc(static_cast<double>(v));
  if (!(t == t)) return 0;
  if (t >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (t <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(t);
}

void PutFixed(Writer& w, float v) {
  const int32_t i = TruncToInt32(v);
  const float frac = (v - static_cast<float>(i)) * 100000.0f;
  w.i32(i);
  w.i32(TruncToInt32(frac));
}

float GetFixed(Reader& r) {
  const int32_t i = r.i32();
  const int32_t f = r.i32();
  return static_cast<float>(i) + static_cast<float>(f) / 100000.0f;
}

// A length-prefixed string in a 255-byte field: its length byte is kept to
// the characters that fit, so it reads back as it was written.
void PutText255(Writer& w, const uint8_t* s) {
  uint8_t field[kTextBytes] = {};
  PStrCopyCut(field, s, kTextBytes - 1);
  w.raw(field, kTextBytes);
}

void GetText255(Reader& r, uint8_t* s, size_t capacity) {
  uint8_t field[kTextBytes] = {};
  r.raw(field, kTextBytes);
  std::memset(s, 0, capacity);
  std::memcpy(s, field, std::min<size_t>(capacity, kTextBytes));
  if (s[0] > kTextBytes - 1) s[0] = kTextBytes - 1;
}

void PutSettings(Writer& w, const TextSettings& t) {
  PutText255(w, t.text);
  w.i16(t.settingF);
  w.i16(t.settingG);
  w.i16(t.settingH);
  w.i16(t.settingA);
  w.i16(t.flag1);
  w.i16(t.flag2);
  w.i16(t.settingB);
  w.i16(t.settingC);
  w.i32(t.settingE);
  PutFixed(w, t.real1);
  PutFixed(w, t.real2);
  PutFixed(w, t.real3);
  PutFixed(w, t.real4);
}

void GetSettings(Reader& r, TextSettings& t) {
  GetText255(r, t.text, sizeof t.text);
  t.settingF = r.i16();
  t.settingG = r.i16();
  t.settingH = r.i16();
  t.settingA = r.i16();
  t.flag1 = r.i16();
  t.flag2 = r.i16();
  t.settingB = r.i16();
  t.settingC = r.i16();
  t.settingE = r.i32();
  t.real1 = GetFixed(r);
  t.real2 = GetFixed(r);
  t.real3 = GetFixed(r);
  t.real4 = GetFixed(r);
}

void PutLayout(Writer& w, const CTxtPath& tp) {
  const Order keep = w.order();
  w.setOrder(Order::Big);
  w.i16(tp.state);
  w.i16(tp.letterCount);
  w.raw(tp.plainText, sizeof tp.plainText);
  w.i32(tp.startInt);
  for (const int32_t* a : {tp.spare1, tp.advance, tp.offset, tp.spare2, tp.leftExtent, tp.spare3,
                           tp.rightExtent, tp.baseline}) {
    for (int i = 0; i < CTxtPath::kLetters; ++i) w.i32(a[i]);
  }
  w.i32(tp.startFrac);
  w.raw(tp.reserved, sizeof tp.reserved);
  w.setOrder(keep);
}

void GetLayout(Reader& r, CTxtPath& tp) {
  const Order keep = r.order();
  r.setOrder(Order::Big);
  tp.state = r.i16();
  tp.letterCount = r.i16();
  r.raw(tp.plainText, sizeof tp.plainText);
  tp.plainText[sizeof tp.plainText - 1] = '\0';
  tp.startInt = r.i32();
  for (int32_t* a : {tp.spare1, tp.advance, tp.offset, tp.spare2, tp.leftExtent, tp.spare3,
                     tp.rightExtent, tp.baseline}) {
    for (int i = 0; i < CTxtPath::kLetters; ++i) a[i] = r.i32();
  }
  tp.startFrac = r.i32();
  r.raw(tp.reserved, sizeof tp.reserved);
  r.setOrder(keep);
}

// Knots written for a path: from the first, following next links until a
// null link or the first knot again, and never more than its count.
int32_t StoredKnots(const CPath& p) {
  int32_t n = 0;
  const CPathPoint* k = p.first;
  while (k != nullptr && n < p.count) {
    ++n;
    k = k->next;
    if (k == p.first) break;
  }
  return n;
}

std::vector<uint8_t> PathRecord(const CPath& p) {
  Writer w;
  const int32_t knots = p.txtObj != nullptr ? 0 : StoredKnots(p);
  w.i32(p.txtObj != nullptr ? p.count : knots);
  w.i16(p.closed);
  w.i16(p.urlActive);
  w.i16(p.urlTarget);
  w.raw(p.urlName, CPath::kUrlBytes);
  w.raw(p.urlAlt, CPath::kUrlBytes);
  w.i32(p.txtObj != nullptr ? 1 : 0);
  w.i32(p.txtPath != nullptr ? 1 : 0);
  if (p.txtPath != nullptr) {
    PutLayout(w, *p.txtPath);
    PutSettings(w, p.txtPath->settings);
  }
  if (p.txtObj != nullptr) {
    const CWarpPath* f = p.txtObj->frame;
    for (int i = 0; i < CWarpPath::kPoints; ++i) {
      PutFixed(w, f != nullptr ? f->X[i] : 0.0f);
      PutFixed(w, f != nullptr ? f->Y[i] : 0.0f);
    }
    w.i16(f != nullptr ? f->kind : int16_t{20});
    PutSettings(w, p.txtObj->settings);
  } else {
    const CPathPoint* k = p.first;
    for (int32_t i = 0; i < knots; ++i, k = k->next) {
      PutFixed(w, k->x);
      PutFixed(w, k->y);
      PutFixed(w, k->outX);
      PutFixed(w, k->outY);
      PutFixed(w, k->inX);
      PutFixed(w, k->inY);
    }
  }
  return w.take();
}

// One path record as read from the file, before it is given to a path.
struct PathRecordData {
  int32_t knots = 0;
  int16_t closed = 0;
  int16_t urlActive = 1;
  int16_t urlTarget = 0;
  uint8_t urlName[CPath::kUrlBytes] = {};
  uint8_t urlAlt[CPath::kUrlBytes] = {};
  int32_t hasTxtObj = 0;
  int32_t hasTxtPath = 0;
};

// Reads exactly n bytes at *pos; false when the file holds fewer.
bool ReadBytes(File_kern* file, int32_t pos, int32_t fileSize, int32_t n,
               std::vector<uint8_t>* out) {
  if (n < 0 || pos < 0 || static_cast<int64_t>(pos) + n > fileSize) return false;
  out->assign(static_cast<size_t>(n), 0);
  return n == 0 || file->S_read(out->data(), pos, n) == 0;
}

// Reads one path record at *pos into a fresh path (knots scaled by sx, sy
// when `scale`); null when the record is incomplete or damaged.
CPath* ReadOnePath(File_kern* file, int32_t* pos, int32_t fileSize, bool scale, float sx,
                   float sy) {
  std::vector<uint8_t> head;
  if (!ReadBytes(file, *pos, fileSize, kPathHead, &head)) return nullptr;
  Reader hr(head);
  PathRecordData d;
  d.knots = hr.i32();
  d.closed = hr.i16();
  d.urlActive = hr.i16();
  d.urlTarget = hr.i16();
  hr.raw(d.urlName, sizeof d.urlName);
  hr.raw(d.urlAlt, sizeof d.urlAlt);
  d.hasTxtObj = hr.i32();
  d.hasTxtPath = hr.i32();
  if (d.hasTxtObj != 0 && d.hasTxtObj != 1) return nullptr;
  if (d.hasTxtPath != 0 && d.hasTxtPath != 1) return nullptr;
  if (d.knots < 0) return nullptr;

  const int64_t after = static_cast<int64_t>(*pos) + kPathHead;
  int64_t body = d.hasTxtPath != 0 ? kTextPathBlock : 0;
  body += d.hasTxtObj != 0 ? kTextObjBlock : static_cast<int64_t>(d.knots) * kKnotBytes;
  // The counts must fit in what the file holds before anything is made.
  if (after + body > fileSize) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadBytes(file, static_cast<int32_t>(after), fileSize, static_cast<int32_t>(body), &bytes)) {
    return nullptr;
  }
  Reader r(bytes);

  CPath* p = new CPath;
  p->closed = d.closed;
  p->urlActive = d.urlActive;
  p->urlTarget = d.urlTarget;
  std::memcpy(p->urlName, d.urlName, sizeof d.urlName);
  std::memcpy(p->urlAlt, d.urlAlt, sizeof d.urlAlt);
  if (p->urlName[0] > CPath::kUrlBytes - 1) p->urlName[0] = CPath::kUrlBytes - 1;
  if (p->urlAlt[0] > CPath::kUrlBytes - 1) p->urlAlt[0] = CPath::kUrlBytes - 1;
  if (d.hasTxtPath != 0) {
    p->txtPath = new CTxtPath;
    GetLayout(r, *p->txtPath);
    GetSettings(r, p->txtPath->settings);
    p->txtPath->followed = p;
  }
  if (d.hasTxtObj != 0) {
    p->txtObj = new CTxtObj;
    CWarpPath* f = p->txtObj->frame;
    for (int i = 0; i < CWarpPath::kPoints; ++i) {
      f->X[i] = GetFixed(r);
      f->Y[i] = GetFixed(r);
    }
    f->kind = r.i16();
    GetSettings(r, p->txtObj->settings);
  } else {
    CPathPoint* last = nullptr;
    for (int32_t i = 0; i < d.knots; ++i) {
      CPathPoint* k = new CPathPoint(0.0f, 0.0f, 0);
      k->x = GetFixed(r);
      k->y = GetFixed(r);
      k->outX = GetFixed(r);
      k->outY = GetFixed(r);
      k->inX = GetFixed(r);
      k->inY = GetFixed(r);
      if (scale) {
        k->x *= sx;
        k->outX *= sx;
        k->inX *= sx;
        k->y *= sy;
        k->outY *= sy;
        k->inY *= sy;
      }
      k->prev = last;
      paths_detail::LinkLast(p->first, last, k);
      ++p->count;
    }
    if (last != nullptr && p->closed != 0) {
      last->next = p->first;
      p->first->prev = last;
    }
  }
  *pos = static_cast<int32_t>(after + body);
  return p;
}

// Moves what a freshly read path holds into `dst`, which has no knots.
void TakeInto(CPath* dst, CPath* src) {
  dst->first = src->first;
  dst->count = src->count;
  dst->closed = src->closed;
  dst->urlActive = src->urlActive;
  dst->urlTarget = src->urlTarget;
  std::memcpy(dst->urlName, src->urlName, sizeof dst->urlName);
  std::memcpy(dst->urlAlt, src->urlAlt, sizeof dst->urlAlt);
  if (src->txtPath != nullptr) {
    delete dst->txtPath;
    dst->txtPath = src->txtPath;
    dst->txtPath->followed = dst;
  }
  if (src->txtObj != nullptr) {
    delete dst->txtObj;
    dst->txtObj = src->txtObj;
  }
  src->first = nullptr;
  src->count = 0;
  src->txtPath = nullptr;
  src->txtObj = nullptr;
  delete src;
}

}  // namespace

int32_t CPathList::WritePathList(int16_t mode, File_kern* file, int32_t* pos, int32_t refWidth,
                                 int32_t refHeight) {
  if (file == nullptr || pos == nullptr) return -1;
  if (mode != 1 && file->S_open(0) != 0) return -1;
  int32_t paths = 0;
  for (const CPath* p = first; p != nullptr; p = p->next) ++paths;
  Writer w;
  w.u16(kVersion);
  w.i32(refWidth);
  w.i32(refHeight);
  w.i32(paths);
  int32_t result = file->S_write(w.bytes().data(), *pos, kListHead) == 0 ? 0 : -1;
  if (result == 0) {
    *pos += kListHead;
    for (CPath* p = first; p != nullptr && result == 0; p = p->next) {
      result = p->WritePath(1, file, pos);
    }
  }
  if (mode != 1 && file->S_close() != 0) result = -1;
  return result;
}

int32_t CPath::WritePath(int16_t mode, File_kern* file, int32_t* pos) {
  if (file == nullptr || pos == nullptr) return -1;
  if (mode != 1 && file->S_open(0) != 0) return -1;
  const std::vector<uint8_t> rec = PathRecord(*this);
  int32_t result = file->S_write(rec.data(), *pos, static_cast<int32_t>(rec.size())) == 0 ? 0 : -1;
  if (result == 0) *pos += static_cast<int32_t>(rec.size());
  // A file opened here is closed here, whatever happened.
  if (mode != 1 && file->S_close() != 0) result = -1;
  return result;
}

int32_t CPath::ReadPath(int16_t mode, File_kern* file, int32_t* pos) {
  if (file == nullptr || pos == nullptr) return -1;
  if (mode != 1 && file->S_open(0) != 0) return -1;
  int32_t size = 0;
  int32_t result = -1;
  int32_t at = *pos;
  CPath* read = file->S_getEOF(&size) == 0 ? ReadOnePath(file, &at, size, false, 1.0f, 1.0f)
                                           : nullptr;
  if (read != nullptr) {
    closed = read->closed;
    urlActive = read->urlActive;
    urlTarget = read->urlTarget;
    std::memcpy(urlName, read->urlName, sizeof urlName);
    std::memcpy(urlAlt, read->urlAlt, sizeof urlAlt);
    if (read->txtPath != nullptr) {
      delete txtPath;
      txtPath = read->txtPath;
      txtPath->followed = this;
      read->txtPath = nullptr;
    }
    if (read->txtObj != nullptr) {
      delete txtObj;
      txtObj = read->txtObj;
      read->txtObj = nullptr;
    }
    // The knots, unscaled, go after the path's own.
    if (CPathPoint* head = read->first) {
      if (head->prev != nullptr) {
        head->prev->next = nullptr;
        head->prev = nullptr;
      }
      CPathPoint* tail = nullptr;
      CPathPoint* k = first;
      for (int32_t i = 0; i < count && k != nullptr; ++i) {
        tail = k;
        k = k->next;
        if (k == first) break;
      }
      if (tail != nullptr) {
        tail->next = head;
        head->prev = tail;
        first->prev = nullptr;
      } else {
        first = head;
      }
      count += read->count;
      if (closed != 0) {
        CPathPoint* end = head;
        while (end->next != nullptr) end = end->next;
        end->next = first;
        first->prev = end;
      }
      read->first = nullptr;
      read->count = 0;
    }
    delete read;
    *pos = at;
    result = 0;
  }
  if (mode != 1 && file->S_close() != 0) result = -1;
  return result;
}

int32_t CPathList::ReadPathList(int16_t, File_kern* file, int32_t* pos, int16_t draw, RGBColor c,
                                int32_t curWidth, int32_t curHeight) {
  if (file == nullptr || pos == nullptr) return -1;
  CPath* last = nullptr;
  for (CPath* p = first; p != nullptr; p = p->next) {
    last = p;
    if (p->active == 0) continue;
    if (draw != -1) p->DrawPath(draw, c);
    p->Inactivate();
    if (draw != -1) p->DrawPath(draw, c);
  }

  if (file->S_open(0) != 0) return -1;
  int32_t size = 0;
  std::vector<uint8_t> head;
  if (file->S_getEOF(&size) != 0 || !ReadBytes(file, *pos, size, 2, &head)) {
    file->S_close();
    return -1;
  }
  if (Reader(head).u16() != kVersion) {
    // Not a record this reader knows: step over its version word only.
    file->S_close();
    *pos += 2;
    return -1;
  }
  if (!ReadBytes(file, *pos, size, kListHead, &head)) {
    file->S_close();
    return -1;
  }
  Reader hr(head);
  hr.u16();
  const int32_t refWidth = hr.i32();
  const int32_t refHeight = hr.i32();
  const int32_t paths = hr.i32();
  // A zero reference size has no ratio: the knots are taken as stored.
  const float sx = refWidth != 0 ? static_cast<float>(curWidth) / static_cast<float>(refWidth)
                                 : 1.0f;
  const float sy = refHeight != 0 ? static_cast<float>(curHeight) / static_cast<float>(refHeight)
                                  : 1.0f;
  int32_t at = *pos + kListHead;
  int32_t result = paths < 0 ? -1 : 0;
  for (int32_t i = 0; i < paths; ++i) {
    CPath* read = ReadOnePath(file, &at, size, true, sx, sy);
    if (read == nullptr) {
      result = -1;
      break;
    }
    CPath* target = read;
    if (i == 0 && last != nullptr && last->first == nullptr && last->txtObj == nullptr) {
      // An empty last path (one the pen has just started) takes the first record.
      TakeInto(last, read);
      target = last;
    } else {
      if (last != nullptr) {
        last->next = read;
      } else {
        first = read;
      }
      last = read;
      ++count;
    }
    target->active = 1;
    if (draw != -1) target->DrawPath(draw, c);
  }
  if (file->S_close() != 0) result = -1;
  *pos = at;
  return result;
}

int32_t CPathList::SavePathList(int32_t refWidth, int32_t refHeight) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = kCreator;
  f.type = kPathType;
  if (VMK_PutFile(&f) != 1) return 0;
  // Written as a replacement: the old file stays unless every write succeeds.
  File_kern file(&f);
  if (file.S_open(3) != 0) return -1;
  int32_t pos = 0;
  int32_t result = WritePathList(1, &file, &pos, refWidth, refHeight);
  if (file.S_close() != 0) result = -1;
  return result;
}

void CPathList::RecallPathList(int16_t draw, RGBColor c, int32_t curWidth, int32_t curHeight) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = kCreator;
  f.type = kPathType;
  const OSType types[] = {kPathType, kTextType};
  unsigned char prompt[256];
  SetPStr(prompt, "Load a New Path...");
  if (VMK_GetFile(&f, types, prompt, 2) != 1) return;
  const FSSpec chosen = SpecOf(f);
  f.type = 0;  // a folder has none
  if (FSpGetFileType(&chosen, &f.type, nullptr) != 0) return;
  // A text file is offered by the dialog but holds no paths: the user's
  // paths stay.
  if (f.type != kPathType) return;
  // Read aside first: an unreadable file leaves the user's paths alone.
  CPathList loaded(singlePath);
  File_kern file(&f);
  int32_t pos = 0;
  if (loaded.ReadPathList(0, &file, &pos, -1, c, curWidth, curHeight) != 0) return;
  SelectAll(1);
  RemoveSelPath(1);
  CPath* tail = Last();
  if (tail != nullptr) {
    tail->next = loaded.first;
  } else {
    first = loaded.first;
  }
  count += loaded.count;
  if (draw != -1) {
    for (CPath* p = loaded.first; p != nullptr; p = p->next) p->DrawPath(draw, c);
  }
  loaded.first = nullptr;
  loaded.count = 0;
  loaded.current = nullptr;
}

int32_t CPathList::DefaultPath(int16_t mode, const fichier* file, int32_t width,
                               int32_t height) {
  if (file == nullptr) return -1;
  if (mode == 0) {
    // The caller learns whether the list reached the file.
    File_kern fk(file);
    if (fk.S_open(3) != 0) return -1;
    int32_t pos = 0;
    int32_t result = WritePathList(1, &fk, &pos, width, height);
    if (fk.S_close() != 0) result = -1;
    return result;
  }
  File_kern fk(file);
  int32_t pos = 0;
  if (mode == 2) return ReadPathList(0, &fk, &pos, -1, colour, width, height);
  if (mode != 1) return 0;
  // Replacing the paths: read aside first, so a bad file loses nothing.
  CPathList loaded(singlePath);
  if (loaded.ReadPathList(0, &fk, &pos, -1, colour, width, height) != 0) return -1;
  SelectAll(0);
  RemoveSelPath(0);
  first = loaded.first;
  count = loaded.count;
  loaded.first = nullptr;
  loaded.count = 0;
  return 0;
}
