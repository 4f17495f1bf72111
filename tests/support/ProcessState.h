#pragma once

#include <filesystem>
#include <fstream>
#include <string>

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
} // namespace testsupport
