// Order of static initialisation across translation units (lower runs first).
//
// The operator (front end) exists before the program's own statics run, as the device's shell
// does, so a message box raised during static initialisation can be answered.
#pragma once

#define KOBALT_INIT_ORDER(n) __attribute__((init_priority(n)))

constexpr int kInitFrontEnd = 200;       // the front end's operator thread
constexpr int kInitResources = 250;      // dialog templates
constexpr int kInitApplication = 300;    // theApp
constexpr int kInitMainMessage = 301;    // the main window's registered message id
constexpr int kInitSdkBinding = 302;     // g_SdkApi loads KOBALT.dll
constexpr int kInitHandFreeMessage = 303; // the hands-free dialog's registered message id
