// The GUI entry point, linked only into the program itself so that test programs keep their own main().
#include <windows.h>

#include "win32ui/app.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    return AfxWinMain();
}
