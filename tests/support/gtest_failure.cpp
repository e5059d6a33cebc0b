// failRunningTest for the GoogleTest programs: a non-fatal failure of the running test.
#include "tests/support/test_failure.h"

#include <gtest/gtest.h>

namespace qv::test {

void failRunningTest(std::string_view what)
{
    ADD_FAILURE() << what;
}

} // namespace qv::test
