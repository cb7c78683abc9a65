#include "TMainForm.h"
#include "UserDialogs.h"
#include "VarnelApplication.h"

int main(int argc, char** argv)
{
    VarnelApplication app(argc, argv);
    try {
        TMainForm mainForm;
        mainForm.show();
        VarnelApplication::exec();
    } catch (...) {
        UserDialogs::ShowCurrentException();
    }
    return 0;
}
