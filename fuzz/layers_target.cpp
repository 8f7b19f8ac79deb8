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

// FNV-1a over what it is given: a script's state as one number, so that imaging the 256
// stacks twice an input stays cheap.
// Not traced for coverage: its loop is the harness's, and tracing it took a third of the time.
#if defined(__clang__)
#define VMKFUZZ_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define VMKFUZZ_UNTRACED
#endif
struct Digest {
  uint64_t h = 1469598103934665603ull;
  VMKFUZZ_UNTRACED void Add(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t k = 0; k < n; ++k) h = (h ^ b[k]) * 1099511628211ull;
  }
  template <class T>
  void Put(const T& v) {
    Add(&v, sizeof v);
  }
};

// The script's size and every stack's value, layer count, head and layers (a layer with
// operations through its full image).
Bytes ScriptImage(ScriptFile& s) {
  Digest d;
  d.Put(s.width);
  d.Put(s.height);
  d.Put(s.resolution);
  for (int16_t k = 0; k < ScriptFile::kStacks; ++k) {
    const LayerFile* st = s.GetStack(k);
    if (st == nullptr) continue;
    d.Put(k);
    d.Put(st->stackValue);
    d.Put(st->layerCount);
    d.Put(st->firstLaye);
    for (const Laye* l = st->firstLaye; l != nullptr; l = l->next) {
      if (l->firstOprn != nullptr || l->oprnCount != 0) {
        const Bytes li = LayerImage(s, *l);
        d.Add(li.data(), li.size());
        continue;
      }
      for (int16_t v : {l->LayFlag, l->active, l->lock, l->oprnCount}) d.Put(v);
      d.Add(l->name, sizeof l->name);
      d.Put(l->paths);
    }
  }
  return RawBytes(d.h);
}

void Answer(const char* what, int32_t rc) {
  if (rc != 0 && rc != -1) Violation(what, std::to_string(rc));
}

// A script and its image, kept from one input to the next while the readers refuse them: a
// refused file must leave the script as it was, so the same one serves again, and making the
// 256 stacks anew for every input was most of the work. An accepted file changes it: the next
// input gets a fresh one.
struct Kept {
  std::unique_ptr<ScriptFile> script;
  Bytes image;
  template <class ImageOf>
  ScriptFile& Get(ImageOf imageOf) {
    if (script == nullptr) {
      script = SmallScript(1);  // one plain operation: cheap to image
      image = imageOf(*script);
    }
    return *script;
  }
};

void LayersOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.lay");
  PutFile(path, data, size);
  fichier f = FicAt(path);

  // (a) The combined-layer file, head and stacks.
  // Never destroyed: the session they allocate through ends before static objects do.
  static Kept& whole = *new Kept;
  static Kept& one = *new Kept;
  int32_t rc;
  {
    ScriptFile& s = whole.Get(ScriptImage);
    int32_t value = 5;
    File_kern file(&f);
    rc = s.RecallCombiLay(&file, 1, &value, nullptr);
    Answer("RecallCombiLay answer", rc);
    if (rc != 0 && (ScriptImage(s) != whole.image || value != 5))
      Violation("RecallCombiLay changed the script on a refused file");
    if (rc == 0 && SaveCombined(s, "again.lay").empty())
      Violation("RecallCombiLay: what was read cannot be saved again");
    if (rc == 0) whole.script.reset();
  }
  // (b) One layer record at the start of the file, operations and paths.
  {
    auto firstLayer = [](ScriptFile& s) { return LayerImage(s, *FirstLayer(s)); };
    ScriptFile& s = one.Get(firstLayer);
    Laye* l = FirstLayer(s);
    File_kern file(&f);
    int32_t pos = 0;
    const int32_t rcLay = s.RecallLay(&file, l, &pos, 0);
    Answer("RecallLay answer", rcLay);
    if (rcLay != 0 && (LayerImage(s, *l) != one.image || pos != 0))
      Violation("RecallLay changed the layer on a refused record");
    if (rcLay == 0 && SaveLayer(s, l, "again1.lay").empty())
      Violation("RecallLay: the layer read cannot be saved again");
    if (rcLay == 0) one.script.reset();
  }
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"layers", LayerSeeds, LayersOne};
  return family;
}

}  // namespace vmkfuzz
