// Where the join finds a set's recovery slices: "<file name>.par2" beside the pieces and the
// volume files "<file name>.vol*.par2" a repair tool writes beside its index (par2 create
// -s<slice> -c<N> over the pieces). Every file's packets are checked; the set is described by
// the first file that describes it whole, and the slices of every file of that set are
// gathered, one of each exponent.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/recovery/Par2Parse.h"

// A recovery slice and the file it lies in.
struct FoundSlice {
    uint32_t exponent = 0;
    std::string path;
    uint64_t offset = 0;
};

struct RecoverySources {
    std::optional<Par2Reading::Set> set; // the description, when a file gives it
    std::vector<FoundSlice> slices;      // by exponent, their digests checked
    // Of "<file name>.par2" when no file describes the set: Damaged or SlicesPerPiece.
    Par2Verdict verdict = Par2Verdict::Damaged;
    bool damaged = false; // a file or a slice of the set passed over
    bool stopped = false;
};

// The volume files beside "<file name>.par2" in folder, by name.
std::vector<std::string> RecoveryVolumes(const std::string& folder, const std::string& baseName);
// Whether the folder holds "<file name>.par2" or a volume file of it.
bool HasRecoveryFiles(const std::string& folder, const std::string& baseName);
// The recovery slices of distinct exponents the files say they hold, by their packets'
// headers alone (no digest checked): how many pieces the set beside them may lose.
size_t CountRecoverySlices(const std::string& folder, const std::string& baseName);
// Reads every recovery file of the set in folder; keepGoing as for ReadRecoveryFile.
RecoverySources ReadRecoverySources(const std::string& folder, const std::string& baseName,
                                    const std::function<bool()>& keepGoing);
// Reads the recovery file at path into found, its slices added when it is of found's set (or
// gives the set, when found has none yet); first tells the file whose verdict found keeps when
// no file describes the set. false on a stop.
bool AddRecoveryFile(RecoverySources& found, const std::string& path, bool first,
                     const std::function<bool()>& keepGoing);
// The exponents of the recovery packets in the file at path, by their headers alone, added to
// exponents.
void AddRecoveryExponents(const std::string& path, std::vector<uint32_t>& exponents);
