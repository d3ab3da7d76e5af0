#include <exception>

#include "document/container_io.h"
#include "document/pe_image_file.h"
#include "document/pe_resource_reader.h"

bool LoadContainer(ContainerDoc& doc, const std::wstring& path, const pe::LanguageOrder& order,
                   pe::ResourceSurvey* survey) {
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
        ImageFile image;
        if (!OpenImageFile(doc.path, image)) return false;
        BitmapStore bitmaps;
        if (!pe::ReadBitmapResources(image.source, bitmaps, order)) return false;
        if (survey && !pe::SurveyResources(image.source, *survey)) *survey = {};
        doc.bitmaps = std::move(bitmaps);
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
