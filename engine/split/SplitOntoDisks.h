// The split onto removable disks: a piece as large as each inserted disk holds, or the whole
// file copied onto the first disk when it holds it.
#pragma once

class SplitRun;

// Asks for one disk after another, writes onto each a piece as large as it holds, and notes
// each piece in the check file on its disk; false after a message, a Cancel or a stop.
bool SplitOntoDisks(SplitRun& run);
