#pragma once

// The Windows headers, for the files of this folder: the only place that sees them.
// They name some functions with macros (MessageBox for MessageBoxA...) that would rename
// the program's own operations of the same names; those macros go, and the host calls
// the functions by their "A" names. Our own constants of the same value (FF_SWISS) must be
// declared before the headers define them as macros.
#include "toolkit/font.h"

#include <windows.h>

#include <commdlg.h>
#include <ddraw.h>
#include <htmlhelp.h>
#include <shellapi.h>

#undef CreateWindow
#undef DialogBox
#undef DrawText
#undef GetOpenFileName
#undef LoadBitmap
#undef LoadLibrary
#undef MessageBox
#undef TextOut
