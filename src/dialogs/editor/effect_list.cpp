#include "dialogs/editor/effect_list.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "app/plain_file_menus.h"
#include "dialogs/frame/fine_bitmap.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/effect_list_file.h"
#include "script/layers.h"
#include "script/lut_vign.h"
#include "script/ramp_bitmaps.h"
#include "script/script_file.h"
#include "script/script_record_file.h"
#include "views/image_box.h"

namespace {

using efflist::ListFile;

// The resource file's alert of a file that could not be written.
constexpr int16_t kFileAlert = 129;

// A text of a stored file's fixed field: it ends at its first zero, and at most 254
// characters are kept so that it fits the list's field with its ending zero.
std::string FieldText(const char* field) {
  return std::string(field, strnlen(field, efflist::kMaxTextLength));
}

// The script the stored files' texts and previews are read through: the current
// document's, or one of our own when no document is open (readers of texts and previews
// leave the script alone either way).
class ReadingScript {
 public:
  ReadingScript() {
    DocData* doc = CurrentDocData();
    if (doc != nullptr && doc->script != nullptr) {
      script_ = doc->script;
    } else {
      own_ = std::make_unique<ScriptFile>();
      script_ = own_.get();
    }
  }
  ScriptFile& get() { return *script_; }

 private:
  std::unique_ptr<ScriptFile> own_;
  ScriptFile* script_ = nullptr;
};

// The two texts of a stored effect file (mode 0) or ramp file (mode 1): 0 and the entry's
// category and second text, -1 when the file cannot be read.
int32_t ReadTexts(int16_t mode, ReadingScript& reading, const fichier& file,
                  efflist::Entry* entry) {
  char first[256] = {};
  char second[256] = {};
  if (mode == 1) {
    LutVign lut;
    if (Do_ALutVign_file(2, SpecOf(file), &lut, first, second, 0, 0, 0, 0) != 0) return -1;
    entry->category = FieldText(first);
    entry->second = FieldText(second);
    return 0;
  }
  File_kern kern(&file);
  if (reading.get().RecallScript(0, nullptr, nullptr, &kern, 2, nullptr, nullptr, nullptr, first,
                                 second, 1.0f, 1.0f, 0) != 0) {
    return -1;
  }
  // The category is what the saver stored from its text argument, which comes back last.
  entry->category = FieldText(second);
  entry->second = FieldText(first);
  return 0;
}

std::string CategoryText(OpaqueMenuRef* categoryMenu, int16_t item) {
  return plat::ui::GetMenuItemText(categoryMenu, std::max<int16_t>(item, 1));
}

void ShowCategories(OpaqueMenuRef* categoryMenu, const std::vector<efflist::Category>& cats) {
  plat::ui::DeleteMenuItems(categoryMenu);
  for (const efflist::Category& c : cats) plat::ui::AppendMenuItemText(categoryMenu, c.name);
}

}  // namespace

void MakeEffListRecord(const std::string& folder, const std::string& name, fichier* out) {
  if (out == nullptr) return;
  Str255 full = {0};
  SetPStr(full, folder);
  PStrAppend(full, name);
  FSMakeFSSpec(0, 0, full, out);
  SetPStr(out->name, name);
  SetPStr(out->path, folder);
}

VMKlisteff::VMKlisteff(int16_t mode, int16_t slots) : mode(mode), slotCount(slots) {}

int16_t VMKlisteff::PrepareCatNamMenus(OpaqueMenuRef* categoryMenu, OpaqueMenuRef* nameMenu,
                                       int16_t family) {
  // The owners set the family before; taking the argument too keeps the list and its
  // rebuild on one family whatever the owner did.
  this->family = family;
  Init_FicStruct(&listFile);
  if (gPer != nullptr) {
    listFile = gPer->makersFolder;
    // A family without a list names the maker's folder itself: nothing can be read or
    // written there, so its menus stay empty.
    const efflist::ListKind* kind = efflist::ListKindFor(mode, family);
    Str255 full = {0};
    PathBelowFolder(gPer->makersFolder, kind != nullptr ? kind->fileName : "", full);
    FSMakeFSSpec(0, 0, full, &listFile);
    BuildVName(&listFile, listFile.path, &listFile.parent, 1);
  }
  listFile.creator = efflist::kListCreator;
  listFile.type = efflist::kListType;

  // Kept as the list has always behaved: a list that reads is used as it stands, even
  // when files were stored since; only a missing or damaged one is rebuilt here.
  ListFile list;
  if (efflist::ReadListFile(listFile, &list) != 0) {
    PrepareEffListFile(this->family);
    PrepareListCat(categoryMenu);
    NbEff_Cat(categoryMenu, &categoryEntries, selectedCategory);
  }
  LoadCatMenus(categoryMenu);
  return LoadNamMenus(categoryMenu, nameMenu);
}

void VMKlisteff::PrepareEffListFile(int16_t family) {
  const efflist::ListKind* kind = efflist::ListKindFor(mode, family);
  if (kind == nullptr || gPer == nullptr) return;
  std::unique_ptr<FSSpec[]> found(new (std::nothrow) FSSpec[efflist::kMaxEntries]);
  if (!found) return;  // no room to list the files: the old list stays
  int32_t count = 0;
  (void)FileTypeMenuTexts(&gPer->makersFolder, &kind->listed, efflist::kMaxEntries, &count,
                          found.get(), 0);

  ListFile list;
  list.header = {selectedCategory, firstVisible, categoryEntries, categoryCount, 0};
  ReadingScript reading;
  for (int32_t i = 0; i < count; ++i) {
    fichier file = listFile;
    if (!SetFicFromSpec(&file, found[i])) continue;
    efflist::Entry entry;
    if (ReadTexts(mode, reading, file, &entry) != 0) continue;  // unreadable: left out
    entry.folder = PStrString(file.path);
    entry.name = PStrString(file.name);
    // A name or folder the list cannot hold would read back as a damaged list: left out.
    if (efflist::EntryFits(entry)) list.entries.push_back(std::move(entry));
  }
  if (efflist::WriteListFile(listFile, list) != 0) {
    // The browser would show nothing and say nothing: the folder is named.
    plat::ui::AlertRequest alert;
    alert.alertId = kFileAlert;
    alert.params = {"The list of stored effects could not be written in the folder \"" +
                        FicToPosix(gPer->makersFolder) + "\".",
                    "The folder cannot take its files; the list was left as it was."};
    plat::ui::Alert(alert);
    return;
  }
  entryCount = static_cast<int16_t>(list.entries.size());
  categoryCount = static_cast<int16_t>(efflist::BuildCategories(list.entries).size());
}

void VMKlisteff::PrepareListCat(OpaqueMenuRef* categoryMenu) {
  ListFile list;
  const bool read = efflist::ReadListFile(listFile, &list) == 0;
  const std::vector<efflist::Category> cats = efflist::BuildCategories(list.entries);
  ShowCategories(categoryMenu, cats);
  categoryCount = static_cast<int16_t>(cats.size());
  if (!read) return;
  // The writer stores the records already; a list written elsewhere gets them anew.
  bool same = list.categories.size() == cats.size();
  for (size_t k = 0; same && k < cats.size(); ++k) {
    same = list.categories[k].name == cats[k].name && list.categories[k].count == cats[k].count;
  }
  if (same || efflist::WriteListFile(listFile, list) == 0) return;
  // The menus show the right categories all the same; the file that keeps
  // the wrong ones must not pass for mended.
  plat::ui::AlertRequest alert;
  alert.alertId = kFileAlert;
  alert.params = {"The list of stored effects could not be written as \"" + FicToPosix(listFile) + "\".",
                  "The folder cannot take its files; the list was left as it was."};
  plat::ui::Alert(alert);
}

void VMKlisteff::NbEff_Cat(OpaqueMenuRef* categoryMenu, int16_t* count, int16_t item) {
  if (count == nullptr) return;
  ListFile list;
  if (efflist::ReadListFile(listFile, &list) != 0) {
    *count = 0;
    return;
  }
  const std::string text = CategoryText(categoryMenu, item);
  *count = static_cast<int16_t>(efflist::EntriesOfCategory(list, text).size());
}

void VMKlisteff::LoadCatMenus(OpaqueMenuRef* categoryMenu) {
  plat::ui::DeleteMenuItems(categoryMenu);
  ListFile list;
  if (efflist::ReadListFile(listFile, &list) != 0) return;
  selectedCategory = list.header.selectedCategory;
  firstVisible = std::max<int16_t>(list.header.firstVisible, 0);
  categoryEntries = list.header.categoryEntries;
  categoryCount = list.header.categoryCount;
  entryCount = list.header.entryCount;
  // A stored selection outside the categories selects "ALL".
  if (selectedCategory < 1 || selectedCategory > categoryCount) selectedCategory = 1;
  for (const efflist::Category& c : list.categories) {
    plat::ui::AppendMenuItemText(categoryMenu, c.name);
  }
}

int16_t VMKlisteff::LoadNamMenus(OpaqueMenuRef* categoryMenu, OpaqueMenuRef* nameMenu) {
  plat::ui::DeleteMenuItems(nameMenu);
  if (selectedCategory < 1) selectedCategory = 1;
  ListFile list;
  if (efflist::ReadListFile(listFile, &list) != 0) return 0;
  const std::string text = CategoryText(categoryMenu, selectedCategory);
  const bool all = text == efflist::kAllCategory;
  int16_t items = 0;
  for (int32_t i : efflist::EntriesOfCategory(list, text)) {
    // The list keeps the file's name as it is on disk; the user sees it without its type's suffix.
    const std::string name = plat::files::DisplayName(list.entries[static_cast<size_t>(i)].name);
    // Under "ALL" each name carries its place in the whole list.
    plat::ui::AppendMenuItemText(nameMenu, all ? std::to_string(i + 1) + " " + name : name);
    ++items;
  }
  return items;
}

void VMKlisteff::GetFichInList(OpaqueMenuRef* categoryMenu, int16_t index, fichier* out) {
  ListFile list;
  if (out == nullptr || index < 0 || efflist::ReadListFile(listFile, &list) != 0) return;
  const std::vector<int32_t> entries =
      efflist::EntriesOfCategory(list, CategoryText(categoryMenu, selectedCategory));
  if (static_cast<size_t>(index) >= entries.size()) return;
  const efflist::Entry& e = list.entries[static_cast<size_t>(entries[static_cast<size_t>(index)])];
  MakeEffListRecord(e.folder, e.name, out);
}

void VMKlisteff::UpdatePreviews(int16_t fillMode, OpaqueMenuRef* categoryMenu, int16_t first,
                                int16_t force, TSSeff** slots, VMKimabox** views,
                                fichier* out) {
  if (force == 0) {
    if (first == -1) first = 0;
    if (first == lastFirst) return;
  }
  for (int16_t k = 0; slots != nullptr && k < slotCount; ++k) {
    if (slots[k] != nullptr) slots[k]->filled = 0;
  }
  ListFile list;
  if (efflist::ReadListFile(listFile, &list) != 0) return;
  filled = 0;
  const std::vector<int32_t> entries =
      efflist::EntriesOfCategory(list, CategoryText(categoryMenu, selectedCategory));
  const int32_t limit = std::min<int32_t>(fillLimit, slotCount);
  std::vector<char> buffer(static_cast<size_t>(kPreviewSide * kPreviewSide * 4));
  std::vector<uint8_t> bar(static_cast<size_t>(kBarWidth * kBarHeight * 4));
  ReadingScript reading;
  // Slot k shows entry first + k; an entry whose preview cannot be read leaves its slot
  // empty, so the owner's slot numbers keep matching the list.
  for (size_t at = static_cast<size_t>(std::max<int16_t>(first, 0)); at < entries.size(); ++at) {
    const int32_t k = static_cast<int32_t>(at) - std::max<int16_t>(first, 0);
    if (k >= limit) break;
    const efflist::Entry& e = list.entries[static_cast<size_t>(entries[at])];
    fichier file;
    MakeEffListRecord(e.folder, e.name, &file);
    TSSeff* slot = slots != nullptr ? slots[k] : nullptr;
    VMKimabox* view = views != nullptr ? views[k] : nullptr;
    if (mode == 1) {
      LutVign lut;
      char n1[256], n2[256];
      if (Do_ALutVign_file(2, SpecOf(file), &lut, n1, n2, 0, 0, 0, 0) == 0 && slot != nullptr) {
        slot->bar = Rect{0, 0, static_cast<int16_t>(kBarHeight), static_cast<int16_t>(kBarWidth)};
        slot->previewWidth = kBarWidth;
        slot->previewHeight = kBarHeight;
        if (view != nullptr) {
          ShowFineBitmap(view, kBarWidth, kBarHeight, [&lut](int32_t scale, const Rect& r, uint8_t* bitmap) {
            build_BufBarAt(scale, &r, bitmap, &lut, 0, 0, 0);
            return true;
          }, bar.data());
        }
        Copy_FicStruct(&file, &slot->file);
        slot->filled = 1;
      }
    } else {
      File_kern kern(&file);
      int16_t w = 0, h = 0;
      if (reading.get().RecallScript(0, nullptr, nullptr, &kern, 1, buffer.data(), &w, &h,
                                     nullptr, nullptr, 1.0f, 1.0f, 0) == 0) {
        if (fillMode == 1) {
          if (out != nullptr) Copy_FicStruct(&file, out);
        } else if (slot != nullptr) {
          // The preview buffer holds 130 x 130 pixels, whatever size the file claims.
          slot->previewWidth = std::clamp<int32_t>(w, 0, kPreviewSide);
          slot->previewHeight = std::clamp<int32_t>(h, 0, kPreviewSide);
          Copy_FicStruct(&file, &slot->file);
          slot->filled = 1;
          if (view != nullptr) {
            view->SetBuf(0, kPreviewSide, kPreviewSide, buffer.data(), slot->previewWidth,
                         slot->previewHeight, 255);
          }
        }
      }
    }
    filled = static_cast<int16_t>(k + 1);
  }
  (void)efflist::WriteListPosition(listFile, selectedCategory, firstVisible);
  lastFirst = first;
}

int16_t VMKlisteff::LoadEff(int16_t mode, int16_t load, int16_t index, TSSeff** slots,
                            fichier* file, Laye* layer, ScriptFile* script, char* text1,
                            char* text2) {
  fichier chosen;
  if (mode == 0 || mode == 2) {
    if (slots == nullptr || index < 0 || index >= slotCount || slots[index] == nullptr ||
        slots[index]->filled != 1) {
      return -1;
    }
    MakeEffListRecord(PStrString(slots[index]->file.path), PStrString(slots[index]->file.name),
                      &chosen);
  } else if (mode == 3 && file != nullptr) {
    chosen = *file;
  } else {
    return -1;
  }
  if (load != 1) return -1;
  if (layer == nullptr || script == nullptr) return -1;
  File_kern kern(&chosen);
  // The reader replaces the layer's operations only when the whole record was read.
  return script->RecallScript(0, &layer->oprnCount, &layer->firstOprn, &kern, 0, nullptr, nullptr,
                              nullptr, text1, text2, 1.0f, 1.0f, 0) == 0
             ? 0
             : -1;
}
