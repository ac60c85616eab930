// The operator's side of the process.
//
// The front end starts during static initialisation, before the console's own statics, so that
// a message box raised then (the SDK binding's) can be answered. main() hands the application
// to Main, which returns the process's exit status once both the console and the operator are
// done.
#pragma once

namespace kobalt::frontend {

int Main(int (*application)());

} // namespace kobalt::frontend
