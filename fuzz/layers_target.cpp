// Fuzz target: combined-layer files and layer records:
// ScriptFile::RecallCombiLay (head and stacks) and RecallLay (one layer at a
// position). A refused file leaves the script's size, stacks and layers, or
// the caller's layer, as they were; what was accepted can be saved again.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/script_support.h"
#include "app/file_access.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace vmkfuzz {
namespace {

Bytes SaveCombined(ScriptFile& s, const std::string& name) {
  const std::string posix = File(name);
  fichier f = FicAt(posix);
  File_kern file(&f);
  if (s.SaveCombiLay(&file, 99, nullptr) != 0) return {};
  return GetFile(posix);
}

Bytes SaveLayer(ScriptFile& s, Laye* l, const std::string& name) {
  const std::string posix = File(name);
  PutFile(posix, nullptr, 0);
  fichier f = FicAt(posix);
  File_kern file(&f);
  int32_t pos = 0;
  if (s.SaveLay(0, &file, l, &pos) != 0) return {};
  return GetFile(posix);
}

std::vector<Bytes> LayerSeeds() {
  std::vector<Bytes> out;
  for (int variant : {0, 1}) {
    auto s = SmallScript(variant);
    out.push_back(SaveCombined(*s, "seed.lay"));
    out.push_back(SaveLayer(*s, FirstLayer(*s), "seed1.lay"));
  }
  return out;
}

// The script's size and every stack's value, layer count, head and layers.
Bytes ScriptImage(ScriptFile& s) {
  Bytes b = RawBytes(s.width);
  const Bytes h = RawBytes(s.height), r = RawBytes(s.resolution);
  b.insert(b.end(), h.begin(), h.end());
  b.insert(b.end(), r.begin(), r.end());
  for (int16_t k = 0; k < ScriptFile::kStacks; ++k) {
    const LayerFile* st = s.GetStack(k);
    if (st == nullptr) continue;
    for (const Bytes& v : {RawBytes(st->stackValue), RawBytes(st->layerCount),
                           RawBytes(st->firstLaye)})
      b.insert(b.end(), v.begin(), v.end());
    for (const Laye* l = st->firstLaye; l != nullptr; l = l->next) {
      const Bytes li = LayerImage(s, *l);
      b.insert(b.end(), li.begin(), li.end());
    }
  }
  return b;
}

void Answer(const char* what, int32_t rc) {
  if (rc != 0 && rc != -1) Violation(what, std::to_string(rc));
}

void LayersOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.lay");
  PutFile(path, data, size);
  fichier f = FicAt(path);

  // (a) The combined-layer file, head and stacks.
  int32_t rc;
  {
    auto s = SmallScript(1);
    const Bytes before = ScriptImage(*s);
    int32_t value = 5;
    File_kern file(&f);
    rc = s->RecallCombiLay(&file, 1, &value, nullptr);
    Answer("RecallCombiLay answer", rc);
    if (rc != 0 && (ScriptImage(*s) != before || value != 5))
      Violation("RecallCombiLay changed the script on a refused file");
    if (rc == 0 && SaveCombined(*s, "again.lay").empty())
      Violation("RecallCombiLay: what was read cannot be saved again");
  }
  // (b) One layer record at the start of the file, operations and paths.
  {
    auto s = SmallScript(0);
    Laye* l = FirstLayer(*s);
    const Bytes before = LayerImage(*s, *l);
    File_kern file(&f);
    int32_t pos = 0;
    const int32_t rcLay = s->RecallLay(&file, l, &pos, 0);
    Answer("RecallLay answer", rcLay);
    if (rcLay != 0 && (LayerImage(*s, *l) != before || pos != 0))
      Violation("RecallLay changed the layer on a refused record");
    if (rcLay == 0 && SaveLayer(*s, l, "again1.lay").empty())
      Violation("RecallLay: the layer read cannot be saved again");
  }
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"layers", LayerSeeds, LayersOne};
  return family;
}

}  // namespace vmkfuzz
