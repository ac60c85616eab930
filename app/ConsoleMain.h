// The console's entry, as the program's main() hands it to the front end. Front ends know the
// console only through this declaration: the application object and the framework stay behind it.
#pragma once

namespace kobalt::app {

// Runs the application (theApp) on the calling thread, the process's main thread, until its
// main window is gone; returns its exit code.
int RunConsole();

} // namespace kobalt::app
