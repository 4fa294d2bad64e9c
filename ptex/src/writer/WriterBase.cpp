// Shared part of the writers (see WriterBase.h).
#include "WriterBase.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "PtexUtils.h"

namespace PtexWriterInternal {

bool PtexWriterBase::checkFormat(Ptex::MeshType mt, Ptex::DataType dt, int nchannels, int alphachan,
                                 int nfaces, Ptex::String& error) {
    if (mt != Ptex::mt_triangle && mt != Ptex::mt_quad) {
        error = "PtexWriter error: Invalid mesh type";
        return false;
    }
    if (unsigned(dt) > unsigned(Ptex::dt_float)) {
        error = "PtexWriter error: Invalid data type";
        return false;
    }
    if (nchannels <= 0 || nchannels > 0xffff) {  // the header field is 16 bits
        error = "PtexWriter error: Invalid number of channels";
        return false;
    }
    if (alphachan != -1 && (alphachan < 0 || alphachan >= nchannels)) {
        error = "PtexWriter error: Invalid alpha channel";
        return false;
    }
    if (nfaces < 0) {
        error = "PtexWriter error: Invalid number of faces";
        return false;
    }
    return true;
}

PtexWriterBase::PtexWriterBase(const char* path, Ptex::MeshType mt, Ptex::DataType dt,
                               int nchannels, int alphachan, int nfaces)
    : _path(path ? path : ""),
      _mt(mt),
      _dt(dt),
      _nchannels(nchannels),
      _alphachan(alphachan),
      _nfaces(nfaces),
      _pixelSize(Ptex::DataSize(dt) * nchannels) {
    std::memset(&_extheader, 0, sizeof(_extheader));
}

void PtexWriterBase::release() {
    if (!_closed) {
        Ptex::String error;
        if (!close(error)) fprintf(stderr, "%s\n", error.c_str());
    }
    delete this;
}

bool PtexWriterBase::close(Ptex::String& error) {
    if (!_closed) {
        _closed = true;
        if (_ok) finish();
    }
    return ok(error);
}

bool PtexWriterBase::ok(Ptex::String& error) const {
    if (_ok) return true;
    error = _error + "\nPtex file: " + _path;
    return false;
}

void PtexWriterBase::setError(const std::string& error) {
    if (_ok) _error = error;  // the first error is the one that matters
    _ok = false;
}

void PtexWriterBase::setBorderModes(Ptex::BorderMode uBorderMode, Ptex::BorderMode vBorderMode) {
    _extheader.ubordermode = uint16_t(uBorderMode);
    _extheader.vbordermode = uint16_t(vBorderMode);
}

void PtexWriterBase::setEdgeFilterMode(Ptex::EdgeFilterMode edgeFilterMode) {
    _extheader.edgefiltermode = uint16_t(edgeFilterMode);
}

bool PtexWriterBase::checkMeta(const char* key, int count) {
    if (!_ok) return false;
    if (!key) key = "";
    // keysize is one byte and counts the NUL, so 254 characters is the longest key.
    if (strlen(key) > 254) {
        setError(std::string("PtexWriter error: meta data key too long (max=255) \"") + key + "\"");
        return false;
    }
    if (count <= 0) {
        setError(std::string("PtexWriter error: meta data size <= 0 for \"") + key + "\"");
        return false;
    }
    return true;
}

void PtexWriterBase::storeMeta(const char* key, Ptex::MetaDataType type, const void* data,
                               size_t size, bool counts) {
    _meta.set(key ? key : "", type, data, size);
    if (counts) _hasNewData = true;
}

void PtexWriterBase::writeMeta(const char* key, const char* string) {
    if (!string) string = "";
    const size_t size = strlen(string) + 1;  // stored with its NUL
    if (!checkMeta(key, int(size > INT_MAX ? INT_MAX : size))) return;
    storeMeta(key, Ptex::mdt_string, string, size, true);
}

#define PTEX_WRITE_META_ARRAY(T, MDT)                                            \
    void PtexWriterBase::writeMeta(const char* key, const T* value, int count) { \
        if (!checkMeta(key, value ? count : 0)) return;                          \
        storeMeta(key, MDT, value, size_t(count) * sizeof(T), true);             \
    }
PTEX_WRITE_META_ARRAY(int8_t, Ptex::mdt_int8)
PTEX_WRITE_META_ARRAY(int16_t, Ptex::mdt_int16)
PTEX_WRITE_META_ARRAY(int32_t, Ptex::mdt_int32)
PTEX_WRITE_META_ARRAY(float, Ptex::mdt_float)
PTEX_WRITE_META_ARRAY(double, Ptex::mdt_double)
#undef PTEX_WRITE_META_ARRAY

void PtexWriterBase::writeMeta(PtexMetaData* data) {
    addMetaFrom(data, true);
}

void PtexWriterBase::copyMeta(PtexMetaData* data) {
    addMetaFrom(data, false);
}

void PtexWriterBase::addMetaFrom(PtexMetaData* data, bool counts) {
    if (!data) return;
    const int n = data->numKeys();
    for (int i = 0; i < n && _ok; i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        data->getKey(i, key, type);
        if (!key) continue;
        const void* value = nullptr;
        int count = 0;
        size_t elem = 1;
        switch (type) {
            case Ptex::mdt_string: {
                const char* s = nullptr;
                data->getValue(i, s);
                if (!s) continue;
                if (!checkMeta(key, 1)) return;
                storeMeta(key, type, s, strlen(s) + 1, counts);
                continue;
            }
            case Ptex::mdt_int8: {
                const int8_t* v = nullptr;
                data->getValue(i, v, count);
                value = v;
                elem = sizeof(int8_t);
                break;
            }
            case Ptex::mdt_int16: {
                const int16_t* v = nullptr;
                data->getValue(i, v, count);
                value = v;
                elem = sizeof(int16_t);
                break;
            }
            case Ptex::mdt_int32: {
                const int32_t* v = nullptr;
                data->getValue(i, v, count);
                value = v;
                elem = sizeof(int32_t);
                break;
            }
            case Ptex::mdt_float: {
                const float* v = nullptr;
                data->getValue(i, v, count);
                value = v;
                elem = sizeof(float);
                break;
            }
            case Ptex::mdt_double: {
                const double* v = nullptr;
                data->getValue(i, v, count);
                value = v;
                elem = sizeof(double);
                break;
            }
            default:
                continue;  // unknown entry types cannot be written back
        }
        if (!value || count <= 0) continue;  // an empty entry cannot be stored
        if (!checkMeta(key, count)) return;
        storeMeta(key, type, value, size_t(count) * elem, counts);
    }
}

bool PtexWriterBase::checkFace(int faceid, const Ptex::FaceInfo& info) {
    if (!_ok) return false;
    if (faceid < 0 || faceid >= _nfaces) {
        setError("PtexWriter error: faceid out of range");
        return false;
    }
    const Ptex::Res res = info.res;
    // Rows are addressed with int strides and texel counts with int, so a face
    // must stay below 2^31 texels and 2^31 bytes per row.
    if (res.ulog2 < 0 || res.vlog2 < 0 || res.ulog2 + res.vlog2 > 30 ||
        (uint64_t(1) << res.ulog2) * uint64_t(_pixelSize) > uint64_t(INT_MAX)) {
        setError("PtexWriter error: Invalid face res");
        return false;
    }
    if (_mt == Ptex::mt_triangle && res.ulog2 != res.vlog2) {
        setError("PtexWriter error: asymmetric face res not supported for triangle textures");
        return false;
    }
    return true;
}

Ptex::FaceInfo PtexWriterBase::storedInfo(const Ptex::FaceInfo& info, bool constant) const {
    Ptex::FaceInfo f = info;
    if (_mt == Ptex::mt_triangle) {
        f.flags = 0;
        f.adjfaces[3] = -1;
        f.adjedges &= 0x3f;
    } else {
        f.flags &= Ptex::FaceInfo::flag_subface;
    }
    if (constant) f.flags |= Ptex::FaceInfo::flag_constant;
    return f;
}

const uint8_t* PtexWriterBase::packed(const void* data, int stride, Ptex::Res res,
                                      ByteBuffer& storage) const {
    const int rowBytes = res.u() * _pixelSize;
    if (stride == 0 || stride == rowBytes) return static_cast<const uint8_t*>(data);
    storage.resize(size_t(rowBytes) * res.v());
    PtexUtils::copy(data, stride, storage.data(), rowBytes, res.v(), rowBytes);
    return storage.data();
}

const uint8_t* PtexWriterBase::premultiplied(const uint8_t* data, size_t npixels,
                                             ByteBuffer& storage) const {
    if (!hasAlpha()) return data;
    storage.assign(data, data + npixels * _pixelSize);
    PtexUtils::multalpha(storage.data(), int(npixels), _dt, _nchannels, _alphachan);
    return storage.data();
}

void PtexWriterBase::averagePixel(const uint8_t* premult, Ptex::Res res, uint8_t* pixel) const {
    PtexUtils::average(premult, res.u() * _pixelSize, res.u(), res.v(), pixel, _dt, _nchannels);
    if (hasAlpha()) PtexUtils::divalpha(pixel, 1, _dt, _nchannels, _alphachan);
}

}  // namespace PtexWriterInternal
