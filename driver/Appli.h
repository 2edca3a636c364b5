// The installer's application: a hidden host window instead of a main window, and the window
// title, made from the build stamp's version, as the name that captions its message boxes.
#pragma once
#include "framework/Application.h"

class APPLI : public MAIN {
  public:
    using MAIN::MAIN;

    // Titles the application and creates the host window; the result is not used.
    int InitInstance() override;
    // Hidden: showing the application's main window leaves the host window unseen.
    int ShowCommand() override;
};
