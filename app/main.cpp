#include "ProgramIcon.h"
#include "TMainForm.h"
#include "VarnelApplication.h"

int main(int argc, char** argv)
{
    VarnelApplication app(argc, argv);
    QApplication::setApplicationName("Varnel");
    QApplication::setApplicationDisplayName("Varnel");
    QGuiApplication::setDesktopFileName("varnel");
    QApplication::setWindowIcon(ProgramIcon());
    try {
        TMainForm mainForm;
        mainForm.show();
        VarnelApplication::exec();
    } catch (...) {
        VarnelApplication::ShowCurrentException();
    }
    return 0;
}
