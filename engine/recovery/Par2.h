// The recovery file beside a piece set, "<file name>.par2", in the PAR2 2.0 format that repair
// tools read: one slice per piece and recovery slices of exponents 0 .. N - 1 (exponent 0 is
// the XOR of every piece zero-padded to the slice size). This file lays the packets out and
// reads their headers; Par2Parse reads a whole file. Portable: no system calls.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/digest/Md5.h"

// The most input slices, and so pieces, one PAR2 set describes.
constexpr int64_t Par2MostPieces = 32768;
// Every packet starts with a header of this many bytes.
constexpr size_t Par2HeaderSize = 64;
// The recovery slice packet's body starts with its exponent; the slice's bytes follow.
constexpr size_t Par2ExponentSize = 4;
// The bytes of a piece whose digest the File Description packet holds besides the whole's.
constexpr uint64_t Par2FirstBytes = 16384;

// "<file name>.par2".
std::string RecoveryFileName(std::string_view fileName);

// The slice size of a set whose largest piece has that many bytes: rounded up to a multiple
// of 4.
uint64_t Par2SliceSize(uint64_t largestPiece);

// What the packets say of one piece.
struct Par2Piece {
    std::string name; // UTF-8, without folder
    uint64_t length = 0;
    Md5Digest whole{};
    Md5Digest first{};     // of the first Par2FirstBytes bytes, or the whole when shorter
    Md5Digest slice{};     // of the piece zero-padded to the slice size
    uint32_t sliceCrc = 0; // CRC-32 of the same
};

Md5Digest Par2FileId(const Par2Piece& piece);
// Each piece's place in the Main packet's list (File IDs in their order there): the input
// slice number whose constant multiplies the piece in a recovery slice.
std::vector<size_t> Par2MainPlaces(const std::vector<Par2Piece>& pieces);
// The bytes of a recovery slice packet whose slice has sliceSize bytes.
uint64_t Par2RecoveryPacketSize(uint64_t sliceSize);

// Every packet but the recovery slice (Main, a File Description and a slice checksum packet
// for each piece, Creator), and the set's ID that each of them carries.
struct Par2Description {
    Md5Digest setId{};
    std::string packets;
};
Par2Description DescribeSet(uint64_t sliceSize, const std::vector<Par2Piece>& pieces,
                            std::string_view creator);

// The digest of a recovery slice packet's body begun: the part before the slice's bytes,
// which go on from there.
Md5 RecoveryBodyDigest(const Md5Digest& setId, uint32_t exponent = 0);
// The recovery slice packet's header and exponent, for a body whose digest is bodyDigest.
std::string RecoveryPacketHead(const Md5Digest& setId, uint64_t sliceSize,
                               const Md5Digest& bodyDigest, uint32_t exponent = 0);

// A packet header as read: the length (header included), the digest of the bytes from offset
// 32 to the end, the set ID and the type.
struct Par2Head {
    uint64_t length = 0;
    Md5Digest digest{};
    Md5Digest setId{};
    std::string type; // 16 bytes
};
// Nothing when the bytes hold no header: the magic, a length of a header at least and a
// multiple of 4.
std::optional<Par2Head> ReadPar2Head(std::string_view bytes);
// The digest that a packet's header must carry: of its set ID, type and body.
Md5 PacketDigest(const Par2Head& head);

bool IsRecoveryPacket(const Par2Head& head);

// The kinds of packet a reader tells apart; a newer tool's other kinds are Other.
enum class Par2Type { Main, FileDescription, SliceSums, Recovery, Other };
Par2Type TypeOfPacket(const Par2Head& head);

// A little-endian number of that many bytes (at most 8) at bytes[at].
uint64_t Par2Number(std::string_view bytes, size_t at, int size);
// The 16 bytes at bytes[at].
Md5Digest Par2Digest(std::string_view bytes, size_t at);
