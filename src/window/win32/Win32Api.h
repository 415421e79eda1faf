#pragma once
// The Windows headers as this view uses them: the UTF-16 (W) API, no min/max macros.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

// Dialogs::MessageBox is a member of the program's own; the box itself is called as MessageBoxW.
#undef MessageBox
