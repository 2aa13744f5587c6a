#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tunex::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end with the given arguments, capturing both output streams.
[[nodiscard]] ProgramResult runProgram(const std::filesystem::path& program,
                                       const std::vector<std::string>& arguments);

}  // namespace tunex::test
