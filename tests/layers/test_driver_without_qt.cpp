// Compiled with nothing but src/ on the include path: if the test driver's
// header pulled in a Qt header, this file would not compile.
#include "platform/toolbox/test_driver.h"

namespace {
[[maybe_unused]] plat::tb::test::Driver* const kNoDriver = nullptr;
}  // namespace
