// ptex-info: prints the header, face table, metadata and texels of a Ptex file.
//
//   ptex-info FILE [--faces] [--meta] [--texels FACE [LEVEL]] [--check]
//
// Exit status: 0 when the file was read without error, 1 when it cannot be
// opened, any read error was reported (damaged data) or the
// command line is wrong.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "PtexInfoPrinter.h"
#include "Ptexture.h"

namespace {

// Collects the reader's errors so a damaged file gives a non-zero exit.
class ErrorCollector : public PtexErrorHandler {
public:
    void reportError(const char* error) override {
        count++;
        fprintf(stderr, "ptex-info: %s", error);
        const size_t n = strlen(error);
        if (n == 0 || error[n - 1] != '\n') fputc('\n', stderr);
    }
    int count = 0;
};

int run(const std::string& path, bool faces, bool meta, bool allValues,
        const std::vector<int>& texels, bool check) {
    ErrorCollector errors;
    // A cache lets the reader's later errors reach the collector.
    PtexCache* cache = PtexCache::create(1, 0, false, nullptr, &errors);
    Ptex::String error;
    PtexTexture* tex =
        cache ? cache->get(path.c_str(), error) : PtexTexture::open(path.c_str(), error);
    if (!tex) {
        fprintf(stderr, "ptex-info: %s\n", error.c_str());
        if (cache) cache->release();
        return 1;
    }
    int status = 0;
    const PtexInfo::RawLayout layout = PtexInfo::readRawLayout(tex->path());
    PtexInfo::printHeader(stdout, tex, layout);
    if (layout.valid && layout.fileSize < layout.requiredSize()) {
        fprintf(stderr, "ptex-info: %s: file is truncated (%llu bytes, its sections need %llu)\n",
                path.c_str(), (unsigned long long)layout.fileSize,
                (unsigned long long)layout.requiredSize());
        status = 1;
    }
    if (faces) PtexInfo::printFaces(stdout, tex);
    if (meta) PtexInfo::printMeta(stdout, tex, allValues);
    if (!texels.empty()) {
        const int level = texels.size() > 1 ? texels[1] : 0;
        if (!PtexInfo::printTexels(stdout, stderr, tex, texels[0], level)) status = 1;
    }
    if (check && !PtexInfo::checkAll(stderr, tex)) status = 1;
    tex->release();
    if (cache) cache->release();
    fflush(stdout);
    if (errors.count) {
        fprintf(stderr, "ptex-info: %s: %d read error%s, the file is damaged\n", path.c_str(),
                errors.count, errors.count == 1 ? "" : "s");
        status = 1;
    } else if (check && status == 0) {
        printf("check: no damage found (every face at every level and all metadata read)\n");
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Prints what a Ptex texture file holds: header, face table, metadata and texel values."};
    std::string path;
    bool faces = false, meta = false, allValues = false, check = false;
    std::vector<int> texels;
    app.add_option("FILE", path, "Ptex file (.ptx)")->required();
    app.add_flag("-f,--faces", faces, "Print the face table: res, adjacent faces and edges, flags");
    app.add_flag("-m,--meta", meta, "Print every metadata entry");
    app.add_flag("-a,--all-values", allValues, "With --meta, print long arrays completely");
    app.add_option("-t,--texels", texels,
                   "Print the texels of FACE at LEVEL (0 = full res; level i halves i times)")
        ->expected(1, 2);
    app.add_flag("-c,--check", check,
                 "Read every face at every level and all metadata; report damage");
    if (const int status = parseCommandLine(app, argc, argv, "ptex-info"); status >= 0)
        return status;
    try {
        return run(path, faces, meta, allValues, texels, check);
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "ptex-info: %s: out of memory (damaged sizes?)\n", path.c_str());
        return 1;
    }
}
