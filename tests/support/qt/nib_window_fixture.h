// A fixture for toolbox tests on the windows of the test nib: every window it
// opens is disposed of afterwards, and the driver's queue is emptied.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"

namespace vmktest {

class NibWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::tb::SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib"); }
  void TearDown() override {
    for (plat::tb::WindowRef w : windows_) plat::tb::DisposeWindow(w);
    driver_.Pump();
  }
  plat::tb::WindowRef Open(const std::string& name) {
    plat::tb::WindowRef w = nullptr;
    EXPECT_EQ(plat::tb::CreateWindowFromNib(name, &w), noErr);
    if (w != nullptr) windows_.push_back(w);
    return w;
  }

  plat::tb::test::Driver driver_;
  std::vector<plat::tb::WindowRef> windows_;
};

}  // namespace vmktest
