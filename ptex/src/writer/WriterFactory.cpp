// The PtexWriter entry points: open, edit and applyEdits.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "IncrWriter.h"
#include "MainWriter.h"

using PtexWriterInternal::PtexIncrWriter;
using PtexWriterInternal::PtexMainWriter;
using PtexWriterInternal::PtexWriterBase;

namespace {

// Hands back a writer that started, or destroys it and reports why it did not.
PtexWriter* started(PtexWriterBase* w, Ptex::String& error) {
    if (w->ok(error)) return w;
    error = w->errorText();
    w->discard();
    return nullptr;
}

bool formatMatches(PtexTexture* tex, Ptex::MeshType mt, Ptex::DataType dt, int nchannels,
                   int alphachan, int nfaces) {
    return tex->meshType() == mt && tex->dataType() == dt && tex->numChannels() == nchannels &&
           tex->alphaChannel() == alphachan && tex->numFaces() == nfaces;
}

}  // namespace

PtexWriter* PtexWriter::open(const char* path, Ptex::MeshType mt, Ptex::DataType dt, int nchannels,
                             int alphachan, int nfaces, Ptex::String& error, bool genmipmaps) {
    if (!PtexWriterBase::checkFormat(mt, dt, nchannels, alphachan, nfaces, error)) return nullptr;
    return started(
        new PtexMainWriter(path, nullptr, mt, dt, nchannels, alphachan, nfaces, genmipmaps), error);
}

PtexWriter* PtexWriter::edit(const char* path, bool incremental, Ptex::MeshType mt,
                             Ptex::DataType dt, int nchannels, int alphachan, int nfaces,
                             Ptex::String& error, bool genmipmaps) {
    if (!PtexWriterBase::checkFormat(mt, dt, nchannels, alphachan, nfaces, error)) return nullptr;

    // The file may not exist yet; then this is a plain new file.
    FILE* fp = fopen(path, "r+b");
    if (!fp && errno != ENOENT) {
        error = std::string("Can't open ptex file for update: ") + path + "\n" + strerror(errno);
        return nullptr;
    }
    if (incremental && fp)
        return started(new PtexIncrWriter(path, fp, mt, dt, nchannels, alphachan, nfaces), error);

    PtexTexture* tex = nullptr;
    if (fp) {
        fclose(fp);
        tex = PtexTexture::open(path, error);
        if (!tex) return nullptr;
        if (!formatMatches(tex, mt, dt, nchannels, alphachan, nfaces)) {
            tex->release();
            error =
                "PtexWriter::edit error: header doesn't match existing file, conversions not "
                "currently supported";
            return nullptr;
        }
    }
    return started(new PtexMainWriter(path, tex, mt, dt, nchannels, alphachan, nfaces, genmipmaps),
                   error);
}

bool PtexWriter::applyEdits(const char* path, Ptex::String& error) {
    PtexTexture* tex = PtexTexture::open(path, error);
    if (!tex) return false;
    if (!tex->hasEdits()) {
        tex->release();
        return true;
    }
    PtexMainWriter* w =
        new PtexMainWriter(path, tex, tex->meshType(), tex->dataType(), tex->numChannels(),
                           tex->alphaChannel(), tex->numFaces(), tex->hasMipMaps());
    w->forceRewrite();
    const bool ok = w->close(error);
    w->release();
    return ok;
}
