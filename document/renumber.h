// The decisions of renumbering a bitmap at the user's request. Portable, so
// that each answer the user can give is checked as a table.
#pragma once

#include <string>

#include "document/container_doc.h"

// The answers to the Resource Exists question. NotShown: the dialog could
// not be shown, so the user agreed to nothing.
enum class OverwriteAnswer { Yes, No, YesToAll, NoToAll, Cancel, NotShown };

enum class Renumbering {
    None,       // cancelled, refused, or the ID the bitmap already has
    Move,       // to a free ID
    Overwrite,  // onto a taken ID, replacing its bitmap
};

// True when moving oldId to newId (0: the ID prompt was cancelled) would
// replace another bitmap, so the user is asked first.
bool RenumberingAsks(const ContainerDoc& doc, ResourceId oldId, ResourceId newId);

// What is done; answer counts only when RenumberingAsks. Only one question
// is asked, so Yes to All and No to All act as Yes and No; Esc keeps the
// bitmap that is there.
Renumbering DecideRenumbering(const ContainerDoc& doc, ResourceId oldId, ResourceId newId,
                              OverwriteAnswer answer);

// "Resource ID %d already exists. Overwrite?"
std::wstring OverwriteQuestion(ResourceId id);
