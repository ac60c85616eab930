#include "app/ConsoleMain.h"

#include "framework/CWinApp.h"

int kobalt::app::RunConsole() {
    return AfxWinMain();
}
