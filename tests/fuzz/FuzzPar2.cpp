// The recovery file's reader over any bytes: no fault, a heap of the order of the file, a stop
// obeyed, and a usable set only as the file's own Main packet lists it, every name within the
// path limit. An input whose first byte is odd is first made into packets as a writer would
// (lengths, digests, file IDs, the Main packet's list and the set's ID worked out), so that the
// fuzzer reaches the sets that random bytes never hold.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/digest/Md5.h"
#include "engine/recovery/Par2.h"
#include "engine/recovery/Par2Parse.h"
#include "tests/engine/HeapPeak.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

void PutLe(std::string& bytes, size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Digest(const Md5Digest& digest) {
    return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

enum Kind { kMain, kDescription, kSums, kRecovery, kCreator, kOther };
const char* const kWords[] = {"Main", "FileDesc", "IFSC", "RecvSlic", "Creator", "Varnok"};

// A packet to be: its kind, whether it is of a set of its own, whether its fields are left as
// they came, and its body.
struct Made {
    Kind kind;
    bool ownSet;
    bool raw;
    std::string body;
};

// Records of a control byte (kind, own set, raw), a 16-bit body length and the body.
std::vector<Made> Records(std::string_view in) {
    std::vector<Made> made;
    for (size_t at = 0; at + 3 <= in.size();) {
        const auto control = static_cast<uint8_t>(in[at]);
        const size_t length = std::min<size_t>(static_cast<uint8_t>(in[at + 1]) |
                                                   static_cast<uint8_t>(in[at + 2]) << 8,
                                               in.size() - at - 3);
        const Kind kind = static_cast<Kind>((control & 7) > kOther ? kDescription : (control & 7));
        made.push_back({kind, (control & 8) != 0, (control & 16) != 0,
                        std::string(in.substr(at + 3, length))});
        at += 3 + length;
    }
    return made;
}

// The fields a writer works out: the first Main packet's slice size, each description's
// length and file ID, the Main packets' lists, each checksum packet's file and each recovery
// slice's size.
void Mend(std::vector<Made>& made) {
    uint64_t slice = 4;
    for (Made& m : made)
        if (m.kind == kMain && !m.raw && m.body.size() >= 12) {
            slice = 4 * (1 + Par2Number(m.body, 0, 2) % 64);
            PutLe(m.body, 0, slice, 8);
            break;
        }
    std::vector<Md5Digest> ids;
    for (Made& m : made) {
        if (m.kind != kDescription || m.body.size() < 56) continue;
        Par2Piece piece;
        piece.first = Par2Digest(m.body, 32);
        piece.length = m.raw ? Par2Number(m.body, 48, 8) : Par2Number(m.body, 48, 8) % (2 * slice);
        PutLe(m.body, 48, piece.length, 8);
        piece.name = m.body.substr(56);
        while (!piece.name.empty() && piece.name.back() == '\0') piece.name.pop_back();
        if (!m.raw) m.body.replace(0, 16, Digest(Par2FileId(piece)));
        ids.push_back(Par2Digest(m.body, 0));
    }
    for (Made& m : made) {
        if (m.raw) continue;
        if (m.kind == kMain && m.body.size() >= 12) {
            const size_t listed = (m.body.size() - 12) / 16;
            for (size_t i = 0; i < listed && i < ids.size(); ++i)
                m.body.replace(12 + 16 * i, 16, Digest(ids[i]));
            if (listed > 0) PutLe(m.body, 8, 1 + Par2Number(m.body, 8, 4) % listed, 4);
        } else if (m.kind == kSums && m.body.size() >= 16 && !ids.empty()) {
            const auto pick = static_cast<uint8_t>(m.body[0]);
            m.body.replace(0, 16, Digest(ids[pick % ids.size()]));
            m.body.resize(16 + 20 * (pick / 128));
        } else if (m.kind == kRecovery) {
            m.body.resize(4 + slice, '\0');
        }
    }
}

std::string Packets(std::vector<Made> made) {
    Mend(made);
    Md5Digest setId{};
    for (Made& m : made) m.body.resize((m.body.size() + 3) / 4 * 4, '\0');
    for (const Made& m : made)
        if (m.kind == kMain) {
            setId = Md5Of(m.body.data(), m.body.size());
            break;
        }
    std::string file;
    for (const Made& m : made) {
        std::string type("PAR 2.0\0", 8);
        type += kWords[m.kind];
        type.resize(16, '\0');
        const Md5Digest id = m.ownSet ? Md5Of(m.body.data(), m.body.size()) : setId;
        Md5 digest;
        digest.Add(id.data(), id.size());
        digest.Add(type.data(), type.size());
        digest.Add(m.body.data(), m.body.size());
        std::string head("PAR2\0PKT", 8);
        head += std::string(8, '\0');
        PutLe(head, 8, 64 + m.body.size(), 8);
        file += head + Digest(digest.Finish()) + Digest(id) + type + m.body;
    }
    return file;
}

size_t Characters(std::string_view text) {
    size_t count = 0;
    for (char c : text) count += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    return count;
}

// A usable set against the file: each recovery slice where it says, of the exponent it says,
// one of each exponent, its packet's digest whole; and a Main packet of the set's ID listing
// the pieces' file IDs in their order.
void CheckSet(std::string_view file, const Par2Reading::Set& set) {
    Check(set.sliceSize > 0 && set.sliceSize % 4 == 0);
    Check(!set.pieces.empty() && set.pieces.size() <= static_cast<size_t>(Par2MostPieces));
    for (const Par2Piece& piece : set.pieces) {
        Check(piece.length <= set.sliceSize);
        Check(Characters(piece.name) <= Par2LongestName);
        Check(piece.name.empty() || piece.name.back() != '\0');
    }
    for (size_t i = 0; i < set.slices.size(); ++i) {
        const Par2Slice& slice = set.slices[i];
        Check(i == 0 || set.slices[i - 1].exponent < slice.exponent);
        Check(slice.offset >= 68 && slice.offset <= file.size() &&
              set.sliceSize <= file.size() - slice.offset);
        const std::string_view packet = file.substr(slice.offset - 68);
        const std::optional<Par2Head> recovery = ReadPar2Head(packet);
        Check(recovery && IsRecoveryPacket(*recovery) && recovery->length == 68 + set.sliceSize &&
              Par2Number(file, slice.offset - 4, 4) == slice.exponent);
        Check(Md5Of(packet.data() + 32, recovery->length - 32) == recovery->digest);
    }
    bool listed = false;
    for (size_t at = 0; at < file.size();) {
        const std::optional<Par2Head> head = ReadPar2Head(file.substr(at));
        Check(head && head->length <= file.size() - at && head->setId == set.setId);
        const std::string_view body = file.substr(at + 64, head->length - 64);
        if (!listed && TypeOfPacket(*head) == Par2Type::Main && body.size() >= 12 &&
            Md5Of(body.data(), body.size()) == set.setId) {
            Check(Par2Number(body, 0, 8) == set.sliceSize);
            Check(Par2Number(body, 8, 4) == set.pieces.size());
            for (size_t i = 0; i < set.pieces.size(); ++i)
                Check(Par2Digest(body, 12 + 16 * i) == Par2FileId(set.pieces[i]));
            listed = true;
        }
        at += head->length;
    }
    Check(listed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::string file =
        !in.empty() && (in[0] & 1) ? Packets(Records(in.substr(1))) : std::string(in);
    Par2Reading reading;
    const size_t heap = HeapPeakOf([&] { reading = ParsePar2(file); });
    // The window of bytes read, and a few times what the file holds.
    Check(heap <= 68 * 1024 + 8 * file.size());
    Check(reading.set.has_value() ==
          (reading.verdict == Par2Verdict::Usable || reading.verdict == Par2Verdict::NoSlices));
    Check(!reading.set ||
          reading.set->slices.empty() == (reading.verdict == Par2Verdict::NoSlices));
    Check(reading.verdict != Par2Verdict::Stopped);
    if (reading.set) CheckSet(file, *reading.set);
    const Par2ReadAt readAt = [&](uint64_t at, char* bytes, uint32_t count) {
        file.copy(bytes, count, static_cast<size_t>(at));
        return true;
    };
    const Par2Verdict stopped = ParsePar2(file.size(), readAt, [] { return false; }).verdict;
    Check(stopped == (file.empty() ? Par2Verdict::Damaged : Par2Verdict::Stopped));
    return 0;
}
