// Entry point of the dialog program. The dialog itself is not built yet.

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
