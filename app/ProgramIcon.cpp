#include "ProgramIcon.h"

// The resources live in a static library: register them before the first use.
static void InitVarnelResources()
{
    Q_INIT_RESOURCE(varnel);
}

QIcon ProgramIcon()
{
    static const bool registered = (InitVarnelResources(), true);
    (void)registered;
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/varnel-%1.png").arg(size), QSize(size, size));
    return icon;
}
