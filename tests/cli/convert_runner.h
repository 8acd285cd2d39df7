#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Runs the real kestrin-convert in `folder` through the shell, with no
// standard input, and collects its exit status, standard error and standard
// output.
struct RunResult {
    int status = -1;
    std::string errors;
    std::string output;
};

inline std::string takeFileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    file.close();
    std::filesystem::remove(path);
    return text.str();
}

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
    const std::filesystem::path errorsPath = folder / "stderr.txt", outputPath = folder / "stdout.txt";
    command +=
        " </dev/null >" + quoteForShell(outputPath.string()) + " 2>" + quoteForShell(errorsPath.string());
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.errors = takeFileText(errorsPath);
    result.output = takeFileText(outputPath);
    return result;
}
