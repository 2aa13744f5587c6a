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

// Runs a program to its end with the given arguments, capturing both output streams. The program
// gets this process's environment, with `environment` ("NAME=value" entries) put over it.
[[nodiscard]] ProgramResult runProgram(const std::filesystem::path& program,
                                       const std::vector<std::string>& arguments,
                                       const std::vector<std::string>& environment = {});

}  // namespace tunex::test
