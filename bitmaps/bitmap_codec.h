// .bmp files to and from the bitmap store. The codec never decodes pixels.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/container_doc.h"
#include "fileio/atomic_file.h"
#include "fileio/whole_file.h"

// Length of the BITMAPFILEHEADER in front of every .bmp file.
inline constexpr std::size_t kBitmapFileHeaderSize = 14;
// Shortest payload whose info header can be read (a BITMAPINFOHEADER).
inline constexpr std::size_t kMinInterpretedPayloadSize = 40;

// Checks the 14-byte file header and stores everything after it under id,
// replacing any payload there, and marks the document dirty. Refuses files
// with nothing after the file header and payloads too long for a .bmp file;
// a refused file leaves the store and doc.dirty untouched.
bool StoreBitmapFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& fileBytes);

// Writes the payload of id as a .bmp file with a recomputed file header.
// Never leaves a partial file: an existing file stays byte-identical on failure.
// Within a batch, the file is durable only once the batch is committed.
bool WriteBitmapFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path,
                     AtomicWriteBatch* batch = nullptr);

// The 14-byte file header WriteBitmapFile puts in front of payload, recomputed
// from the payload. False for a payload it would refuse.
bool MakeBitmapFileHeader(const DibPayload& payload,
                          std::array<std::uint8_t, kBitmapFileHeaderSize>& header);

// True when a payload of this many bytes fits a .bmp file, whose 32-bit size
// field counts the 14-byte file header too (below 4 GiB - 14).
bool PayloadFitsBitmapFile(std::uint64_t payloadLength);

// Length of the info header plus the colour table or bit-field masks, in
// 32-bit unsigned arithmetic. Three masks are counted for BI_BITFIELDS after
// a header shorter than 52 bytes; longer headers hold the masks themselves.
// 0 for payloads shorter than 40 bytes.
std::uint32_t DibHeaderLength(const DibPayload& payload);

// True when the payload's header, colour table and pixel bits all lie inside
// the payload, so that drawing code may be handed the payload as the
// BITMAPINFO and payload + DibHeaderLength as the bits. Only BITMAPINFOHEADER
// and its longer successors with a positive width and non-zero height qualify:
// BI_RGB with 1, 4, 8, 16, 24 or 32 bits, BI_BITFIELDS with 16 or 32 bits
// (stride x |height| bytes of pixels), BI_RLE8 and BI_RLE4 bottom-up with a
// non-zero biSizeImage (that many bytes).
bool DibPixelsInBounds(const DibPayload& payload);
