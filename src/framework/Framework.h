// The project's dialog framework: a thin layer over Win32 for windows,
// dialogs, message maps, data exchange and a few control wrappers. Include
// only this header.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "AfxState.h"
#include "AfxWnd.h"
#include "AfxDialog.h"
#include "AfxControls.h"
