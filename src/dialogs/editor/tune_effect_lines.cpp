// The operation lines of the editor's operation popup and its kind menu.
#include <algorithm>
#include <string>

#include "app/core/pascal_strings.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "platform/files/file_types.h"
#include "platform/resources/resource_file.h"
#include "script/script_file.h"

namespace tb = plat::tb;
using namespace tuneeff;

namespace {

std::string ChannelName(int16_t channel) { return plat::res::GetIndString(kChannelNames, std::max<int16_t>(channel, 1)); }

int16_t NameList(int16_t family) {
  const Family* f = FamilyOf(family);
  return f != nullptr ? f->nameList : 0;
}

}  // namespace

std::string VMKtuneeff::OperationLine(short k, short fam) const {
  std::string line = std::to_string(k) + (k <= 9 ? " - " : "  - ");
  if (script == nullptr) return line;
  int16_t code = 0;
  const Oprn* op = script->GetEffect(stack, layer, k, &code);
  if (code >= 2) {
    int16_t act = 0;
    script->GetAct(stack, layer, k, &act);
    line += act != 0 ? "x  -" : "    -";
    const int16_t item = code < kMenuEntries ? codeToItem[code] : 0;
    line += plat::res::GetIndString(NameList(fam), item) + " ";
    if (LineNamesFile(code) && op != nullptr && op->FileOprn != nullptr)
      line += plat::files::DisplayName(PStrString(op->FileOprn->name));
    if ((code == 96 || code == 97) && op != nullptr) line += std::to_string(op->Param1);
    int16_t s = 0, d = 0, m = 0, mc = 0;
    script->GetFromChannel(stack, layer, k, &s);
    script->GetToChannel(stack, layer, k, &d);
    script->GetIntExt(stack, layer, k, &m);
    script->GetMChannel(stack, layer, k, &mc);
    s = std::max<int16_t>(s, 1);
    d = std::max<int16_t>(d, 1);
    if (TakesSource(code) && s > 1) line += " from " + ChannelName(s);
    // " to " follows the source alone, also where the line names no source.
    if (s > 1)
      line += " to " + ChannelName(d);
    else if (d > 1)
      line += " in " + ChannelName(d);
    if (m < 1) m = 3;
    if (m == 1 || m == 2) line += plat::res::GetIndString(kMaskTexts, m) + ChannelName(mc);
  }
  // A menu line is a length-prefixed string: longer text is cut.
  if (line.size() > 255) line.resize(255);
  return line;
}

void VMKtuneeff::LoadActMenu(short fam) {
  tb::ControlRef popup = Ctl(kOperationPopup);
  if (popup == nullptr) return;
  tb::DeleteMenuItems(popup);
  Laye* lay = script != nullptr && script->GetStack(stack) != nullptr ? script->GetStack(stack)->GetLaye(layer) : nullptr;
  const int16_t count = lay != nullptr ? lay->oprnCount : 0;
  for (int16_t k = 1; k <= count; ++k) tb::AppendMenuItemText(popup, OperationLine(k, fam));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

void VMKtuneeff::LoadKndMenu(short fam) {
  std::fill(std::begin(codeToItem), std::end(codeToItem), int16_t{0});
  std::fill(std::begin(itemToCode), std::end(itemToCode), int16_t{0});
  const Family* f = FamilyOf(fam);
  itemCount = 0;
  if (f != nullptr) {
    // Item 1 stands for no effect; the codes follow from item 2.
    int16_t item = 1;
    for (int16_t code : f->codes) {
      ++item;
      if (code >= 0 && code < kMenuEntries && item < kMenuEntries) {
        codeToItem[code] = item;
        itemToCode[item] = code;
      }
    }
    itemCount = item;
  }
  tb::ControlRef popup = Ctl(kKindPopup);
  if (popup == nullptr) return;
  tb::DeleteMenuItems(popup);
  for (int16_t k = 1; k <= itemCount; ++k) tb::AppendMenuItemText(popup, plat::res::GetIndString(NameList(fam), k));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, itemCount);
}
