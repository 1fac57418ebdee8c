// Item lists, the current index and the check state, through the messages of the kind's
// action table.
#include "ui/Items.h"

#include <algorithm>
#include <commctrl.h>

namespace {
LRESULT Send(Control* ctl, UINT msg, WPARAM wParam, LPARAM lParam = 0) {
    return SendToControl(ctl, msg, wParam, lParam);
}
LPARAM TextParam(const std::string& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

// An edit box's line: EM_GETLINE wants the buffer size in its first word and adds no zero.
std::string EditLine(Control* ctl, int index) {
    const LRESULT start = Send(ctl, EM_LINEINDEX, static_cast<WPARAM>(index));
    if (start < 0) return {};
    const auto length = static_cast<size_t>(Send(ctl, EM_LINELENGTH, static_cast<WPARAM>(start)));
    std::string line(std::max<size_t>(length, sizeof(WORD)) + 1, '\0');
    *reinterpret_cast<WORD*>(line.data()) = static_cast<WORD>(line.size());
    const LRESULT got =
        Send(ctl, EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
    return line;
}
} // namespace

int AddItem(Control* ctl, const std::string& text) {
    if (!ctl->Actions.Add) return -1;
    const auto index = static_cast<int>(Send(ctl, ctl->Actions.Add, 0, TextParam(text)));
    if (ItemCount(ctl) == 1 && ctl->Actions.SetCurrent) Send(ctl, ctl->Actions.SetCurrent, 0);
    return index;
}

std::string GetItem(Control* ctl, int index) {
    const Actions& a = ctl->Actions;
    if (!a.ItemText) return {};
    if (a.ItemText == EM_GETLINE) return EditLine(ctl, index);
    if (!a.ItemLength) return {};
    const LRESULT length = Send(ctl, a.ItemLength, static_cast<WPARAM>(index));
    if (length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT got =
        Send(ctl, a.ItemText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, length)));
    return text;
}

void SetItem(Control* ctl, int index, const std::string& text) {
    const Actions& a = ctl->Actions;
    if (a.Delete) Send(ctl, a.Delete, static_cast<WPARAM>(index));
    if (a.Insert) Send(ctl, a.Insert, static_cast<WPARAM>(index), TextParam(text));
}

void ClearItems(Control* ctl) {
    if (ctl->Actions.Reset) {
        Send(ctl, ctl->Actions.Reset, 0);
    } else {
        SetText(ctl, "");
    }
}

int ItemCount(Control* ctl) {
    if (!ctl->Actions.Count) return 0;
    return std::max(0, static_cast<int>(Send(ctl, ctl->Actions.Count, 0)));
}

int GetCurIndex(Control* ctl) {
    if (!ctl->Actions.GetCurrent) return ctl->StoredIndex;
    return static_cast<int>(Send(ctl, ctl->Actions.GetCurrent, 0));
}

void SetCurIndex(Control* ctl, int index) {
    if (!ctl->Actions.SetCurrent) {
        ctl->StoredIndex = index;
        return;
    }
    Send(ctl, ctl->Actions.SetCurrent, static_cast<WPARAM>(index));
    if (ctl->SystemClassName == WC_TABCONTROLA) {
        // The tab control tells no one about a selection made by a message: it is told as
        // if the user had clicked, so the pages switch the same way.
        NMHDR header{ctl->Handle, ctl->Id, static_cast<UINT>(TCN_SELCHANGE)};
        Send(ctl, WM_NOTIFY, ctl->Id, reinterpret_cast<LPARAM>(&header));
    }
}

bool IsChecked(Control* ctl) { return Send(ctl, BM_GETCHECK, 0) == BST_CHECKED; }
