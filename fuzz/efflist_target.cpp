// Fuzz target: the effect-list file (efflist::DecodeList). A refused list leaves the
// caller's list as it was; an accepted one is stored again by the writer and reads back
// with the same header and entries.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "script/effect_list_file.h"

namespace vmkfuzz {
namespace {

efflist::Entry Entry(const std::string& category, int n) {
  return {category, "stored as " + std::to_string(n), ":home:user:Vellmarkstead:Effects:",
          "effect " + std::to_string(n) + ".ach1"};
}

std::vector<Bytes> ListSeeds() {
  std::vector<Bytes> out;
  efflist::ListFile list;
  out.push_back(efflist::EncodeList(list));  // an empty folder
  list.entries.push_back(Entry("Warm", 1));
  out.push_back(efflist::EncodeList(list));
  list.entries.push_back(Entry("Cold", 2));
  list.entries.push_back(Entry("ALL", 3));
  list.entries.push_back(Entry("Warm", 4));
  list.header = {3, 1, 2, 3, 4};
  out.push_back(efflist::EncodeList(list));  // "ALL" and two categories
  list.entries.clear();
  for (int n = 0; n < 300; ++n) list.entries.push_back(Entry("c" + std::to_string(n % 7), n));
  out.push_back(efflist::EncodeList(list));
  return out;
}

bool SameEntries(const efflist::ListFile& a, const efflist::ListFile& b) {
  if (a.entries.size() != b.entries.size()) return false;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const efflist::Entry& x = a.entries[i];
    const efflist::Entry& y = b.entries[i];
    if (x.category != y.category || x.second != y.second || x.folder != y.folder ||
        x.name != y.name) {
      return false;
    }
  }
  return true;
}

void ListOne(const uint8_t* data, size_t size) {
  efflist::ListFile list;
  list.entries.push_back(Entry("kept", 0));
  const Bytes before = efflist::EncodeList(list);
  if (efflist::DecodeList(data, size, &list) != 0) {
    if (efflist::EncodeList(list) != before) Violation("DecodeList changed the list on failure");
    RefusedChecked();
    return;
  }
  Accepted();
  if (list.categories.empty() || list.categories.size() != static_cast<size_t>(list.header.categoryCount) ||
      list.entries.size() != static_cast<size_t>(list.header.entryCount)) {
    Violation("DecodeList tables and header counts differ");
  }
  for (const efflist::Entry& e : list.entries) {
    if (!efflist::EntryFits(e)) Violation("DecodeList accepted an entry the writer cannot store");
  }
  const Bytes again = efflist::EncodeList(list);
  efflist::ListFile back;
  if (efflist::DecodeList(again.data(), again.size(), &back) != 0) Violation("written list refused");
  if (!SameEntries(list, back) || back.header.selectedCategory != list.header.selectedCategory ||
      back.header.firstVisible != list.header.firstVisible) {
    Violation("DecodeList/EncodeList round trip");
  }
  // The categories of what was stored: "ALL" first, each name once.
  const auto cats = efflist::BuildCategories(back.entries);
  if (cats.size() != back.categories.size() || cats[0].count != static_cast<int16_t>(back.entries.size() + 1))
    Violation("category records of a written list");
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"efflist", ListSeeds, ListOne};
  return family;
}

}  // namespace vmkfuzz
