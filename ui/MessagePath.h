// The path every message of a layer window travels, in this order:
//   1. WindowFunction finds the window's object (its "SELF_" property) and holds it;
//   2. Control::WndProc offers the message to the applet's and the control's OnMessage;
//   3. then to the attached handlers, last attached first (DispatchHandlers);
//   4. then the built-in steps: reflection of WM_COMMAND to the child it is about, painting
//      (colour requests handed to the child, the cursor), focus and keys, sizing and showing,
//      and the rest (closing, destruction);
//   5. whatever is left gets the system class's default processing.
// A reflected command or colour request arrives at the child the same way and is answered
// there by ControlHandler, one of its attached handlers.
#pragma once
#include <windows.h>

struct Control;

// A message as the window function received it; handlers may change wParam before the
// default processing sees it.
struct Message {
    HWND window;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// An attached message handler: true = handled, result holds what the window returns.
using MessageHandler = bool (*)(Control* ctl, Message& m, LRESULT& result);

struct AttachedHandler {
    MessageHandler proc;
    bool runAfterTermination;
};

// The window procedure of every class the layer registers.
LRESULT CALLBACK WindowFunction(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs the attached handlers, keeping the control alive while they run.
bool DispatchHandlers(Control* ctl, Message& m, LRESULT& result);
// Adds a message handler unless it is attached already; handlers attached later see a
// message first. Without runAfterTermination it no longer runs once the applet terminated.
void AttachHandler(Control* ctl, MessageHandler handler);
void AttachHandlerEx(Control* ctl, MessageHandler handler, bool runAfterTermination);
bool IsHandlerAttached(const Control* ctl, MessageHandler handler);

// The handler every control gets when it is made: reflected colour requests and commands.
bool ControlHandler(Control* ctl, Message& m, LRESULT& result);
