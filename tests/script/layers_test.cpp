#include "script/layers.h"

#include <string>

#include <gtest/gtest.h>

#include "app/core/pascal_strings.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "script/operation.h"
#include "support/session.h"

namespace {

class Layers : public vmktest::SessionTest {
 protected:
  // A stack of layers whose LayFlag words are 1, 2, 3 ... so orders read as numbers.
  void Fill(int16_t count) {
    for (int16_t k = 1; k <= count; ++k) {
      auto* l = new Laye;
      l->LayFlag = k;
      stack_.AddLaye(k, l);
    }
  }
  std::string Order() const {
    std::string s;
    for (const Laye* l = stack_.firstLaye; l != nullptr; l = l->next)
      s += static_cast<char>('A' + l->LayFlag - 1);
    return s;
  }
  // Operations of layer 1 named by their Param1 values 1, 2, 3 ...
  void FillOprns(int16_t count) {
    for (int16_t k = 1; k <= count; ++k) stack_.AddOprnLaye(1, k, Numbered(k));
  }
  static Oprn* Numbered(int16_t n) {
    auto* op = new Oprn;
    InitOprn(op);
    op->Param1 = n;
    return op;
  }
  std::string OprnOrder(int16_t n) const {
    std::string s;
    for (const Oprn* op = stack_.GetLaye(n)->firstOprn; op != nullptr; op = op->NextOprn)
      s += static_cast<char>('A' + op->Param1 - 1);
    return s;
  }
  LayerFile stack_;
};

TEST_F(Layers, NewLayersAreNamedByTheCountWhereverTheyGo) {
  auto* first = new Laye;
  stack_.AddLaye(1, first);
  EXPECT_EQ(stack_.layerCount, 1);
  EXPECT_EQ(PStrString(first->name), "Layer 0");
  EXPECT_EQ(first->active, 1);
  EXPECT_EQ(first->lock, 0);
  stack_.AddLaye(5, new Laye);
  stack_.AddLaye(1, new Laye);
  ASSERT_EQ(stack_.layerCount, 3);

  auto* front = new Laye;
  stack_.AddLaye(0, front);
  EXPECT_EQ(stack_.GetLaye(1), front);
  EXPECT_EQ(PStrString(front->name), "Layer 0");
  auto* third = new Laye;
  stack_.AddLaye(2, third);
  EXPECT_EQ(stack_.GetLaye(3), third);
  EXPECT_EQ(PStrString(third->name), "Layer 4");
  EXPECT_EQ(stack_.GetLaye(0), nullptr);
  EXPECT_EQ(stack_.GetLaye(6), nullptr);
}

TEST_F(Layers, MovesFollowThePositionBeforeTheMove) {
  const struct {
    int16_t from, to;
    const char* result;
  } cases[] = {{1, 3, "BCAD"}, {3, 1, "ACBD"}, {3, 0, "CABD"}, {1, 0, "ABCD"},
               {2, 1, "ABCD"}, {4, 4, "ABCD"}, {2, 5, "ABCD"}, {0, 2, "ABCD"},
               {5, 1, "ABCD"}, {2, -1, "ABCD"}, {4, 0, "DABC"}, {1, 4, "BCDA"}};
  for (const auto& c : cases) {
    stack_.DeleteAllLaye();
    ASSERT_EQ(stack_.layerCount, 0);
    Fill(4);
    stack_.MoveLaye(c.from, c.to);
    EXPECT_EQ(Order(), c.result) << c.from << " to " << c.to;
    EXPECT_EQ(stack_.layerCount, 4);
  }
}

TEST_F(Layers, OperationsInsertMoveAndDelete) {
  Fill(1);
  FillOprns(2);
  stack_.AddOprnLaye(1, 1, Numbered(3));
  EXPECT_EQ(OprnOrder(1), "ACB");
  stack_.AddOprnLaye(1, 0, Numbered(4));
  stack_.AddOprnLaye(1, 9, Numbered(5));
  EXPECT_EQ(OprnOrder(1), "DACBE");
  EXPECT_EQ(stack_.GetLaye(1)->oprnCount, 5);
  stack_.MoveOprnLaye(1, 1, 3);
  EXPECT_EQ(OprnOrder(1), "ACDBE");
  stack_.MoveOprnLaye(1, 2, 6);  // beyond the count: nothing
  EXPECT_EQ(OprnOrder(1), "ACDBE");
  stack_.DeleteOprnLaye(1, 6);
  stack_.DeleteOprnLaye(1, 0);
  EXPECT_EQ(stack_.GetLaye(1)->oprnCount, 5);
  stack_.DeleteOprnLaye(1, 2);
  EXPECT_EQ(OprnOrder(1), "ADBE");
  EXPECT_EQ(stack_.GetOprnLaye(1, 4)->Param1, 5);
  EXPECT_EQ(stack_.GetOprnLaye(1, 5), nullptr);
  EXPECT_EQ(stack_.GetOprnLaye(2, 1), nullptr);
  // An operation for a layer that does not exist is not taken.
  Oprn* stray = Numbered(9);
  EXPECT_EQ(stack_.AddOprnLaye(3, 1, stray), nullptr);
  delete stray;
  stack_.CleanOprnLaye(1);
  EXPECT_EQ(stack_.GetLaye(1)->oprnCount, 0);
  EXPECT_EQ(stack_.GetLaye(1)->firstOprn, nullptr);
}

TEST_F(Layers, FlagsOfMissingLayersReadAsZero) {
  Fill(2);
  stack_.SetLayLock(2, 1);
  stack_.SetLayAct(9, 0);
  int16_t v = 7;
  EXPECT_EQ(stack_.GetLayAct(3, &v), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(stack_.GetLayAct(1, &v), 1);
  EXPECT_EQ(stack_.GetLayLock(2, &v), 1);
}

TEST_F(Layers, CopiesBetweenLayers) {
  Fill(3);
  stack_.GetLaye(1)->active = 0;
  stack_.GetLaye(1)->lock = 1;
  stack_.GetLaye(1)->paths->AddPath(0);
  FillOprns(2);
  stack_.GetOprnLaye(1, 2)->LutVign = NewRecord<LutVign>();
  stack_.GetOprnLaye(1, 2)->LutVign->values[3] = 33;
  const std::string name = PStrString(stack_.GetLaye(2)->name);

  stack_.CopyLaye(1, 1, 0);
  stack_.CopyLaye(1, 0, 0);
  stack_.CopyLaye(1, 2, 3);
  EXPECT_EQ(stack_.GetLaye(2)->oprnCount, 0);

  stack_.AddOprnLaye(3, 1, Numbered(7));
  stack_.CopyLaye(1, 3, 2);
  EXPECT_EQ(OprnOrder(3), "AB");
  EXPECT_EQ(stack_.GetLaye(3)->paths->count, 0);
  EXPECT_EQ(stack_.GetLaye(3)->active, 1);

  stack_.CopyLaye(1, 2, 0);
  const Laye* target = stack_.GetLaye(2);
  EXPECT_EQ(target->LayFlag, 1);
  EXPECT_EQ(target->active, 0);
  EXPECT_EQ(target->lock, 1);
  EXPECT_EQ(PStrString(target->name), name);
  EXPECT_EQ(target->paths->count, 1);
  EXPECT_EQ(OprnOrder(2), "AB");
  ASSERT_NE(target->firstOprn->NextOprn->LutVign, stack_.GetOprnLaye(1, 2)->LutVign);
  EXPECT_EQ(target->firstOprn->NextOprn->LutVign->values[3], 33);
}

TEST_F(Layers, CopyAllKeepsEachLayersOperationsWithIt) {
  Fill(2);
  FillOprns(3);
  LayerFile target;
  target.AddLaye(1, new Laye);
  target.AddOprnLaye(1, 1, Numbered(9));
  stack_.CopyAllLaye(&target);
  ASSERT_EQ(target.layerCount, 3);
  EXPECT_EQ(target.GetLaye(1)->oprnCount, 1);
  int16_t withThree = 0;
  for (int16_t k = 2; k <= 3; ++k) {
    const Laye* l = target.GetLaye(k);
    EXPECT_EQ(PStrString(l->name), PStrString(stack_.GetLaye(l->LayFlag)->name));
    if (l->LayFlag == 1) withThree = l->oprnCount;
    if (l->LayFlag == 2) {
      EXPECT_EQ(l->oprnCount, 0);
    }
  }
  EXPECT_EQ(withThree, 3);
}

TEST_F(Layers, EmptyAndDelete) {
  Fill(3);
  FillOprns(2);
  stack_.GetLaye(1)->paths->AddPath(0);
  stack_.EmptyLaye(1);
  EXPECT_EQ(stack_.GetLaye(1)->oprnCount, 0);
  EXPECT_EQ(stack_.GetLaye(1)->paths->count, 0);
  stack_.DeleteLaye(4);
  EXPECT_EQ(stack_.layerCount, 3);
  stack_.DeleteLaye(2);
  EXPECT_EQ(Order(), "AC");
  stack_.DeleteAllLaye();
  EXPECT_EQ(stack_.layerCount, 0);
  stack_.DeleteLaye(1);
  EXPECT_EQ(stack_.firstLaye, nullptr);
}

}  // namespace
