#pragma once

// The Win32 communications and SetupAPI surface that the serial port code is
// written against. On Windows it is the system's own headers. Elsewhere it is
// a small stand-in of ours, implemented on POSIX terminals, that offers only
// what the port object and the streams use, with the behaviour they rely on:
//
// - CreateFileA opens a terminal device for exclusive use (a second open is
//   refused while it is held) and puts the line in raw mode at once. It takes
//   a device path or "\\.\COMn", resolved through the port table of
//   PortRegistry.h.
// - Reads return at once with what has arrived (the port object always sets
//   the time-outs that ask for that on Windows).
// - WaitCommEvent with an OVERLAPPED completes when a byte can be read; a
//   WriteFile the device cannot take whole stays pending and completes later.
//   Pending work is carried forward by whoever waits for it (a wait on the
//   OVERLAPPED's event, or GetOverlappedResult), so nothing runs while no one
//   waits. A device that hangs up makes waits and reads fail instead of
//   waking them over and over.
// - Events are real manual- and auto-reset objects on eventfd.
// - The SetupDi functions enumerate the ports that PortRegistry.h lists.

#if defined(_WIN32)

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// GUID_DEVINTERFACE_COMPORT: declared here, defined in uuid (which JUCE links).
// ntddser.h is a driver-kit header that MinGW cannot compile in user mode.
#include <winioctl.h>
#include <setupapi.h>

#else

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using CHAR = char;
using ULONG_PTR = std::uintptr_t;
using HANDLE = void*;
using HDEVINFO = void*;
using HWND = void*;
using LPCSTR = const char*;
using LPCWSTR = const wchar_t*;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using LPCVOID = const void*;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct GUID
{
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

inline bool operator== (const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;

    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;

    return true;
}

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}
inline constexpr GUID GUID_DEVINTERFACE_COMPORT = {
    0x86E0D1E0, 0x8089, 0x11D0, { 0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73 }
};

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE> (static_cast<std::intptr_t> (-1));

inline constexpr DWORD MAXDWORD = 0xffffffffu;
inline constexpr DWORD INFINITE = 0xffffffffu;

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xffffffffu;

inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;

inline constexpr DWORD EV_RXCHAR = 0x0001;

inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_TOGGLE = 3;

inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;

inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

inline constexpr DWORD DIGCF_PRESENT = 0x00000002;
inline constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;
inline constexpr DWORD SPDRP_FRIENDLYNAME = 0x0000000C;
inline constexpr DWORD REG_SZ = 1;

struct COMMTIMEOUTS
{
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// The line settings, laid out as on Windows: two DWORDs, one DWORD of bit
// fields, then the limits and characters (28 bytes).
struct DCB
{
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

static_assert (sizeof (DCB) == 28, "DCB must keep the Windows layout");

// Internal holds the outcome of the operation (0 once it succeeded, the
// pending marker while it runs, else an error code) and InternalHigh the
// bytes it moved, as on Windows.
struct OVERLAPPED
{
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

using LPOVERLAPPED = OVERLAPPED*;

struct SP_DEVINFO_DATA
{
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};

struct SP_DEVICE_INTERFACE_DATA
{
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};

struct SP_DEVICE_INTERFACE_DETAIL_DATA_A
{
    DWORD cbSize;
    CHAR DevicePath[1];
};

using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;
using PSP_DEVICE_INTERFACE_DETAIL_DATA_A = SP_DEVICE_INTERFACE_DETAIL_DATA_A*;

DWORD GetLastError();

HANDLE CreateFileA (LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                    DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL CloseHandle (HANDLE object);

BOOL GetCommTimeouts (HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts (HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommMask (HANDLE file, DWORD eventMask);
BOOL GetCommMask (HANDLE file, LPDWORD eventMask);
BOOL SetCommState (HANDLE file, DCB* dcb);
BOOL WaitCommEvent (HANDLE file, LPDWORD eventMask, LPOVERLAPPED overlapped);

BOOL ReadFile (HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile (HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL GetOverlappedResult (HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait);
BOOL CancelIo (HANDLE file);

HANDLE CreateEventA (LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
HANDLE CreateEventW (LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent (HANDLE event);
BOOL ResetEvent (HANDLE event);
DWORD WaitForSingleObject (HANDLE object, DWORD milliseconds);

HDEVINFO SetupDiGetClassDevsA (const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo (HDEVINFO set, DWORD memberIndex, PSP_DEVINFO_DATA deviceInfo);
BOOL SetupDiEnumDeviceInterfaces (HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, const GUID* interfaceClassGuid,
                                  DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA interfaceData);
BOOL SetupDiGetDeviceInterfaceDetailA (HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                       PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize, PDWORD requiredSize,
                                       PSP_DEVINFO_DATA deviceInfo);
BOOL SetupDiGetDeviceRegistryPropertyA (HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, DWORD property,
                                        PDWORD propertyRegDataType, PBYTE propertyBuffer, DWORD propertyBufferSize,
                                        PDWORD requiredSize);
BOOL SetupDiDestroyDeviceInfoList (HDEVINFO set);

#endif
