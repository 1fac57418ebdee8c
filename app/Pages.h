// The handlers of the main window, wired by its build.
#pragma once
#include <string>

#include "app/MainWindow.h"
#include "engine/system/FileServices.h"

void WireSplitPage(MainWindow* w);
void WireJoinPage(MainWindow* w);
// Closing while a split or a join runs waits for its end.
void WireClosing(MainWindow* w);
// Sets the process's priority and marks the menu item of the class it really got.
void ChangePriority(MainWindow* w, PriorityLevel level);

// The source box takes the path with its figures, and an empty folder box its folder, as
// after a choice in the open dialog.
void TakeChosenSource(MainWindow* w, const std::string& path);
// The piece box takes the path and the folder box its folder, as after a drop; a piece on a
// removable drive gets a folder off that drive instead.
void TakePiece(MainWindow* w, const std::string& path);
// A split or a join starts with this target folder: a piece chosen later on a removable drive
// has its joined file go there.
void RememberFolder(MainWindow* w, const std::string& folder);

// A folder box's text ends in "\" whenever it is not empty.
void EnsureTrailingBackslash(Control* box);
// The folder dialog's choice into a folder box, ending in "\"; a cancel changes nothing.
void ChooseFolderInto(MainWindow* w, Control* box);
// The first of the dropped names (they are separated by carriage returns).
std::string FirstDroppedName(const std::string& names);
// Whether a chosen or dropped name can be worked with; the layer gives a name the code page
// cannot hold as an empty one, and the user is told why nothing happens and what helps.
bool UsableName(const std::string& name);
