// Fuzz target: The stored file record (Read_FicStruct) and what the program builds from
// one (the first byte of an input picks the byte order).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "app/core/file_records.h"
#include "platform/bytes/byte_order.h"
#include "platform/types/mac_types.h"

namespace vmkfuzz {
namespace {


std::vector<Bytes> FicSeeds() {
  std::vector<Bytes> out;
  for (int v = 0; v < 2; ++v) {
    fichier f;
    Init_FicStruct(&f);
    SetFicFromPosix(&f, v == 0 ? File("some folder/a preset.hvig") : File("x"));
    f.creator = FourCC("vMkC");
    f.type = v == 0 ? FourCC("hVig") : FourCC("TEXT");
    f.spare[1] = v == 0 ? 77 : -5;
    plat::bytes::Writer w(plat::bytes::Order::Little);
    Write_FicStruct(w, f);
    Bytes b = w.take();
    b.insert(b.begin(), static_cast<uint8_t>(v));
    out.push_back(std::move(b));
  }
  return out;
}

void FicOne(const uint8_t* data, size_t size) {
  if (size < 1) return;
  const auto order = (data[0] & 1) != 0 ? plat::bytes::Order::Big : plat::bytes::Order::Little;
  fichier f;
  Init_FicStruct(&f);
  SetFicFromPosix(&f, File("kept"));
  f.creator = FourCC("vMkC");
  f.type = FourCC("TEXT");
  f.spare[1] = -5;
  f.spare[2] = 0x11223344;
  const Bytes before = RawBytes(f);
  plat::bytes::Reader r(data + 1, size - 1, order);
  const bool ok = Read_FicStruct(r, &f);
  if (!ok) {
    if (RawBytes(f) != before) Violation("Read_FicStruct changed the record on failure");
    RefusedChecked();
    return;
  }
  Accepted();
  // What the program builds from a stored record: its POSIX path, a path below it,
  // a copy, a specification, and the stored form again.
  const std::string posix = FicToPosix(f);
  (void)posix;
  unsigned char full[256] = {};
  PathBelowFolder(f, ":pspBuf7.lst", full);
  fichier g;
  Init_FicStruct(&g);
  Copy_FicStruct(&f, &g);
  const FSSpec spec = SpecOf(f);
  (void)spec;
  plat::bytes::Writer w(order);
  Write_FicStruct(w, f);
  if (w.size() != kFicStoredSize) Violation("Write_FicStruct size");
  // The stored form round-trips (volume and folder are written as 0).
  if (std::memcmp(w.bytes().data() + 6, data + 1 + 6, kFicStoredSize - 6) != 0)
    Violation("Read_FicStruct/Write_FicStruct round trip");
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"ficrec", FicSeeds, FicOne};
  return family;
}

}  // namespace vmkfuzz
