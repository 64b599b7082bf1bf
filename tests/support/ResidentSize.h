// The resident size of this process, for benchmarks that report memory.
#pragma once

#include <fstream>
#include <string>

// In MB, from the kernel's own count; 0 when it cannot be read.
inline double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}
