// Fuzz target: Path-list files: CPathList::ReadPathList, and DefaultPath replacing a
// list (which reads aside first, so a bad file loses nothing).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "app/file_access.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "platform/types/mac_types.h"

namespace vmkfuzz {
namespace {


CPath* OpenPath(std::initializer_list<std::pair<float, float>> pts) {
  CPath* p = new CPath;
  for (const auto& [x, y] : pts) p->AddPoint(new CPathPoint(x, y, 0));
  return p;
}

fichier PathFileAt(const std::string& posix) {
  fichier f;
  Init_FicStruct(&f);
  f.creator = FourCC("vMkC");
  f.type = FourCC("pAth");
  if (!SetFicFromPosix(&f, posix)) Violation("harness: path file");
  return f;
}

Bytes StoreList(CPathList& list, const std::string& name) {
  const std::string posix = File(name);
  PutFile(posix, nullptr, 0);
  fichier f = PathFileAt(posix);
  File_kern file(&f);
  int32_t pos = 0;
  if (list.WritePathList(0, &file, &pos, 100, 100) != 0) return {};
  return GetFile(posix);
}

std::vector<Bytes> PathListSeeds() {
  std::vector<Bytes> out;
  {
    CPathList list(0);
    list.first = OpenPath({{10.25f, 20.5f}, {-3.75f, 0.0f}, {40.0f, 41.0f}});
    list.first->next = OpenPath({{1.0f, 2.0f}, {3.0f, 4.0f}});
    list.count = 2;
    out.push_back(StoreList(list, "seed.path"));
  }
  {
    CPathList list(0);
    CPath* p = OpenPath({{0.5f, 0.5f}, {9.0f, 1.0f}, {4.0f, 7.0f}, {2.0f, 2.0f}});
    CPathPoint* last = p->first;
    while (last->next != nullptr) last = last->next;
    last->next = p->first;
    p->first->prev = last;
    p->closed = 1;
    list.first = p;
    list.count = 1;
    out.push_back(StoreList(list, "seed2.path"));
  }
  return out;
}

bool ListConsistent(const CPathList& list, const CPath* held) {
  int32_t chain = 0;
  for (const CPath* p = list.first; p != nullptr && chain <= list.count; p = p->next) ++chain;
  return chain == list.count && list.first != nullptr && list.first == held;
}

void PathListOne(const uint8_t* data, size_t size) {
  const std::string path = File("offered.path");
  PutFile(path, data, size);
  fichier f = PathFileAt(path);

  // (a) ReadPathList into a list that holds one path: keeps completed paths by design;
  //     the list must hang together and the held path stay first.
  int32_t readRc;
  {
    CPathList list(0);
    list.first = OpenPath({{5.0f, 6.0f}, {7.0f, 8.0f}});
    list.count = 1;
    CPath* held = list.first;
    File_kern file(&f);
    int32_t pos = 0;
    readRc = list.ReadPathList(0, &file, &pos, -1, RGBColor{}, 100, 100);
    if (readRc != 0 && readRc != -1) Violation("ReadPathList answer", std::to_string(readRc));
    if (!ListConsistent(list, held)) Violation("ReadPathList left the list inconsistent");
    if (readRc == 0 && StoreList(list, "restore.path").empty())
      Violation("ReadPathList: what was read cannot be stored again");
  }
  // (b) DefaultPath mode 1 reads aside first, "so a bad file loses nothing".
  {
    CPathList fresh(0);
    File_kern probe(&f);
    int32_t pos = 0;
    const int32_t rc = fresh.ReadPathList(0, &probe, &pos, -1, RGBColor{}, 100, 100);
    CPathList list(0);
    list.first = OpenPath({{1.0f, 1.0f}, {2.0f, 3.0f}});
    list.first->next = OpenPath({{8.0f, 8.0f}, {9.0f, 9.0f}, {10.0f, 1.0f}});
    list.count = 2;
    const Bytes before = StoreList(list, "before.path");
    list.DefaultPath(1, &f, 100, 100);
    const Bytes after = StoreList(list, "after.path");
    if (rc != 0 && after != before) Violation("DefaultPath(1) changed the paths on a bad file");
    rc == 0 ? Accepted() : RefusedChecked();
  }
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"pathlist", PathListSeeds, PathListOne};
  return family;
}

}  // namespace vmkfuzz
