// Reading and writing container files. Workers: they return false on failure
// and show nothing; the calling command chooses the message.
#pragma once

#include <string>

#include "document/container_doc.h"

// Reads every numeric-ID RT_BITMAP resource of the PE image at path into
// doc.bitmaps. On success the document is loaded and clean; on failure it is
// closed with an empty store and doc.path naming the file that failed.
bool LoadContainer(ContainerDoc& doc, const std::wstring& path);

// Replaces the resource table of the image at destination with one RT_BITMAP
// resource per store entry (ascending, language 0). The destination is
// replaced atomically: on failure it is byte-identical to before. On success
// doc.path is destination and doc.dirty is false; on failure doc is unchanged.
bool SaveContainer(ContainerDoc& doc, const std::wstring& destination);

// The writer behind SaveContainer, for callers that name the image apart from
// the destination: the image of the container at imagePath, its resource
// table replaced by store, replaces destination atomically (the two may be
// the same file). On failure destination is byte-identical to before.
bool WriteContainerFrom(const std::wstring& imagePath, const BitmapStore& store,
                        const std::wstring& destination);

// Moves the payload of oldId to newId. True when it now stands under newId,
// or when the IDs are equal (nothing changes then).
bool MoveBitmapId(ContainerDoc& doc, ResourceId oldId, ResourceId newId, bool overwrite);
