// Command-line conventions shared by the tools.
//
// parseCommandLine: parses argv into `app`. Returns -1 when the tool should go
// on; otherwise the exit status the tool ends with: 0 after --help (printed on
// standard output), 1 after a usage error, printed on standard error as the
// one line "TOOL: error: REASON (see --help)".
//
// toolError prints "TOOL: error: MESSAGE" and returns 1, the status of every
// failure.
//
// checkOutputPath makes sure a file can be written at `path` before any work is
// done: missing folders are made, the folder must be one and writable, and the
// path must not name a folder. False with "cannot write PATH: REASON".
//
// shortNumber: a number as a person writes it (1, 0.25, 1e+09), for messages.
//
// ptexWriterError turns an error of the Ptex writer into one line about
// `outPath`: the writer's "Ptex file: ..." trailer is dropped, its lines are
// joined, and the temporary names the file had while it was written
// (`tmpPath`, either with ".new" appended) are shown as `outPath`.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

int parseCommandLine(CLI::App& app, int argc, char** argv, const char* tool);
int toolError(const char* tool, const std::string& message);
bool checkOutputPath(const std::string& path, std::string& error);
std::string shortNumber(double value);
std::string ptexWriterError(std::string error, const std::string& outPath,
                            const std::string& tmpPath = "");
