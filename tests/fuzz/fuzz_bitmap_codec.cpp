// Feeds arbitrary bytes to the .bmp reader: whatever it stores must be a
// bitmap whose every part lies inside the payload, must export to a file that
// stores back as the same payload, and a refusal must leave the store alone.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/dib_layout.h"

namespace {

// Reads the first and last byte the layout claims, so that a wrong verdict
// shows up as an out-of-bounds read under AddressSanitizer.
void Touch(std::span<const std::uint8_t> bytes, const DibLayout& layout) {
    if (layout.problem != DibProblem::None) return;
    if (layout.pixelOffset + layout.pixelBytes > bytes.size()) std::abort();
    volatile std::uint8_t sink = bytes[layout.headerSize - 1];
    if (layout.pixelBytes) sink = bytes[layout.pixelOffset + layout.pixelBytes - 1];
    (void)sink;
    const std::vector<std::uint8_t> info = DibDrawingInfo(bytes, layout);
    if (layout.drawable != !info.empty()) std::abort();
    if (!info.empty() && info.size() < layout.pixelOffset - layout.tableOffset + 40) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    ContainerDoc doc;
    const DibPayload before = {1, 2, 3};
    doc.bitmaps[7] = before;
    const bool stored = StoreBitmapFile(doc, 7, file);
    if (stored != doc.dirty) std::abort();
    const DibPayload& payload = doc.bitmaps.at(7);
    if (!stored && payload != before) std::abort();
    Touch(file, ReadDibLayout(std::span<const std::uint8_t>(file)));
    if (!stored) return 0;

    const DibLayout layout = ReadDibLayout(payload);
    if (layout.problem != DibProblem::None || !layout.located) std::abort();
    // Taking out a gap shrinks it; only a short OS/2 colour table grows.
    if (payload.size() > size - 14 + 256 * 4) std::abort();
    Touch(payload, layout);

    // The exported file stores back as the very same payload.
    std::array<std::uint8_t, kBitmapFileHeaderSize> header;
    if (!MakeBitmapFileHeader(payload, header)) std::abort();
    std::vector<std::uint8_t> exported(header.begin(), header.end());
    exported.insert(exported.end(), payload.begin(), payload.end());
    ContainerDoc again;
    if (!StoreBitmapFile(again, 1, exported) || again.bitmaps.at(1) != payload) std::abort();
    return 0;
}
