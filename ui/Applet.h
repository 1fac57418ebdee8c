// The application object, the run loop and the message boxes.
#pragma once
#include <functional>
#include <string>

#include "ui/Control.h"

// The application window: the taskbar button with the title and the program's icon.
Control* CreateApplet(const std::string& title);
// Makes the windows, runs onShown once they are shown, then runs the message loop until the
// application closes, and frees the applet (and with it every form); applet is null
// afterwards. False, without a loop, when a window of the applet or of any control it holds
// could not be made (no desktop, no display driver, no memory).
bool RunApplet(Control*& applet, const std::function<void()>& onShown = nullptr);
// Handles every waiting message, then returns.
void ProcessMessages();
// Asks the window to close (posted).
void PostClose(Control* ctl);
// Minimising the application starts from the form's place.
void MinimizeFromFormPlace(Control* form);
// A message box with the applet's title as caption and no owner; returns the button id.
int MessageBoxOk(const std::string& text);
int MessageBoxFlags(const std::string& text, UINT flags);
