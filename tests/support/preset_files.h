// Helpers for tests of preset files: a session with open-file table and a temporary
// folder and the file specification of a path (whole-file byte access comes with the
// session helpers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/app_data.h"
#include "app/core/file_records.h"
#include "support/session.h"

namespace vmktest {

// The file specification of an absolute POSIX path.
FSSpec SpecForPath(const std::string& posix);

class PresetFileTest : public ::testing::Test {
 protected:
  ScopedSession session_;
  ScopedAppData appData_;
  TempDir dir_;
};

}  // namespace vmktest
