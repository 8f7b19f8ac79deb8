// Nested rendering: MiscRender over a combined-layer file and a script file gives the
// planes of a direct render; the render file's layout, rescaled reading and refusals.
#include <cstdint>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "app/file_access.h"
#include "engines/records/engine_frame.h"
#include "engines/families/effect_families.h"
#include "platform/bytes/byte_order.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/misc_render.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 20, kH = 16;
constexpr size_t kN = static_cast<size_t>(kW) * kH;

DocData* gDoc = nullptr;
DocData* TheDocument() { return gDoc; }

class NestedRender : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    RegisterEffectFamilies();
    RegisterScriptRenderCases();
    gPer->previewWidth = kW;
    gPer->previewHeight = kH;
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    for (size_t i = 0; i < kN; ++i)
      for (int c = 0; c < 4; ++c) planes_[c][i] = static_cast<uint8_t>(i * (c + 3) + 11 * c);
    SetCurrentDocumentSource(TheDocument);
  }
  void TearDown() override { SetCurrentDocumentSource(nullptr); }

  // Two operations: the red plane inverted, then the composite brightened.
  static void Ops(ScriptFile& s) {
    s.SetEffect(0, 1, 1, 9, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 3);
    s.SetEffect(0, 1, 2, 16, 0, 0, 0, 0);
    s.SetAct(0, 1, 2, 1);
    s.SetToChannel(0, 1, 2, 2);
    s.SetParam1(0, 1, 2, 40);
  }

  // What a script of those operations renders from the planes.
  std::vector<Plane> Direct() {
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    s.NewLimSize(0, 0, kW, kH, 1.0f, 1.0f);
    Ops(s);
    for (int c = 0; c < 4; ++c) std::copy(planes_[c].begin(), planes_[c].end(), s.ChannelPlane(3 + c, 1));
    s.SetBuf(s.ChannelPlane(3, 0), s.ChannelPlane(4, 0), s.ChannelPlane(5, 0), nullptr,
             s.ChannelPlane(6, 0), nullptr);
    s.Render(0, 0, 0, nullptr, planes_[3].data(), nullptr, 0, 0);
    std::vector<Plane> out;
    for (int c = 0; c < 3; ++c) out.emplace_back(s.ChannelPlane(3 + c, 0), s.ChannelPlane(3 + c, 0) + kN);
    return out;
  }

  int32_t Fill(MiscRender& r, std::vector<Plane>& p, int16_t source, int16_t apply,
               uint8_t* mask = nullptr, int32_t w = kW, int32_t h = kH) {
    return r.FillBuf(3, 0, 255, source, apply, nullptr, 0, 0, w, h, 0, 0, 0, 0, 1.0f, 1.0f, w, h,
                     p[0].data(), p[1].data(), p[2].data(), p[3].data(), mask);
  }

  std::string RenderFilePath() const { return dir_.file("com.vellmarkstead.prend"); }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  std::vector<Plane> planes_ = std::vector<Plane>(4, Plane(kN));
};

TEST_F(NestedRender, CombinedLayerAndScriptFilesRenderAsTheScriptDoes) {
  const std::vector<Plane> expected = Direct();
  ASSERT_NE(expected[0], Plane(planes_[0].begin(), planes_[0].begin() + kN));

  ScriptFile saved;
  ASSERT_EQ(saved.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  Ops(saved);
  fichier lay, eff;
  ASSERT_TRUE(SetFicFromPosix(&lay, dir_.file("doc.lay")));
  ASSERT_TRUE(SetFicFromPosix(&eff, dir_.file("look.eff")));
  File_kern layFile(&lay), effFile(&eff);
  ASSERT_EQ(saved.SaveCombiLay(&layFile, 0, nullptr), 0);
  Laye* layer = saved.GetStack(0)->GetLaye(1);
  ASSERT_EQ(saved.SaveScript(layer->oprnCount, layer->firstOprn, &effFile, nullptr, 0, 0, nullptr, 1), 0);

  for (int16_t mode : {2, 3}) {
    SCOPED_TRACE(mode);
    std::vector<Plane> p = planes_;
    MiscRender r;
    r.SetFich(mode == 2 ? &lay : &eff, nullptr, mode, 0, 0);
    ASSERT_EQ(Fill(r, p, 0, 1), 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(p[c], expected[c]) << c;
    EXPECT_EQ(p[3], planes_[3]);  // the fourth plane is not blended
  }
  // A script file that cannot be read ends with -1.
  vmktest::WriteBytes(dir_.file("look.eff"), {1, 2, 3});
  MiscRender r;
  r.SetFich(&eff, nullptr, 3, 0, 0);
  std::vector<Plane> p = planes_;
  EXPECT_EQ(Fill(r, p, 0, 1), -1);
}

TEST_F(NestedRender, SourcesMasksAndRefusedSizes) {
  MiscRender r;
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  Ops(s);
  r.SetFich(nullptr, &s, 1, 0, 0);
  std::vector<Plane> p = planes_;
  Plane zeros(kN, 0);
  ASSERT_EQ(Fill(r, p, 0, 1, zeros.data()), 0);
  EXPECT_EQ(p, planes_);  // a mask of zeros changes nothing
  ASSERT_EQ(Fill(r, p, 1, 0), 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(p[c], Plane(kN, 255));
  // Modes 0 and 1 render at the script's plane size only; unknown modes are refused.
  std::vector<Plane> small(4, Plane(10 * 8, 7));
  EXPECT_EQ(Fill(r, small, 0, 1, nullptr, 10, 8), -1);
  EXPECT_EQ(small[0], Plane(80, 7));
  r.SetFich(nullptr, &s, 4, 0, 0);
  EXPECT_EQ(Fill(r, p, 0, 1), -1);
  r.SetFich(nullptr, nullptr, 0, 0, 0);  // no document
  EXPECT_EQ(Fill(r, p, 0, 1), -1);
}

TEST_F(NestedRender, KeptPlanesAreHandedOutAsCopies) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  Ops(s);
  std::fill_n(s.ChannelPlane(40, 1), kN, 99);
  MiscRender r;
  r.SetFich(nullptr, &s, 1, 0, 0);
  std::vector<Plane> p = planes_;
  ASSERT_EQ(Fill(r, p, 0, 1), 0);
  unsigned char* table[MiscRender::kKeptPlanes] = {};
  r.CollectChans(kW / 2, kH / 2, table);
  ASSERT_NE(table[40], nullptr);
  EXPECT_NEAR(table[40][0], 99, 1);  // through the filtered rescale
  EXPECT_EQ(table[41], nullptr);
  EXPECT_NE(table[6], nullptr);  // the fourth plane went to plane 6
  for (unsigned char* t : table) vmkrec::DeleteScratch(t);
}

TEST_F(NestedRender, RenderFileLayoutAndRescaledRead) {
  constexpr int32_t W = 500, H = 500, R = 500, B = 333;
  std::vector<Plane> p(4, Plane(W * H));
  for (int c = 0; c < 4; ++c)
    for (int32_t y = 0; y < H; ++y)
      std::fill_n(p[c].begin() + y * W, W, static_cast<uint8_t>(y < B ? 40 * c + 20 : 255));
  MiscRender r;
  ASSERT_EQ(r.ReadWriteRendFile(0, W, H, p[0].data(), p[1].data(), p[2].data(), p[3].data(), R, B), 0);
  const std::vector<uint8_t> file = vmktest::ReadBytes(RenderFilePath());
  ASSERT_EQ(file.size(), 16u + 4u * W * H);
  EXPECT_EQ(plat::bytes::loadLE32(&file[8]), 500u);
  EXPECT_EQ(plat::bytes::loadLE32(&file[12]), 333u);

  std::vector<Plane> q(4, Plane(250 * 250, 1));
  ASSERT_EQ(r.ReadWriteRendFile(1, 250, 250, q[0].data(), q[1].data(), q[2].data(), q[3].data(), 250, 167), 0);
  for (int c = 0; c < 4; ++c) {
    // The filtered rescale keeps a flat area within one level.
    EXPECT_NEAR(q[c][0], 40 * c + 20, 1);
    EXPECT_NEAR(q[c][166 * 250 + 249], 40 * c + 20, 1);
    EXPECT_EQ(q[c][167 * 250], 1);  // outside the area: untouched
  }

  // Damaged files are refused with the planes untouched.
  auto refused = [&](std::vector<uint8_t> bytes) {
    vmktest::WriteBytes(RenderFilePath(), bytes);
    std::vector<Plane> z(4, Plane(250 * 250, 9));
    EXPECT_EQ(r.ReadWriteRendFile(1, 250, 250, z[0].data(), z[1].data(), z[2].data(), z[3].data(), 250, 167), -1);
    EXPECT_EQ(z[0], Plane(250 * 250, 9));
  };
  refused(std::vector<uint8_t>(file.begin(), file.end() - 1));
  refused(std::vector<uint8_t>(file.begin(), file.begin() + 10));
  for (size_t word : {0u, 4u, 8u, 12u})
    for (uint32_t v : {0u, 501u, 0x80000000u}) {
      std::vector<uint8_t> b = file;
      plat::bytes::storeLE32(&b[word], v);
      refused(b);
    }
  std::filesystem::remove(RenderFilePath());
  refused({});
  // A head alone declaring planes near the 32-bit limit each way: four of them overflow even
  // 64 bits, and the file holds none of it.
  std::vector<uint8_t> huge(16);
  for (size_t word : {0u, 4u, 8u, 12u}) plat::bytes::storeLE32(&huge[word], 0x7fffffffu);
  refused(huge);
  // Nor is such a size written: the file is left as it was and the small planes are not read
  // past their ends.
  vmktest::WriteBytes(RenderFilePath(), file);
  EXPECT_EQ(r.ReadWriteRendFile(0, INT32_MAX, INT32_MAX, p[0].data(), p[1].data(), p[2].data(),
                                p[3].data(), INT32_MAX, INT32_MAX),
            -1);
  EXPECT_EQ(r.ReadWriteRendFile(0, 65536, 32768, p[0].data(), p[1].data(), p[2].data(),
                                p[3].data(), 65536, 32768),
            -1);
  EXPECT_EQ(vmktest::ReadBytes(RenderFilePath()), file);

  // The engines' source 2 is the render file, read at their area's size.
  ASSERT_EQ(r.ReadWriteRendFile(0, W, H, p[0].data(), p[1].data(), p[2].data(), p[3].data(), R, B), 0);
  std::vector<Plane> e(4, Plane(100, 3));
  vmkrec::SourceRequest request;
  request.width = request.height = 10;
  request.areaWidth = request.areaHeight = 10;
  for (int c = 0; c < 4; ++c) request.planes[c] = e[c].data();
  vmkrec::PrepareEngineSource(2, 3, 0, request);
  EXPECT_NEAR(e[1][44], 60, 4);  // a fifty-fold filtered reduction
  EXPECT_NE(e[1][99], 3);
}

TEST_F(NestedRender, ScriptToRenderFileFitsThePictureAndLeavesNoFileOnFailure) {
  DocData doc;
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, 50, 50, 0, 0, 49, 49), 0);
  doc.script = &s;
  doc.width = 3000;
  doc.height = 1;
  gDoc = &doc;
  MiscRender r;
  ASSERT_EQ(r.ScriptToRendFile(nullptr, &s, 0, 50, 50, 1, 1), 0);
  std::vector<uint8_t> file = vmktest::ReadBytes(RenderFilePath());
  ASSERT_EQ(file.size(), 16u + 4u * 50 * 50);
  EXPECT_EQ(plat::bytes::loadLE32(&file[8]), 50u);
  EXPECT_EQ(plat::bytes::loadLE32(&file[12]), 1u);  // a thin picture keeps one row
  doc.width = 2000;
  doc.height = 3000;
  ASSERT_EQ(r.ScriptToRendFile(nullptr, &s, 0, 50, 50, 1, 1), 0);
  file = vmktest::ReadBytes(RenderFilePath());
  EXPECT_EQ(plat::bytes::loadLE32(&file[8]), 33u);
  EXPECT_EQ(plat::bytes::loadLE32(&file[12]), 50u);
  // A render that fails removes the earlier render file.
  gDoc = nullptr;
  EXPECT_EQ(r.ScriptToRendFile(nullptr, &s, 0, 50, 50, 1, 1), -1);
  EXPECT_FALSE(std::filesystem::exists(RenderFilePath()));
  std::vector<Plane> z(4, Plane(100, 9));
  EXPECT_EQ(r.ReadWriteRendFile(1, 10, 10, z[0].data(), z[1].data(), z[2].data(), z[3].data(), 10, 10), -1);
}

}  // namespace
