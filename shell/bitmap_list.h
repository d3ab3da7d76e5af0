// Keeping the list, the selection and the preview copy in step with the store.
#pragma once

#include "document/win32/app_state.h"

void RefreshBitmapList(AppState& app);
void ShowSelectedBitmap(AppState& app);
void SelectBitmapById(AppState& app, ResourceId id);
