// Reading a recovery file from the disk, every packet's digest checked.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "engine/recovery/Par2Parse.h"

struct RecoveryFileReading {
    std::optional<Par2Reading::Set> set; // none when the file fails any of its own checks
    bool stopped = false;
    // Usable or NoSlices when there is a set; else Damaged (unreadable too), SlicesPerPiece or
    // Stopped.
    Par2Verdict verdict = Par2Verdict::Damaged;
};

// Reads the file at path; keepGoing is asked now and then while it is read (the recovery
// slice's digest is most of the work), and false stops the reading.
RecoveryFileReading ReadRecoveryFile(const std::string& path,
                                     const std::function<bool()>& keepGoing,
                                     Par2Scope scope = Par2Scope::Whole);
