#include <exception>

#include "document/container_io.h"

bool MoveBitmapId(ContainerDoc& doc, ResourceId oldId, ResourceId newId, bool overwrite) {
    if (oldId == newId) return true;
    const auto from = doc.bitmaps.find(oldId);
    if (from == doc.bitmaps.end()) return false;
    if (!overwrite && doc.bitmaps.count(newId) != 0) return false;
    try {
        // Make room under the new ID first: if that fails, nothing has moved.
        DibPayload& to = doc.bitmaps[newId];
        to = std::move(from->second);
    } catch (const std::exception&) {
        return false;
    }
    doc.bitmaps.erase(from);
    doc.dirty = true;
    return true;
}
