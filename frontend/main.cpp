#include "app/ConsoleMain.h"
#include "frontend/FrontEnd.h"

int main() {
    return kobalt::frontend::Main(&kobalt::app::RunConsole);
}
