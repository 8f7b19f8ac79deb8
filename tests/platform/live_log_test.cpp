// The live log that the host and the plug-in write for scripts/live-check:
// silent unless VMK_LIVE_LOG names a file, one whole line per call with the
// monotonic clock in front, lines from several writers never mixed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/hostapi/live_log.h"
#include "support/session.h"

namespace {

namespace lv = plat::hostapi;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class LiveLogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("VMK_LIVE_LOG");
    lv::ResetLiveLog();
  }
  void Use(const std::string& path) {
    setenv("VMK_LIVE_LOG", path.c_str(), 1);
    lv::ResetLiveLog();
  }
  vmktest::TempDir dir_;
};

TEST_F(LiveLogTest, OffWithoutTheVariableAndWhenTheFileCannotBeOpened) {
  unsetenv("VMK_LIVE_LOG");
  lv::ResetLiveLog();
  EXPECT_FALSE(lv::LiveLogOn());
  lv::LiveLog("nothing %d", 1);
  Use(dir_.file("no/such/folder/live.log"));
  EXPECT_FALSE(lv::LiveLogOn());
  lv::LiveLog("nothing %d", 2);
}

TEST_F(LiveLogTest, EachLineHasTheClockInMillisecondsThenTheText) {
  const std::string path = dir_.file("live.log");
  Use(path);
  ASSERT_TRUE(lv::LiveLogOn());
  const double before = lv::LiveClockMs();
  lv::LiveLog("shown %s %d", "DeNoise", 7);
  lv::LiveLog("gap %.1f", 51.25);
  const double after = lv::LiveClockMs();
  const auto lines = Lines(path);
  ASSERT_EQ(lines.size(), 2u);
  std::istringstream first(lines[0]);
  double t = 0;
  std::string rest;
  first >> t;
  std::getline(first, rest);
  EXPECT_GE(t, before - 0.001);
  EXPECT_LE(t, after + 0.001);
  EXPECT_EQ(rest, " shown DeNoise 7");
  EXPECT_NE(lines[1].find(" gap 51.2"), std::string::npos);
}

TEST_F(LiveLogTest, ALongLineIsCutNotSplitAndWritersNeverMix) {
  const std::string path = dir_.file("live.log");
  Use(path);
  lv::LiveLog("long %s", std::string(5000, 'x').c_str());
  std::vector<std::thread> writers;
  for (int k = 0; k < 4; ++k)
    writers.emplace_back([k] {
      for (int i = 0; i < 200; ++i) lv::LiveLog("writer %d line %d %s", k, i, std::string(300, 'a' + k).c_str());
    });
  for (auto& w : writers) w.join();
  const auto lines = Lines(path);
  ASSERT_EQ(lines.size(), 801u);
  EXPECT_LT(lines[0].size(), 1024u);
  EXPECT_EQ(lines[0].find("long xxx"), lines[0].find(' ') + 1);
  for (size_t i = 1; i < lines.size(); ++i) {
    int k = -1, n = -1;
    const size_t at = lines[i].find(" writer ");
    ASSERT_NE(at, std::string::npos) << lines[i];
    ASSERT_EQ(std::sscanf(lines[i].c_str() + at, " writer %d line %d", &k, &n), 2);
    EXPECT_EQ(lines[i].substr(lines[i].size() - 300), std::string(300, static_cast<char>('a' + k)));
  }
}

}  // namespace
