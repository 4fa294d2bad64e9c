// Reads the dynamic symbol table of an ELF64 shared library (no tools needed).
#pragma once

#include <string>
#include <vector>

struct DynamicSymbols {
    bool ok = false;
    std::string error;
    std::vector<std::string> defined;    // exported: defined, global or weak, not hidden
    std::vector<std::string> undefined;  // imported
};

DynamicSymbols readDynamicSymbols(const std::string& path);
