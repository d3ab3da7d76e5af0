#include <exception>
#include <memory>
#include <vector>

#include "document/container_io.h"
#include "document/pe_image_file.h"
#include "document/pe_resource_reader.h"
#include "fileio/whole_file.h"

bool LoadContainer(ContainerDoc& doc, const std::wstring& path, const pe::LanguageOrder& order,
                   pe::ResourceSurvey* survey, std::shared_ptr<const FileBlock>* imageOut) {
    try {
        // path may be doc.path itself: take the copy before touching the doc.
        std::wstring file = path;
        doc.bitmaps.clear();
        doc.path = std::move(file);
        doc.loaded = false;
        doc.stamp = {};

        // Taken before the read: a change made while it reads is a change
        // made since the document was loaded.
        const FileStamp stamp = ReadFileStamp(doc.path);
        // The file is taken once, whole; every bitmap is a view of its bytes.
        const std::shared_ptr<const FileBlock> image = ReadFileBlock(doc.path);
        if (!image) return false;
        const std::span<const std::uint8_t> bytes(image->data, image->size);
        BitmapStore bitmaps;
        if (!pe::ViewBitmapResources(image, bytes, bitmaps, order)) return false;
        if (survey && !pe::SurveyResources(pe::SpanSource(bytes), *survey)) *survey = {};
        doc.bitmaps = std::move(bitmaps);
        if (imageOut) *imageOut = image;
        doc.stamp = stamp;
        doc.loaded = true;
        doc.dirty = false;
        return true;
    } catch (const std::exception&) {
        doc.bitmaps.clear();
        doc.loaded = false;
        return false;
    }
}
