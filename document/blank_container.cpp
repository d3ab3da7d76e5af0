#include <exception>

#include "document/blank_container.h"
#include "document/pe_format.h"
#include "fileio/atomic_file.h"
#include "fileio/byte_order.h"

namespace pe {

std::array<std::uint8_t, kBlankImageSize> MakeBlankImage(bool is64Bit) {
    std::array<std::uint8_t, kBlankImageSize> image{};
    std::uint8_t* b = image.data();

    // DOS header without a stub program: only what makes "MZ" point at "PE".
    PutU16(b + 0x00, 0x5A4D);
    PutU16(b + 0x02, 0x0090);
    PutU16(b + 0x04, 3);
    PutU16(b + 0x08, 4);
    PutU32(b + kDosLfanewOffset, 0x80);

    PutU32(b + 0x80, 0x00004550);

    const std::uint32_t coff = 0x84;
    const std::uint16_t optionalSize = static_cast<std::uint16_t>(((is64Bit ? 1 : 0) + 14) * 16);
    PutU16(b + coff + kCoffMachine, is64Bit ? 0x8664 : 0x014C);
    PutU16(b + coff + kCoffNumberOfSections, 1);
    PutU16(b + coff + kCoffSizeOfOptionalHeader, optionalSize);
    PutU16(b + coff + kCoffCharacteristics, is64Bit ? 0x2022 : 0x210E);

    std::uint8_t* opt = b + coff + kCoffHeaderSize;
    PutU16(opt + kOptMagic, is64Bit ? kMagicPe32Plus : kMagicPe32);
    opt[2] = 14;  // MajorLinkerVersion
    if (is64Bit) {
        PutU64(opt + kOptImageBase64, 0x140000000ull);
    } else {
        PutU32(opt + kOptImageBase32, 0x10000000u);
    }
    PutU32(opt + kOptSectionAlignment, 0x1000);
    PutU32(opt + kOptFileAlignment, 0x200);
    PutU16(opt + 0x28, 6);  // MajorOperatingSystemVersion
    PutU16(opt + 0x30, 6);  // MajorSubsystemVersion
    PutU32(opt + kOptSizeOfImage, 0x1000);
    PutU32(opt + kOptSizeOfHeaders, 0x200);
    PutU16(opt + 0x44, 2);  // Subsystem: Windows GUI
    PutU32(opt + (is64Bit ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes32),
           kMaxDataDirectories);

    // One empty code section; the first save adds the resource section.
    std::uint8_t* section = opt + optionalSize;
    const std::uint8_t name[8] = {'.', 't', 'e', 'x', 't', 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        section[i] = name[i];
    PutU32(section + kSecVirtualAddress, 0x1000);
    PutU32(section + kSecCharacteristics, 0x60000020);
    return image;
}

}  // namespace pe

bool WriteBlankContainer(const std::wstring& path, bool is64Bit) {
    try {
        const auto image = pe::MakeBlankImage(is64Bit);
        return WriteFileAtomically(path, std::span<const std::uint8_t>(image));
    } catch (const std::exception&) {
        return false;
    }
}
