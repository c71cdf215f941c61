// Entry point of the dialog program.

#include <windows.h>

#include "main/update_app.h"

namespace {
zet::CUpdateApp theApp;
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
