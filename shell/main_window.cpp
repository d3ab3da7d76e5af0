#include "document/win32/app_state.h"
