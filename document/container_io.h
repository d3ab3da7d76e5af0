// Reading and writing container files. Workers: they return false on failure
// and show nothing; the calling command chooses the message.
#pragma once

#include <memory>
#include <string>

#include "document/container_doc.h"
#include "document/pe_resource_reader.h"
#include "document/pe_resource_survey.h"
#include "fileio/whole_file.h"

// Reads every numeric-ID RT_BITMAP resource of the PE image at path into
// doc.bitmaps, each in the language version order picks. On success the
// document is loaded and clean, doc.stamp is the file's, and survey (when
// given) says what else the file holds; on failure the document is closed
// with an empty store and doc.path naming the file that failed. image (when
// given) receives the file's bytes, which the bitmaps are views of.
bool LoadContainer(ContainerDoc& doc, const std::wstring& path,
                   const pe::LanguageOrder& order = pe::PlatformLanguageOrder(),
                   pe::ResourceSurvey* survey = nullptr,
                   std::shared_ptr<const FileBlock>* image = nullptr);

// Replaces the resource table of the image at destination with one RT_BITMAP
// resource per store entry (ascending, language 0). The destination is
// replaced atomically: on failure it is byte-identical to before. On success
// doc.path is destination, doc.stamp the new file's and doc.dirty is false;
// on failure doc is unchanged.
bool SaveContainer(ContainerDoc& doc, const std::wstring& destination);

// Whether a save to destination would overwrite what another program wrote
// to the open file since it was loaded or last saved, the file now being as
// now says. A save to another name overwrites nothing of the document's.
bool OverwritesChangesOnDisk(const ContainerDoc& doc, const std::wstring& destination,
                             const FileStamp& now);

// The writer behind SaveContainer, for callers that name the image apart from
// the destination: the image of the container at imagePath, its resource
// table replaced by store, replaces destination atomically (the two may be
// the same file). On failure destination is byte-identical to before.
bool WriteContainerFrom(const std::wstring& imagePath, const BitmapStore& store,
                        const std::wstring& destination);
// The same from the image a load took, while the file has been held
// unchanged since: its tables are not read again, and the runs of bitmaps
// that are views of it, as they lay there, are copied from it in large reads.
bool WriteContainerFrom(const FileBlock& image, const BitmapStore& store,
                        const std::wstring& destination);

// Moves the payload of oldId to newId. True when it now stands under newId,
// or when the IDs are equal (nothing changes then).
bool MoveBitmapId(ContainerDoc& doc, ResourceId oldId, ResourceId newId, bool overwrite);
