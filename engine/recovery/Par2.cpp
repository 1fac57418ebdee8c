// The recovery file's packets written: their headers, the set's description and the recovery
// slices' packets.
#include "engine/recovery/Par2.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};
constexpr size_t kTypeSize = 16;

std::string TypeOf(std::string_view word) {
    std::string type("PAR 2.0\0", 8);
    type += word;
    type.resize(kTypeSize, '\0');
    return type;
}

const std::string kMainType = TypeOf("Main");
const std::string kFileDescType = TypeOf("FileDesc");
const std::string kSliceSumsType = TypeOf("IFSC");
const std::string kRecoveryType = TypeOf("RecvSlic");
const std::string kCreatorType = TypeOf("Creator");

void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t GetLe(std::string_view in, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(in[at + static_cast<size_t>(i)]);
    return value;
}

void PutDigest(std::string& out, const Md5Digest& digest) {
    out.append(reinterpret_cast<const char*>(digest.data()), digest.size());
}

Md5Digest GetDigest(std::string_view in, size_t at) {
    Md5Digest digest;
    std::memcpy(digest.data(), in.data() + at, digest.size());
    return digest;
}

// Text padded with zero bytes to a multiple of 4.
void PutPadded(std::string& out, std::string_view text) {
    out += text;
    out.append((4 - text.size() % 4) % 4, '\0');
}

std::string HeadOf(const Md5Digest& setId, const std::string& type, uint64_t bodySize,
                   const Md5Digest& digest) {
    std::string head(kMagic, sizeof kMagic);
    PutLe(head, Par2HeaderSize + bodySize, 8);
    PutDigest(head, digest);
    PutDigest(head, setId);
    head += type;
    return head;
}

std::string Packet(const Md5Digest& setId, const std::string& type, const std::string& body) {
    Md5 digest;
    digest.Add(setId.data(), setId.size());
    digest.Add(type.data(), type.size());
    digest.Add(body.data(), body.size());
    return HeadOf(setId, type, body.size(), digest.Finish()) + body;
}

// File IDs in the order of the Main packet: as 128-bit little-endian numbers.
bool IdBefore(const Md5Digest& a, const Md5Digest& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

} // namespace

std::string RecoveryFileName(std::string_view fileName) { return std::string(fileName) + ".par2"; }

uint64_t Par2SliceSize(uint64_t largestPiece) {
    return std::max<uint64_t>(4, (largestPiece + 3) / 4 * 4);
}

Md5Digest Par2FileId(const Par2Piece& piece) {
    Md5 id;
    id.Add(piece.first.data(), piece.first.size());
    std::string length;
    PutLe(length, piece.length, 8);
    id.Add(length.data(), length.size());
    id.Add(piece.name.data(), piece.name.size());
    return id.Finish();
}

std::vector<size_t> Par2MainPlaces(const std::vector<Par2Piece>& pieces) {
    std::vector<Md5Digest> ids;
    for (const Par2Piece& piece : pieces) ids.push_back(Par2FileId(piece));
    std::vector<size_t> order(pieces.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return IdBefore(ids[a], ids[b]); });
    std::vector<size_t> places(pieces.size());
    for (size_t place = 0; place < order.size(); ++place) places[order[place]] = place;
    return places;
}

uint64_t Par2RecoveryPacketSize(uint64_t sliceSize) {
    return Par2HeaderSize + Par2ExponentSize + sliceSize;
}

Par2Description DescribeSet(uint64_t sliceSize, const std::vector<Par2Piece>& pieces,
                            std::string_view creator) {
    std::vector<Md5Digest> ids;
    for (const Par2Piece& piece : pieces) ids.push_back(Par2FileId(piece));
    std::vector<Md5Digest> sorted = ids;
    std::sort(sorted.begin(), sorted.end(), IdBefore);
    std::string main;
    PutLe(main, sliceSize, 8);
    PutLe(main, sorted.size(), 4);
    for (const Md5Digest& id : sorted) PutDigest(main, id);
    Par2Description set;
    set.setId = Md5Of(main.data(), main.size());
    set.packets = Packet(set.setId, kMainType, main);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Par2Piece& piece = pieces[i];
        std::string desc;
        PutDigest(desc, ids[i]);
        PutDigest(desc, piece.whole);
        PutDigest(desc, piece.first);
        PutLe(desc, piece.length, 8);
        PutPadded(desc, piece.name);
        set.packets += Packet(set.setId, kFileDescType, desc);
        std::string sums;
        PutDigest(sums, ids[i]);
        PutDigest(sums, piece.slice);
        PutLe(sums, piece.sliceCrc, 4);
        set.packets += Packet(set.setId, kSliceSumsType, sums);
    }
    std::string maker;
    PutPadded(maker, creator);
    set.packets += Packet(set.setId, kCreatorType, maker);
    return set;
}

Md5 RecoveryBodyDigest(const Md5Digest& setId, uint32_t exponent) {
    Md5 digest;
    digest.Add(setId.data(), setId.size());
    digest.Add(kRecoveryType.data(), kRecoveryType.size());
    std::string bytes;
    PutLe(bytes, exponent, Par2ExponentSize);
    digest.Add(bytes.data(), bytes.size());
    return digest;
}

std::string RecoveryPacketHead(const Md5Digest& setId, uint64_t sliceSize,
                               const Md5Digest& bodyDigest, uint32_t exponent) {
    std::string head = HeadOf(setId, kRecoveryType, Par2ExponentSize + sliceSize, bodyDigest);
    PutLe(head, exponent, Par2ExponentSize);
    return head;
}

std::optional<Par2Head> ReadPar2Head(std::string_view bytes) {
    if (bytes.size() < Par2HeaderSize || bytes.substr(0, 8) != std::string_view(kMagic, 8))
        return std::nullopt;
    Par2Head head;
    head.length = GetLe(bytes, 8, 8);
    if (head.length < Par2HeaderSize || head.length % 4 != 0) return std::nullopt;
    head.digest = GetDigest(bytes, 16);
    head.setId = GetDigest(bytes, 32);
    head.type = std::string(bytes.substr(48, kTypeSize));
    return head;
}

Md5 PacketDigest(const Par2Head& head) {
    Md5 digest;
    digest.Add(head.setId.data(), head.setId.size());
    digest.Add(head.type.data(), head.type.size());
    return digest;
}

bool IsRecoveryPacket(const Par2Head& head) { return head.type == kRecoveryType; }

Par2Type TypeOfPacket(const Par2Head& head) {
    if (head.type == kMainType) return Par2Type::Main;
    if (head.type == kFileDescType) return Par2Type::FileDescription;
    if (head.type == kSliceSumsType) return Par2Type::SliceSums;
    if (head.type == kRecoveryType) return Par2Type::Recovery;
    return Par2Type::Other;
}

uint64_t Par2Number(std::string_view bytes, size_t at, int size) { return GetLe(bytes, at, size); }

Md5Digest Par2Digest(std::string_view bytes, size_t at) { return GetDigest(bytes, at); }
