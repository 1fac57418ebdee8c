#include "engine/Par2Reader.h"

#include <algorithm>
#include <vector>

#include "engine/FileServices.h"

namespace {

// Far beyond the largest packet but the recovery slice that a set of 32,768 pieces needs.
constexpr uint64_t kLargestPacket = 16u << 20;

bool ReadExactly(FileStream& file, char* bytes, uint64_t size) {
    while (size > 0) {
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(size, 1u << 30));
        const uint32_t got = file.Read(bytes, want);
        if (got != want) return false;
        bytes += got;
        size -= got;
    }
    return true;
}

} // namespace

RecoveryFileReading ReadRecoveryFile(const std::string& path,
                                     const std::function<bool()>& keepGoing) {
    RecoveryFileReading result;
    FileStream file = OpenReadStream(path);
    const int64_t size = file.Size();
    if (size < 0) return result;
    Par2Reading reading;
    std::vector<char> run(CopyBufferSize());
    uint64_t at = 0;
    while (at < static_cast<uint64_t>(size)) {
        char header[Par2HeaderSize];
        if (!ReadExactly(file, header, sizeof header)) return result;
        const std::optional<Par2Head> head = ReadPar2Head(std::string_view(header, sizeof header));
        if (!head || head->length > static_cast<uint64_t>(size) - at) return result;
        Md5 digest = PacketDigest(*head);
        const uint64_t bodySize = head->length - Par2HeaderSize;
        if (IsRecoveryPacket(*head)) {
            char exponent[Par2ExponentSize];
            if (bodySize < sizeof exponent || !ReadExactly(file, exponent, sizeof exponent))
                return result;
            digest.Add(exponent, sizeof exponent);
            for (uint64_t left = bodySize - sizeof exponent; left > 0;) {
                const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(left, run.size()));
                if (!ReadExactly(file, run.data(), take)) return result;
                digest.Add(run.data(), take);
                left -= take;
                if (!keepGoing()) {
                    result.stopped = true;
                    return result;
                }
            }
            if (digest.Finish() != head->digest) return result;
            const uint32_t power = static_cast<uint8_t>(exponent[0]) |
                                   static_cast<uint8_t>(exponent[1]) << 8 |
                                   static_cast<uint8_t>(exponent[2]) << 16 |
                                   static_cast<uint32_t>(static_cast<uint8_t>(exponent[3])) << 24;
            reading.AddRecovery(*head, power, at + Par2HeaderSize + sizeof exponent,
                                bodySize - sizeof exponent);
        } else {
            if (bodySize > kLargestPacket) return result;
            std::string body(static_cast<size_t>(bodySize), '\0');
            if (!ReadExactly(file, body.data(), bodySize)) return result;
            digest.Add(body.data(), body.size());
            if (digest.Finish() != head->digest) return result;
            reading.AddPacket(*head, body);
        }
        at += head->length;
    }
    result.set = reading.Result();
    return result;
}
