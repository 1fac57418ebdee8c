// A recovery file read off the disk through the portable packet reader.
#include "engine/recovery/Par2Reader.h"

#include "engine/system/FileServices.h"

RecoveryFileReading ReadRecoveryFile(const std::string& path,
                                     const std::function<bool()>& keepGoing, Par2Scope scope) {
    RecoveryFileReading result;
    FileStream file = OpenReadStream(path);
    const int64_t size = file.Size();
    if (size < 0) return result;
    uint64_t position = 0;
    const Par2ReadAt readAt = [&](uint64_t at, char* bytes, uint32_t count) {
        if (at != position && file.Seek(static_cast<int64_t>(at), SeekOrigin::FromBeginning) !=
                                  static_cast<int64_t>(at))
            return false;
        const uint32_t got = file.Read(bytes, count);
        position = at + got;
        return got == count;
    };
    Par2Reading reading = ParsePar2(static_cast<uint64_t>(size), readAt, keepGoing, scope);
    result.verdict = reading.verdict;
    result.stopped = reading.verdict == Par2Verdict::Stopped;
    result.set = std::move(reading.set);
    return result;
}
