// Fuzz target: slice files and behaviour files, through the open dialog:
// CSliceList::RecallSlice and CBehavList::RecallBehav, which read into a
// list aside and replace the caller's only with a file read whole. A refused
// file leaves the caller's list as it was; what was read can be stored again.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "app/file_access.h"
#include "paths/behaviours.h"
#include "paths/slices.h"
#include "platform/types/mac_types.h"

namespace vmkfuzz {
namespace {

fichier FicAt(const std::string& posix, OSType type) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = FourCC("vMkC");
  f.type = type;
  if (!SetFicFromPosix(&f, posix)) Violation("harness: file record");
  return f;
}

// The list's record as its writer stores it (empty when the write fails),
// followed by the head pointer so that a replaced list shows.
template <class List, class Write>
Bytes Store(List& list, const char* name, OSType type, Write write) {
  const std::string posix = File(name);
  PutFile(posix, nullptr, 0);
  fichier f = FicAt(posix, type);
  File_kern file(&f);
  int32_t pos = 0;
  if (write(list, &file, &pos) != 0) return {};
  return GetFile(posix);
}

Bytes StoreSlices(CSliceList& list, const char* name) {
  return Store(list, name, FourCC("sLic"), [](CSliceList& l, File_kern* file, int32_t* pos) {
    return l.WriteSliceList(0, file, pos);
  });
}

Bytes StoreBehavs(CBehavList& list, const char* name) {
  return Store(list, name, FourCC("sBeh"), [](CBehavList& l, File_kern* file, int32_t* pos) {
    return l.WriteBehavList(0, file, pos);
  });
}

void FillBehavs(CBehavList& list, int16_t base) {
  for (int16_t k = 0; k < 3; ++k) {
    list.AddBehav(static_cast<int16_t>(base + k));
    list.current->SetParam(static_cast<int16_t>(k + 1), base, static_cast<int16_t>(-k), 1, 0);
  }
  list.listValue = base;
}

void FillSlices(CSliceList& list, float at) {
  for (int k = 0; k < 2; ++k) {
    list.AddSlice(0);
    list.current->CreaSlice(at + 10.0f * k, at, at + 10.0f * k + 8.5f, at + 20.25f);
    list.current->SetURLactive(1);
    const unsigned char url[] = "\x0Bhttp://a.b/";
    list.current->SetURLname(url);
  }
  FillBehavs(*list.behav, static_cast<int16_t>(at));
}

std::vector<Bytes> SliceSeeds() {
  std::vector<Bytes> out;
  {
    CSliceList list;
    FillSlices(list, 4.0f);
    out.push_back(StoreSlices(list, "seed.slc"));
  }
  {
    CBehavList list;
    FillBehavs(list, 7);
    out.push_back(StoreBehavs(list, "seed.beh"));
  }
  return out;
}

template <class T>
void PushPointer(Bytes& b, const T* p) {
  const Bytes raw = RawBytes(p);
  b.insert(b.end(), raw.begin(), raw.end());
}

void SlicesOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.slc");
  PutFile(path, data, size);
  int32_t rc;
  {
    CSliceList list;
    FillSlices(list, 1.0f);
    Bytes before = StoreSlices(list, "before.slc");
    PushPointer(before, list.first);
    Ui().AnswerOpenFile(path);
    rc = list.RecallSlice(-1, RGBColor{});
    if (rc != 0 && rc != -1) Violation("RecallSlice answer", std::to_string(rc));
    Bytes after = StoreSlices(list, "after.slc");
    if (after.empty()) Violation("RecallSlice: the slices cannot be stored again");
    PushPointer(after, list.first);
    if (rc != 0 && after != before) Violation("RecallSlice changed the slices on a refused file");
  }
  {
    CBehavList list;
    FillBehavs(list, 2);
    Bytes before = StoreBehavs(list, "before.beh");
    PushPointer(before, list.first);
    Ui().AnswerOpenFile(path);
    const int32_t rcB = list.RecallBehav();
    if (rcB != 0 && rcB != -1) Violation("RecallBehav answer", std::to_string(rcB));
    Bytes after = StoreBehavs(list, "after.beh");
    if (after.empty()) Violation("RecallBehav: the behaviours cannot be stored again");
    PushPointer(after, list.first);
    if (rcB != 0 && after != before)
      Violation("RecallBehav changed the behaviours on a refused file");
    if (rcB == 0) rc = 0;
  }
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"slices", SliceSeeds, SlicesOne};
  return family;
}

}  // namespace vmkfuzz
