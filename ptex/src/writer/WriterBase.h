#ifndef PtexWriterBase_h
#define PtexWriterBase_h
// Shared part of the two writers (full file and incremental edits): format
// checks, error state, metadata collection, border modes and the per-face
// checks and pixel helpers.
//
// Contract:
//  - checkFormat() validates the arguments of open/edit with the library's error
//    texts ("PtexWriter error: Invalid mesh type", ...).
//  - An error met while writing is kept: later writes are refused and close()
//    returns false with "<text>\nPtex file: <path>" without producing a file.
//  - close() runs the writer's finish() once; release() closes first when
//    needed (printing any error to standard error), then destroys the writer.
//  - Metadata: a repeated key overwrites the earlier value in place; keys of 255
//    characters and more are refused (the key size field is one byte, NUL
//    included); empty arrays are refused.
#include <string>
#include <vector>

#include "PtexIO.h"
#include "WriterMetaStore.h"

namespace PtexWriterInternal {

class PtexWriterBase : public PtexWriter {
public:
    static bool checkFormat(Ptex::MeshType mt, Ptex::DataType dt, int nchannels, int alphachan,
                            int nfaces, Ptex::String& error);

    void release() override;
    void setBorderModes(Ptex::BorderMode uBorderMode, Ptex::BorderMode vBorderMode) override;
    void setEdgeFilterMode(Ptex::EdgeFilterMode edgeFilterMode) override;
    void writeMeta(const char* key, const char* string) override;
    void writeMeta(const char* key, const int8_t* value, int count) override;
    void writeMeta(const char* key, const int16_t* value, int count) override;
    void writeMeta(const char* key, const int32_t* value, int count) override;
    void writeMeta(const char* key, const float* value, int count) override;
    void writeMeta(const char* key, const double* value, int count) override;
    void writeMeta(PtexMetaData* data) override;
    bool close(Ptex::String& error) override;

    // False with the kept error text (followed by "\nPtex file: PATH") once
    // anything failed.
    bool ok(Ptex::String& error) const;
    // The kept error text alone (what open/edit report when a writer cannot start).
    const std::string& errorText() const { return _error; }
    // Destroys a writer that never started, without writing or reporting.
    void discard() {
        _closed = true;
        release();
    }

protected:
    PtexWriterBase(const char* path, Ptex::MeshType mt, Ptex::DataType dt, int nchannels,
                   int alphachan, int nfaces);
    ~PtexWriterBase() override = default;

    // Writes everything out; called once by close() when no error is pending.
    virtual void finish() = 0;

    void setError(const std::string& error);
    bool failed() const { return !_ok; }

    // Metadata copy that does not count as new content (entries of an edited file).
    void copyMeta(PtexMetaData* data);

    // Validates a face id and its res; sets the error and returns false if bad.
    bool checkFace(int faceid, const Ptex::FaceInfo& info);
    // The face info as stored: quads keep only the sub-face flag, triangles no
    // flags and three neighbours; constant faces get flag_constant.
    Ptex::FaceInfo storedInfo(const Ptex::FaceInfo& info, bool constant) const;

    // Packed copy of caller data when a stride is given; else the data itself.
    const uint8_t* packed(const void* data, int stride, Ptex::Res res, ByteBuffer& storage) const;
    // Premultiplied copy when the file has alpha; else the data itself.
    const uint8_t* premultiplied(const uint8_t* data, size_t npixels, ByteBuffer& storage) const;
    // The stored average of a premultiplied image, un-premultiplied.
    void averagePixel(const uint8_t* premult, Ptex::Res res, uint8_t* pixel) const;

    bool hasAlpha() const { return _alphachan >= 0 && _alphachan < _nchannels; }

    std::string _path;
    Ptex::MeshType _mt;
    Ptex::DataType _dt;
    int _nchannels;
    int _alphachan;
    int _nfaces;
    int _pixelSize;
    PtexIO::ExtHeader _extheader;
    MetaStore _meta;
    bool _hasNewData = false;  // anything written through the public calls

private:
    void storeMeta(const char* key, Ptex::MetaDataType type, const void* data, size_t size,
                   bool counts);
    bool checkMeta(const char* key, int count);
    void addMetaFrom(PtexMetaData* data, bool counts);

    bool _ok = true;
    bool _closed = false;
    std::string _error;
};

}  // namespace PtexWriterInternal

#endif
