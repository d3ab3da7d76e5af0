// The parts of the PE/COFF image format the container engine reads and
// rewrites: headers, the section table, RVA mapping and the image checksum.
// Portable: works on a byte span and never touches the platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "fileio/byte_order.h"

namespace pe {

// Field offsets, from the start of the structure named in each group.
inline constexpr std::uint32_t kDosMagicOffset = 0x00;
inline constexpr std::uint32_t kDosLfanewOffset = 0x3C;
inline constexpr std::uint32_t kDosHeaderSize = 0x40;

inline constexpr std::uint32_t kSignatureSize = 4;  // "PE\0\0"
inline constexpr std::uint32_t kCoffHeaderSize = 20;
inline constexpr std::uint32_t kCoffMachine = 0;
inline constexpr std::uint32_t kCoffNumberOfSections = 2;
inline constexpr std::uint32_t kCoffPointerToSymbolTable = 8;
inline constexpr std::uint32_t kCoffNumberOfSymbols = 12;
inline constexpr std::uint32_t kCoffSizeOfOptionalHeader = 16;
inline constexpr std::uint32_t kCoffCharacteristics = 18;

// Optional header: offsets shared by PE32 and PE32+ unless named otherwise.
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::uint32_t kOptMagic = 0x00;
inline constexpr std::uint32_t kOptSizeOfInitializedData = 0x08;
inline constexpr std::uint32_t kOptImageBase32 = 0x1C;
inline constexpr std::uint32_t kOptImageBase64 = 0x18;
inline constexpr std::uint32_t kOptSectionAlignment = 0x20;
inline constexpr std::uint32_t kOptFileAlignment = 0x24;
inline constexpr std::uint32_t kOptSizeOfImage = 0x38;
inline constexpr std::uint32_t kOptSizeOfHeaders = 0x3C;
inline constexpr std::uint32_t kOptCheckSum = 0x40;
inline constexpr std::uint32_t kOptNumberOfRvaAndSizes32 = 0x5C;
inline constexpr std::uint32_t kOptNumberOfRvaAndSizes64 = 0x6C;
inline constexpr std::uint32_t kOptDataDirectories32 = 0x60;
inline constexpr std::uint32_t kOptDataDirectories64 = 0x70;

inline constexpr std::uint32_t kMaxDataDirectories = 16;
inline constexpr std::uint32_t kDirectoryResource = 2;
inline constexpr std::uint32_t kDirectorySecurity = 4;  // its address is a file offset

inline constexpr std::uint32_t kSectionHeaderSize = 40;
inline constexpr std::uint32_t kSecVirtualSize = 0x08;
inline constexpr std::uint32_t kSecVirtualAddress = 0x0C;
inline constexpr std::uint32_t kSecSizeOfRawData = 0x10;
inline constexpr std::uint32_t kSecPointerToRawData = 0x14;
inline constexpr std::uint32_t kSecCharacteristics = 0x24;
// The loader refuses images with more sections than this.
inline constexpr std::uint32_t kMaxSections = 96;

inline constexpr std::uint32_t kScnInitializedData = 0x00000040;
inline constexpr std::uint32_t kScnMemRead = 0x40000000;

// The resource table: a tree of directory tables (type, then name, then
// language), each followed by its entries, with data entries at the leaves.
// Offsets in the tree count from the start of the root table.
inline constexpr std::uint32_t kResourceDirectorySize = 16;
inline constexpr std::uint32_t kResDirNumberOfNamedEntries = 12;
inline constexpr std::uint32_t kResDirNumberOfIdEntries = 14;
inline constexpr std::uint32_t kResourceEntrySize = 8;
inline constexpr std::uint32_t kResourceDataEntrySize = 16;
// Set in an entry's name for a string name, in its target for a subtable.
inline constexpr std::uint32_t kResourceHighBit = 0x80000000u;
inline constexpr std::uint16_t kResourceTypeBitmap = 2;  // RT_BITMAP

// Every read of file bytes goes through here: a read past the end, or one
// whose offset arithmetic would overflow, fails instead of touching memory.
struct ByteReader {
    std::span<const std::uint8_t> bytes;

    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    bool U8(std::uint64_t offset, std::uint8_t& out) const;
    bool U16(std::uint64_t offset, std::uint16_t& out) const;
    bool U32(std::uint64_t offset, std::uint32_t& out) const;
    bool U64(std::uint64_t offset, std::uint64_t& out) const;
};

// Random access to an image's bytes: a container of hundreds of megabytes is
// read in the pieces a load or a save needs, never held whole.
struct ImageSource {
    std::uint64_t size = 0;
    // Fills out with the bytes at offset; false when they cannot be read.
    std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)> read;
    // The size bytes themselves when they are already in memory: readers
    // take them in place instead of through windows of copies.
    const std::uint8_t* memory = nullptr;
};

// A source over bytes already in memory; they must outlive it.
ImageSource SpanSource(std::span<const std::uint8_t> bytes);

// The first bytes of an image: through the section table and the room for
// one more section header, or the whole image when it is shorter. False when
// they cannot be read or would reach past 16 MiB (no loader maps headers that
// far into a file).
bool ReadImagePrefix(const ImageSource& source, std::vector<std::uint8_t>& prefix);

struct DataDirectory {
    std::uint32_t address = 0;  // an RVA, except for the security directory
    std::uint32_t size = 0;
};

struct SectionHeader {
    std::array<std::uint8_t, 8> name{};
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
    std::uint32_t characteristics = 0;
};

// What the engine needs of an image's headers, with the file offsets of the
// structures so a writer can patch them in place.
struct ImageHeaders {
    bool is64 = false;
    std::uint32_t ntOffset = 0;  // e_lfanew: where "PE\0\0" is
    std::uint32_t coffOffset = 0;
    std::uint32_t optionalOffset = 0;
    std::uint16_t optionalSize = 0;  // SizeOfOptionalHeader
    std::uint32_t sectionTableOffset = 0;
    std::uint32_t pointerToSymbolTable = 0;
    std::uint32_t sizeOfInitializedData = 0;
    std::uint64_t imageBase = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::uint32_t sizeOfImage = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::uint32_t checkSum = 0;
    std::uint32_t numberOfRvaAndSizes = 0;  // as the header says
    // Directories that lie inside both NumberOfRvaAndSizes and the optional
    // header; the rest read as empty.
    std::uint32_t directoryCount = 0;
    std::array<DataDirectory, kMaxDataDirectories> directories{};
    std::vector<SectionHeader> sections;

    std::uint32_t DirectoriesOffset() const {
        return optionalOffset + (is64 ? kOptDataDirectories64 : kOptDataDirectories32);
    }
};

// Parses the headers and the section table. False when the bytes are not a
// PE image: no "MZ", no "PE\0\0" where e_lfanew points, an unknown optional
// header magic, or any of the headers or the section table cut short by the
// end of the file.
bool ParseImageHeaders(std::span<const std::uint8_t> image, ImageHeaders& out);

// Maps an RVA to a file offset the way the loader does for an image mapped
// as a data file: the first section whose [VirtualAddress, VirtualAddress +
// SizeOfRawData) holds the RVA, and, when allowHeaders is set, RVAs below
// SizeOfHeaders map onto themselves. False when no section holds it.
bool RvaToFileOffset(const ImageHeaders& headers, std::uint32_t rva, bool allowHeaders,
                     std::uint64_t& fileOffset);

// The optional header's CheckSum algorithm, computed over data that arrives
// in pieces: a 16-bit one's-complement sum of the file with the CheckSum
// field read as zero, plus the file length.
struct ImageChecksum {
    std::uint64_t sum = 0;
    std::uint64_t length = 0;
    bool oddByte = false;                   // the previous piece ended in the middle of a word
    std::uint64_t checkSumFieldOffset = 0;  // from the start of the first piece

    void Add(std::span<const std::uint8_t> piece);
    std::uint32_t Finish() const;

private:
    void AddRaw(std::span<const std::uint8_t> piece);
};

// Checksum of a whole image held in memory.
std::uint32_t ComputeImageChecksum(std::span<const std::uint8_t> image,
                                   std::uint64_t checkSumFieldOffset);

inline std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

inline bool IsPowerOfTwo(std::uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

}  // namespace pe
