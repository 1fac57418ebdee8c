// The status bar of a form: made by the first status text, placed at the bottom edge by
// the system, its sections set from the program.
#include "ui/Form.h"

#include <algorithm>
#include <commctrl.h>

#include "ui/Geometry.h"

namespace {
constexpr uint32_t BarStyle = ClippingChild | CCS_BOTTOM;
constexpr uint32_t BarStyleWithGrip = ClippingChild | SBARS_SIZEGRIP;
static_assert(BarStyle == 0x56000003 && BarStyleWithGrip == 0x56000100);
constexpr int MaxParts = 256;
constexpr int SimpleIndex = 255; // the one simple section

bool StatusBarHandler(Control*, Message& m, LRESULT& result) {
    if (m.msg != MsgFollowParentSize) return false;
    // An empty size makes the bar place itself along its parent's bottom edge.
    SendMessageA(m.window, WM_SIZE, 0, 0);
    result = 0;
    return true;
}

Control* MakeStatusBar(Control* form, bool simple) {
    HWND formWindow = WindowHandle(form);
    if (!formWindow) return nullptr;
    RECT client{};
    GetClientRect(formWindow, &client);
    const ClientInsets& in = form->ClientMargins;
    const int clientHeight = client.bottom - in.top - in.bottom;

    Control* bar = CreateCommonControl(
        form, STATUSCLASSNAMEA, form->SizeGrip ? BarStyleWithGrip : BarStyle, false, nullptr);
    bar->Bounds = {};
    bar->Align = static_cast<uint8_t>(Alignment::Bottom);
    bar->AlignExempt = true;
    AttachHandler(bar, StatusBarHandler);
    form->StatusBar = bar;
    HWND barWindow = WindowHandle(bar);
    if (!barWindow) return bar;
    SendMessageA(barWindow, SB_SIMPLE, simple ? TRUE : FALSE, 0);
    RECT barRect{};
    GetWindowRect(barWindow, &barRect);
    form->ClientMargins.bottom = barRect.bottom - barRect.top;
    // The form grows by the bar, so the other children keep their room, unless its size
    // is locked: then the bar takes its height from the client area.
    if (!form->FixedSize) SetClientSize(form, 0, clientHeight);
    SendMessageA(barWindow, WM_SIZE, 0, 0);
    return bar;
}

// The right edges of the bar's sections; at most MaxParts.
std::vector<int> ReadParts(HWND bar) {
    std::vector<int> parts(MaxParts, 0);
    const LRESULT got =
        SendMessageA(bar, SB_GETPARTS, MaxParts, reinterpret_cast<LPARAM>(parts.data()));
    parts.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, MaxParts)));
    return parts;
}
} // namespace

void SetStatusText(Control* form, int index, const std::string& text) {
    // Beyond 255 the index would reach the drawing flags of SB_SETTEXT.
    if (index < 0 || index > SimpleIndex) return;
    Control* bar = form->StatusBar ? form->StatusBar : MakeStatusBar(form, index == SimpleIndex);
    HWND barWindow = bar ? WindowHandle(bar) : nullptr;
    if (!barWindow) return;
    if (index < SimpleIndex) {
        if (static_cast<int>(ReadParts(barWindow).size()) <= index) {
            RECT client{};
            GetClientRect(WindowHandle(form), &client);
            const int width = client.right / (index + 1);
            std::vector<int> edges(static_cast<size_t>(index) + 1);
            for (int i = 0; i < index; ++i) edges[static_cast<size_t>(i)] = width * (i + 1);
            edges.back() = -1;
            SendMessageA(barWindow, SB_SETPARTS, edges.size(),
                         reinterpret_cast<LPARAM>(edges.data()));
        }
        SendMessageA(barWindow, SB_SIMPLE, FALSE, 0);
    }
    SendMessageA(barWindow, SB_SETTEXTA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void SetStatusSectionRight(Control* form, int index, int x) {
    if (!form->StatusBar || index < 0) return;
    HWND barWindow = WindowHandle(form->StatusBar);
    if (!barWindow) return;
    std::vector<int> parts = ReadParts(barWindow);
    if (index >= static_cast<int>(parts.size())) return;
    parts[static_cast<size_t>(index)] = x;
    SendMessageA(barWindow, SB_SETPARTS, parts.size(), reinterpret_cast<LPARAM>(parts.data()));
}
