// Behaviours: an event on one table cell of a slice layout tied to an effect
// on another cell, with a message. A slice list owns one behaviour list and
// lends it to every slice; lists are also kept in behaviour files ('sBeh').
//
// Record (written in this host's order, little-endian; the version word, 1,
// tells the order, so a record whose version reads 0x0100 was written on a
// big-endian host and is read big-endian):
//   0 version (2), 2 list value (2), 4 behaviour count (4), then per
//   behaviour 271 bytes: active, source cell, number, kind, parameter 1,
//   parameter 2, target or flag 1, value or flag 2 (2 bytes each), message
//   (255 bytes, length-prefixed).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/bytes/byte_order.h"
#include "platform/types/mac_types.h"

class File_kern;
struct fichier;

class CBehav {
 public:
  static constexpr int32_t kRecordBytes = 271;
  static constexpr int kMessBytes = 255;

  CBehav() = default;

  void SetParam(int16_t kind, int16_t param1, int16_t param2, int16_t flag1, int16_t flag2);
  void GetParam(int16_t* kind, int16_t* param1, int16_t* param2, int16_t* flag1,
                int16_t* flag2) const;
  // The message, length-prefixed, at most 254 characters.
  void GetMess(unsigned char* out) const;
  void SetMess(const unsigned char* text);
  void Activate() { active = 1; }
  void Inactivate() { active = 0; }
  void SelectAll() {}
  void DeselectAll() {}
  // Every field but the chain link.
  void CopyBehav(CBehav* target) const;
  // One 271-byte record at *pos (mode 1: the file is open already; else it is
  // opened and closed here). 0, or -1 at the first failed transfer, *pos then
  // where it had got to. Reading takes the record in `order`.
  int32_t WriteBehav(int16_t mode, File_kern* file, int32_t* pos) const;
  int32_t ReadBehav(int16_t mode, File_kern* file, int32_t* pos,
                    plat::bytes::Order order = plat::bytes::Order::Little);

  int16_t active = 1;
  int16_t number = 0;  // position in the list, from 1
  int16_t kind = 0;    // 3 acts on a target cell; 2 and 4 on their source cell
  int16_t param1 = 1;
  int16_t source = 0;  // cell whose event fires the behaviour
  int16_t param2 = 0;
  int16_t flag1 = 0;   // kind 3: target cell; kinds 2, 4: also the third state
  int16_t flag2 = 0;   // kind 3: value for the target; kinds 2, 4: the fourth state
  unsigned char message[kMessBytes] = {};
  CBehav* next = nullptr;
};

class CBehavList {
 public:
  static constexpr int32_t kHeadBytes = 8;

  CBehavList() = default;
  ~CBehavList();
  CBehavList(const CBehavList&) = delete;
  CBehavList& operator=(const CBehavList&) = delete;

  int32_t AddBehav(int16_t source);
  void RemoveAllBehav();
  void RemoveSelBehav();
  void DelKeyHit() { RemoveSelBehav(); }
  // Never leaves the list empty: a fresh behaviour with source 0 takes the
  // place of the last one removed.
  void RemoveNumberBehav(int16_t n);
  CBehav* GetNumberBehav(int16_t n) const;
  void ActivateAll();
  void InActivateAll();
  void ActivateNumber(int16_t n);
  void InActivateNumber(int16_t n);
  void UpdSelectBehav(CBehav* b) { current = b; }

  // The target's behaviours become copies of ours (onto itself: nothing).
  void CopyBehavList(CBehavList* target) const;
  // The target's behaviours become copies of our active ones.
  void CopyActiveBehavs(CBehavList* target) const;
  void CopyAttachBehavList(const CBehavList* source);
  // Takes the source's own behaviours; the source is left empty.
  void AttachBehavList(CBehavList* source);
  void DuplicateBehavList();

  // The record at *pos (mode 1: the file is open already). 0, or -1 when the
  // file cannot be opened or written. Reading deactivates ours and appends
  // the record's behaviours; a short or over-counted record keeps the
  // complete behaviours read and answers -1. `order` tells the order of an
  // enclosing record; without one the version word tells it.
  int32_t WriteBehavList(int16_t mode, File_kern* file, int32_t* pos) const;
  int32_t ReadBehavList(int16_t mode, File_kern* file, int32_t* pos);
  // Save dialog ('sBeh'); 0 on success and on cancel, -1 when the file could
  // not be written (the old file then stays).
  int32_t SaveBehav() const;
  // Open dialog; the list is replaced only by a file read whole.
  int32_t RecallBehav();
  // Without dialogs: 1 empties, 0 writes into `file`, 2 appends from it.
  int32_t DefaultBehav(int16_t mode, const fichier* file);

  CBehav* first = nullptr;
  CBehav* current = nullptr;
  int32_t count = 0;
  int16_t listValue = -1;  // kept in the record's header
  int32_t spare = 0;

 private:
  void AppendOwned(CBehav* b);
  void Renumber();
};

// Shared with the slice record, whose order governs its embedded lists.
namespace paths_detail {
int32_t ReadBehavRecord(CBehavList* list, File_kern* file, int32_t* pos, int32_t fileSize,
                        plat::bytes::Order order);
int32_t WriteBehavRecord(const CBehavList* list, File_kern* file, int32_t* pos);
// The order a record's version word tells (0x0100: big-endian).
plat::bytes::Order OrderOfVersion(const uint8_t* twoBytes);
// Asks for a file of the type through the save dialog and writes it as a replacement, so the
// old file stays unless every write succeeds: 0 when the user cancels, else the writer's result.
int32_t SaveThroughDialog(OSType type,
                          const std::function<int32_t(File_kern* file, int32_t* pos)>& write);
}  // namespace paths_detail
