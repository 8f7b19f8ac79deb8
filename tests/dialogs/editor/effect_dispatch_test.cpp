#include <gtest/gtest.h>

#include "dialogs/editor/dispatch_fixture.h"
#include "engines/patterns/backdrop_compo_records.h"
#include "script/param_block.h"

using vmktest::DispatchTest;

namespace {

TEST_F(DispatchTest, CodesWithoutARowAnswerZeroAndLeaveTheScript) {
  Plant(1, 103);
  Plant(2, 16);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 2);
  for (int16_t code : {-5, 0, 1, 16, 20, 27, 112, 120, 255, 32767})
    for (int16_t flag : {0, 1}) EXPECT_EQ(editor.Perform_Effect(code, flag), 0) << code;
  EXPECT_EQ(ScriptBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(DispatchTest, CompositionStoresItsCodeAndARecordWithoutADialogAndAnswersZero) {
  Plant(1, 16);
  VMKtuneeff editor;
  Bind(editor, 2);  // a missing operation is made by the write-back
  EXPECT_EQ(editor.Perform_Effect(111, 0), 0);
  int16_t code = 0;
  ASSERT_NE(script()->GetEffect(0, 1, 2, &code), nullptr);
  EXPECT_EQ(code, 111);
  const Oprn* op = script()->GetOprn(0, 1, 2);
  ASSERT_NE(op->MulStruc, nullptr);
  EXPECT_NE(MulStrucRecord(op->MulStruc, 27), nullptr);  // the composition's kind
  // A record it already has is stored back as it was.
  CompoPar mine;
  script()->GetCompoPar(0, 1, 2, &mine);
  mine.info.w[3] = 77;
  ASSERT_EQ(script()->SetCompoPar(0, 1, 2, &mine), 0);
  EXPECT_EQ(editor.Perform_Effect(111, 1), 0);
  CompoPar stored;
  script()->GetCompoPar(0, 1, 2, &stored);
  EXPECT_EQ(stored.info.w[3], 77);
  // Operation 1 was not touched.
  script()->GetEffect(0, 1, 1, &code);
  EXPECT_EQ(code, 16);
}

}  // namespace
