#include "SignalCatcher.h"
#include "TMainForm.h"
#include "UserDialogs.h"
#include "VarnelApplication.h"

int main(int argc, char** argv)
{
    VarnelApplication app(argc, argv);
    SignalCatcher catcher;
    try {
        TMainForm mainForm;
        QObject::connect(&catcher, &SignalCatcher::SignalCaught, &mainForm, &TMainForm::EndForSignal);
        mainForm.show();
        VarnelApplication::exec();
    } catch (...) {
        UserDialogs::ShowCurrentException();
    }
    // The window has saved the settings and ended its run; now end as the signal would have.
    catcher.EndIfCaught();
    return 0;
}
