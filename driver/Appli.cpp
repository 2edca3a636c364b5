#include "driver/Appli.h"

#include "driver/BuildStamp.h"
#include "driver/HostWindow.h"
#include "support/Text.h"

int APPLI::InitInstance() {
    char version[kStampValueLength + 1] = {};
    ReadStampVersion(version, sizeof version);
    TextFormat(name, sizeof name, "Quorel Informatique. Loftsetup %s", version);
    mainWindow = new H_FEN(name);
    return 0;
}

int APPLI::ShowCommand() {
    return SW_HIDE;
}
