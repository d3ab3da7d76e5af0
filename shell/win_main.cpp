#include <windows.h>

#include "shell/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return RunOrvix(instance, showCommand, GetCommandLineW());
}
