// The image-tools window ("ImaEff", family 118) on the document's photo:
// its stored effects and thumbnails, the preview channel by channel before
// and after the script, clicks in the preview, swatches, the hover of the
// stored-effect popup, and the effect file it saves.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>
#include <vector>

#include "dialogs/editor/tune_effect_fixture.h"
#include "engines/correction/colour_correction.h"
#include "platform/toolbox/test_driver.h"
#include "support/qt/popup_keys.h"
#include "views/colour_box.h"
#include "views/image_box.h"

using vmktest::OpSpec;
using vmktest::TuneEffTest;
namespace tb = plat::tb;
using namespace tuneeff;

namespace {

constexpr OSType kSig = tuneeff::kSignature;

class ImageToolsTest : public TuneEffTest {
 protected:
  void SetUp() override {
    TuneEffTest::SetUp();
    UsePhoto();
  }
  // Five stored effects, named so that they list in this order.
  void StoreFive() {
    StoreEffect("a blur", 11, 4);
    StoreEffect("b invert", 9);
    StoreEffect("c bright", 16, 60);
    StoreEffect("d levels", 14);
    StoreEffect("e emboss", 12, 3);
  }
  // Display pixel (x, y) of the preview view against plane value v: the
  // view shows the planes row for row.
  static void ExpectShown(VMKimabox* view, const uint8_t* r, const uint8_t* g, const uint8_t* b, int32_t w,
                          int32_t h, int32_t stride) {
    const uint8_t* d = view->displayBuffer();
    ASSERT_NE(d, nullptr);
    int checked = 0;
    for (int32_t y = 0; y < h; y += 7)
      for (int32_t x = 0; x < w; x += 5) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x);
        ASSERT_EQ(d[4 * i], r[i]) << x << "," << y;
        ASSERT_EQ(d[4 * i + 1], g[i]) << x << "," << y;
        ASSERT_EQ(d[4 * i + 2], b[i]) << x << "," << y;
        ++checked;
      }
    EXPECT_GT(checked, 100);
  }
};

TEST_F(ImageToolsTest, TheStripShowsTheStoredEffectsAndHoldsAtTheEndOfTheList) {
  StoreFive();
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "ImaEff");
        EXPECT_EQ(e.effectCount, 5);
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kStoredPopup)), 5);
        EXPECT_EQ(tb::GetControl32BitMaximum(Ctl(w, kThumbScroll)), 5);
        EXPECT_EQ(e.startFlag, 1);
        // The first pass reloaded the three thumbnails.
        EXPECT_EQ(e.loopWords[2], 2);
        EXPECT_EQ(PStrString(e.thumbView(0)->renderFile().name), "a blur.ac28");
        EXPECT_EQ(tb::GetControlText(Ctl(w, kThumbName[2])), "c bright");
      })
      .Choose(kSig, kStoredPopup, 5)  // first visible 4
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.firstVisible, 4);
        // Five effects and first visible 4: entries 2, 3 and 4.
        EXPECT_EQ(PStrString(e.thumbView(0)->renderFile().name), "c bright.ac28");
        EXPECT_EQ(PStrString(e.thumbView(2)->renderFile().name), "e emboss.ac28");
        EXPECT_EQ(tb::GetControlText(Ctl(w, kThumbName[0])), "c bright");
        EXPECT_EQ(tb::GetControlText(Ctl(w, kThumbName[1])), "d levels");
        EXPECT_EQ(e.loopWords[0], 4);
        // The layer is as it was: the choice only moved the strip.
        EXPECT_EQ(Codes(), (std::vector<int16_t>{16}));
      })
      .PressPart(kSig, kThumbScroll, tb::kControlUpButtonPart)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.firstVisible, 3);
        EXPECT_EQ(e.refreshFlag, 2);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// A fresh content library: its stored image tools lie in the maker's folder
// itself, where the strip lists them, five of them so that the strip scrolls.
TEST_F(ImageToolsTest, AFreshLibrarysStoredImageToolsFillTheStripAndScrollIt) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        const std::vector<std::string> names = {"Black and white.ac28", "Brighter.ac28", "Film grain.ac28",
                                                "Mosaic.ac28", "Soft focus.ac28"};
        ASSERT_EQ(e.effectCount, 5);
        const std::vector<std::string> shown = {"Black and white", "Brighter", "Film grain",
                                                "Mosaic", "Soft focus"};
        for (int32_t k = 1; k <= 5; ++k)
          EXPECT_EQ(Item(w, kStoredPopup, k), shown[static_cast<size_t>(k - 1)]);
        EXPECT_EQ(tb::GetControl32BitMaximum(Ctl(w, kThumbScroll)), 5);
        EXPECT_EQ(PStrString(e.thumbView(0)->renderFile().name), names[0]);
        EXPECT_EQ(tb::GetControlText(Ctl(w, kThumbName[2])), shown[2]);
      })
      .Choose(kSig, kStoredPopup, 5)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(PStrString(e.thumbView(2)->renderFile().name), "Soft focus.ac28");
        EXPECT_EQ(tb::GetControlText(Ctl(w, kThumbName[0])), "Film grain");
        // Each holds its one operation: the mosaic's, read whole.
        e.selectedSlot = 0;
        e.LoadScript(3);
        EXPECT_EQ(Codes(), (std::vector<int16_t>{120}));
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(driver_.ui().alertRequests.empty());
}

TEST_F(ImageToolsTest, ThePreviewShowsEachChannelBeforeAndAfterTheScript) {
  // A brightness on the composite, and a copy of red into channel 10 that
  // only the script makes.
  Plant({{16, 1, 1, 2, 3, 1, {80}}, {2, 1, 3, 10, 3, 1, {255}}});
  VMKtuneeff e;
  BindEditor(e);
  VMKimabox* view = nullptr;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        view = e.previewView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(e.built, 1);
        EXPECT_EQ(e.fittedWidth, e.viewWidth);  // 1200 x 900 is wider than high
        EXPECT_EQ(e.fittedHeight, 900 * e.viewWidth / 1200);
        ASSERT_NE(e.resultPlanes[10], nullptr);
        ASSERT_NE(e.sourcePlanes[10], nullptr);
        EXPECT_EQ(e.resultPlanes[11], nullptr);
        // The brightness made the result lighter than the source.
        EXPECT_GT(e.resultPlanes[4][1000], e.sourcePlanes[4][1000]);
        ExpectShown(view, e.resultPlanes[3], e.resultPlanes[4], e.resultPlanes[5], e.fittedWidth - 1,
                    e.fittedHeight - 1, e.viewWidth);
      })
      .Choose(kSig, kChannelPopup, 3)  // green, as grey
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        uint8_t* g = e.resultPlanes[4];
        ExpectShown(view, g, g, g, e.fittedWidth - 1, e.fittedHeight, e.viewWidth);
      })
      .Choose(kSig, kImageToolsPopup, 1)  // the source, whatever the script does
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.imaToolsValue, 0);
        uint8_t* g = e.sourcePlanes[4];
        ExpectShown(view, g, g, g, e.fittedWidth - 1, e.fittedHeight, e.viewWidth);
      })
      .Choose(kSig, kChannelPopup, 9)  // channel 10: white before the script
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        const uint8_t* d = view->displayBuffer();
        EXPECT_EQ(d[4 * 5000], 255);
        EXPECT_EQ(d[4 * 5000 + 2], 255);
      })
      .Choose(kSig, kImageToolsPopup, 2)
      .Choose(kSig, kChannelPopup, 40)  // a channel the script never wrote: black
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        const uint8_t* d = view->displayBuffer();
        EXPECT_EQ(d[4 * 5000], 0);
        EXPECT_EQ(d[4 * 5000 + 1], 0);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// A picture smaller than the preview both ways fills its fitted area in proportion: every
// sample shows the picture pixel under its centre (each pixel an equal share, in place, no
// sample left black), before the script and, brightened as the script brightens it, after.
TEST_F(ImageToolsTest, APictureSmallerThanThePreviewFillsItInEqualShares) {
  for (const auto& [w, h] : std::vector<std::pair<int16_t, int16_t>>{{1, 1}, {2, 2}, {3, 1}, {2, 5}}) {
    Start(w, h);
    photo_ = PixelBuffer(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 4);
    const auto colour = [](int32_t x, int32_t y) {
      return std::array<uint8_t, 3>{static_cast<uint8_t>(30 + 60 * x), static_cast<uint8_t>(20 + 35 * y),
                                    static_cast<uint8_t>(200 - 20 * (x + y))};
    };
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x;
        const auto c = colour(x, y);
        std::copy(c.begin(), c.end(), p);
        p[3] = 255;
      }
    SetSessionSpanImages(&photo_, &unused_);
    Plant({{16, 1, 1, 2, 3, 1, {40}}});
    VMKtuneeff e;
    e.SetScriptFile(script(), 0, 1, w, h, 0, 0, w, h);
    driver_.Advance(0.1).Do([&](tb::WindowRef) {
      ASSERT_GT(e.previewsShown(), 0);
      const int32_t fw = e.fittedWidth, fh = e.fittedHeight;
      ASSERT_GT(fw, w);
      ASSERT_GT(fh, h);
      std::vector<int32_t> share(static_cast<size_t>(w) * h, 0);
      for (int32_t row = 0; row < fh; ++row)
        for (int32_t x = 0; x < fw; ++x) {
          const size_t i = static_cast<size_t>(row) * static_cast<size_t>(e.viewWidth) + static_cast<size_t>(x);
          // Plane rows run from the picture's bottom.
          const int32_t fromTop = fh - 1 - row;
          int32_t px = -1, py = -1;
          for (int32_t y = 0; y < h; ++y)
            for (int32_t c = 0; c < w; ++c)
              if (colour(c, y) == std::array<uint8_t, 3>{e.sourcePlanes[3][i], e.sourcePlanes[4][i],
                                                          e.sourcePlanes[5][i]})
                px = c, py = y;
          ASSERT_GE(px, 0) << w << "x" << h << " sample " << x << "," << fromTop << " shows no pixel";
          // The sample's centre lies in the pixel's share of the fitted area.
          EXPECT_TRUE(2 * px * fw <= (2 * x + 1) * w && (2 * x + 1) * w <= 2 * (px + 1) * fw)
              << w << "x" << h << " sample " << x << "," << fromTop << " shows column " << px;
          EXPECT_TRUE(2 * py * fh <= (2 * fromTop + 1) * h && (2 * fromTop + 1) * h <= 2 * (py + 1) * fh)
              << w << "x" << h << " sample " << x << "," << fromTop << " shows row " << py;
          ++share[static_cast<size_t>(py) * w + px];
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(e.resultPlanes[3 + k][i], std::min(e.sourcePlanes[3 + k][i] + 40, 255)) << x << "," << fromTop;
        }
      const auto [least, most] = std::minmax_element(share.begin(), share.end());
      EXPECT_LE(*most - *least, (fw / w + 1) * (fh / h + 1) - (fw / w) * (fh / h)) << w << "x" << h;
    });
    PressOk();
    EXPECT_EQ(e.Perform_Effect(118, 0), 1);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// The preview renders on the preview worker: while a render is on its way
// the tables and the view keep the last complete preview; of two requests
// only the newest is shown, and it equals a render made at once.
TEST_F(ImageToolsTest, PreviewsArriveFromTheWorkerAndOnlyTheNewestIsShown) {
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  VMKtuneeff e;
  BindEditor(e);
  std::vector<uint8_t> first, held;
  int32_t shown = 0;
  const auto plane = [&] {
    const size_t n = static_cast<size_t>(e.viewWidth) * static_cast<size_t>(e.viewHeight);
    return std::vector<uint8_t>(e.resultPlanes[4], e.resultPlanes[4] + n);
  };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        shown = e.previewsShown();
        EXPECT_GE(shown, 1);
        first = plane();
        e.previews().Hold(true);
        tb::SetControlText(Ctl(w, 16), "120");  // row 1's field, read by the next pass
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        // On its way: nothing new in the tables or the view.
        EXPECT_EQ(e.previewsShown(), shown);
        EXPECT_EQ(plane(), first);
        tb::SetControlText(Ctl(w, 16), "200");
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.previewsShown(), shown);
        // The earlier requests went stale when the newest came: one shows.
        EXPECT_GE(e.previews().RunHeld(), 2);
        EXPECT_EQ(Layer()->firstOprn->Param1, 200);
        EXPECT_EQ(e.previewsShown(), shown + 1);
        held = plane();
        EXPECT_NE(held, first);
        const uint8_t* d = e.previewView()->displayBuffer();
        EXPECT_EQ(d[4 * 1000 + 1], held[1000]);
        e.previews().Hold(false);
        e.SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.previewsShown(), shown + 2);
        EXPECT_EQ(plane(), held);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ImageToolsTest, ClicksInThePreviewPickTheColourRangeOrTheSelectionPoint) {
  Plant({{86, 1, 2, 2, 3, 1, {50, 0}}, {11, 1, 1, 2, 3, 1, {3}}});
  VMKtuneeff e;
  BindEditor(e);
  // The middle of the preview view (the window's layout).
  const Point inside{160, 735};
  std::vector<uint8_t> before;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        const Rect r = tb::GetControlBounds(Ctl(w, kPreviewFrame));
        EXPECT_TRUE(inside.h > r.left && inside.h < r.right && inside.v > r.top && inside.v < r.bottom);
      })
      .Drag({inside, inside})
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        int16_t r = 0, g = 0, b = 0;
        e.previewView()->GetRGBcolSel(&r, &g, &b);
        EXPECT_GT(r + g + b, 0);
        ColCorPar record;
        script()->GetColCorPar(0, 1, 1, &record);
        EXPECT_EQ(record.w[44], r);
        EXPECT_EQ(record.w[76], g);
        EXPECT_EQ(record.w[108], b);
      })
      // Option-click on an operation without a colour selection: nothing
      // changes, yet the window refreshes.
      .Choose(kSig, kOperationPopup, 2)
      .Do([&](tb::WindowRef) {
        before = LayerBytes();
        e.pendingPreview = 0;
        driver_.ui().SetModifiers(optionKey);
        e.previewView()->CheckSetRefresh(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        driver_.ui().SetModifiers(0);
        EXPECT_EQ(LayerBytes(), before);
        EXPECT_EQ(e.pendingPreview, 1);
        EXPECT_EQ(e.refreshFlag, 0);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ImageToolsTest, SwatchOneWritesTheColourIntoTheOperationAtOnce) {
  Plant({{10, 1, 1, 2, 3, 1, {128, 1, 2, 3}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.showSwatch[0], 1);
        VMKcolbox* box = e.swatch(0);
        ASSERT_NE(box, nullptr);
        box->SetCol(10, 20, 30);
        box->CheckSetRefresh(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        const Oprn* op = script()->GetOprn(0, 1, 1);
        EXPECT_EQ(op->Param2, 10);
        EXPECT_EQ(op->Param3, 20);
        EXPECT_EQ(op->Param4, 30);
        EXPECT_EQ(e.swatchColours[0][2], 30);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// The popup's menu events as the toolbox sends them, by hand, so that the
// layer can be looked at while an item is hovered.
TEST_F(ImageToolsTest, HoveringStoredEffectsShowsEachOnTheLayerAndClosingPutsItBack) {
  StoreFive();
  Plant({{2, 1, 3, 4, 1, 7, {9}}, {13, 0, 1, 2, 3, 1, {0, 64, 128, 192, 255}}});
  const std::vector<uint8_t> before = LayerBytes();
  // A damaged stored effect among them.
  vmktest::WriteBytes(bundle_.makersFile("f damaged.ac28"), std::vector<uint8_t>(300, 7));
  VMKtuneeff e;
  BindEditor(e);
  auto menu = [](tb::WindowRef w, uint32_t kind, int32_t item = 0) {
    tb::Event ev;
    ev.eventClass = tb::kEventClassMenu;
    ev.kind = kind;
    ev.control = Ctl(w, kStoredPopup);
    ev.window = w;
    ev.menuItem = item;
    tb::SendEventToEventTarget(&ev, w, ev.control);
  };
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    ASSERT_EQ(e.effectCount, 6);
    const size_t alerts = driver_.ui().alertRequests.size();
    menu(w, tb::kEventMenuOpening);
    const int16_t codes[] = {11, 9, 16, 14, 12};
    for (int32_t item = 1; item <= 5; ++item) {
      menu(w, tb::kEventMenuTargetItem, item);
      EXPECT_EQ(Codes(), (std::vector<int16_t>{codes[item - 1]})) << item;
      // The pass ran at once: the preview shows the hovered effect.
      EXPECT_EQ(e.refreshFlag, 0);
      EXPECT_EQ(Item(w, kOperationPopup, 1), e.OperationLine(1, 118));
    }
    // The damaged one puts the layer back, without an alert while the menu is open.
    menu(w, tb::kEventMenuTargetItem, 6);
    EXPECT_EQ(LayerBytes(), before);
    EXPECT_EQ(driver_.ui().alertRequests.size(), alerts);
    menu(w, tb::kEventMenuTargetItem, 3);
    menu(w, tb::kEventMenuClosed);
    EXPECT_EQ(LayerBytes(), before);
  });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// The stored-effect popup as a desktop runs it: Qt's list opened on the
// current item (highlighted, and so shown on the layer, before the list
// appears) and driven by the keys. Escape leaves the layer as it was; Down
// and Return move the strip and leave the layer too, and Command-Z after
// that gives back the layer of before, not the first effect highlighted.
TEST_F(ImageToolsTest, TheStoredPopupAsADesktopRunsItKeepsTheLayer) {
  StoreFive();
  Plant({{2, 1, 3, 4, 1, 7, {9}}});
  const std::vector<uint8_t> before = LayerBytes();
  VMKtuneeff e;
  BindEditor(e);
  std::vector<bool> checks;
  auto check = [&](bool v) { checks.push_back(v); };
  int32_t start = -1;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        start = e.firstVisible;
        vmktest::PopupKeys(Ctl(w, kStoredPopup), {Qt::Key_Escape});
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        check(LayerBytes() == before);
        check(e.firstVisible == start);
        vmktest::PopupKeys(Ctl(w, kStoredPopup), {Qt::Key_Down, Qt::Key_Return});
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        check(LayerBytes() == before);
        check(e.firstVisible == start + 1);
      })
      .Key('z', cmdKey)
      .Advance(0.6)
      .Do([&](tb::WindowRef) { check(LayerBytes() == before); });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(checks, std::vector<bool>(5, true));
}

TEST_F(ImageToolsTest, UsingAStoredEffectReplacesTheLayerOnlyWhenItReadsWhole) {
  StoreEffect("a blur", 11, 4);
  vmktest::WriteBytes(bundle_.makersFile("b damaged.ac28"), std::vector<uint8_t>(2000, 1));
  Plant({{2, 1, 3, 4, 1, 7, {9}}});
  const std::vector<uint8_t> before = LayerBytes();
  VMKtuneeff e;
  BindEditor(e);
  size_t alerts = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        alerts = driver_.ui().alertRequests.size();
        e.selectedSlot = 1;
      })
      .Press(kSig, kAddButton)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(LayerBytes(), before);
        ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 1);
        EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("\"b damaged\""),
                  std::string::npos);
        e.selectedSlot = 0;
      })
      .Press(kSig, kAddButton)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{11}));
        EXPECT_EQ(e.currentOprn, 1);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ImageToolsTest, ASavedEffectCarriesTheLayerAndAThumbnailInItsTopRows) {
  Start(4000, 3000);
  UsePhoto();
  Plant({{16, 1, 1, 2, 3, 1, {60}}, {11, 1, 1, 2, 3, 1, {2}}});
  const std::string path = bundle_.makersFile("saved.ac28");
  VMKtuneeff e;
  BindEditor(e);
  driver_.ui().AnswerSaveFile(path);
  driver_.Advance(0.1)
      .Press(kSig, 84)              // 'Pop5'
      .Press(FourCC("Catn"), 101)     // the category, as it stands
      .Do([&](tb::WindowRef w) {
        // The new file is listed at once.
        EXPECT_EQ(e.effectCount, 1);
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kStoredPopup)), 1);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, path));
  File_kern file(&f);
  std::vector<char> preview(130 * 130 * 4);
  int16_t w = 0, h = 0;
  ASSERT_EQ(script()->RecallScript(1, nullptr, nullptr, &file, 1, preview.data(), &w, &h, nullptr, nullptr, 1.0f,
                                   1.0f, 0),
            0);
  EXPECT_EQ(w, 130);
  EXPECT_EQ(h, 97);
  auto pixel = [&](int x, int y) { return reinterpret_cast<const uint8_t*>(preview.data()) + 4 * (y * 130 + x); };
  EXPECT_GT(pixel(65, 50)[0] + pixel(65, 50)[1] + pixel(65, 50)[2], 0);
  for (int y = 97; y < 130; ++y)
    for (int x = 0; x < 130; x += 13) EXPECT_EQ(pixel(x, y)[0] + pixel(x, y)[1] + pixel(x, y)[2], 0) << y;
  // The operations came along.
  Plant({});
  ASSERT_EQ(script()->RecallScript(1, &Layer()->oprnCount, &Layer()->firstOprn, &file, 0, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, 1.0f, 1.0f, 0),
            0);
  EXPECT_EQ(Codes(), (std::vector<int16_t>{16, 11}));
}

TEST_F(ImageToolsTest, AnEffectFileThatCannotBeWrittenIsNamedAndTheOldOneStays) {
  Plant({{16, 1, 1, 2, 3, 1, {60}}});
  const std::string path = bundle_.makersFile("kept.ac28");
  const std::vector<uint8_t> old(100, 42);
  vmktest::WriteBytes(path, old);
  VMKtuneeff e;
  BindEditor(e);
  driver_.ui().AnswerSaveFile(path, true);
  size_t alerts = 0;
  // Files may not grow past 4 KB while the effect is saved: its thumbnail
  // alone is larger.
  struct sigaction ignore {}, kept {};
  rlimit limit{}, saved{};
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        alerts = driver_.ui().alertRequests.size();
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &kept);
        getrlimit(RLIMIT_FSIZE, &saved);
        limit = saved;
        limit.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
      })
      .Press(kSig, 84)
      .Press(FourCC("Catn"), 101)
      .Do([&](tb::WindowRef) {
        setrlimit(RLIMIT_FSIZE, &saved);
        sigaction(SIGXFSZ, &kept, nullptr);
        ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 1);
        EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("\"kept\""), std::string::npos);
      });
  PressOk();
  EXPECT_EQ(e.Perform_Effect(118, 0), 1);
  EXPECT_EQ(vmktest::ReadBytes(path), old);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
