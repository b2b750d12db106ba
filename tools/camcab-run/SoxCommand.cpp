#include "SoxCommand.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace camcab::run {

#ifdef _WIN32

bool RunSox(const std::vector<std::string>&, std::string& error) {
    error = "sox is not run by the Windows build";
    return false;
}

#else

bool RunSox(const std::vector<std::string>& arguments, std::string& error) {
    std::vector<char*> argv;
    std::string program = "sox";
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // Its messages would mix with the drive's own output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawnError = posix_spawnp(&child, "sox", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        error = spawnError == ENOENT
                    ? "sox is not installed (Debian package sox)"
                    : std::string("sox cannot be started: ") + std::strerror(spawnError);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            error = "sox could not be waited for";
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = WIFEXITED(status) ? "sox failed with status " + std::to_string(WEXITSTATUS(status))
                                  : "sox was ended by a signal";
        return false;
    }
    return true;
}

#endif

}  // namespace camcab::run
