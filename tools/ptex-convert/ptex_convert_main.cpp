// ptex-convert: rewrites a Ptex file through the library's reader and writer,
// keeping faces, adjacency and metadata.
//
//   ptex-convert IN OUT [--data-type uint8|uint16|half|float] [--mipmaps on|off]
//
// The output is written next to OUT and renamed into place only when the whole
// input was read without error. Exit status: 0 on success, 1 on a read or
// write error or a wrong command line.
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "CommandLine.h"
#include "ProgressLine.h"
#include "PtexConverter.h"
#include "Ptexture.h"

namespace {

// The names the -d option takes, by Ptex::DataType.
const char* const kTypeNames[] = {"uint8", "uint16", "half", "float"};

class ErrorCollector : public PtexErrorHandler {
public:
    void reportError(const char* error) override {
        count++;
        fprintf(stderr, "ptex-convert: %s", error);
        const size_t n = strlen(error);
        if (n == 0 || error[n - 1] != '\n') fputc('\n', stderr);
    }
    int count = 0;
};

int run(const std::string& inPath, const std::string& outPath, const std::string& typeName,
        const std::string& mipmaps) {
    std::string pathError;
    if (!checkOutputPath(outPath, pathError)) return toolError("ptex-convert", pathError);
    ErrorCollector errors;
    PtexCache* cache = PtexCache::create(1, 0, false, nullptr, &errors);
    Ptex::String error;
    PtexTexture* tex =
        cache ? cache->get(inPath.c_str(), error) : PtexTexture::open(inPath.c_str(), error);
    if (!tex) {
        fprintf(stderr, "ptex-convert: %s\n", error.c_str());
        if (cache) cache->release();
        return 1;
    }
    Ptex::DataType dt = tex->dataType();
    if (!typeName.empty()) PtexConvert::parseDataType(typeName, dt);
    const bool genMipmaps = mipmaps.empty() ? tex->hasMipMaps() : mipmaps == "on";

    const int faces = tex->numFaces(), channels = tex->numChannels();
    const Ptex::MeshType meshType = tex->meshType();
    const std::string tmpPath = outPath + ".converting";
    ProgressLine progress("ptex-convert");
    const bool written =
        PtexConvert::convertTexture(tex, tmpPath, dt, genMipmaps, error,
                                    [&](int done, int total) { progress.update(done, total); });
    progress.finish();
    tex->release();
    if (cache) cache->release();
    if (!written) {
        fprintf(stderr, "ptex-convert: %s\n", ptexWriterError(error, outPath, tmpPath).c_str());
        unlink(tmpPath.c_str());
        return 1;
    }
    if (errors.count) {
        fprintf(stderr, "ptex-convert: %s: %d read error%s, nothing written\n", inPath.c_str(),
                errors.count, errors.count == 1 ? "" : "s");
        unlink(tmpPath.c_str());
        return 1;
    }
    if (rename(tmpPath.c_str(), outPath.c_str()) != 0) {
        fprintf(stderr, "ptex-convert: can't write %s: %s\n", outPath.c_str(), strerror(errno));
        unlink(tmpPath.c_str());
        return 1;
    }
    printf("wrote %s: %d %s faces, %s, %d channel%s, %s\n", outPath.c_str(), faces,
           meshType == Ptex::mt_triangle ? "triangle" : "quad", kTypeNames[dt], channels,
           channels == 1 ? "" : "s", genMipmaps ? "mip-maps" : "no mip-maps");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Rewrites a Ptex file through the reader and writer, keeping faces, adjacency and "
        "metadata."};
    std::string inPath, outPath, typeName, mipmaps;
    app.add_option("IN", inPath, "input Ptex file")->required();
    app.add_option("OUT", outPath, "output Ptex file")->required();
    app.add_option("-d,--data-type", typeName, "sample type of the output (default: the input's)")
        ->check(CLI::IsMember({"uint8", "uint16", "half", "float"}));
    app.add_option("-m,--mipmaps", mipmaps,
                   "regenerate (on) or drop (off) the mip-maps (default: as the input)")
        ->check(CLI::IsMember({"on", "off"}));
    if (const int status = parseCommandLine(app, argc, argv, "ptex-convert"); status >= 0)
        return status;
    try {
        return run(inPath, outPath, typeName, mipmaps);
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "ptex-convert: %s: out of memory (damaged sizes?)\n", inPath.c_str());
        return 1;
    }
}
