// Fuzz target: the compose-effect chooser's slot file (efflist::ReadSlotRecords and
// WriteSlotRecords, the loop of VMKcompeff::BackupRestoreFich), the stored file records of
// slots 1 to 3 that the chooser reads when it opens and writes when it closes. An input is
// the file.
//
// Promises besides the sanitizers': the answer is 0 or -1; no slot takes a name or path
// longer than a stored effect's; a slot whose record the file does not hold whole keeps
// what it had; and the slots written back read back as they are.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/core/pascal_strings.h"
#include "fuzz/fuzz_support.h"
#include "platform/bytes/byte_order.h"
#include "script/effect_list_file.h"

namespace vmkfuzz {
namespace {

// Slots 1 to 3 of the chooser.
constexpr int kSlots = 3;

fichier SlotFile() {
  fichier f;
  if (!MakersFolderItem(":tmpvmkcompeff", &f)) Violation("harness: no slot file");
  f.type = FourCC("hCef");
  return f;
}

// A slot record as the chooser stores it: an effect file of the maker's folder.
fichier Effect(const std::string& name) {
  fichier f;
  Init_FicStruct(&f);
  SetFicFromPosix(&f, File("Effects/" + name));
  f.type = FourCC("aCH1");
  return f;
}

Bytes Stored(const fichier* slots) {
  plat::bytes::Writer w(plat::bytes::Order::Little);
  for (int k = 0; k < kSlots; ++k) Write_FicStruct(w, slots[k]);
  return w.take();
}

std::vector<Bytes> SlotSeeds() {
  fichier empty;
  Init_FicStruct(&empty);
  std::vector<Bytes> out;
  const fichier three[kSlots] = {Effect("e01.ach1"), Effect("a longer name.ach1"), Effect("e05.ach1")};
  out.push_back(Stored(three));
  const fichier one[kSlots] = {empty, Effect("e02.ach1"), empty};
  out.push_back(Stored(one));
  Bytes part = Stored(three);
  part.resize(kFicStoredSize + 100);  // the second record cut short
  out.push_back(std::move(part));
  return out;
}

void SlotOne(const uint8_t* data, size_t size) {
  fichier slots[kSlots];
  fichier* const pointers[kSlots] = {&slots[0], &slots[1], &slots[2]};
  // Each slot holds a record of its own before the read.
  for (int k = 0; k < kSlots; ++k) slots[k] = Effect("kept" + std::to_string(k) + ".ach1");
  fichier kept[kSlots];
  std::memcpy(static_cast<void*>(kept), slots, sizeof slots);
  const fichier file = SlotFile();
  const std::string path = FicToPosix(file);
  PutFile(path, data, size);
  const int16_t rc = efflist::ReadSlotRecords(file, pointers);
  if (rc != 0 && rc != -1) Violation("answer", std::to_string(rc));
  for (int k = 0; k < kSlots; ++k) {
    const fichier& f = slots[k];
    if (f.name[0] > efflist::kMaxNameLength || f.path[0] > efflist::kMaxTextLength)
      Violation("a slot took a name or path no stored effect has", std::to_string(k));
    if (size < static_cast<size_t>(k + 1) * kFicStoredSize && std::memcmp(&f, &kept[k], sizeof f) != 0)
      Violation("a slot the file does not hold changed", std::to_string(k));
    // What the chooser builds from a slot to render it.
    (void)FicToPosix(f);
  }
  size >= kFicStoredSize ? Accepted() : RefusedChecked();
  // Written and read again, the slots keep their stored form (which has no volume or folder
  // number, so the records in memory may differ there).
  const Bytes stored = Stored(slots);
  const fichier* const written[kSlots] = {&slots[0], &slots[1], &slots[2]};
  if (efflist::WriteSlotRecords(file, written) != 0) Violation("the slots were not written");
  if (GetFile(path) != stored) Violation("the slot file is not the slots' stored form");
  if (efflist::ReadSlotRecords(file, pointers) != 0) Violation("the slots written do not read");
  if (Stored(slots) != stored) Violation("the slots written do not read back");
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"slots", SlotSeeds, SlotOne};
  return family;
}

}  // namespace vmkfuzz
