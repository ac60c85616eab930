// Order of static initialisation across translation units (lower runs first).
//
// The operator (front end) exists before the program's own statics run, as the device's shell
// does, so a message box raised during static initialisation can be answered.
#pragma once

#define KOBALT_INIT_ORDER(n) __attribute__((init_priority(n)))

#define KOBALT_INIT_DEBUG_CHANNELS 150   // KOBALT_DEBUG, before any window exists
#define KOBALT_INIT_FRONTEND 200         // the front end's operator thread
#define KOBALT_INIT_RESOURCES 250        // dialog templates
#define KOBALT_INIT_APPLICATION 300      // theApp
#define KOBALT_INIT_MAIN_MESSAGE 301     // the main window's registered message id
#define KOBALT_INIT_SDK_BINDING 302      // g_SdkApi loads KOBALT.dll
#define KOBALT_INIT_HANDFREE_MESSAGE 303 // the hands-free dialog's registered message id
