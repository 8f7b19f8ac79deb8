#include "engines/records/param_record.h"

#include <cstring>

#include <gtest/gtest.h>

#include "app/core/pascal_strings.h"
#include "platform/memory/memory.h"
#include "support/session.h"

using plat::bytes::Order;

namespace {

// Restores the real host order however a test ends.
struct ForcedHost {
  explicit ForcedHost(Order o) { plat::bytes::setHostOrderForTesting(o); }
  ~ForcedHost() { plat::bytes::setHostOrderForTesting(std::nullopt); }
};

// A record with one field of every kind the convention knows.
struct ProbePar {
  int32_t order = 0;
  int16_t small = 0;
  uint16_t usmall = 0;
  int32_t word = 0;
  uint32_t cells[3] = {};
  float scale = 0.0f;
  uint8_t table[5] = {};
  int16_t list[2] = {};
  static constexpr int32_t kStoredSize = 4 + 2 + 2 + 4 + 12 + 4 + 5 + 4 + 6;
};

template <class V>
void VisitRecord(V& v, ProbePar& r) {
  v.flag(r.order);
  v.i16(r.small);
  v.u16(r.usmall);
  v.i32(r.word);
  v.u32s(r.cells, 3);
  v.f32(r.scale);
  v.bytes(r.table, 5);
  v.i16s(r.list, 2);
  v.reserved(6);
}

ProbePar Sample() {
  ProbePar p;
  p.order = HostOrderFlag();
  p.small = -2;
  p.usmall = 0xBEEF;
  p.word = 0x01020304;
  p.cells[0] = 0x10203040u;
  p.cells[2] = 0xFFFFFFFFu;
  p.scale = 1.5f;
  for (int i = 0; i < 5; ++i) p.table[i] = static_cast<uint8_t>(10 + i);
  p.list[0] = 7;
  p.list[1] = -300;
  return p;
}

void ExpectSameValues(const ProbePar& a, const ProbePar& b) {
  EXPECT_EQ(a.small, b.small);
  EXPECT_EQ(a.usmall, b.usmall);
  EXPECT_EQ(a.word, b.word);
  EXPECT_EQ(0, std::memcmp(a.cells, b.cells, sizeof a.cells));
  EXPECT_EQ(a.scale, b.scale);
  EXPECT_EQ(0, std::memcmp(a.table, b.table, sizeof a.table));
  EXPECT_EQ(a.list[0], b.list[0]);
  EXPECT_EQ(a.list[1], b.list[1]);
}

TEST(ByteSwapFunctions, FollowTheHostAndTheForceFlag) {
  for (Order host : {Order::Little, Order::Big}) {
    ForcedHost forced(host);
    const bool big = host == Order::Big;
    EXPECT_EQ(HostIsBigEndian(), big);
    EXPECT_EQ(HostOrderFlag(), big ? 0 : 1);

    int32_t w = 0x01020304;
    EXPECT_EQ(CFSwapSInt32LittleToHost(&w), big ? 0x04030201 : 0x01020304);
    w = 0x01020304;
    EXPECT_EQ(CFSwapSInt32HostToLittle(&w, 0), big ? 0x04030201 : 0x01020304);
    w = 0x01020304;
    EXPECT_EQ(CFSwapSInt32HostToLittle(&w, 1), 0x04030201);  // forced: whatever the host
    EXPECT_EQ(w, 0x04030201);

    int16_t s = 0x0102;
    EXPECT_EQ(CFSwapSInt16LittleToHost(&s), big ? 0x0201 : 0x0102);
    s = 0x0102;
    EXPECT_EQ(CFSwapSInt16HostToLittle(&s, 0), big ? 0x0201 : 0x0102);
    s = 0x0102;
    EXPECT_EQ(CFSwapSInt16HostToLittle(&s, 1), 0x0201);
    // Any force other than 1 is no force.
    s = 0x0102;
    EXPECT_EQ(CFSwapSInt16HostToLittle(&s, 2), big ? 0x0201 : 0x0102);
  }
}

TEST(RecordSwap, DirectionSetsWordZeroAndForceReversesEveryNumber) {
  ProbePar p = Sample();
  vmkrec::SwapRecord(p, 1, 1);
  EXPECT_EQ(p.order, 1);
  EXPECT_EQ(p.word, 0x04030201);
  EXPECT_EQ(p.small, static_cast<int16_t>(0xFEFF));
  EXPECT_EQ(p.usmall, 0xEFBE);
  EXPECT_EQ(p.cells[0], 0x40302010u);
  EXPECT_EQ(p.list[1], static_cast<int16_t>(0xD4FE));
  EXPECT_EQ(p.table[0], 10);  // byte tables are never reversed
  // On a little-endian host the way back without force changes no number.
  ProbePar q = p;
  vmkrec::SwapRecord(q, 0, 0);
  EXPECT_EQ(q.order, 1);
  EXPECT_EQ(q.word, 0x04030201);
  // A second forced reversal restores the values.
  vmkrec::SwapRecord(p, 1, 1);
  ExpectSameValues(p, Sample());
}

TEST(RecordSwap, BigEndianHostConvertsBothWaysWithoutForce) {
  ForcedHost forced(Order::Big);
  ProbePar p = Sample();
  vmkrec::SwapRecord(p, 1, 0);
  EXPECT_EQ(p.order, 1);
  EXPECT_EQ(p.word, 0x04030201);
  EXPECT_EQ(p.scale, std::bit_cast<float>(plat::bytes::swap32(std::bit_cast<uint32_t>(1.5f))));
  vmkrec::SwapRecord(p, 0, 0);
  EXPECT_EQ(p.order, 0);  // the reading host's flag
  ExpectSameValues(p, Sample());
}

TEST(StoredForm, IsLittleEndianWithWordZeroOneAndZeroedReserve) {
  ProbePar p = Sample();
  EXPECT_EQ(vmkrec::StoredSize(p), static_cast<size_t>(ProbePar::kStoredSize));
  for (Order host : {Order::Little, Order::Big}) {
    ForcedHost forced(host);
    p.order = HostOrderFlag();
    const std::vector<uint8_t> b = vmkrec::StoreRecord(p);
    ASSERT_EQ(b.size(), static_cast<size_t>(ProbePar::kStoredSize));
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[1] | b[2] | b[3], 0);
    EXPECT_EQ(b[4], 0xFE);  // -2 little-endian
    EXPECT_EQ(b[5], 0xFF);
    EXPECT_EQ(b[8], 0x04);  // 0x01020304 little-endian
    EXPECT_EQ(b[12], 0x40);  // a cell's least significant byte first
    EXPECT_EQ(b[15], 0x10);
    for (size_t i = b.size() - 6; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << i;
  }
}

TEST(StoredForm, ReadsBackOnEitherHostFromEitherStoredOrder) {
  const ProbePar original = Sample();
  ProbePar source = original;
  const std::vector<uint8_t> little = vmkrec::StoreRecord(source);
  // The same record as an older big-endian writer left it: word 0 = 0, numbers big-endian.
  plat::bytes::Writer w(Order::Big);
  w.i32(0);
  w.i16(original.small);
  w.u16(original.usmall);
  w.i32(original.word);
  for (uint32_t c : original.cells) w.u32(c);
  w.f32(original.scale);
  w.raw(original.table, 5);
  w.i16(original.list[0]);
  w.i16(original.list[1]);
  w.zeros(6);
  const std::vector<uint8_t> big = w.take();

  for (Order host : {Order::Little, Order::Big}) {
    ForcedHost forced(host);
    for (const std::vector<uint8_t>* stored : {&little, &big}) {
      ProbePar back;
      ASSERT_TRUE(vmkrec::LoadRecord(stored->data(), stored->size(), back));
      EXPECT_EQ(back.order, host == Order::Big ? 0 : 1);
      ExpectSameValues(back, original);
    }
  }
}

TEST(StoredForm, AnyShortInputFails) {
  ProbePar p = Sample();
  const std::vector<uint8_t> b = vmkrec::StoreRecord(p);
  for (size_t n = 0; n < b.size(); ++n) {
    ProbePar back;
    EXPECT_FALSE(vmkrec::LoadRecord(b.data(), n, back)) << n;
  }
}

TEST(StoredForm, RawFormKeepsHostOrderAndWordZero) {
  ForcedHost forced(Order::Big);
  ProbePar p = Sample();
  p.order = 0;
  vmkrec::StoreVisitor store(true);
  VisitRecord(store, p);
  const std::vector<uint8_t>& b = store.data();
  EXPECT_EQ(b[3], 0);     // word 0 as it is
  EXPECT_EQ(b[8], 0x01);  // big-endian host order
  ProbePar back;
  vmkrec::LoadVisitor load(b.data(), b.size(), true);
  VisitRecord(load, back);
  EXPECT_TRUE(load.ok());
  EXPECT_EQ(back.order, 0);
  ExpectSameValues(back, p);
}

TEST(StoredForm, HeadWordBeforeTheFlagKeepsTheWritersOrder) {
  for (Order host : {Order::Little, Order::Big}) {
    ForcedHost forced(host);
    vmkrec::StoreVisitor store;
    int32_t one = 1;
    store.hostI32(one);
    EXPECT_EQ(store.data()[host == Order::Big ? 3 : 0], 1);
  }
}

class Scratch : public vmktest::SessionTest {};

TEST_F(Scratch, BlocksStartZeroedAndGoBackToTheRegistry) {
  const int32_t before = session_.memMan().count();
  {
    vmkrec::ScratchRecord<ProbePar> r;
    ASSERT_TRUE(r.valid());
    EXPECT_EQ(r->word, 0);
    EXPECT_EQ(r->table[4], 0);
    vmkrec::ScratchBytes b(100);
    ASSERT_TRUE(b.valid());
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(b.data()[i], 0);
    EXPECT_EQ(session_.memMan().count(), before + 2);
  }
  EXPECT_EQ(session_.memMan().count(), before);
}

TEST(ScratchOutsideSession, UsesPlainBlocks) {
  const int64_t live = plat::LiveBlockCount();
  {
    vmkrec::ScratchBytes b(16);
    EXPECT_TRUE(b.valid());
    vmkrec::ScratchBytes none(0);
    EXPECT_FALSE(none.valid());
  }
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

}  // namespace

namespace {

struct WithFiles {
  int32_t order = 0;
  fichier plain;
  fichier zeroEnded;
  static constexpr int32_t kStoredSize = 4 + 2 * 538;
};

template <class V>
void VisitRecord(V& v, WithFiles& r) {
  v.flag(r.order);
  v.fic(r.plain);
  v.ficCStrings(r.zeroEnded);
}

TEST(StoredFileRecords, KeepTheirNamesPlainOrZeroTerminated) {
  WithFiles r;
  SetPStr(r.plain.name, "tile.png");
  SetPStr(r.plain.path, "Vol:Tiles:");
  r.plain.type = FourCC("PNGf");
  SetPStr(r.zeroEnded.name, "edge.tif");
  SetPStr(r.zeroEnded.path, "Vol:Edges:");
  EXPECT_EQ(vmkrec::StoredSize(r), static_cast<size_t>(WithFiles::kStoredSize));
  const std::vector<uint8_t> b = vmkrec::StoreRecord(r);
  ASSERT_EQ(b.size(), static_cast<size_t>(WithFiles::kStoredSize));
  EXPECT_EQ(b[4 + 6], 8);  // length byte of the plain name
  EXPECT_EQ(0, std::memcmp(&b[4 + 538 + 6], "edge.tif", 9));
  EXPECT_EQ(0, std::memcmp(&b[4 + 538 + 262], "Vol:Edges:", 11));

  WithFiles back;
  ASSERT_TRUE(vmkrec::LoadRecord(b.data(), b.size(), back));
  EXPECT_EQ(PStrString(back.plain.name), "tile.png");
  EXPECT_EQ(back.plain.type, FourCC("PNGf"));
  EXPECT_EQ(PStrString(back.zeroEnded.name), "edge.tif");
  EXPECT_EQ(PStrString(back.zeroEnded.path), "Vol:Edges:");
  EXPECT_FALSE(vmkrec::LoadRecord(b.data(), b.size() - 1, back));

  // In place the conversion turns the strings one way and back.
  vmkrec::SwapRecord(r, 1, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(r.zeroEnded.name), "edge.tif");
  EXPECT_EQ(PStrString(r.plain.name), "tile.png");
  vmkrec::SwapRecord(r, 0, 0);
  EXPECT_EQ(PStrString(r.zeroEnded.name), "edge.tif");
}

}  // namespace

namespace {

// A record with a one-byte flag and a sub-record whose own flag follows the record's.
struct NestedPar {
  uint8_t order = 0;
  int16_t a = 0;
  int32_t innerOrder = 0;
  int32_t b = 0;
  static constexpr int32_t kStoredSize = 1 + 2 + 4 + 4;
};

template <class V>
void VisitRecord(V& v, NestedPar& r) {
  v.flag8(r.order);
  v.i16(r.a);
  v.innerFlag(r.innerOrder);
  v.i32(r.b);
}

TEST(StoredForm, ByteFlagsAndInnerFlags) {
  NestedPar r{1, 0x0102, 1, 0x01020304};
  EXPECT_EQ(vmkrec::StoredSize(r), static_cast<size_t>(NestedPar::kStoredSize));
  const std::vector<uint8_t> b = vmkrec::StoreRecord(r);
  EXPECT_EQ(b, (std::vector<uint8_t>{1, 2, 1, 1, 0, 0, 0, 4, 3, 2, 1}));

  // An older big-endian writer: the record's flag 0 decides for everything after it, even
  // where a sub-record's flag word reads as nonzero.
  const std::vector<uint8_t> big = {0, 1, 2, 0, 0, 0, 1, 1, 2, 3, 4};
  for (Order host : {Order::Little, Order::Big}) {
    ForcedHost forced(host);
    NestedPar back;
    ASSERT_TRUE(vmkrec::LoadRecord(big.data(), big.size(), back));
    EXPECT_EQ(back.a, 0x0102);
    EXPECT_EQ(back.b, 0x01020304);
    EXPECT_EQ(back.order, host == Order::Big ? 0 : 1);
    EXPECT_EQ(back.innerOrder, host == Order::Big ? 0 : 1);
  }

  vmkrec::SwapRecord(r, 1, 1);
  EXPECT_EQ(r.a, 0x0201);
  EXPECT_EQ(r.innerOrder, 1);
  EXPECT_EQ(r.b, 0x04030201);
}

}  // namespace
