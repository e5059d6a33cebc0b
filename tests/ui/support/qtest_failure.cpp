// failRunningTest for the window tests: fails the running QtTest function.
#include "tests/support/test_failure.h"

#include <string>

#include <QTest>

namespace qv::test {

void failRunningTest(std::string_view what)
{
    QTest::qFail(std::string(what).c_str(), __FILE__, __LINE__);
}

} // namespace qv::test
