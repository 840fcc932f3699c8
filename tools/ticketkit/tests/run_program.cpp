#include "run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tktest {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

Outcome ticketkit(const std::vector<std::string>& args, const std::string& workDir,
                  const std::vector<std::string>& env, bool realDecode) {
    const std::string outPath = workDir + "/.stdout", errPath = workDir + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(127);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (!realDecode) setenv("LD_LIBRARY_PATH", FAKE_DECODE_DIR, 1);
        unsetenv("PIPEWELL_LIBRARY");
        unsetenv("EMULATOR_PRINT_DIR");
        unsetenv("EMULATOR_TICKETS");
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv{const_cast<char*>(TICKETKIT_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TICKETKIT_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    return r;
}

std::string temp_folder(const char* tag) {
    std::string pattern = std::string("/tmp/ticketkit_") + tag + "_XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
}

bool shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

}  // namespace tktest
