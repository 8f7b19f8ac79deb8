#include "script/engine_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "fake_record_kinds.h"
#include "script/param_block.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

// A stand-in engine of the shape every Misc<X> has: a record copy, one FillBuf. It counts
// its life and paints the record's value into its first plane through the mask.
struct FakeEngineLog {
  int made = 0, given = 0, filled = 0, deleted = 0;
  EngineRowCall last;
  int32_t answer = 0;  // what FillBuf answers
};
FakeEngineLog gLog;

class MiscFake {
 public:
  MiscFake() { ++gLog.made; }
  ~MiscFake() { ++gLog.deleted; }
  void SetFakePar(const FakePar* r) {
    par_ = *r;
    ++gLog.given;
  }
  int32_t FillBuf(int16_t n, uint8_t* p1, const uint8_t* mask, int32_t size) {
    ++gLog.filled;
    for (int32_t i = 0; i < size; ++i)
      if (mask[i] != 0) p1[i] = static_cast<uint8_t>(par_.value + n);
    return gLog.answer;
  }

 private:
  FakePar par_;
};

int32_t RunFake(const EngineRowCall& c) {
  gLog.last = c;
  return RunEngineOnce<MiscFake>(
      [&](MiscFake& e) { e.SetFakePar(&c.Record<FakePar>()); },
      [&](MiscFake& e) { return e.FillBuf(c.n, c.planes[0], c.mask, c.w * c.h); });
}

int32_t OtherFake(const EngineRowCall&) { return 0; }

class EngineRows : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    // The render deletes the swap files of the maker's folder: keep them in a temporary one.
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    RegisterFakeKinds();
    Setup(3, 4, 3);
  }
  void Setup(int16_t mode, int32_t w, int32_t h) {
    ASSERT_EQ(s_.I_ScriptFile(mode, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1), 0);
    n_ = static_cast<size_t>(w) * h;
    for (int32_t c : {2, 3, 4, 5, 6, 9, 89}) std::fill_n(s_.ChannelPlane(c, 1), n_, c);
  }
  uint8_t* P(int32_t c) { return s_.ChannelPlane(c, 0); }
  // The context the dispatch would hand the row's engine for `op_` on `to`.
  int32_t Prepare(EffectCode effect, int32_t to) {
    op_.Effect = effect;
    op_.ToChannel = static_cast<int8_t>(to);
    call_ = RenderCall{};
    call_.script = &s_;
    call_.op = &op_;
    call_.mask = mask_.data();
    call_.plane = to == 2 ? nullptr : P(to);
    row_ = EngineRowCall{};
    storage_.reset(new EngineRowStorage);
    return PrepareEngineRow(call_, &row_, storage_.get());
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  ScriptFile s_;
  size_t n_ = 0;
  Oprn op_;
  Plane mask_ = Plane(1000 * 500, 77);
  RenderCall call_;
  EngineRowCall row_;
  std::unique_ptr<EngineRowStorage> storage_;
};

TEST_F(EngineRows, RecordOfTheOperationOrAtTheAccessorsDefaults) {
  // No MulStruc: the accessor's own defaults at the session's preview size.
  ASSERT_EQ(Prepare(110, 9), 0);
  const auto* made = static_cast<const FakePar*>(row_.record);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->value, 4);
  EXPECT_EQ(made->previewWidth, SessionDefaultSizes().previewWidth);
  EXPECT_EQ(op_.MulStruc, nullptr);  // the operation gains nothing

  // A MulStruc without the kind: the block's defaults; it still gains nothing.
  ASSERT_EQ(Alloc_MulStruc(&op_.MulStruc, 0), 0);
  ASSERT_EQ(Prepare(109, 9), 0);
  EXPECT_EQ(static_cast<const FakePar*>(row_.record)->value, 3);
  EXPECT_EQ(MulStrucRecord(op_.MulStruc, kFakeKind), nullptr);

  // The operation's own record is handed as it is.
  ASSERT_EQ(Init_MulStruc(op_.MulStruc, 1, kFakeKind), 0);
  static_cast<FakePar*>(MulStrucRecord(op_.MulStruc, kFakeKind))->value = 42;
  ASSERT_EQ(Prepare(110, 9), 0);
  EXPECT_EQ(row_.record, MulStrucRecord(op_.MulStruc, kFakeKind));
  EXPECT_EQ(storage_->record, nullptr);

  // A record that holds a block of its own goes with everything it holds.
  ASSERT_EQ(Prepare(101, 2), 0);
  EXPECT_EQ(static_cast<const FakeMaskPar*>(row_.record)->value, 7);
  EXPECT_NE(static_cast<const FakeMaskPar*>(row_.record)->mask, nullptr);
  storage_.reset();

  // No memory for the defaults: the operation fails and nothing runs.
  Dele_MulStruc(op_.MulStruc);
  op_.MulStruc = nullptr;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Prepare(110, 9), -1);
}

TEST_F(EngineRows, ColourMatrixOnlyWithItsCells) {
  EXPECT_EQ(Prepare(22, 9), 1);  // renders nothing
  op_.ColMat = static_cast<int32_t*>(NewRecordBlock(sizeof(int32_t) * kColMatCells));
  op_.Param1 = 11;
  op_.Param5 = 55;
  ASSERT_EQ(Prepare(22, 9), 0);
  EXPECT_EQ(row_.record, op_.ColMat);
  EXPECT_EQ(row_.p1, 11);
  EXPECT_EQ(row_.p5, 55);
}

TEST_F(EngineRows, PlanesQAndN) {
  // The kinds of 113 and 40 belong to families above the script: plant stand-ins.
  ASSERT_EQ(Alloc_MulStruc(&op_.MulStruc, 0), 0);
  for (int16_t kind : {2, 30}) op_.MulStruc->slot[SlotOfKind(kind)] = NewRecordBlock(16);
  ASSERT_EQ(Prepare(101, 9), 0);
  EXPECT_EQ(row_.n, 1);
  EXPECT_EQ(row_.planes[0], P(9));
  EXPECT_EQ(row_.planes[1], nullptr);
  EXPECT_EQ(row_.planes[2], nullptr);
  EXPECT_EQ(row_.plane6, P(6));
  EXPECT_EQ(row_.q, nullptr);
  EXPECT_EQ(row_.mask, mask_.data());

  for (EffectCode e : {101, 113}) {
    ASSERT_EQ(Prepare(e, 2), 0);
    EXPECT_EQ(row_.n, 3);
    EXPECT_EQ(row_.planes[0], P(3));
    EXPECT_EQ(row_.planes[1], P(4));
    EXPECT_EQ(row_.planes[2], P(5));
    EXPECT_EQ(row_.q, P(89)) << e;
  }
  ASSERT_EQ(Prepare(110, 2), 0);
  EXPECT_EQ(row_.q, nullptr);

  // The weave frame draws on the composite whatever plane it names.
  ASSERT_EQ(Prepare(40, 9), 0);
  EXPECT_EQ(row_.n, 3);
  EXPECT_EQ(row_.planes[0], P(3));

  // Plane 2 of a CMYK script never reaches an engine; a missing plane 6 is handed as null.
  ScriptFile cmyk;
  ASSERT_EQ(cmyk.I_ScriptFile(4, 4, 3, 72.0f, 4, 3, 0, 0, 3, 2), 0);
  for (int32_t c : {2, 3, 4, 5}) cmyk.ChannelPlane(c, 1);
  call_.script = &cmyk;
  call_.plane = nullptr;
  op_.Effect = 109;
  EngineRowStorage storage;
  ASSERT_EQ(PrepareEngineRow(call_, &row_, &storage), 0);
  EXPECT_EQ(row_.n, 3);
  EXPECT_EQ(row_.planes[0], cmyk.ChannelPlane(3, 0));
  EXPECT_EQ(row_.planes[2], cmyk.ChannelPlane(5, 0));
  EXPECT_EQ(row_.plane6, nullptr);
}

TEST_F(EngineRows, Plane6AsTheMaskOfGridAndColourCorrection) {
  // The kinds of these rows belong to families above the script: plant stand-ins.
  ASSERT_EQ(Alloc_MulStruc(&op_.MulStruc, 0), 0);
  for (int16_t kind : {22, 23}) op_.MulStruc->slot[SlotOfKind(kind)] = NewRecordBlock(16);
  for (int32_t i = 0; i < 12; ++i) P(6)[i] = static_cast<uint8_t>(20 * i);
  for (EffectCode e : {102, 103, 104, 105, 119}) {
    ASSERT_EQ(Prepare(e, 9), 0) << e;
    ASSERT_NE(row_.mask, mask_.data());
    ASSERT_NE(row_.mask, P(6));  // a copy: the engine may write its mask
    EXPECT_TRUE(std::equal(P(6), P(6) + n_, row_.mask)) << e;
  }
  s_.FreeAllChanBuf(6);
  ASSERT_EQ(Prepare(103, 2), 0);
  EXPECT_EQ(row_.plane6, nullptr);
  EXPECT_TRUE(std::all_of(row_.mask, row_.mask + n_, [](uint8_t m) { return m == 255; }));
}

TEST_F(EngineRows, OpacityOfPlaidAndScalesOfTexture) {
  ASSERT_EQ(Alloc_MulStruc(&op_.MulStruc, 0), 0);
  for (int16_t kind : {2, 10}) op_.MulStruc->slot[SlotOfKind(kind)] = NewRecordBlock(16);
  op_.Param1 = 128;
  op_.Opa = 255;
  ASSERT_EQ(Prepare(42, 9), 0);
  EXPECT_EQ(row_.opacity, 128);
  op_.Opa = 100;
  ASSERT_EQ(Prepare(42, 2), 0);
  EXPECT_EQ(row_.opacity, 50);
  ASSERT_EQ(Prepare(43, 2), 0);
  EXPECT_EQ(row_.opacity, 100);
  EXPECT_EQ(row_.resolution, 72);

  EXPECT_EQ(row_.scaleX, 1.0f);
  Setup(3, 1000, 500);
  ASSERT_EQ(Prepare(77, 2), 0);
  EXPECT_EQ(row_.scaleX, 2.0f);
  EXPECT_EQ(row_.scaleY, 1.0f);
  ASSERT_EQ(s_.I_ScriptFile(3, 1000, 500, 72.0f, 1000, 500, 0, 0, 499, 99), 0);
  s_.ChannelPlane(9, 1);
  ASSERT_EQ(Prepare(77, 9), 0);
  EXPECT_EQ(row_.scaleX, 2.0f);  // 1000 / 500
  EXPECT_EQ(row_.scaleY, 5.0f);  // 500 / 100
}

TEST_F(EngineRows, RegistrationAndOneEngineLifePerOperation) {
  EXPECT_EQ(RegisterEngineRow(110, nullptr), -1);
  EXPECT_EQ(RegisterEngineRow(49, RunFake), -1);  // renders nothing, takes no row
  EXPECT_EQ(RegisterEngineRow(11, RunFake), -1);  // a filter
  EXPECT_EQ(RegisterEngineRow(0, RunFake), -1);
  EXPECT_EQ(RegisterEngineRow(123, RunFake), -1);
  ASSERT_EQ(RegisterEngineRow(110, RunFake), 0);
  EXPECT_EQ(RegisterEngineRow(110, RunFake), 0);
  EXPECT_EQ(RegisterEngineRow(110, OtherFake), -1);
  EXPECT_EQ(FindEngineRow(110), RunFake);
  EXPECT_EQ(FindRenderCase(110), EngineRowCase);

  // Two operations of the row in one render: two engines, each made, given, filled once
  // and deleted.
  gLog = FakeEngineLog{};
  for (int16_t o : {1, 2}) {
    s_.SetEffect(0, 1, o, 110, 0, 0, 0, 0);
    s_.SetAct(0, 1, o, 1);
    s_.SetToChannel(0, 1, o, o == 1 ? 9 : 2);
  }
  Oprn* first = s_.GetOprn(0, 1, 1);
  EXPECT_EQ(s_.PerformToEffect(first), 0);
  EXPECT_EQ(gLog.made, 1);
  EXPECT_EQ(gLog.given, 1);
  EXPECT_EQ(gLog.filled, 1);
  EXPECT_EQ(gLog.deleted, 1);
  EXPECT_EQ(gLog.last.effect, 110);
  EXPECT_EQ(P(9)[0], 4 + 1);  // defaults value 4, one plane

  ASSERT_EQ(s_.Render(0, 0, 0, nullptr, nullptr, nullptr, 0, 0), 0);
  EXPECT_TRUE(s_.MissingCases().empty());
  EXPECT_FALSE(s_.Failure().has_value());
  EXPECT_EQ(gLog.made, 3);
  EXPECT_EQ(gLog.deleted, 3);
  EXPECT_EQ(gLog.filled, 3);
  EXPECT_EQ(Plane(P(3), P(3) + n_), Plane(n_, 4 + 3));
  EXPECT_EQ(Plane(P(4), P(4) + n_), Plane(n_, 0));  // as the render loaded it

  // An engine that answers a failure fails its operation (the engine still deleted), and the
  // render stops there: the second operation's engine is never made.
  gLog = FakeEngineLog{};
  gLog.answer = -1;
  EXPECT_EQ(s_.PerformToEffect(first), -1);
  EXPECT_EQ(gLog.deleted, 1);
  gLog = FakeEngineLog{};
  gLog.answer = -1;
  EXPECT_EQ(s_.Render(0, 0, 0, nullptr, nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(gLog.made, 1);
  EXPECT_EQ(gLog.deleted, 1);
  ASSERT_TRUE(s_.Failure().has_value());
  EXPECT_EQ(*s_.Failure(), (RenderFailure{1, 1, 110, StepFailure::kFailed}));
  // An engine's answer other than a failure (a count) is no failure.
  gLog = FakeEngineLog{};
  gLog.answer = 7;
  EXPECT_EQ(s_.Render(0, 0, 0, nullptr, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(gLog.made, 2);
}

}  // namespace
