// Varnok: splits a file into numbered pieces and joins them back.
#include <objbase.h>
#include <windows.h>

#include "app/Start.h"
#include "ui/CommandLine.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The folder dialog needs COM in this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = RunVarnok(FirstCommandLineArgument());
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
