#include <exception>

#include "document/container_io.h"
#include "document/pe_image_file.h"
#include "document/pe_image_writer.h"
#include "fileio/atomic_file.h"

bool WriteContainerFrom(const std::wstring& imagePath, const BitmapStore& store,
                        const std::wstring& destination) {
    try {
        ImageFile image;
        if (!OpenImageFile(imagePath, image)) return false;
        // The new image goes from the old file and the store straight into
        // the temporary file; neither image is ever whole in memory. The old
        // file is closed before the temporary one replaces it, which Windows
        // needs when they are the same file.
        const auto produce = [&](const AtomicWriteSink& sink) {
            const bool written = pe::WriteImageWithBitmaps(image.source, store, sink);
            image.stream.close();
            return written;
        };
        return WriteFileAtomically(destination, produce);
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteContainerFrom(const FileBlock& image, const BitmapStore& store,
                        const std::wstring& destination) {
    try {
        pe::ImageSource source;
        source.size = image.size;
        source.memory = image.data;
        source.read = [&image](std::uint64_t offset, std::span<std::uint8_t> out) {
            return image.ReadAt(offset, out);
        };
        const auto produce = [&](const AtomicWriteSink& sink) {
            return pe::WriteImageWithBitmaps(source, store, sink);
        };
        return WriteFileAtomically(destination, produce);
    } catch (const std::exception&) {
        return false;
    }
}

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
        if (!WriteContainerFrom(source, doc.bitmaps, target)) return false;

        doc.path = target;
        doc.stamp = ReadFileStamp(target);
        doc.dirty = false;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool OverwritesChangesOnDisk(const ContainerDoc& doc, const std::wstring& destination,
                             const FileStamp& now) {
    return doc.loaded && destination == doc.path && ChangedSince(doc.stamp, now);
}
