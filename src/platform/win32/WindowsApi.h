// The Windows headers the real platform layer is written with, made safe to use next to
// the platform interface: the interface's functions carry the names of the Windows calls, and the
// headers turn several of those names into macros (CreateFile → CreateFileA, ...). Include this
// instead of <windows.h>; afterwards call the Windows functions by their A/W names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <dbt.h>
#include <devpropdef.h>
#include <setupapi.h>
#include <winioctl.h>
#include <shellapi.h>
#include <mmsystem.h>
#include <winver.h>

#undef CreateFile
#undef SetupDiGetClassDevs
#undef SetupDiGetDeviceInterfaceDetail
#undef SetupDiGetDeviceProperty
#undef SetupDiOpenDeviceInfo
#undef RegisterDeviceNotification
#undef GetTimeFormat
#undef ShellExecute
#undef GetDateFormat
#undef GetVersionEx
#undef GetEnvironmentVariable
#undef GetModuleFileName
#undef GetFileVersionInfo
#undef RegCreateKeyEx
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegDeleteValue
#undef RegDeleteKey
#undef RegEnumKeyEx
#undef RegQueryInfoKey
#undef MessageBox
#undef Shell_NotifyIcon
// Names of constants the interface defines itself with the same values.
#undef INVALID_HANDLE_VALUE
#undef DEVPROP_TYPE_STRING
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef KEY_QUERY_VALUE
#undef KEY_SET_VALUE
#undef KEY_CREATE_SUB_KEY
#undef KEY_ENUMERATE_SUB_KEYS
#undef KEY_NOTIFY
#undef KEY_READ
#undef KEY_WRITE
#undef KEY_ALL_ACCESS
#undef REG_NONE
#undef REG_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef VER_PLATFORM_WIN32_WINDOWS
#undef VER_PLATFORM_WIN32_NT
#undef INPUT_MOUSE
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_YESNO
#undef MB_TYPEMASK
#undef MB_ICONERROR
#undef MB_ICONEXCLAMATION
#undef MB_ICONINFORMATION
#undef MB_SYSTEMMODAL
#undef MB_SETFOREGROUND
#undef MB_TOPMOST
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
#undef NIM_ADD
#undef NIM_MODIFY
#undef NIM_DELETE
#undef NIF_MESSAGE
#undef NIF_ICON
#undef NIF_TIP
#undef NIF_INFO
#undef NIIF_INFO
#undef NIIF_LARGE_ICON

#include "platform/FileVersion.h"
#include "platform/Input.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Storage.h"
#include "platform/SystemInfo.h"
#include "platform/Threads.h"
#include "platform/Time.h"
#include "platform/Tray.h"
#include "platform/Types.h"
#include "platform/UserInterface.h"
