// The program's entry (Varnok splits a file into numbered pieces and joins them back): the
// system's error boxes off, COM for the folder dialog, and the start.
#include <objbase.h>
#include <windows.h>

#include "app/Start.h"
#include "ui/CommandLine.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // A drive without its disk fails the call instead of showing the system's own box; the
    // program then asks for the disk in its own words.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
    // The folder dialog needs COM in this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = RunVarnok(FirstCommandLineArgument());
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
