// Behaviours and behaviour lists: editing, copying, the record and the
// behaviour file.
//
// Readers check every count against the bytes the file really holds before
// they make anything; a record that ends early keeps the complete
// behaviours read before it and answers -1. The recall reads into a list of
// its own and takes it only when the whole file was read, so a damaged file
// never costs the user the list they had.
#include "paths/behaviours.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "app/file_dialogs.h"

namespace {

using plat::bytes::Order;
using plat::bytes::Reader;
using plat::bytes::Writer;

constexpr uint16_t kVersion = 1;
constexpr OSType kCreator = FourCC("vMkC");
constexpr OSType kBehavType = FourCC("sBeh");

void PutRecord(Writer& w, const CBehav& b) {
  w.i16(b.active);
  w.i16(b.source);
  w.i16(b.number);
  w.i16(b.kind);
  w.i16(b.param1);
  w.i16(b.param2);
  w.i16(b.flag1);
  w.i16(b.flag2);
  w.raw(b.message, CBehav::kMessBytes);
}

void GetRecord(Reader& r, CBehav* b) {
  b->active = r.i16();
  b->source = r.i16();
  b->number = r.i16();
  b->kind = r.i16();
  b->param1 = r.i16();
  b->param2 = r.i16();
  b->flag1 = r.i16();
  b->flag2 = r.i16();
  r.raw(b->message, CBehav::kMessBytes);
  // The field holds 254 characters at most, whatever the length byte says.
  b->message[0] = std::min<unsigned char>(b->message[0], CBehav::kMessBytes - 1);
}

// Opens the file unless the caller has it open (mode 1); closes it on the
// way out when it was opened here, folding a failed close into the result.
class OpenedHere {
 public:
  OpenedHere(int16_t mode, File_kern* file)
      : file_(file), own_(mode != 1), ok_(!own_ || file->S_open(0) == 0) {}
  ~OpenedHere() = default;
  bool ok() const { return ok_; }
  int32_t Close(int32_t result) {
    if (own_ && ok_ && file_->S_close() != 0) return -1;
    return result;
  }

 private:
  File_kern* file_;
  bool own_;
  bool ok_;
};

void FreeChain(CBehav* b) {
  while (b != nullptr) {
    CBehav* next = b->next;
    delete b;
    b = next;
  }
}

}  // namespace

// ---- CBehav --------------------------------------------------------------------

void CBehav::SetParam(int16_t k, int16_t p1, int16_t p2, int16_t f1, int16_t f2) {
  kind = k;
  param1 = p1;
  param2 = p2;
  flag1 = f1;
  flag2 = f2;
}

void CBehav::GetParam(int16_t* k, int16_t* p1, int16_t* p2, int16_t* f1, int16_t* f2) const {
  if (k != nullptr) *k = kind;
  if (p1 != nullptr) *p1 = param1;
  if (p2 != nullptr) *p2 = param2;
  if (f1 != nullptr) *f1 = flag1;
  if (f2 != nullptr) *f2 = flag2;
}

void CBehav::GetMess(unsigned char* out) const {
  if (out != nullptr) std::memcpy(out, message, static_cast<size_t>(message[0]) + 1);
}

void CBehav::SetMess(const unsigned char* text) {
  if (text == nullptr) return;
  PStrCopyCut(message, text, kMessBytes - 1);
}

void CBehav::CopyBehav(CBehav* target) const {
  if (target == nullptr || target == this) return;
  CBehav* keep = target->next;
  *target = *this;
  target->next = keep;
}

int32_t CBehav::WriteBehav(int16_t mode, File_kern* file, int32_t* pos) const {
  if (file == nullptr || pos == nullptr) return -1;
  OpenedHere opened(mode, file);
  if (!opened.ok()) return -1;
  Writer w;
  PutRecord(w, *this);
  int32_t result = file->S_write(w.bytes().data(), *pos, kRecordBytes) == 0 ? 0 : -1;
  if (result == 0) *pos += kRecordBytes;
  return opened.Close(result);
}

int32_t CBehav::ReadBehav(int16_t mode, File_kern* file, int32_t* pos, Order order) {
  if (file == nullptr || pos == nullptr) return -1;
  OpenedHere opened(mode, file);
  if (!opened.ok()) return -1;
  uint8_t bytes[kRecordBytes];
  int32_t result = file->S_read(bytes, *pos, kRecordBytes) == 0 ? 0 : -1;
  if (result == 0) {
    Reader r(bytes, sizeof bytes, order);
    CBehav* keep = next;
    GetRecord(r, this);
    next = keep;
    *pos += kRecordBytes;
  }
  return opened.Close(result);
}

// ---- CBehavList: editing ---------------------------------------------------------

CBehavList::~CBehavList() { FreeChain(first); }

void CBehavList::AppendOwned(CBehav* b) {
  b->next = nullptr;
  if (first == nullptr) {
    first = b;
    return;
  }
  CBehav* last = first;
  while (last->next != nullptr) last = last->next;
  last->next = b;
}

void CBehavList::Renumber() {
  int16_t n = 1;
  for (CBehav* b = first; b != nullptr; b = b->next) b->number = n++;
}

int32_t CBehavList::AddBehav(int16_t source) {
  auto* b = new CBehav;
  b->source = source;
  AppendOwned(b);
  ++count;
  b->number = static_cast<int16_t>(count);
  current = b;
  return 0;
}

void CBehavList::RemoveAllBehav() {
  FreeChain(first);
  first = nullptr;
  current = nullptr;
  count = 0;
}

void CBehavList::RemoveSelBehav() {
  CBehav** link = &first;
  while (*link != nullptr) {
    CBehav* b = *link;
    if (b->active != 0) {
      *link = b->next;
      delete b;
      --count;
    } else {
      link = &b->next;
    }
  }
  Renumber();
  current = nullptr;
}

void CBehavList::RemoveNumberBehav(int16_t n) {
  for (CBehav** link = &first; *link != nullptr; link = &(*link)->next) {
    CBehav* b = *link;
    if (b->number != n) continue;
    *link = b->next;
    delete b;
    --count;
    break;
  }
  if (first == nullptr) AddBehav(0);
  Renumber();
  current = nullptr;
}

CBehav* CBehavList::GetNumberBehav(int16_t n) const {
  for (CBehav* b = first; b != nullptr; b = b->next) {
    if (b->number == n) return b;
  }
  return nullptr;
}

void CBehavList::ActivateAll() {
  for (CBehav* b = first; b != nullptr; b = b->next) b->Activate();
}

void CBehavList::InActivateAll() {
  for (CBehav* b = first; b != nullptr; b = b->next) b->Inactivate();
}

void CBehavList::ActivateNumber(int16_t n) {
  for (CBehav* b = first; b != nullptr; b = b->next) {
    if (b->number == n) b->Activate();
  }
}

void CBehavList::InActivateNumber(int16_t n) {
  for (CBehav* b = first; b != nullptr; b = b->next) {
    if (b->number == n) b->Inactivate();
  }
}

// ---- CBehavList: copying ---------------------------------------------------------

void CBehavList::CopyBehavList(CBehavList* target) const {
  if (target == nullptr || target == this) return;
  target->RemoveAllBehav();
  for (const CBehav* b = first; b != nullptr; b = b->next) {
    auto* copy = new CBehav;
    b->CopyBehav(copy);
    target->AppendOwned(copy);
    ++target->count;
  }
  target->spare = spare;
}

void CBehavList::CopyActiveBehavs(CBehavList* target) const {
  if (target == nullptr || target == this) return;
  target->RemoveAllBehav();
  // The copies count from 0, unlike the 1-based numbers a list gives; the
  // cells' event codes made from them rely on that.
  int16_t n = 0;
  for (const CBehav* b = first; b != nullptr; b = b->next) {
    if (b->active == 0) continue;
    auto* copy = new CBehav;
    b->CopyBehav(copy);
    copy->number = n++;
    target->AppendOwned(copy);
    ++target->count;
  }
}

void CBehavList::CopyAttachBehavList(const CBehavList* source) {
  if (source == nullptr) return;
  InActivateAll();
  // Taken before anything is appended, so attaching a list to itself ends.
  std::vector<const CBehav*> from;
  for (const CBehav* b = source->first; b != nullptr; b = b->next) from.push_back(b);
  const int32_t oldCount = count;
  // Numbering kept as saved lists have it: the first copy keeps its number,
  // the rest count on from the old count.
  int32_t n = oldCount;
  for (size_t i = 0; i < from.size(); ++i) {
    auto* copy = new CBehav;
    from[i]->CopyBehav(copy);
    if (i > 0) copy->number = static_cast<int16_t>(n++);
    AppendOwned(copy);
  }
  count = oldCount + static_cast<int32_t>(from.size());
}

void CBehavList::AttachBehavList(CBehavList* source) {
  if (source == nullptr || source == this) return;
  InActivateAll();
  for (CBehav* b = source->first; b != nullptr; b = b->next) b->Activate();
  if (source->first != nullptr) {
    if (first == nullptr) {
      first = source->first;
    } else {
      CBehav* last = first;
      while (last->next != nullptr) last = last->next;
      last->next = source->first;
    }
  }
  count += source->count;
  // The behaviours now belong here; the source must not free them too.
  source->first = nullptr;
  source->current = nullptr;
  source->count = 0;
}

void CBehavList::DuplicateBehavList() {
  CBehav* head = first;
  for (CBehav* b = head; b != nullptr; b = b->next) {
    if (b->active == 0) continue;
    auto* copy = new CBehav;
    b->CopyBehav(copy);
    copy->Activate();
    copy->next = first;
    first = copy;
    ++count;
  }
}

// ---- The record --------------------------------------------------------------------

namespace paths_detail {

Order OrderOfVersion(const uint8_t* twoBytes) {
  return plat::bytes::loadLE16(twoBytes) == 0x0100 ? Order::Big : Order::Little;
}

int32_t WriteBehavRecord(const CBehavList* list, File_kern* file, int32_t* pos) {
  int32_t n = 0;
  for (const CBehav* b = list->first; b != nullptr; b = b->next) ++n;
  Writer w;
  w.u16(kVersion);
  w.i16(list->listValue);
  w.i32(n);
  for (const CBehav* b = list->first; b != nullptr; b = b->next) PutRecord(w, *b);
  if (file->S_write(w.bytes().data(), *pos, static_cast<int32_t>(w.size())) != 0) return -1;
  *pos += static_cast<int32_t>(w.size());
  return 0;
}

int32_t ReadBehavRecord(CBehavList* list, File_kern* file, int32_t* pos, int32_t fileSize,
                        Order order) {
  const int64_t left = static_cast<int64_t>(fileSize) - *pos;
  if (*pos < 0 || left < CBehavList::kHeadBytes) return -1;
  uint8_t head[CBehavList::kHeadBytes];
  if (file->S_read(head, *pos, CBehavList::kHeadBytes) != 0) return -1;
  Reader hr(head, sizeof head, order);
  hr.u16();
  const int16_t value = hr.i16();
  const int32_t wanted = hr.i32();
  if (wanted < 0) return -1;
  list->listValue = value;
  *pos += CBehavList::kHeadBytes;
  // Only what the file holds is made; the rest of the count is the fault.
  const int64_t fits = (left - CBehavList::kHeadBytes) / CBehav::kRecordBytes;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(wanted, fits));
  if (n > 0) {
    std::vector<uint8_t> body(static_cast<size_t>(n) * CBehav::kRecordBytes);
    if (file->S_read(body.data(), *pos, static_cast<int32_t>(body.size())) != 0) return -1;
    Reader r(body, order);
    for (int32_t i = 0; i < n; ++i) {
      auto* b = new CBehav;
      GetRecord(r, b);
      if (list->first == nullptr) {
        list->first = b;
      } else {
        CBehav* last = list->first;
        while (last->next != nullptr) last = last->next;
        last->next = b;
      }
      ++list->count;
    }
    *pos += static_cast<int32_t>(body.size());
  }
  return n == wanted ? 0 : -1;
}

}  // namespace paths_detail

int32_t CBehavList::WriteBehavList(int16_t mode, File_kern* file, int32_t* pos) const {
  if (file == nullptr || pos == nullptr) return -1;
  OpenedHere opened(mode, file);
  if (!opened.ok()) return -1;
  return opened.Close(paths_detail::WriteBehavRecord(this, file, pos));
}

int32_t CBehavList::ReadBehavList(int16_t mode, File_kern* file, int32_t* pos) {
  InActivateAll();
  if (file == nullptr || pos == nullptr) return -1;
  OpenedHere opened(mode, file);
  if (!opened.ok()) return -1;
  int32_t size = 0;
  uint8_t version[2];
  int32_t result = -1;
  if (file->S_getEOF(&size) == 0 && *pos >= 0 && static_cast<int64_t>(*pos) + 2 <= size &&
      file->S_read(version, *pos, 2) == 0) {
    result = paths_detail::ReadBehavRecord(this, file, pos, size,
                                           paths_detail::OrderOfVersion(version));
  }
  return opened.Close(result);
}

// ---- The behaviour file ------------------------------------------------------------

int32_t paths_detail::SaveThroughDialog(
    OSType type, const std::function<int32_t(File_kern* file, int32_t* pos)>& write) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = kCreator;
  f.type = type;
  if (VMK_PutFile(&f) != 1) return 0;
  File_kern file(&f);
  if (file.S_open(3) != 0) return -1;
  int32_t pos = 0;
  int32_t result = write(&file, &pos);
  if (file.S_close() != 0) result = -1;
  return result;
}

int32_t CBehavList::SaveBehav() const {
  return paths_detail::SaveThroughDialog(
      kBehavType, [this](File_kern* file, int32_t* pos) { return WriteBehavList(1, file, pos); });
}

int32_t CBehavList::RecallBehav() {
  fichier f;
  Init_FicStruct(&f);
  f.creator = kCreator;
  f.type = kBehavType;
  unsigned char prompt[256];
  SetPStr(prompt, "Load a New Behav...");
  if (VMK_GetFile(&f, &kBehavType, prompt, 1) != 1) return 0;
  CBehavList loaded;
  File_kern file(&f);
  int32_t pos = 0;
  if (loaded.ReadBehavList(0, &file, &pos) != 0) return -1;
  RemoveAllBehav();
  std::swap(first, loaded.first);
  std::swap(count, loaded.count);
  listValue = loaded.listValue;
  return 0;
}

int32_t CBehavList::DefaultBehav(int16_t mode, const fichier* file) {
  if (mode == 1) {
    RemoveAllBehav();
    return 0;
  }
  if (file == nullptr || (mode != 0 && mode != 2)) return 0;
  File_kern fk(file);
  int32_t pos = 0;
  if (mode == 2) return ReadBehavList(0, &fk, &pos);
  if (fk.S_open(3) != 0) return -1;
  int32_t result = WriteBehavList(1, &fk, &pos);
  if (fk.S_close() != 0) result = -1;
  return result;
}
