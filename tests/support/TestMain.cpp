// main() for the tests that need no Qt.
#include "RunTests.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RunTestsReportingSkips();
}
