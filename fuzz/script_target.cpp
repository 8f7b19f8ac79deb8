// Fuzz target: script record files: ScriptFile::RecallScript (the whole
// record into a new chain) and RecallScriptAtPos in its texts-and-preview
// mode. A refused file leaves the caller's chain, count, texts and preview
// as they were; an accepted chain can be saved again.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/script_support.h"
#include "app/file_access.h"
#include "script/layers.h"
#include "script/script_file.h"
#include "script/script_record_file.h"

namespace vmkfuzz {
namespace {

Bytes SaveChain(ScriptFile& s, int16_t count, Oprn* first, const char* preview,
                const std::string& name) {
  const std::string posix = File(name);
  fichier f = FicAt(posix);
  File_kern file(&f);
  char text[scriptrecord::kScriptTextSize] = "seed";
  if (s.SaveScript(count, first, &file, preview, 1, 2, text, 1) != 0) return {};
  return GetFile(posix);
}

std::vector<Bytes> ScriptSeeds() {
  std::vector<Bytes> out;
  for (int variant : {0, 1}) {
    auto s = SmallScript(variant);
    Laye* l = FirstLayer(*s);
    std::vector<char> preview;
    if (variant == 1) preview.assign(scriptrecord::kScriptPreviewSize, 7);
    out.push_back(SaveChain(*s, l->oprnCount, l->firstOprn,
                            preview.empty() ? nullptr : preview.data(), "seed.eff"));
  }
  return out;
}

void Answer(const char* what, int32_t rc) {
  if (rc != 0 && rc != -1) Violation(what, std::to_string(rc));
}

void ScriptOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.eff");
  PutFile(path, data, size);
  fichier f = FicAt(path);
  // The caller's chain is one plain operation: its image is taken three times an input, and
  // the seeds already carry every block kind the reader must take.
  auto s = SmallScript(1);
  Laye* l = FirstLayer(*s);

  // (a) The whole record into a new chain, replacing the caller's only on success.
  const Bytes before = ChainImage(*s, l->oprnCount, l->firstOprn);
  char name[scriptrecord::kScriptTextSize] = "held name";
  char text[scriptrecord::kScriptTextSize] = "held text";
  const std::string nameBefore(name, sizeof name), textBefore(text, sizeof text);
  int32_t rc;
  {
    File_kern file(&f);
    rc = s->RecallScript(1, &l->oprnCount, &l->firstOprn, &file, 0, nullptr, nullptr, nullptr,
                         name, text, 1.0f, 1.0f, 1);
  }
  Answer("RecallScript answer", rc);
  if (rc != 0) {
    if (ChainImage(*s, l->oprnCount, l->firstOprn) != before)
      Violation("RecallScript changed the caller's chain on a refused file");
    if (std::string(name, sizeof name) != nameBefore || std::string(text, sizeof text) != textBefore)
      Violation("RecallScript changed the caller's texts on a refused file");
  } else if (SaveChain(*s, l->oprnCount, l->firstOprn, nullptr, "again.eff").empty()) {
    Violation("RecallScript: the chain read cannot be saved again");
  }

  // (b) Texts, values and preview at a position, leaving the chain alone.
  {
    std::vector<char> preview(scriptrecord::kScriptPreviewSize, 9);
    int16_t v1 = 11, v2 = 12;
    const Bytes chain = ChainImage(*s, l->oprnCount, l->firstOprn);
    File_kern file(&f);
    int32_t pos = 0;
    const int32_t rc1 = s->RecallScriptAtPos(&pos, 1, &l->oprnCount, &l->firstOprn, &file, 1,
                                             preview.data(), &v1, &v2, name, text, 1.0f, 1.0f, 1);
    Answer("RecallScriptAtPos(mode 1) answer", rc1);
    if (ChainImage(*s, l->oprnCount, l->firstOprn) != chain)
      Violation("RecallScriptAtPos(mode 1) touched the chain");
    if (rc1 != 0 && (v1 != 11 || v2 != 12 || preview != std::vector<char>(preview.size(), 9)))
      Violation("RecallScriptAtPos(mode 1) changed the caller's values on a refused file");
    if (pos != 0) Violation("RecallScriptAtPos(mode 1) moved the position");
  }
  rc == 0 ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"script", ScriptSeeds, ScriptOne};
  return family;
}

}  // namespace vmkfuzz
