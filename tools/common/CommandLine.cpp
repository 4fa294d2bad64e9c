#include "CommandLine.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

int parseCommandLine(CLI::App& app, int argc, char** argv, const char* tool) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --help-all come as parse "errors" of status 0.
        if (e.get_exit_code() == 0) return app.exit(e);
        std::string reason = e.what();
        for (char& c : reason) {
            if (c == '\n') c = ' ';
        }
        return toolError(tool, reason + " (see --help)");
    }
    return -1;
}

int toolError(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: error: %s\n", tool, message.c_str());
    return 1;
}

bool checkOutputPath(const std::string& path, std::string& error) {
    auto fail = [&](int code) {
        error = "cannot write " + path + ": " + std::strerror(code);
        return false;
    };
    if (path.empty()) return fail(ENOENT);
    const fs::path parent = fs::path(path).parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) return fail(ec.value());
    }
    if (!fs::is_directory(folder, ec)) return fail(ENOTDIR);
    if (fs::is_directory(path, ec)) return fail(EISDIR);
    const bool exists = fs::exists(path, ec);
    if (::access(exists ? path.c_str() : folder.c_str(), W_OK) != 0) return fail(errno);
    return true;
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string ptexWriterError(std::string error, const std::string& outPath,
                            const std::string& tmpPath) {
    const size_t trailer = error.find("\nPtex file: ");
    if (trailer != std::string::npos) error.erase(trailer);
    while (!error.empty() && error.back() == '\n') error.pop_back();
    auto replaceAll = [&](const std::string& from, const std::string& to) {
        if (from.empty()) return;
        for (size_t at = error.find(from); at != std::string::npos;
             at = error.find(from, at + to.size())) {
            error.replace(at, from.size(), to);
        }
    };
    // The longest temporary name first: "OUT.converting.new" before "OUT.converting".
    if (!tmpPath.empty()) replaceAll(tmpPath + ".new", outPath);
    replaceAll(tmpPath, outPath);
    replaceAll(outPath + ".new", outPath);
    replaceAll("\n", ": ");
    return error;
}
