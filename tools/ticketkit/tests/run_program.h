#pragma once
// Runs the ticketkit program as a user does and collects what it said.

#include <string>
#include <vector>

namespace tktest {

struct Outcome {
    int status = -1;  // exit status
    std::string out;  // stdout
    std::string err;  // stderr
};

// Runs ticketkit with `args` in `workDir`, with `env` ("NAME=value") added;
// the stand-in libdecode.so comes first on LD_LIBRARY_PATH unless realDecode.
Outcome ticketkit(const std::vector<std::string>& args, const std::string& workDir,
                  const std::vector<std::string>& env = {}, bool realDecode = false);

// A fresh temporary folder (removed by the caller).
std::string temp_folder(const char* tag);

// Runs a shell command (an independent tool such as ImageMagick); true on exit 0.
bool shell(const std::string& command);

}  // namespace tktest
