// Reading a recovery file from the disk, every packet's digest checked.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "engine/Par2.h"

struct RecoveryFileReading {
    std::optional<Par2Reading::Set> set; // none when the file fails any of its own checks
    bool stopped = false;
};

// Reads the file at path; keepGoing is asked now and then while the recovery slice's digest
// is worked out, and false stops the reading.
RecoveryFileReading ReadRecoveryFile(const std::string& path,
                                     const std::function<bool()>& keepGoing);
