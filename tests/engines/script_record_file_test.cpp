// Script records, layer records and combined-layer files: byte layouts, round trips of
// every effect's blocks, parameter scaling, and damaged files refused with the caller's
// operations as they were.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/pascal_strings.h"
#include "app/file_access.h"
#include "engines/correction/lens_correction.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/fractal_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/behaviours.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "paths/slices.h"
#include "platform/bytes/byte_order.h"
#include "record_file_helpers.h"
#include "script/effect_registries.h"
#include "script/layers.h"
#include "script/operation.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using vmktest::LittleWord;

constexpr int32_t kW = 40, kH = 30;
constexpr size_t kCountAt = 68128, kFirstAt = 68130;

// Every effect that stores blocks of its own.
constexpr int16_t kBlockEffects[] = {21, 22, 23, 24, 25, 26, 28, 29, 30, 31, 33, 35, 36, 38,
                                     39, 40, 41, 42, 43, 49, 51, 52, 53, 58, 61, 62, 72, 75,
                                     77, 79, 80, 81, 82, 85, 86, 90, 91, 92, 94, 98, 99, 100,
                                     101, 102, 103, 104, 105, 106, 108, 109, 110, 111, 113, 119};

size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

class ScriptFiles : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterEffectFamilies();
    gPer->previewWidth = kW;
    gPer->previewHeight = kH;
    ASSERT_EQ(script_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  }

  fichier FileAt(const std::string& name) {
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, dir_.file(name)));
    return f;
  }

  // The operation at position n of layer 1 of stack 0, made with the effect's defaults.
  Oprn* Add(int16_t n, int16_t effect) {
    script_.SetEffect(0, 1, n, effect, 0, 0, 0, 0);
    Oprn* op = script_.GetOprn(0, 1, n);
    op->Effect = effect;
    op->Act = 1;
    op->FromChannel = 3;
    op->ToChannel = 4;
    op->Param4 = 17;
    op->Opa = 200;
    return op;
  }

  Laye* Layer() { return script_.GetStack(0)->GetLaye(1); }

  std::vector<uint8_t> Save(const std::string& name, int16_t count, Oprn* first) {
    fichier f = FileAt(name);
    File_kern file(&f);
    if (script_.SaveScript(count, first, &file, nullptr, 3, 4, nullptr, 1) != 0) return {};
    return vmktest::ReadBytes(dir_.file(name));
  }

  int32_t Recall(const std::string& name, int16_t* count, Oprn** first, int16_t quiet = 1) {
    fichier f = FileAt(name);
    File_kern file(&f);
    return script_.RecallScript(quiet, count, first, &file, 0, nullptr, nullptr, nullptr, nullptr,
                                nullptr, 1.0f, 1.0f, 1);
  }

  vmktest::ScopedAppData app_;
  vmktest::TempDir dir_;
  ScriptFile script_;
};

TEST_F(ScriptFiles, EveryBlockRowWritesReadsAndWritesTheSameBytes) {
  for (int16_t effect : kBlockEffects) {
    SCOPED_TRACE(effect);
    script_.GetStack(0)->CleanOprnLaye(1);
    Oprn* op = Add(1, effect);
    op->Param1 = 5;
    const std::vector<uint8_t> first = Save("a.vmk", 1, op);
    ASSERT_FALSE(first.empty());
    int16_t count = 0;
    Oprn* chain = nullptr;
    ASSERT_EQ(Recall("a.vmk", &count, &chain), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(chain->Effect, effect);
    const std::vector<uint8_t> again = Save("a.vmk", count, chain);
    EXPECT_EQ(again.size(), first.size());
    EXPECT_EQ(FirstDifference(again, first), again.size());
    DeleteOprnChain(chain);
  }
}

TEST_F(ScriptFiles, HeadOffsetsAndTheOperationHead) {
  Oprn* op = Add(1, 11);
  op->Param1 = 9;
  op->Mode = 3;
  const char preview[67600] = {7};
  fichier f = FileAt("head.vmk");
  File_kern file(&f);
  char text[255] = "pebbles";
  ASSERT_EQ(script_.SaveScript(5, op, &file, preview, -2, 300, text, 1), 0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(dir_.file("head.vmk"));
  ASSERT_EQ(b.size(), kFirstAt + 56 + 2396);
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[2])), "pebbles");
  EXPECT_EQ(b[257], f.name[0]);  // the target file's own name, length-prefixed
  EXPECT_EQ(b[512], 1);
  EXPECT_EQ(static_cast<int16_t>(b[514] | b[515] << 8), -2);
  EXPECT_EQ(b[518], 7);
  EXPECT_EQ(LittleWord(b, 68118), kW);
  EXPECT_EQ(LittleWord(b, 68122), kH);
  EXPECT_EQ(b[68126], 1);
  // The stored count is that of the operations held, not the five asked for.
  EXPECT_EQ(b[kCountAt], 1);
  EXPECT_EQ(b[kFirstAt], 11);
  EXPECT_EQ(b[kFirstAt + 3], 3);  // from channel
  EXPECT_EQ(b[kFirstAt + 8], 9);  // Param1 at scale 1
  EXPECT_EQ(b[kFirstAt + 18], 3);
  EXPECT_EQ(b[kFirstAt + 19], 200);
  EXPECT_TRUE(vmktest::AllZero(b, kFirstAt + 22, 34));  // reserved and pointer words
  EXPECT_EQ(LittleWord(b, kFirstAt + 56), 1);           // the extension follows the head
  EXPECT_EQ(LittleWord(b, kFirstAt + 56 + 92), 100);    // its first level

  // The head modes: texts, values and preview; without a preview, zeros and flag 0.
  char name[255] = {}, back[255] = {};
  std::vector<char> pv(67600, 1);
  int16_t v1 = 0, v2 = 0;
  int32_t pos = 0;
  ASSERT_EQ(script_.RecallScriptAtPos(&pos, 1, nullptr, nullptr, &file, 1, pv.data(), &v1, &v2,
                                      name, back, 1, 1, 1), 0);
  EXPECT_EQ(v1, -2);
  EXPECT_EQ(v2, 300);
  EXPECT_EQ(pv[0], 7);
  EXPECT_STREQ(back, "pebbles");
  ASSERT_EQ(script_.SaveScript(1, op, &file, nullptr, 5, 6, nullptr, 1), 0);
  ASSERT_EQ(script_.RecallScriptAtPos(&pos, 1, nullptr, nullptr, &file, 1, pv.data(), &v1, &v2,
                                      name, back, 1, 1, 1), 0);
  EXPECT_EQ(v1, 5);
  EXPECT_EQ(pv[0], 0);
  EXPECT_EQ(pv[67599], 0);
}

TEST_F(ScriptFiles, ScalingStoresPreviewUnitsAndLeavesTheScriptAsItWas) {
  Oprn* op = Add(1, 11);
  op->Param1 = 10;
  gPer->previewWidth = 2 * kW;  // sx = 2
  std::vector<uint8_t> b = Save("s.vmk", 1, op);
  EXPECT_EQ(b[kFirstAt + 8], 20);
  EXPECT_EQ(op->Param1, 10);
  // Read into a script whose area is half the stored width: back to 10.
  ScriptFile half;
  ASSERT_EQ(half.I_ScriptFile(3, kW, kH, 72.0f, kW / 2, kH, 0, 0, kW / 2 - 1, kH - 1), 0);
  fichier f = FileAt("s.vmk");
  File_kern file(&f);
  int16_t count = 0;
  Oprn* chain = nullptr;
  ASSERT_EQ(half.RecallScript(1, &count, &chain, &file, 0, nullptr, nullptr, nullptr, nullptr,
                              nullptr, 1, 1, 1), 0);
  EXPECT_EQ(chain->Param1, 10);
  DeleteOprnChain(chain);

  gPer->previewWidth = kW / 2;  // sx = 0.5: 1.5 + 0.95 truncates to 2
  op->Param1 = 3;
  op->Param2 = 3;  // effect 11 does not scale Param2
  b = Save("s.vmk", 1, op);
  EXPECT_EQ(b[kFirstAt + 8], 2);
  EXPECT_EQ(b[kFirstAt + 10], 3);
  // Saving twice never drifts the operation.
  for (int k = 0; k < 3; ++k) Save("s.vmk", 1, op);
  EXPECT_EQ(op->Param1, 3);
}

TEST_F(ScriptFiles, PathValuesRoundHalfBothWaysAndTheFlagIsStoredAsZero) {
  Oprn* op = Add(1, 28);
  Path3D path;
  script_.GetPath3D(0, 1, 1, &path);
  const int32_t values[8] = {3, 5, 7, 9, 11, 13, 15, 17};
  std::copy(values, values + 8, path.rects);
  path.flag = 6;
  script_.SetPath3D(0, 1, 1, &path);
  gPer->previewWidth = kW / 2;  // sx = 0.5, sy = 1
  script_.CreateParamsForSave(op, 1);
  EXPECT_EQ(op->Path3D->rects[0], 2);  // 1.5 + 0.5
  EXPECT_EQ(op->Path3D->rects[1], 5);
  EXPECT_EQ(op->Path3D->rects[2], 4);  // 3.5 + 0.5
  script_.UpdateOprnParams(op, kW / 2, kH, 1.0f, 1.0f, 1);  // sx = 2
  EXPECT_EQ(op->Path3D->rects[0], 4);
  const std::vector<uint8_t> b = Save("p.vmk", 1, op);
  const size_t block = kFirstAt + 56 + 2396;
  EXPECT_EQ(LittleWord(b, block), 2856);
  EXPECT_EQ(b[block + 6], 0);  // the second field
  EXPECT_EQ(op->Path3D->flag, 6);
  EXPECT_EQ(b.size(), block + 2858);
}

TEST_F(ScriptFiles, ReaderQuirksAndFileTypes) {
  Oprn* op = Add(1, 24);
  op->FileOprn = new fichier;
  SetPStr(op->FileOprn->name, "rock.jpg.png");
  op->FileOprn->type = FourCC("PNGf");
  std::vector<uint8_t> b = Save("q.vmk", 1, op);
  b[kFirstAt + 18] = 12;  // a blend mode beyond the last reads as 0
  vmktest::WriteBytes(dir_.file("q.vmk"), b);
  int16_t count = 0;
  Oprn* chain = nullptr;
  ASSERT_EQ(Recall("q.vmk", &count, &chain), 0);
  EXPECT_EQ(chain->Mode, 0);
  EXPECT_EQ(chain->FileOprn->type, FourCC("JPEG"));
  EXPECT_EQ(PStrString(chain->FileOprn->name), "rock.jpg.png");
  DeleteOprnChain(chain);

  // Version 1: no extensions.
  Oprn* plain = Add(1, 11);
  script_.version = 1;
  b = Save("v1.vmk", 1, plain);
  script_.version = 2;
  EXPECT_EQ(b.size(), kFirstAt + 56);
  chain = nullptr;
  ASSERT_EQ(Recall("v1.vmk", &count, &chain), 0);
  EXPECT_EQ(chain->SelOprnExt, nullptr);
  DeleteOprnChain(chain);
}

// The caller's chain and count stay exactly as they were.
void ExpectRefused(ScriptFiles* t, int32_t result, int16_t count, Oprn* chain, Oprn* before) {
  (void)t;
  EXPECT_EQ(result, -1);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(chain, before);
  EXPECT_EQ(chain->Effect, 11);
}

TEST_F(ScriptFiles, DamagedRecordsAreRefusedWithTheCallersListIntact) {
  Add(1, 58);
  Add(2, 101);
  Add(3, 28);
  Add(4, 22);
  const std::vector<uint8_t> good = Save("d.vmk", 4, Layer()->firstOprn);
  ASSERT_FALSE(good.empty());
  auto* mine = new Oprn;
  InitOprn(mine);
  mine->Effect = 11;
  auto attempt = [&](const std::vector<uint8_t>& bytes) {
    vmktest::WriteBytes(dir_.file("x.vmk"), bytes);
    int16_t count = 7;
    Oprn* chain = mine;
    const int32_t r = Recall("x.vmk", &count, &chain);
    ExpectRefused(this, r, count, chain, mine);
  };
  // Cuts at every block boundary and inside each block.
  std::vector<size_t> cuts = {0, 1, 100, kCountAt, kFirstAt, kFirstAt + 56, kFirstAt + 56 + 2396};
  for (size_t c = kFirstAt; c < good.size(); c += good.size() / 48 + 1) cuts.push_back(c);
  cuts.push_back(good.size() - 1);
  for (size_t c : cuts) {
    SCOPED_TRACE(c);
    attempt(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(c)));
  }
  for (uint8_t v : {uint8_t{0}, uint8_t{0x80}, uint8_t{0xFF}}) {
    std::vector<uint8_t> b = good;
    b[0] = v;  // version 0 or negative
    attempt(b);
  }
  for (uint16_t n : {uint16_t{0x7FFF}, uint16_t{0x8000}, uint16_t{5}}) {
    std::vector<uint8_t> b = good;
    plat::bytes::storeLE16(&b[kCountAt], n);
    attempt(b);
  }
  // An unknown effect number with blocks of its own: here, a resize record's mask size.
  std::vector<uint8_t> b = good;
  const size_t second = kFirstAt + 56 + 2396 + 105124;
  ASSERT_EQ(b[second], 101);
  plat::bytes::storeLE32(&b[second + 56 + 2396 + 44 * 4], 0x7FFFFFFF);
  attempt(b);
  delete mine;
}

TEST_F(ScriptFiles, AnOlderBigEndianRecordReadsAsItsLittleEndianTwin) {
  Oprn* lens = Add(1, 113);
  Add(2, 58);
  Add(3, 100);
  (void)lens;
  const std::vector<uint8_t> little = Save("le.vmk", 3, Layer()->firstOprn);
  ASSERT_FALSE(little.empty());

  // The twin: mark 1, extensions and converted records big-endian.
  struct Big : vmkrec::StoreVisitor {
    Big() : vmkrec::StoreVisitor(plat::bytes::Order::Big) {}
  };
  std::vector<uint8_t> twin(little.begin(), little.begin() + kFirstAt);
  twin[1] = 1;
  auto oprnHead = [&](const Oprn* op) {
    const size_t at = twin.size();
    twin.insert(twin.end(), little.begin() + static_cast<long>(at),
                little.begin() + static_cast<long>(at + 56));
    Big v;
    VisitRecord(v, *op->SelOprnExt);
    twin.insert(twin.end(), v.data().begin(), v.data().end());
  };
  auto block = [&](auto& record, size_t size) {
    Big v;
    VisitRecord(v, record);
    twin.insert(twin.end(), v.data().begin(), v.data().end());
    twin.resize(twin.size() + size - v.size(), 0);
  };
  Oprn* op = Layer()->firstOprn;
  oprnHead(op);
  ZondracPar z;
  script_.GetZondracPar(0, 1, 1, &z);
  block(z, ZondracPar::kStoredSize);
  op = op->NextOprn;
  oprnHead(op);
  vmkrec::ScratchRecord<TessPar> tess;
  script_.GetTessPar(0, 1, 2, tess.get());
  block(*tess, TessPar::kStoredSize);
  op = op->NextOprn;
  oprnHead(op);
  vmkrec::ScratchRecord<FractPar> fract;
  script_.GetFractPar(0, 1, 3, fract.get());
  block(*fract, 781580);
  ASSERT_EQ(twin.size(), little.size());
  ASSERT_NE(twin, little);
  vmktest::WriteBytes(dir_.file("be.vmk"), twin);

  int16_t count = 0;
  Oprn* chain = nullptr;
  ASSERT_EQ(Recall("be.vmk", &count, &chain), 0);
  const std::vector<uint8_t> again = Save("le.vmk", count, chain);
  EXPECT_EQ(FirstDifference(again, little), again.size());
  DeleteOprnChain(chain);
}

TEST_F(ScriptFiles, StopAlertForABadVersionUnlessQuiet) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices guard(&ui);
  Oprn* op = Add(1, 11);
  std::vector<uint8_t> b = Save("a.vmk", 1, op);
  b[0] = 0;
  vmktest::WriteBytes(dir_.file("a.vmk"), b);
  int16_t count = 0;
  Oprn* chain = nullptr;
  EXPECT_EQ(Recall("a.vmk", &count, &chain, 0), -1);
  ASSERT_EQ(ui.alertRequests.size(), 1u);
  EXPECT_EQ(ui.alertRequests[0].alertId, 16127);
  EXPECT_EQ(Recall("a.vmk", &count, &chain, 1), -1);
  EXPECT_EQ(ui.alertRequests.size(), 1u);
}

// --- Layer records and combined-layer files ----------------------------------------------

TEST_F(ScriptFiles, LayerRecordsWithAndWithoutOperations) {
  Laye* layer = Layer();
  layer->LayFlag = 4;
  layer->lock = 1;
  SetPStr(layer->name, "Sky");
  fichier f = FileAt("l.vmk");
  File_kern file(&f);
  ASSERT_EQ(file.CreateFile(), 0);
  int32_t pos = 0;
  ASSERT_EQ(script_.SaveLay(0, &file, layer, &pos), 0);
  std::vector<uint8_t> b = vmktest::ReadBytes(dir_.file("l.vmk"));
  EXPECT_EQ(LittleWord(b, 0), 268);  // no script record: E1 right after the head
  EXPECT_EQ(LittleWord(b, 268), pos);
  EXPECT_EQ(b[4], 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[12])), "Sky");

  Add(1, 11)->Param1 = 6;
  Add(2, 23);
  const int32_t second = pos;
  ASSERT_EQ(script_.SaveLay(0, &file, layer, &pos), 0);
  b = vmktest::ReadBytes(dir_.file("l.vmk"));
  const int32_t e1 = LittleWord(b, second);
  EXPECT_EQ(b[second + 268], 2);  // the script record's version
  EXPECT_EQ(LittleWord(b, e1), pos);

  Laye into;
  int32_t at = second;
  ASSERT_EQ(script_.RecallLay(&file, &into, &at, 1), 0);
  EXPECT_EQ(at, pos);
  EXPECT_EQ(into.oprnCount, 2);
  EXPECT_EQ(into.firstOprn->Param1, 6);
  EXPECT_EQ(PStrString(into.name), "Sky");
  // Mode 2 steps over the operations by E1 and still ends at E2.
  Laye paths;
  at = second;
  ASSERT_EQ(script_.RecallLay(&file, &paths, &at, 2), 0);
  EXPECT_EQ(at, pos);
  EXPECT_EQ(paths.firstOprn, nullptr);
  // A damaged E1 leaves the layer as it was.
  b[second] = 0xFF;
  b[second + 3] = 0x7F;
  vmktest::WriteBytes(dir_.file("l.vmk"), b);
  at = second;
  EXPECT_EQ(script_.RecallLay(&file, &into, &at, 0), -1);
  EXPECT_EQ(at, second);
  EXPECT_EQ(into.oprnCount, 2);
}

TEST_F(ScriptFiles, CombinedLayerFileDirectoryAndRoundTrip) {
  script_.resolution = 72.9f;
  Add(1, 11)->Param1 = 8;
  LayerFile* stack = script_.GetStack(0);
  stack->AddLaye(1, new Laye);
  fichier f = FileAt("c.lay");
  File_kern file(&f);
  ASSERT_EQ(script_.SaveCombiLay(&file, 0x1234567, nullptr), 0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(dir_.file("c.lay"));
  EXPECT_EQ(LittleWord(b, 8), 72);
  EXPECT_EQ(LittleWord(b, 12), 0x1234567);
  EXPECT_EQ(LittleWord(b, 16), 3088);
  EXPECT_EQ(LittleWord(b, 20), 2);
  EXPECT_EQ(LittleWord(b, 24), 10);
  // Stack 1 has its one default layer, after stack 0's two.
  EXPECT_GT(LittleWord(b, 28), 3088);
  EXPECT_EQ(LittleWord(b, 32), 1);

  ScriptFile back;
  ASSERT_EQ(back.I_ScriptFile(3, 1, 1, 1.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  int32_t value = 0;
  ASSERT_EQ(back.RecallCombiLay(&file, 1, &value, nullptr), 0);
  EXPECT_EQ(value, 0x1234567);
  EXPECT_EQ(back.width, kW);
  EXPECT_EQ(back.resolution, 72.0f);
  EXPECT_EQ(back.GetStack(0)->layerCount, 2);
  EXPECT_EQ(back.GetOprn(0, 1, 1)->Param1, 8);

  // A damaged directory leaves every stack as it was.
  std::vector<uint8_t> d = b;
  plat::bytes::storeLE32(&d[16 + 12 * 200 + 4], 0x40000000);
  vmktest::WriteBytes(dir_.file("c.lay"), d);
  ScriptFile keep;
  ASSERT_EQ(keep.I_ScriptFile(3, kW, kH, 1.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  EXPECT_EQ(keep.RecallCombiLay(&file, 1, &value, nullptr), -1);
  EXPECT_EQ(keep.GetStack(0)->layerCount, 1);
  EXPECT_EQ(keep.GetStack(0)->GetLaye(1)->oprnCount, 0);
}

// Two linked slices and one behaviour, as the caller's list would hold them.
void FillSlices(CSliceList* l) {
  const float r[2][4] = {{2, 3, 20, 12}, {21, 3, 39, 29}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(l->AddSlice(0), 0);
    l->current->CreaSlice(r[i][0], r[i][1], r[i][2], r[i][3]);
    unsigned char url[256];
    SetPStr(url, "http://s/" + std::to_string(i));
    l->current->SetURLname(url);
    l->current->SetURLactive(1);
  }
  l->behav->AddBehav(4);
}

TEST_F(ScriptFiles, CombinedLayerFileCarriesTheSliceList) {
  Add(1, 11)->Param1 = 5;
  CSliceList slices;
  FillSlices(&slices);
  fichier f = FileAt("s.lay");
  File_kern file(&f);
  ASSERT_EQ(script_.SaveCombiLay(&file, 7, &slices), 0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(dir_.file("s.lay"));
  EXPECT_EQ(b[3088], 1);  // the slice list's version, before every layer record
  const int32_t stack0 = LittleWord(b, 16);
  ASSERT_GT(stack0, 3088 + 6 + 2 * 530);

  // Read back into an empty list, written again: the same bytes.
  ScriptFile back;
  ASSERT_EQ(back.I_ScriptFile(3, kW, kH, 1.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  CSliceList got;
  int32_t value = 0;
  ASSERT_EQ(back.RecallCombiLay(&file, 1, &value, &got), 0);
  ASSERT_EQ(got.count, 2);
  float l, t, r, btm;
  got.first->next->GetBound(&l, &t, &r, &btm);
  EXPECT_EQ(std::vector<float>({l, t, r, btm}), std::vector<float>({21, 3, 39, 29}));
  EXPECT_EQ(PStrString(got.first->urlName), "http://s/0");
  EXPECT_EQ(got.behav->count, 2);  // the list's own first behaviour and the one added
  EXPECT_EQ(back.GetOprn(0, 1, 1)->Param1, 5);
  // Same name: the script records keep the file's name.
  ASSERT_EQ(back.SaveCombiLay(&file, value, &got), 0);
  const std::vector<uint8_t> again = vmktest::ReadBytes(dir_.file("s.lay"));
  EXPECT_EQ(again.size(), b.size());
  EXPECT_EQ(FirstDifference(again, b), b.size());

  // Without a list the stacks are still found through the directory; a file without a slice
  // list leaves the caller's slices alone.
  ScriptFile plain;
  ASSERT_EQ(plain.I_ScriptFile(3, kW, kH, 1.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  ASSERT_EQ(plain.RecallCombiLay(&file, 2, &value, nullptr), 0);
  EXPECT_EQ(plain.GetOprn(0, 1, 1)->Param1, 5);
  fichier f2 = FileAt("plain.lay");
  File_kern file2(&f2);
  ASSERT_EQ(plain.SaveCombiLay(&file2, value, nullptr), 0);
  ASSERT_EQ(plain.RecallCombiLay(&file2, 2, &value, &got), 0);
  EXPECT_EQ(got.count, 2);

  // Cut inside the slice block, or a slice list that overruns stack 0: refused, the caller's
  // slices and stacks as they were.
  CSliceList keepSlices;
  ASSERT_EQ(keepSlices.AddSlice(0), 0);
  keepSlices.current->CreaSlice(1, 1, 5, 5);
  ScriptFile keep;
  ASSERT_EQ(keep.I_ScriptFile(3, kW, kH, 1.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  std::vector<uint8_t> overrun = b;
  plat::bytes::storeLE32(&overrun[16], static_cast<uint32_t>(stack0 - 1));
  for (const auto& damaged : {std::vector<uint8_t>(b.begin(), b.begin() + 3088 + 6 + 600),
                              overrun}) {
    vmktest::WriteBytes(dir_.file("s.lay"), damaged);
    EXPECT_EQ(keep.RecallCombiLay(&file, 1, &value, &keepSlices), -1);
    ASSERT_EQ(keepSlices.count, 1);
    EXPECT_EQ(keepSlices.first->active, 1);
    EXPECT_EQ(keepSlices.first->right, 5.0f);
    EXPECT_EQ(keep.GetStack(0)->GetLaye(1)->oprnCount, 0);
  }
}

}  // namespace
