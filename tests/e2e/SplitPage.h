// The controls of the split and join pages as the driver finds them, by kind and place.
#pragma once
#include <string>

#include "Driver.h"
#include "app/MainWindow.h"

struct SplitControls {
    explicit SplitControls(const VarnokProcess& v)
        : source(v.Find("obj_EDIT", 8, 24, v.Page(0))),
          folder(v.Find("obj_EDIT", 8, 72, v.Page(0))),
          split(v.FindByText("obj_BUTTON", "Разделить")),
          diskRadio(v.Find("obj_BUTTON", 9, 16, v.Page(0))),
          sizeRadio(v.Find("obj_BUTTON", 8, 44, v.Page(0))),
          countRadio(v.Find("obj_BUTTON", 8, 72, v.Page(0))),
          sizeBox(v.Find("obj_COMBOBOX", 200, 44, v.Page(0))),
          unitList(v.Find("obj_COMBOBOX", 304, 44, v.Page(0))),
          countBox(v.Find("obj_EDIT", 110, 72, v.Page(0))),
          fileSize(v.Find("obj_STATIC", 8, 23, v.Page(0))),
          pieceSize(v.Find("obj_STATIC", 8, 47, v.Page(0))),
          pieceCount(v.Find("obj_STATIC", 8, 70, v.Page(0))),
          recovery(v.Find("obj_BUTTON", 8, 198, v.Page(0))),
          recoverySlices(v.Find("obj_EDIT", 386, 198, v.Page(0))),
          recoveryArrows(v.Find("obj_msctls_updown32", 434, 198, v.Page(0))) {}
    // Fills the page for a split of source into count pieces in folder, as a user would.
    bool PrepareByCount(const std::string& sourcePath, const std::string& folderPath,
                        const std::string& count) const {
        VarnokProcess::Type(source, sourcePath);
        VarnokProcess::Type(folder, folderPath);
        VarnokProcess::Click(countRadio);
        if (!WaitUntil([&] { return IsWindowEnabled(countBox) != 0; })) return false;
        VarnokProcess::Type(countBox, count);
        return true;
    }
    HWND source, folder, split, diskRadio, sizeRadio, countRadio, sizeBox, unitList, countBox;
    HWND fileSize, pieceSize, pieceCount;
    // The recovery file's box, and how many pieces it rebuilds: the number and its arrows.
    HWND recovery, recoverySlices, recoveryArrows;
};

struct JoinControls {
    explicit JoinControls(const VarnokProcess& v) {
        HWND page = v.Page(1);
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const RECT r = VarnokProcess::PlaceInParent(child);
            if (r.left == 8 && r.top == 24) piece = child;
            if (r.left == 8 && r.top == 72) folder = child;
            if (r.left == 8 && r.top == 104) list = child;
            if (r.left == 472 && r.top == 198) join = child;
        }
    }
    HWND piece = nullptr, folder = nullptr, list = nullptr, join = nullptr;
};

// Brings the join page forward by the menu's "Соединить" and starts the join of the piece's set
// into folder, as a user types both and clicks the button; false when the page did not show.
inline bool StartJoin(VarnokProcess& varnok, const std::string& piece, const std::string& folder) {
    varnok.ChooseMenuItem(varnok.ReadMenu().ids[MenuNumber(MainMenuItem::Join)]);
    if (!WaitUntil([&] { return IsWindowVisible(varnok.Page(1)) != 0; })) return false;
    JoinControls join(varnok);
    VarnokProcess::Type(join.piece, piece);
    VarnokProcess::Type(join.folder, folder);
    VarnokProcess::Click(join.join);
    return true;
}
