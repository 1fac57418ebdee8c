// Files dropped from the shell onto a control.
#include "ui/AnsiNames.h"
#include "ui/Control.h"

#include <shellapi.h>

namespace {
bool DropHandler(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != WM_DROPFILES || !ctl->OnDropFiles) return false;
    auto drop = reinterpret_cast<HDROP>(m.wParam);
    POINT point{};
    DragQueryPoint(drop, &point);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::string names;
    for (UINT i = 0; i < count; ++i) {
        // Each name is read whole, whatever its length, in the wide form, so that a name the
        // code page cannot hold is told apart from its look-alike.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
        if (i > 0) names += '\r';
        names += AnsiNameOrEmpty(name);
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
