#include "dialogs/photo/image_library.h"

#include <QWidget>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "app/file_access.h"
#include "host/session/small_dialogs.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/plain_menus.h"
#include "platform/toolbox/api/ui_services.h"

namespace tb = plat::tb;

namespace {

// The scratch menus of a scan pass and of the category counts.
constexpr int16_t kPassMenuId = 16038;

// The progress window "Updating", open for the life of the object.
class Updating {
 public:
  Updating() : window_(lib_.Do_UpdatingDlg(0, nullptr)) {}
  ~Updating() { lib_.Do_UpdatingDlg(1, window_); }
  Updating(const Updating&) = delete;
  Updating& operator=(const Updating&) = delete;
  // Lets the window draw while the work goes on. Only the window itself
  // is painted: no queued command or redraw of the owner runs in the
  // middle of a rebuild.
  void Turn() {
    if (QWidget* w = tb::QtWidgetOf(window_)) w->repaint();
  }

 private:
  VMKlibr lib_;
  tb::WindowRef window_;
};

// One scan pass's scratch: the menu its names go into and the block of its
// file specifications, from the session's registry.
class PassScratch {
 public:
  PassScratch()
      : menu_(plat::ui::NewMenu(kPassMenuId, "tmp")),
        buffer_(SessionMemMan() != nullptr ? SessionMemMan()->NewBuf(kImaPassBufferSize) : nullptr) {}
  ~PassScratch() {
    if (buffer_ != nullptr) SessionMemMan()->DelBuf(buffer_);
    plat::ui::DisposeMenu(menu_);
  }
  PassScratch(const PassScratch&) = delete;
  PassScratch& operator=(const PassScratch&) = delete;
  bool ok() const { return menu_ != nullptr && buffer_ != nullptr; }
  MenuRef menu() const { return menu_; }
  uint8_t* specs() const { return reinterpret_cast<uint8_t*>(buffer_); }

 private:
  MenuRef menu_;
  char* buffer_;
};

std::string MakersPosix() {
  return gPer != nullptr ? FicToPosix(gPer->makersFolder) : std::string();
}

// A rebuild the maker's folder would not take (full, read-only, or a file
// where a list should be): the picker would show nothing and say nothing.
void TellLibraryNotWritten(const char* what) {
  plat::ui::AlertRequest alert;
  alert.alertId = 129;
  alert.params = {std::string("The image library's ") + what + " could not be written in the folder \"" +
                      MakersPosix() + "\".",
                  "The folder cannot take its files; the library was left as it was."};
  plat::ui::Alert(alert);
}

}  // namespace

// Every field starts known: the list file's header is written from them, so
// none may be left as the allocator happened to leave it.
VMKlistima::VMKlistima(int16_t slotTotal) : slotCount(slotTotal) {
  Init_FicStruct(&listFile);
  Init_FicStruct(&bufFile);
}

bool VMKlistima::NameFiles() {
  return ImaLibraryFile(kImaListFileName, kImaListType, &listFile) &&
         ImaLibraryFile(kImaThumbFileName, kImaThumbType, &bufFile);
}

ImaListHeader VMKlistima::Header() const {
  ImaListHeader h;
  h.selectedCategory = selectedCategory;
  h.firstVisible = firstVisible;
  h.entriesInCategory = entriesInCategory;
  h.categoryCount = categoryCount;
  h.entryCount = entryCount;
  std::memcpy(h.reserved.data(), reserved, sizeof reserved);
  return h;
}

std::string VMKlistima::SelectedCategoryText(tb::ControlRef category) const {
  // A caller without a window has no popup: its page is the whole library.
  if (category == nullptr) return "ALL";
  const int16_t item = selectedCategory < 1 ? int16_t{1} : selectedCategory;
  return tb::GetMenuItemText(category, item);
}

int16_t VMKlistima::PrepareCatNamMenus(tb::ControlRef category, tb::ControlRef names) {
  if (!NameFiles()) {
    tb::DeleteMenuItems(category);
    tb::DeleteMenuItems(names);
    return 0;
  }
  ImaList list;
  if (ReadImaListFile(listFile, &list) != 0) {
    // A declined or failed rebuild leaves nothing to count: the table and
    // the count are made only from a list that was written.
    if (PrepareImaListFile(0) == 0) {
      PrepareListCat(category);
      NbIma_Cat(category, &entriesInCategory, selectedCategory);
    }
  }
  LoadCatMenus(category);
  return LoadNamMenus(category, names);
}

int16_t VMKlistima::PrepareImaListFile(int16_t ask) {
  if (ask == 0) {
    VMKlibr lib;
    if (lib.Do_UpdateDlg() == 0) return -1;
  }
  if (!NameFiles()) return -1;
  Updating progress;
  const std::string folder = MakersPosix();
  ImaList list;
  list.header = Header();
  std::unordered_set<std::string> listed;
  for (const ImaScanPass& pass : ImaScanPasses()) {
    PassScratch scratch;
    // The passes written so far stay counted; the file keeps its old bytes.
    if (!scratch.ok()) return -1;
    const size_t before = list.entries.size();
    ImaAppendPass(folder, pass, scratch.specs(), kImaPassLimit, &listed, &list.entries);
    for (size_t k = before; k < list.entries.size(); ++k)
      plat::ui::AppendMenuItemText(scratch.menu(), ImaNameText(list.entries[k]));
    // The running total after every pass.
    entryCount = static_cast<int16_t>(list.entries.size());
    progress.Turn();
  }
  // The file is written whole, the category table included, so that a
  // rebuild cut short never leaves a list that reads as valid.
  list.categories = BuildImaCategories(list.entries);
  if (WriteImaListFile(listFile, list) != 0) {
    TellLibraryNotWritten("list");
    return -1;
  }
  categoryCount = static_cast<int16_t>(list.categories.size());
  return 0;
}

void VMKlistima::PrepareListCat(tb::ControlRef category) {
  tb::DeleteMenuItems(category);
  tb::AppendMenuItemText(category, "ALL");
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return;
  list.categories = BuildImaCategories(list.entries);
  categoryCount = static_cast<int16_t>(list.categories.size());
  if (WriteImaListFile(listFile, list) != 0) TellLibraryNotWritten("list");
  for (size_t k = 1; k < list.categories.size(); ++k)
    tb::AppendMenuItemText(category, ImaCategoryName(list.categories[k]));
}

void VMKlistima::PrepareBufImaListFile(int16_t force) {
  Updating progress;
  plat::ui::SetAnimatedThemeCursor(plat::ui::kSpinningCursor, 6);
  if (NameFiles() && (force == 1 || S_test_exist(&bufFile) != 1)) {
    ImaList list;
    if (ReadImaListFile(listFile, &list) == 0 &&
        BuildImaThumbFile(bufFile, list.entries, [&progress] { progress.Turn(); }) == kImaNotWritten)
      TellLibraryNotWritten("thumbnails");
  }
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

void VMKlistima::LoadCatMenus(tb::ControlRef category) {
  tb::DeleteMenuItems(category);
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return;
  // Words 0 and 1 are rewritten by a page redraw; a foreign
  // value is taken as the first category and the first page.
  ImaListCorrected(list.header, &selectedCategory, &firstVisible);
  entriesInCategory = list.header.entriesInCategory;
  categoryCount = list.header.categoryCount;
  entryCount = list.header.entryCount;
  for (const ImaCategory& c : list.categories) tb::AppendMenuItemText(category, ImaCategoryName(c));
}

int16_t VMKlistima::LoadNamMenus(tb::ControlRef category, tb::ControlRef names) {
  tb::DeleteMenuItems(names);
  if (selectedCategory < 1) selectedCategory = 1;
  const std::string text = SelectedCategoryText(category);
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return 0;
  int16_t added = 0;
  for (size_t i = 0; i < list.entries.size(); ++i) {
    ImaListEntry& e = list.entries[i];
    const bool all = text == "ALL";
    if (!all && ImaCategoryText(e) != text) continue;
    if (ImaExist(e.path.data(), e.category.data(), e.name.data()) != 1) continue;
    // "ALL" numbers its items by list position, gaps and all, so that a
    // missing image does not renumber the rest.
    const std::string shown = plat::files::DisplayName(ImaNameText(e));
    tb::AppendMenuItemText(names, all ? std::to_string(i + 1) + " " + shown : shown);
    ++added;
  }
  return added;
}

void VMKlistima::NbIma_Cat(tb::ControlRef category, int16_t* count, int16_t item) {
  if (count == nullptr) return;
  const std::string text = tb::GetMenuItemText(category, item < 1 ? 1 : item);
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return;
  if (text == "ALL") {
    *count = list.header.entryCount;
    return;
  }
  int16_t n = 0;
  for (const ImaListEntry& e : list.entries)
    if (ImaCategoryText(e) == text) ++n;
  *count = n;
}

void VMKlistima::NbIma_inCat(tb::ControlRef category, int16_t* position, int16_t item) {
  if (position == nullptr) return;
  const std::string text = tb::GetMenuItemText(category, item < 1 ? 1 : item);
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return;
  for (size_t i = 0; i < list.entries.size(); ++i) {
    if (ImaCategoryText(list.entries[i]) == text) {
      *position = static_cast<int16_t>(i);
      return;
    }
  }
}

int16_t VMKlistima::CheckNamInList(unsigned char* name) {
  if (name == nullptr) return 0;
  PCstr(name);
  const std::string wanted(reinterpret_cast<const char*>(name));
  ImaList list;
  if (!NameFiles() || ReadImaListFile(listFile, &list) != 0) return 0;
  for (const ImaListEntry& e : list.entries)
    if (ImaNameText(e) == wanted) return 1;
  return 0;
}

int16_t VMKlistima::ImaExist(unsigned char* path, char* category, unsigned char* name) {
  return ImaFindImage(path, category, name);
}

void VMKlistima::GetFichInList(tb::ControlRef category, int16_t n, fichier* out) {
  if (out == nullptr || n < 0 || !NameFiles()) return;
  const std::string text = SelectedCategoryText(category);
  ImaThumbReader thumbs;
  if (!thumbs.Open(bufFile)) return;
  int32_t seen = 0;
  for (int32_t j = 0; j < thumbs.RecordCount(); ++j) {
    ImaListEntry e;
    if (!thumbs.Entry(j, &e)) continue;
    if (text != "ALL" && ImaCategoryText(e) != text) continue;
    if (seen++ != n) continue;
    const std::string full = ImaPathText(e) + ImaNameText(e);
    if (full.size() > 255) return;
    Str255 pfull;
    SetPStr(pfull, full);
    (void)FSMakeFSSpec(0, 0, pfull, out);
    pStrCopy(e.path.data(), out->path);
    pStrCopy(e.name.data(), out->name);
    return;
  }
}
