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

// The object behind a handle that a call was given; when it is not one of the
// expected kind, the call's error is an invalid handle.
template <typename ObjectType>
std::shared_ptr<ObjectType> findHandleOrFail (HANDLE handle)
{
    auto object = findHandleOfType<ObjectType> (handle);

    if (object == nullptr)
        setLastError (ERROR_INVALID_HANDLE);

    return object;
}
} // namespace serialplatform

#endif
