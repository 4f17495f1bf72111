#pragma once

#if ! defined(_WIN32)

#include "serial/platform/SerialPlatform.h"

#include <memory>

// The objects behind the POSIX stand-in's HANDLEs. A handle stays valid until
// CloseHandle; the object lives on while an operation in progress still
// holds it.
namespace serialplatform
{
struct HandleObject
{
    virtual ~HandleObject() = default;

    // Called once, by CloseHandle, before the handle stops being valid.
    virtual void handleClosed() {}
};

HANDLE addHandle (std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> findHandle (HANDLE handle);
std::shared_ptr<HandleObject> removeHandle (HANDLE handle);

template <typename ObjectType>
std::shared_ptr<ObjectType> findHandleOfType (HANDLE handle)
{
    return std::dynamic_pointer_cast<ObjectType> (findHandle (handle));
}

void setLastError (DWORD error);
} // namespace serialplatform

#endif
