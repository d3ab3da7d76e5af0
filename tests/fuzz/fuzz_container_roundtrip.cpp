// An arbitrary store saved into a blank image reads back identical, and so
// does a second save into the result (which reuses its resource section).
// Stores the file format cannot hold are refused, never written. A save of
// the result's own bitmaps as views of it, changed, writes what a save of
// the same bitmaps as bytes of their own writes.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

#include "document/blank_container.h"
#include "document/pe_image_writer.h"
#include "document/pe_resource_reader.h"

namespace {

struct Input {
    const std::uint8_t* p;
    std::size_t left;
    bool Take(std::size_t n, std::uint64_t& out) {
        if (left < n) return false;
        out = 0;
        for (std::size_t i = 0; i < n; ++i)
            out |= std::uint64_t{p[i]} << (8 * i);
        p += n;
        left -= n;
        return true;
    }
};

bool Writable(const BitmapStore& store) {
    for (const auto& [id, payload] : store) {
        if (id < 0 || id > 65535 || payload.empty()) return false;
    }
    return true;
}

void SaveAndCheck(std::span<const std::uint8_t> image, const BitmapStore& store,
                  std::vector<std::uint8_t>& out) {
    const bool saved = pe::BuildImageWithBitmaps(image, store, out);
    if (saved != Writable(store)) std::abort();
    if (!saved) return;
    BitmapStore back;
    if (!pe::ReadBitmapResources(out, back)) std::abort();
    if (back != store) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    std::uint64_t flags = 0;
    if (!in.Take(1, flags)) return 0;

    // Records: a 16-bit ID (or, when the flag bit says so, any 32-bit ID),
    // a 16-bit length and that many payload bytes (fewer at the end).
    BitmapStore store;
    std::uint64_t id = 0, length = 0;
    while (in.Take((flags & 2) ? 4 : 2, id) && in.Take(2, length)) {
        length = length % 2048;
        const std::size_t n = static_cast<std::size_t>(length < in.left ? length : in.left);
        store[static_cast<ResourceId>(static_cast<std::uint32_t>(id))] = DibPayload(in.p, in.p + n);
        in.p += n;
        in.left -= n;
    }

    const auto blank = pe::MakeBlankImage((flags & 1) != 0);
    std::vector<std::uint8_t> first, second;
    SaveAndCheck(blank, store, first);
    if (first.empty()) return 0;

    // Change the store and save over the result.
    if (!store.empty()) store.erase(store.begin());
    store[65535] = DibPayload(static_cast<std::size_t>(flags % 97) + 1, 0xA5);
    SaveAndCheck(first, store, second);
    if (second.empty()) return 0;

    const auto image = std::make_shared<const std::vector<std::uint8_t>>(std::move(second));
    BitmapStore views, owned;
    if (!pe::ViewBitmapResources(image, views)) std::abort();
    if (flags & 4) views[4464] = views.begin()->second;  // a view out of its place
    if ((flags & 8) && views.size() > 2) views.erase(std::next(views.begin()));
    for (const auto& [key, payload] : views)
        owned[key] = payload.ToBytes();
    std::vector<std::uint8_t> expected, actual;
    const bool saved = pe::BuildImageWithBitmaps(*image, owned, expected);
    const bool streamed = pe::WriteImageWithBitmaps(
        pe::SpanSource(*image), views, [&actual](std::span<const std::uint8_t> bytes) {
            actual.insert(actual.end(), bytes.begin(), bytes.end());
            return true;
        });
    if (saved != streamed || actual != expected) std::abort();
    return 0;
}
