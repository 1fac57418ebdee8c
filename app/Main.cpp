// Varnok: splits a file into numbered pieces and joins them back.
#include <objbase.h>
#include <windows.h>

#include "app/MainWindow.h"
#include "ui/Applet.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The folder dialog needs COM in this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Control* applet = CreateApplet("Varnok");
    BuildMainWindow(applet);
    RunApplet(applet);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
