// failRunningTest: how a test double reports a fault to whichever test framework runs it.
#pragma once

#include <string_view>

namespace qv::test {

/// Fails the test that is running and goes on. Each test program links one definition:
/// tests/support/gtest_failure.cpp in the GoogleTest programs, tests/ui/support/qtest_failure.cpp
/// in the window tests, so that the doubles here depend on neither framework.
void failRunningTest(std::string_view what);

} // namespace qv::test
