// The effect families registered with the script: every record kind of the parameter block,
// created, defaulted, copied and freed through the script's own functions.
#include "engines/families/effect_families.h"

#include <memory>

#include <gtest/gtest.h>

#include "engines/correction/grid_record.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "platform/memory/memory.h"
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

class EffectFamilies : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterEffectFamilies();
    gPer->previewWidth = 64;
    gPer->previewHeight = 48;
    gPer->resolution = 72.9f;
  }
};

TEST_F(EffectFamilies, EveryKindThatNamesASlotIsRegisteredOnce) {
  RegisterEffectFamilies();
  for (int16_t kind = 2; kind <= 30; ++kind) {
    const bool slotted = SlotOfKind(kind) >= 0;
    EXPECT_EQ(FindRecordKind(kind) != nullptr, slotted) << kind;
  }
  EXPECT_EQ(FindRecordKind(22)->storedSize, GridPar::kStoredSize);
  EXPECT_NE(FindRecordKind(21)->release, nullptr);
  EXPECT_NE(FindRecordKind(2)->swap, nullptr);
  EXPECT_EQ(FindRecordKind(11)->swap, nullptr);  // stored in the host's order
}

TEST_F(EffectFamilies, AFullBlockIsMadeAndReturnedWhole) {
  const int32_t before = session_.memMan().count();
  const int64_t live = plat::LiveBlockCount();
  MulStruc* ms = nullptr;
  ASSERT_EQ(Alloc_MulStruc(&ms, 0), 0);
  ASSERT_EQ(Init_MulStruc(ms, 1, 1), 0);
  for (int16_t slot = 0; slot < MulStruc::kUsedSlots; ++slot)
    EXPECT_EQ(ms->slot[slot] != nullptr, slot < 4 || slot > 6) << slot;
  auto* yoxel = static_cast<YoxelPar*>(MulStrucRecord(ms, 21));
  EXPECT_EQ(yoxel->imageWidth, 64);
  EXPECT_EQ(yoxel->imageResolution, 72);
  EXPECT_EQ(yoxel->protectMask, nullptr);
  Init_YoxelMsk(yoxel, 3);
  ASSERT_NE(yoxel->protectMask, nullptr);
  EXPECT_EQ(static_cast<GridPar*>(MulStrucRecord(ms, 22))->head.w[kGpWidth], 0);
  Dele_MulStruc(ms);
  EXPECT_EQ(session_.memMan().count(), before);
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

TEST_F(EffectFamilies, CopiedOperationHasEveryRecordWithTheSourcesOverThem) {
  Oprn src;
  InitOprn(&src);
  ASSERT_EQ(Alloc_MulStruc(&src.MulStruc, 0), 0);
  ASSERT_EQ(Init_MulStruc(src.MulStruc, 1, 3), 0);
  auto* rep = static_cast<RepPar*>(MulStrucRecord(src.MulStruc, 3));
  rep->cells[575].w[3] = 4242;
  Oprn dst;
  InitOprn(&dst);
  ASSERT_EQ(CopyOprn(&src, &dst), 0);
  EXPECT_EQ(static_cast<RepPar*>(MulStrucRecord(dst.MulStruc, 3))->cells[575].w[3], 4242);
  PlaidPar plaid;
  Init_PlaidPar(&plaid, 0);
  auto* copied = static_cast<PlaidPar*>(MulStrucRecord(dst.MulStruc, 2));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(vmkrec::StoreRecord(*copied), vmkrec::StoreRecord(plaid));
  EXPECT_EQ(MulStrucRecord(src.MulStruc, 2), nullptr);
}

TEST_F(EffectFamilies, AccessorsKeepTheOtherRecords) {
  ScriptFile script;
  ASSERT_EQ(script.I_ScriptFile(3, 900, 600, 240.0f, 90, 60, 0, 0, 89, 59), 0);
  script.SetEffect(0, 1, 1, 41, 0, 0, 0, 0);
  auto rep = std::make_unique<RepPar>();
  Init_RepPar(rep.get(), 0, 4, 4);
  rep->cells[1].w[2] = 77;
  ASSERT_EQ(script.SetRepPar(0, 1, 1, rep.get()), 0);

  auto plaid = std::make_unique<PlaidPar>();
  script.GetPlaidPar(0, 1, 1, plaid.get());
  auto fresh = std::make_unique<PlaidPar>();
  Init_PlaidPar(fresh.get(), 0);
  EXPECT_EQ(vmkrec::StoreRecord(*plaid), vmkrec::StoreRecord(*fresh));
  auto back = std::make_unique<RepPar>();
  script.GetRepPar(0, 1, 1, back.get());
  EXPECT_EQ(back->cells[1].w[2], 77);

  // The accessor's defaults of a missing grid are sized by the script; the block's are not.
  auto grid = std::make_unique<GridPar>();
  script.GetGridPar(0, 1, 2, grid.get());
  EXPECT_EQ(grid->head.w[kGpWidth], 900);
  EXPECT_EQ(grid->head.w[kGpHeight], 600);
  script.GetGridPar(0, 1, 1, grid.get());
  EXPECT_EQ(grid->head.w[kGpWidth], 0);
}

}  // namespace
