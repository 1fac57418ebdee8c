// Files dropped from the shell onto a control.
#include "ui/Control.h"

#include <shellapi.h>

namespace {
bool DropHandler(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != WM_DROPFILES || !ctl->OnDropFiles) return false;
    auto drop = reinterpret_cast<HDROP>(m.wParam);
    POINT point{};
    DragQueryPoint(drop, &point);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string names;
    for (UINT i = 0; i < count; ++i) {
        // Each name is read whole, whatever its length.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(length + 1, '\0');
        name.resize(DragQueryFileA(drop, i, name.data(), length + 1));
        if (i > 0) names += '\r';
        names += name;
    }
    DragFinish(drop);
    Event<void(Control*, const std::string&, POINT)> onDropFiles = ctl->OnDropFiles;
    onDropFiles(ctl, names, point);
    result = 0;
    return true;
}
} // namespace

void SetOnDropFiles(Control* ctl, Event<void(Control*, const std::string&, POINT)> event) {
    ctl->OnDropFiles = event;
    AttachHandler(ctl, DropHandler);
    DragAcceptFiles(WindowHandle(ctl), event ? TRUE : FALSE);
}
