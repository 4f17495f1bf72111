#if defined(_WIN32)

#include "editor/platform/FileReplace.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace initfile::platform
{
namespace
{
bool writeAll (HANDLE file, const char* bytes, size_t numBytes)
{
    while (numBytes > 0)
    {
        const auto chunk = (DWORD) std::min (numBytes, (size_t) 1 << 30);
        DWORD written = 0;
        if (! WriteFile (file, bytes, chunk, &written, nullptr) || written == 0 || written > chunk)
            return false;
        bytes += written;
        numBytes -= written;
    }
    return true;
}

// The path of the file that writing to `path` would reach, links followed by
// the system itself.
bool finalPathOf (const std::wstring& path, std::wstring& finalPath)
{
    const auto handle = CreateFileW (path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;

    std::vector<wchar_t> buffer (32768);
    const auto length = GetFinalPathNameByHandleW (handle, buffer.data(), (DWORD) buffer.size(), FILE_NAME_NORMALIZED);
    const auto error = GetLastError();
    CloseHandle (handle);
    SetLastError (error);

    if (length == 0 || length >= buffer.size())
        return false;
    finalPath.assign (buffer.data(), length);
    return true;
}

juce::String messageFor (DWORD error)
{
    if (error == ERROR_SUCCESS)
        return {};

    wchar_t* text = nullptr;
    const auto length =
        FormatMessageW (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, error, 0, (LPWSTR) &text, 0, nullptr);
    juce::String message;
    if (length > 0 && text != nullptr)
        message = juce::String (text, (size_t) length).trim();
    LocalFree (text);
    return message;
}

bool replaceOnWindows (const juce::File& requestedTarget, const void* data, size_t numBytes, juce::File& newTextKeptIn,
                       DWORD& error)
{
    const std::wstring requested = requestedTarget.getFullPathName().toWideCharPointer();
    const auto attributes = GetFileAttributesW (requested.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;

    auto target = requested;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if (exists && ! finalPathOf (requested, target))
    {
        error = GetLastError();
        return false;
    }

    const auto lastSeparator = target.find_last_of (L"\\/");
    if (lastSeparator == std::wstring::npos)
        return false;
    const auto folder = target.substr (0, lastSeparator);
    const auto folderAttributes = GetFileAttributesW ((folder + L"\\").c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        if (folderAttributes == INVALID_FILE_ATTRIBUTES)
            error = GetLastError();
        return false;
    }

    // No sharing: nobody else opens the new file before it takes the target's place.
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < attemptsAtAFreeName && file == INVALID_HANDLE_VALUE; ++attempt)
    {
        temporary = folder + L"\\" + temporaryName().toWideCharPointer();
        file = CreateFileW (temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && (error = GetLastError()) != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    const bool written = writeAll (file, static_cast<const char*> (data), numBytes) && FlushFileBuffers (file);
    if (! written)
        error = GetLastError();
    if (! CloseHandle (file) || ! written)
    {
        if (written)
            error = GetLastError();
        DeleteFileW (temporary.c_str());
        return false;
    }

    // ReplaceFile keeps the target's attributes and security settings. Should
    // it fail after taking the target away, the new file goes in its place;
    // should that fail too, or should the target be left under another name,
    // the new file is the only copy of the new text, and stays.
    bool replaced = false;
    bool keep = false;
    if (! exists)
    {
        replaced = MoveFileExW (temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        error = replaced ? ERROR_SUCCESS : GetLastError();
    }
    else if (ReplaceFileW (target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                           nullptr))
        replaced = true;
    else if ((error = GetLastError()) == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        keep = true;
    else if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT
             && GetFileAttributesW (target.c_str()) == INVALID_FILE_ATTRIBUTES)
        keep = ! (replaced = MoveFileExW (temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH));

    if (keep)
        newTextKeptIn = juce::File (juce::String (temporary.c_str()));
    if (! replaced && ! keep)
        DeleteFileW (temporary.c_str());
    return replaced;
}
} // namespace

bool replaceFile (const juce::File& target, const void* data, size_t numBytes, SaveFailure& failure)
{
    DWORD error = ERROR_SUCCESS;
    const bool replaced = replaceOnWindows (target, data, numBytes, failure.newTextKeptIn, error);
    if (! replaced)
        failure.reason = messageFor (error);
    return replaced;
}
} // namespace initfile::platform

#endif
