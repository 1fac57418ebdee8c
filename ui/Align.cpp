// Alignment: children aligned to an edge or to the client area share out their parent's
// client rectangle, in creation order, top and bottom first, then left and right, then client.
#include <algorithm>
#include <vector>

#include "ui/Geometry.h"

namespace {
// Parents being laid out: moving a child sends WM_SIZE, which asks for the same layout again.
std::vector<Control*> layingOut;

bool TakesPart(const Control* child) {
    if (child->AlignExempt || child->Align == 0) return false;
    // A window waiting for the run loop to show it counts as visible.
    return child->Visible || child->ShowOnRun;
}

void Place(Control* child, RECT r) {
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    const RECT& b = child->Bounds;
    if (EqualRect(&r, &b)) return;
    const bool resized =
        r.right - r.left != b.right - b.left || r.bottom - r.top != b.bottom - b.top;
    SetBounds(child, r);
    if (resized && AlignProc) AlignProc(child);
}

void LayOut(Control* parent) {
    if (!parent || parent->Children.empty()) return;
    if (std::find(layingOut.begin(), layingOut.end(), parent) != layingOut.end()) return;
    const bool anyAligned =
        std::any_of(parent->Children.begin(), parent->Children.end(), TakesPart);
    if (!anyAligned) return;
    HWND window = WindowHandle(parent);
    if (!window) return;
    layingOut.push_back(parent);

    RECT r{};
    GetClientRect(window, &r);
    const ClientInsets& in = parent->ClientMargins;
    r.left += in.left;
    r.top += in.top;
    r.right -= in.right;
    r.bottom -= in.bottom;
    const int m = parent->Margin;
    const Alignment passes[3][2] = {{Alignment::Top, Alignment::Bottom},
                                    {Alignment::Left, Alignment::Right},
                                    {Alignment::Client, Alignment::Client}};
    for (const auto& pass : passes) {
        // A copy: placing a child may run handlers that add or free children.
        const std::vector<Control*> children = parent->Children;
        for (Control* child : children) {
            const auto a = static_cast<Alignment>(child->Align);
            if (!TakesPart(child) || (a != pass[0] && a != pass[1])) continue;
            const int w = child->Bounds.right - child->Bounds.left;
            const int h = child->Bounds.bottom - child->Bounds.top;
            switch (a) {
            case Alignment::Top:
                Place(child, {r.left + m, r.top + m, r.right - m, r.top + m + h});
                r.top += h + m;
                break;
            case Alignment::Bottom:
                Place(child, {r.left + m, r.bottom - m - h, r.right - m, r.bottom - m});
                r.bottom -= h + m;
                break;
            case Alignment::Left:
                Place(child, {r.left + m, r.top + m, r.left + m + w, r.bottom - m});
                r.left += w + m;
                break;
            case Alignment::Right:
                Place(child, {r.right - m - w, r.top + m, r.right - m, r.bottom - m});
                r.right -= w + m;
                break;
            default:
                Place(child, {r.left + m, r.top + m, r.right - m, r.bottom - m});
                break;
            }
        }
    }
    auto done = std::find(layingOut.begin(), layingOut.end(), parent);
    if (done != layingOut.end()) layingOut.erase(done);
}
} // namespace

Control* SetAlign(Control* ctl, Alignment alignment) {
    AlignProc = LayOut;
    const auto value = static_cast<uint8_t>(alignment);
    if (ctl->AlignExempt || ctl->Align == value) return ctl;
    ctl->Align = value;
    if (ctl->Parent) LayOut(ctl->Parent);
    return ctl;
}
