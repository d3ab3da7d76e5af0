// Arbitrary bytes as a container file. Reading must never fail in any other
// way than returning false; whatever it reads must write back into the same
// image and read back the same.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "document/pe_image_writer.h"
#include "document/pe_resource_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);
    BitmapStore store;
    if (!pe::ReadBitmapResources(image, store)) return 0;
    for (const auto& [id, payload] : store) {
        if (id < 0 || id > 65535 || payload.empty() || payload.size() > size) std::abort();
    }

    std::vector<std::uint8_t> rebuilt;
    if (!pe::BuildImageWithBitmaps(image, store, rebuilt)) return 0;
    BitmapStore again;
    if (!pe::ReadBitmapResources(rebuilt, again)) std::abort();
    if (again != store) std::abort();
    return 0;
}
