#include "framework/CWinApp.h"
#include "frontend/FrontEnd.h"

int main() {
    return kobalt::frontend::Main(&AfxWinMain);
}
