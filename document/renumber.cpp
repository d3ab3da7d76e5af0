#include "document/renumber.h"

bool RenumberingAsks(const ContainerDoc& doc, ResourceId oldId, ResourceId newId) {
    return newId > 0 && newId != oldId && doc.bitmaps.count(newId) != 0;
}

Renumbering DecideRenumbering(const ContainerDoc& doc, ResourceId oldId, ResourceId newId,
                              OverwriteAnswer answer) {
    if (newId <= 0 || newId == oldId) return Renumbering::None;
    if (!RenumberingAsks(doc, oldId, newId)) return Renumbering::Move;
    const bool agreed = answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll;
    return agreed ? Renumbering::Overwrite : Renumbering::None;
}

std::wstring OverwriteQuestion(ResourceId id) {
    return L"Resource ID " + std::to_wstring(id) + L" already exists. Overwrite?";
}
