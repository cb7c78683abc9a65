// main() for the tests that need no Qt.
#include "RunTests.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    // The rescue's tag reader is the one just built, also when a test runs outside CTest.
    ::setenv("VARNEL_TAGS_WORKER", VARNEL_TAGS_WORKER_BUILT, 0);
    testing::InitGoogleTest(&argc, argv);
    return RunTestsReportingSkips();
}
