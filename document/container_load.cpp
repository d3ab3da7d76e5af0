#include <exception>

#include "document/container_io.h"
#include "document/pe_image_file.h"
#include "document/pe_resource_reader.h"

bool LoadContainer(ContainerDoc& doc, const std::wstring& path) {
    try {
        // path may be doc.path itself: take the copy before touching the doc.
        std::wstring file = path;
        doc.bitmaps.clear();
        doc.path = std::move(file);
        doc.loaded = false;

        ImageFile image;
        if (!OpenImageFile(doc.path, image)) return false;
        BitmapStore bitmaps;
        if (!pe::ReadBitmapResources(image.source, bitmaps, pe::PlatformLanguageOrder())) {
            return false;
        }
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
