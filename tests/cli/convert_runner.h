#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Runs the real kestrin-convert in `folder` through the shell, with no
// standard input, and collects its exit status and standard error.
struct RunResult {
    int status = -1;
    std::string errors;
};

inline std::string quoteForShell(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline RunResult runKestrinConvert(const std::filesystem::path& folder,
                                   const std::vector<std::string>& arguments) {
    std::string command = "cd ";
    command += quoteForShell(folder.string());
    command += " && ";
    command += quoteForShell(KESTRIN_CONVERT_PATH);
    for (const auto& argument : arguments) {
        command += ' ';
        command += quoteForShell(argument);
    }
    const std::string errorsPath = (folder / "stderr.txt").string();
    command += " </dev/null >/dev/null 2>";
    command += quoteForShell(errorsPath);
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream errors(errorsPath);
    std::stringstream text;
    text << errors.rdbuf();
    result.errors = text.str();
    std::filesystem::remove(errorsPath);
    return result;
}
