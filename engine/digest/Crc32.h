// CRC-32 of zlib and ISO-HDLC (polynomial 0xEDB88320, reflected, inverted at both ends), as
// the recovery file's slice checksums need it. Portable: no system calls; on x86 processors
// with carry-less multiplication (PCLMULQDQ) long runs are folded with it.
#pragma once
#include <cstddef>
#include <cstdint>

// The CRC of the bytes that gave crc, continued over size more; start from 0.
uint32_t Crc32Add(uint32_t crc, const void* bytes, size_t size);
// The same by table alone, as on a processor without carry-less multiplication.
uint32_t Crc32AddByTable(uint32_t crc, const void* bytes, size_t size);
// The same over count zero bytes.
uint32_t Crc32AddZeros(uint32_t crc, uint64_t count);
