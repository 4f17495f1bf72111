#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#if ! defined(_WIN32)
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#endif

// What the test process holds, as Linux lists it under /proc/self.
namespace testsupport
{
inline long openDescriptors()
{
    return (long) std::distance (std::filesystem::directory_iterator ("/proc/self/fd"), {});
}

// Over the serial streams' threads: how many there are, or with a file of
// their /proc/self/task folders, the number after `key` (else the first) in it,
// summed. Without /proc, as on Windows, none.
inline long long streamThreadCounter (const char* file = nullptr, const std::string& key = {})
{
    long long sum = 0, value = 0;
    std::error_code noProc;
    for (const auto& task : std::filesystem::directory_iterator ("/proc/self/task", noProc))
    {
        std::string name, word;
        std::getline (std::ifstream (task.path() / "comm"), name);
        std::ifstream in (task.path() / (file != nullptr ? file : "comm"));
        while (file != nullptr && ! key.empty() && in >> word && word != key)
            ;
        if (name.rfind ("Serial", 0) == 0)
            sum += file == nullptr ? 1 : in >> value ? value : 0;
    }
    return sum;
}

#if ! defined(_WIN32)
// While this lives, no file this process writes grows past `bytes`: a write
// beyond falls short, then fails with EFBIG, as on a full disk, and this binds
// the superuser too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit (rlim_t bytes)
    {
        ::getrlimit (RLIMIT_FSIZE, &before);
        const struct rlimit limited = { std::min (bytes, before.rlim_max), before.rlim_max };
        ::setrlimit (RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit (RLIMIT_FSIZE, &before);
        std::signal (SIGXFSZ, handlerBefore);
    }
    FileSizeLimit (const FileSizeLimit&) = delete;
    FileSizeLimit& operator= (const FileSizeLimit&) = delete;

private:
    struct rlimit before = {};
    void (*const handlerBefore) (int) = std::signal (SIGXFSZ, SIG_IGN); // the signal would end the process
};
#endif
} // namespace testsupport
