#include <exception>
#include <memory>
#include <vector>

#include "document/container_io.h"
#include "document/pe_image_file.h"
#include "document/pe_resource_reader.h"
#include "fileio/whole_file.h"

bool LoadContainer(ContainerDoc& doc, const std::wstring& path) {
    try {
        // path may be doc.path itself: take the copy before touching the doc.
        std::wstring file = path;
        doc.bitmaps.clear();
        doc.path = std::move(file);
        doc.loaded = false;

        // The file is read once, whole; every bitmap is a view of those bytes.
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(doc.path, bytes)) return false;
        const auto image = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        BitmapStore bitmaps;
        if (!pe::ViewBitmapResources(image, bitmaps, pe::PlatformLanguageOrder())) return false;
        doc.bitmaps = std::move(bitmaps);
        doc.loaded = true;
        doc.dirty = false;
        return true;
    } catch (const std::exception&) {
        doc.bitmaps.clear();
        doc.loaded = false;
        return false;
    }
}
