#include <exception>

#include "document/atomic_file.h"
#include "document/container_io.h"
#include "document/pe_file_bytes.h"
#include "document/pe_image_writer.h"

bool SaveContainer(ContainerDoc& doc, const std::wstring& destination) {
    try {
        const std::wstring target = destination;  // may be doc.path itself

        // The image that receives the bitmaps: the destination's own when it
        // exists, else the open file's, which then stays as it is.
        std::wstring source;
        if (PathExists(target)) {
            source = target;
        } else if (!doc.path.empty() && PathExists(doc.path)) {
            source = doc.path;
        } else {
            return false;
        }
        FileBytes image;
        if (!ReadFileBytes(source, image))
            return false;

        // The new image goes straight from the old one and the store into
        // the temporary file; it is never whole in memory.
        const auto produce = [&](const AtomicWriteSink& sink) {
            return pe::WriteImageWithBitmaps(image.Span(), doc.bitmaps, sink);
        };
        if (!WriteFileAtomically(target, produce))
            return false;

        doc.path = target;
        doc.dirty = false;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
