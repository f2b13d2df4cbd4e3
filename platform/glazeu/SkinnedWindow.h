// Putting a skin on a dialog and taking it off again, by subclassing its
// windows. A skinned window's state is kept by handle and is dropped at
// WM_NCDESTROY or when its instance gives it back. Skinning changes how
// windows look, never what they do: no size, position or style changes, and
// every message still reaches the window.
#pragma once

#include <windows.h>

#include <vector>

namespace glazeu {

class CSkin;

// Skins hDlg and those of its direct controls the library paints (nested
// dialogs have their own sections), on behalf of the instance hOwner.
// Appends to added each window that now newly belongs to hOwner; a window
// skinned before keeps its one subclass and takes the new skin and owner.
// Only from the dialog's own thread, as the subclassing helpers require.
// Returns the number of windows that wear the skin: the dialog and its
// painted controls; 0 when the dialog could not be skinned.
int SkinDialog(HWND hDlg, CSkin& skin, INT_PTR hOwner, std::vector<HWND>& added);

// Gives the window back the platform's look if hOwner's skin is on it. A
// window of another thread is asked to do it itself, and waited for only
// when bMayWait. Returns false when the window may still call the library.
bool UnskinWindow(HWND hWnd, INT_PTR hOwner, bool bMayWait);

// How many calls of the library's window procedures are under way now, on
// any thread. The library must not be unloaded under one of them.
LONG ActiveWindowCalls();

// Kept by the instance registry: a skinned window is gone or has moved to
// another instance.
void ForgetWindow(INT_PTR hOwner, HWND hWnd);

} // namespace glazeu
