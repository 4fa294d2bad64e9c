// Text report of an open Ptex texture (see PtexInfoPrinter.h).
#include "PtexInfoPrinter.h"

#include <cstring>
#include <string>
#include <vector>

#include "PtexHalf.h"

namespace PtexInfo {
namespace {

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint64_t le64(const unsigned char* p) {
    return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32;
}

std::string flagNames(uint8_t flags) {
    std::string s;
    auto add = [&](const char* name) {
        if (!s.empty()) s += ",";
        s += name;
    };
    if (flags & Ptex::FaceInfo::flag_constant) add("constant");
    if (flags & Ptex::FaceInfo::flag_hasedits) add("hasedits");
    if (flags & Ptex::FaceInfo::flag_nbconstant) add("nbconstant");
    if (flags & Ptex::FaceInfo::flag_subface) add("subface");
    return s.empty() ? "-" : s;
}

template <typename T>
void printArray(FILE* out, const T* values, int count, bool allValues, const char* fmt) {
    const int shown = (allValues || count <= 16) ? count : 16;
    for (int i = 0; i < shown; i++) {
        fputc(' ', out);
        fprintf(out, fmt, values[i]);
    }
    if (shown < count) fprintf(out, " ... (%d more)", count - shown);
}

// Calls fn(values, count) with the typed values of array entry `index`; false
// (fn not called) for strings and unknown types.
template <typename T, class Fn>
void withValues(PtexMetaData* meta, int index, Fn& fn) {
    const T* v = nullptr;
    int count = 0;
    meta->getValue(index, v, count);
    fn(v, v ? count : 0);
}

template <class Fn>
bool withArray(PtexMetaData* meta, int index, Ptex::MetaDataType type, Fn fn) {
    switch (type) {
        case Ptex::mdt_int8:
            withValues<int8_t>(meta, index, fn);
            return true;
        case Ptex::mdt_int16:
            withValues<int16_t>(meta, index, fn);
            return true;
        case Ptex::mdt_int32:
            withValues<int32_t>(meta, index, fn);
            return true;
        case Ptex::mdt_float:
            withValues<float>(meta, index, fn);
            return true;
        case Ptex::mdt_double:
            withValues<double>(meta, index, fn);
            return true;
        default:
            return false;
    }
}

void printSample(FILE* out, const uint8_t* p, Ptex::DataType dt) {
    switch (dt) {
        case Ptex::dt_uint8:
            fprintf(out, "%u", unsigned(*p));
            break;
        case Ptex::dt_uint16: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            fprintf(out, "%u", unsigned(v));
            break;
        }
        case Ptex::dt_half: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            fprintf(out, "%.9g", double(PtexHalf::toFloat(v)));
            break;
        }
        case Ptex::dt_float: {
            float v;
            std::memcpy(&v, p, 4);
            fprintf(out, "%.9g", double(v));
            break;
        }
    }
}

// Faces this tool refuses to expand (a damaged face info can claim any res).
bool tooLarge(Ptex::Res res, int pixel) {
    return res.ulog2 < 0 || res.vlog2 < 0 || res.ulog2 + res.vlog2 > 28 ||
           (uint64_t(1) << (res.ulog2 + res.vlog2)) * uint64_t(pixel) > (uint64_t(1) << 31);
}

}  // namespace

uint64_t RawLayout::requiredSize() const {
    uint64_t end = 64 + uint64_t(extHeaderSize) + faceInfoSize + constDataSize + levelInfoSize +
                   levelDataSize + metaZipSize;
    if (metaZipSize || lmdHeaderZipSize || lmdDataSize)
        end += 8 + uint64_t(lmdHeaderZipSize) + lmdDataSize;
    return end;
}

RawLayout readRawLayout(const char* path) {
    RawLayout l;
    FILE* fp = fopen(path, "rb");
    if (!fp) return l;
    unsigned char h[104] = {};
    const size_t n = fread(h, 1, sizeof(h), fp);
    if (fseek(fp, 0, SEEK_END) == 0) l.fileSize = uint64_t(ftell(fp));
    fclose(fp);
    if (n < 64) return l;
    l.version = le32(h + 4);
    l.nlevels = le16(h + 22);
    l.extHeaderSize = le32(h + 28);
    l.faceInfoSize = le32(h + 32);
    l.constDataSize = le32(h + 36);
    l.levelInfoSize = le32(h + 40);
    l.minorVersion = le32(h + 44);
    l.levelDataSize = le64(h + 48);
    l.metaZipSize = le32(h + 56);
    l.metaMemSize = le32(h + 60);
    // Extended header fields exist only as far as the file says it is long.
    const size_t ext = std::min<size_t>(l.extHeaderSize, n - 64);
    unsigned char e[40] = {};
    std::memcpy(e, h + 64, std::min<size_t>(ext, 40));
    l.lmdHeaderZipSize = le32(e + 8);
    l.lmdHeaderMemSize = le32(e + 12);
    l.lmdDataSize = le64(e + 16);
    l.editDataSize = le64(e + 24);
    l.editDataPos = le64(e + 32);
    l.valid = true;
    return l;
}

void printHeader(FILE* out, PtexTexture* tex, const RawLayout& layout) {
    fprintf(out, "meshType: %s\n", Ptex::MeshTypeName(tex->meshType()));
    fprintf(out, "dataType: %s\n", Ptex::DataTypeName(tex->dataType()));
    fprintf(out, "numChannels: %d\n", tex->numChannels());
    if (tex->alphaChannel() >= 0 && tex->alphaChannel() < tex->numChannels())
        fprintf(out, "alphaChannel: %d\n", tex->alphaChannel());
    else
        fprintf(out, "alphaChannel: (none)\n");
    fprintf(out, "numFaces: %d\n", tex->numFaces());
    fprintf(out, "hasMipMaps: %s\n", tex->hasMipMaps() ? "true" : "false");
    fprintf(out, "hasEdits: %s\n", tex->hasEdits() ? "true" : "false");
    fprintf(out, "uBorderMode: %s\n", Ptex::BorderModeName(tex->uBorderMode()));
    fprintf(out, "vBorderMode: %s\n", Ptex::BorderModeName(tex->vBorderMode()));
    fprintf(out, "edgeFilterMode: %s\n", Ptex::EdgeFilterModeName(tex->edgeFilterMode()));
    PtexMetaData* meta = tex->getMetaData();
    fprintf(out, "numMetaKeys: %d\n", meta ? meta->numKeys() : 0);
    if (meta) meta->release();
    if (!layout.valid) return;
    fprintf(out, "fileVersion: %u.%u\n", layout.version, layout.minorVersion);
    fprintf(out, "fileSize: %llu\n", (unsigned long long)layout.fileSize);
    fprintf(out, "numLevels: %u\n", layout.nlevels);
    fprintf(out, "extHeaderSize: %u\n", layout.extHeaderSize);
    fprintf(out, "faceInfoSize: %u\n", layout.faceInfoSize);
    fprintf(out, "constDataSize: %u\n", layout.constDataSize);
    fprintf(out, "levelInfoSize: %u\n", layout.levelInfoSize);
    fprintf(out, "levelDataSize: %llu\n", (unsigned long long)layout.levelDataSize);
    fprintf(out, "metaDataSize: %u (%u uncompressed)\n", layout.metaZipSize, layout.metaMemSize);
    fprintf(out, "largeMetaHeaderSize: %u (%u uncompressed)\n", layout.lmdHeaderZipSize,
            layout.lmdHeaderMemSize);
    fprintf(out, "largeMetaDataSize: %llu\n", (unsigned long long)layout.lmdDataSize);
    fprintf(out, "editDataPos: %llu\n", (unsigned long long)layout.editDataPos);
    fprintf(out, "editDataSize: %llu\n", (unsigned long long)layout.editDataSize);
}

void printFaces(FILE* out, PtexTexture* tex) {
    const bool tri = tex->meshType() == Ptex::mt_triangle;
    const int nedges = tri ? 3 : 4;
    fprintf(out, "faces:\n");
    for (int f = 0; f < tex->numFaces(); f++) {
        const Ptex::FaceInfo& info = tex->getFaceInfo(f);
        fprintf(out, "  face %d: res %d %d (%d x %d)  adjfaces", f, info.res.ulog2, info.res.vlog2,
                info.res.u(), info.res.v());
        for (int e = 0; e < nedges; e++) fprintf(out, " %d", info.adjface(e));
        fprintf(out, "  adjedges");
        for (int e = 0; e < nedges; e++) fprintf(out, " %d", int(info.adjedge(e)));
        fprintf(out, "  flags %s\n", flagNames(info.flags).c_str());
    }
}

void printMeta(FILE* out, PtexTexture* tex, bool allValues) {
    PtexMetaData* meta = tex->getMetaData();
    if (!meta) return;
    const int n = meta->numKeys();
    fprintf(out, "metadata: %d keys\n", n);
    for (int i = 0; i < n; i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        meta->getKey(i, key, type);
        if (!key) continue;
        fprintf(out, "  %s (%s", key, Ptex::MetaDataTypeName(type));
        if (type == Ptex::mdt_string) {
            const char* s = nullptr;
            meta->getValue(i, s);
            const std::string text = s ? s : "";
            if (allValues || text.size() <= 120)
                fprintf(out, "): \"%s\"\n", text.c_str());
            else
                fprintf(out, "): \"%s\" ... (%zu bytes)\n", text.substr(0, 120).c_str(),
                        text.size());
            continue;
        }
        // floats reach printf as doubles: their values print as they did through a double
        const char* fmt = type == Ptex::mdt_float    ? "%.9g"
                          : type == Ptex::mdt_double ? "%.17g"
                                                     : "%d";
        const bool known = withArray(meta, i, type, [&](const auto* v, int count) {
            fprintf(out, "[%d]):", count);
            printArray(out, v, count, allValues, fmt);
        });
        if (!known) fprintf(out, "):");
        fputc('\n', out);
    }
    meta->release();
}

bool printTexels(FILE* out, FILE* err, PtexTexture* tex, int faceid, int level) {
    if (faceid < 0 || faceid >= tex->numFaces()) {
        fprintf(err, "ptex-info: face %d out of range (file has %d faces)\n", faceid,
                tex->numFaces());
        return false;
    }
    const Ptex::FaceInfo& info = tex->getFaceInfo(faceid);
    if (level < 0 || (level > info.res.ulog2 && level > info.res.vlog2)) {
        fprintf(err, "ptex-info: level %d out of range for face %d (res %d x %d)\n", level, faceid,
                info.res.u(), info.res.v());
        return false;
    }
    const int ul = info.res.ulog2 - level, vl = info.res.vlog2 - level;
    const Ptex::Res res(int8_t(ul > 0 ? ul : 0), int8_t(vl > 0 ? vl : 0));
    if (tex->meshType() == Ptex::mt_triangle && res.ulog2 != res.vlog2) {
        fprintf(err, "ptex-info: level %d out of range for triangle face %d\n", level, faceid);
        return false;
    }
    const Ptex::DataType dt = tex->dataType();
    const int nch = tex->numChannels(), sample = Ptex::DataSize(dt), pixel = sample * nch;
    if (tooLarge(res, pixel)) {
        fprintf(err, "ptex-info: face %d is too large to print (res %d %d)\n", faceid, res.ulog2,
                res.vlog2);
        return false;
    }
    std::vector<uint8_t> data(size_t(res.size()) * pixel);
    tex->getData(faceid, data.data(), 0, res);
    fprintf(out, "face %d level %d: res %d %d (%d x %d)\n", faceid, level, res.ulog2, res.vlog2,
            res.u(), res.v());
    for (int v = 0; v < res.v(); v++) {
        for (int u = 0; u < res.u(); u++) {
            const uint8_t* p = &data[(size_t(v) * res.u() + u) * pixel];
            fprintf(out, "  (%d, %d):", u, v);
            for (int c = 0; c < nch; c++) {
                fputc(' ', out);
                printSample(out, p + c * sample, dt);
            }
            fputc('\n', out);
        }
    }
    return true;
}

bool checkAll(FILE* err, PtexTexture* tex) {
    bool ok = true;
    const int pixel = Ptex::DataSize(tex->dataType()) * tex->numChannels();
    std::vector<uint8_t> buffer;
    for (int f = 0; f < tex->numFaces(); f++) {
        Ptex::Res res = tex->getFaceInfo(f).res;
        if (tooLarge(res, pixel)) {
            fprintf(err, "ptex-info: face %d has an unreadable res (%d %d)\n", f, res.ulog2,
                    res.vlog2);
            ok = false;
            continue;
        }
        for (;;) {
            buffer.resize(size_t(res.size()) * pixel);
            tex->getData(f, buffer.data(), 0, res);
            if (res.ulog2 == 0 && res.vlog2 == 0) break;
            if (res.ulog2 > 0) res.ulog2--;
            if (res.vlog2 > 0) res.vlog2--;
            if (tex->meshType() == Ptex::mt_triangle && res.ulog2 != res.vlog2) break;
        }
    }
    PtexMetaData* meta = tex->getMetaData();
    if (!meta) return ok;
    for (int i = 0; i < meta->numKeys(); i++) {
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        meta->getKey(i, key, type);
        if (type == Ptex::mdt_string) {
            const char* s = nullptr;
            meta->getValue(i, s);
        } else {
            withArray(meta, i, type, [](const auto*, int) {});
        }
    }
    meta->release();
    return ok;
}

}  // namespace PtexInfo
