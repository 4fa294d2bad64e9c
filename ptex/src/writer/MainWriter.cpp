// Writer of a complete Ptex file (see MainWriter.h).
#include "MainWriter.h"

#include <unistd.h>
#include <zlib.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "PtexUtils.h"
#include "WriterFaceBlock.h"
#include "WriterNeighborhood.h"
#include "WriterZip.h"

namespace PtexWriterInternal {
namespace {

struct FileCloser {
    void operator()(FILE* fp) const {
        if (fp) fclose(fp);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

std::string fileError(const char* message, const std::string& path) {
    return std::string(message) + path + "\n" + strerror(errno);
}

}  // namespace

PtexMainWriter::PtexMainWriter(const char* path, PtexTexture* reader, Ptex::MeshType mt,
                               Ptex::DataType dt, int nchannels, int alphachan, int nfaces,
                               bool genmipmaps)
    : PtexWriterBase(path, mt, dt, nchannels, alphachan, nfaces),
      _reader(reader),
      _genmipmaps(genmipmaps),
      _faceinfo(size_t(nfaces)),
      _written(size_t(nfaces), 0),
      _constdata(size_t(nfaces) * _pixelSize, 0),
      _blocks(size_t(nfaces)) {
    std::string error;
    if (!_tmp.create(error)) {
        setError(error);
        return;
    }
    if (_reader) {
        // Everything not rewritten is kept from the old file.
        _extheader.ubordermode = uint16_t(_reader->uBorderMode());
        _extheader.vbordermode = uint16_t(_reader->vBorderMode());
        _extheader.edgefiltermode = uint16_t(_reader->edgeFilterMode());
        copyMeta(_reader->getMetaData());
    }
}

PtexMainWriter::~PtexMainWriter() {
    if (_reader) _reader->release();
}

bool PtexMainWriter::writeFace(int faceid, const Ptex::FaceInfo& info, const void* data,
                               int stride) {
    if (!storeFace(faceid, info, data, stride)) return false;
    _hasNewData = true;
    return true;
}

bool PtexMainWriter::writeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* data) {
    if (!storeConstantFace(faceid, info, data)) return false;
    _hasNewData = true;
    return true;
}

bool PtexMainWriter::storeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* pixel) {
    if (!checkFace(faceid, info)) return false;
    if (!pixel) {
        setError("PtexWriter error: null face data");
        return false;
    }
    _faceinfo[faceid] = storedInfo(info, true);
    std::memcpy(&_constdata[size_t(faceid) * _pixelSize], pixel, _pixelSize);
    _blocks[faceid].clear();
    _written[faceid] = 1;
    return true;
}

bool PtexMainWriter::storeBlock(const uint8_t* data, Ptex::Res res, std::vector<BlockRef>& levels) {
    ByteBuffer block;
    BlockRef ref;
    std::string error;
    if (!encodeFaceBlock(data, res, _dt, _nchannels, Z_DEFAULT_COMPRESSION, block, ref.fdh,
                         error)) {
        setError(error);
        return false;
    }
    if (!_tmp.append(block.data(), block.size(), ref.offset)) {
        setError("PtexWriter error: file write failed");
        return false;
    }
    levels.push_back(ref);
    return true;
}

bool PtexMainWriter::storeFace(int faceid, const Ptex::FaceInfo& info, const void* data,
                               int stride) {
    if (!checkFace(faceid, info)) return false;
    if (!data) {
        setError("PtexWriter error: null face data");
        return false;
    }
    Ptex::Res res = info.res;
    const int rowBytes = res.u() * _pixelSize;
    if (stride == 0) stride = rowBytes;
    if (PtexUtils::isConstant(data, stride, res.u(), res.v(), _pixelSize))
        return storeConstantFace(faceid, info, data);

    ByteBuffer packedStorage, premultStorage;
    const uint8_t* level0 = packed(data, stride, res, packedStorage);
    std::vector<BlockRef> levels;
    if (!storeBlock(level0, res, levels)) return false;

    // Reductions come from premultiplied data; the face belongs to level i while
    // its smaller side still has more than 4 texels before reducing.
    const uint8_t* current = premultiplied(level0, size_t(res.size()), premultStorage);
    ByteBuffer reduced[2];
    int which = 0;
    while (_genmipmaps && res.ulog2 > 2 && res.vlog2 > 2) {
        const Ptex::Res next(int8_t(res.ulog2 - 1), int8_t(res.vlog2 - 1));
        ByteBuffer& dst = reduced[which];
        dst.resize(size_t(next.size()) * _pixelSize);
        if (_mt == Ptex::mt_triangle)
            PtexUtils::reduceTri(current, res.u() * _pixelSize, res.u(), res.v(), dst.data(),
                                 next.u() * _pixelSize, _dt, _nchannels);
        else
            PtexUtils::reduce(current, res.u() * _pixelSize, res.u(), res.v(), dst.data(),
                              next.u() * _pixelSize, _dt, _nchannels);
        if (!storeBlock(dst.data(), next, levels)) return false;
        current = dst.data();
        res = next;
        which ^= 1;
    }

    averagePixel(current, res, &_constdata[size_t(faceid) * _pixelSize]);
    _faceinfo[faceid] = storedInfo(info, false);
    _blocks[faceid] = std::move(levels);
    _written[faceid] = 1;
    return true;
}

void PtexMainWriter::copyUnwrittenFaces() {
    ByteBuffer buffer;
    for (int f = 0; f < _nfaces && !failed(); f++) {
        if (_written[f]) continue;
        const Ptex::FaceInfo& info = _reader->getFaceInfo(f);
        if (info.isConstant()) {
            PtexFaceData* data = _reader->getData(f);
            if (data) {
                storeConstantFace(f, info, data->getData());
                data->release();
            }
        } else {
            buffer.resize(size_t(info.res.size()) * _pixelSize);
            _reader->getData(f, buffer.data(), 0);
            storeFace(f, info, buffer.data(), 0);
        }
    }
}

void PtexMainWriter::finish() {
    if (!_hasNewData) return;  // nothing written: no file is produced
    if (_reader) {
        copyUnwrittenFaces();
        _reader->release();
        _reader = nullptr;
        if (failed()) return;
    }
    for (int f = 0; f < _nfaces; f++) {
        if (_written[f]) continue;
        _faceinfo[f] = Ptex::FaceInfo();
        _faceinfo[f].flags = Ptex::FaceInfo::flag_constant;
    }
    markConstantNeighborhoods(
        _faceinfo, _constdata.data(), _pixelSize, _mt == Ptex::mt_triangle,
        _extheader.ubordermode == Ptex::m_clamp && _extheader.vbordermode == Ptex::m_clamp);

    const std::string newpath = _path + ".new";
    if (!writeFile(newpath)) {
        unlink(newpath.c_str());
        return;
    }
    // Replace the old file.
    if (unlink(_path.c_str()) != 0 && errno != ENOENT) {
        setError(fileError("Can't write to ptex file: ", _path));
        unlink(newpath.c_str());
        return;
    }
    if (rename(newpath.c_str(), _path.c_str()) != 0) {
        setError(fileError("Can't write to ptex file: ", _path));
        unlink(newpath.c_str());
    }
}

bool PtexMainWriter::writeFile(const std::string& newpath) {
    const int level = Z_DEFAULT_COMPRESSION;
    const char* zipError = "PtexWriter error: data compression internal error";

    // Reduction order and level membership.
    std::vector<uint32_t> faceids(static_cast<size_t>(_nfaces));
    PtexUtils::genRfaceids(_faceinfo.data(), _nfaces, nullptr, faceids.data());
    size_t nlevels = 1;
    for (int f = 0; f < _nfaces; f++)
        if (_blocks[f].size() > nlevels) nlevels = _blocks[f].size();
    std::vector<std::vector<uint32_t>> levelFaces(nlevels);
    for (int f = 0; f < _nfaces; f++) levelFaces[0].push_back(uint32_t(f));
    for (size_t i = 1; i < nlevels; i++)
        for (uint32_t f : faceids) {
            if (_blocks[f].size() <= i) break;  // the level holds a prefix of the order
            levelFaces[i].push_back(f);
        }

    ByteBuffer faceinfoZip, constZip;
    if (!zipAppend(_faceinfo.data(), _faceinfo.size() * sizeof(Ptex::FaceInfo), level,
                   faceinfoZip) ||
        !zipAppend(_constdata.data(), _constdata.size(), level, constZip)) {
        setError(zipError);
        return false;
    }

    std::vector<PtexIO::LevelInfo> levelInfo(nlevels);
    std::vector<ByteBuffer> levelHeaders(nlevels);
    uint64_t levelDataSize = 0;
    for (size_t i = 0; i < nlevels; i++) {
        std::vector<PtexIO::FaceDataHeader> words;
        uint64_t blocks = 0;
        for (uint32_t f : levelFaces[i]) {
            PtexIO::FaceDataHeader fdh;  // constant faces: size 0, enc_constant
            if (i < _blocks[f].size()) fdh = _blocks[f][i].fdh;
            words.push_back(fdh);
            blocks += fdh.blocksize();
        }
        if (!zipAppend(words.data(), words.size() * sizeof(PtexIO::FaceDataHeader), level,
                       levelHeaders[i])) {
            setError(zipError);
            return false;
        }
        levelInfo[i].leveldatasize = levelHeaders[i].size() + blocks;
        levelInfo[i].levelheadersize = uint32_t(levelHeaders[i].size());
        levelInfo[i].nfaces = uint32_t(levelFaces[i].size());
        levelDataSize += levelInfo[i].leveldatasize;
    }

    // Metadata: small entries in one stream, large ones one stream each.
    ByteBuffer metaZip, lmdHeader, lmdHeaderZip;
    const ByteBuffer smallRecords = _meta.smallRecords(false);
    if (!smallRecords.empty() &&
        !zipAppend(smallRecords.data(), smallRecords.size(), level, metaZip)) {
        setError(zipError);
        return false;
    }
    std::vector<ByteBuffer> lmdData;
    uint64_t lmdDataSize = 0;
    for (const MetaEntry* e : _meta.largeEntries()) {
        lmdData.emplace_back();
        if (!zipAppend(e->data.data(), e->data.size(), level, lmdData.back())) {
            setError(zipError);
            return false;
        }
        MetaStore::putRecordHead(lmdHeader, *e);
        putU32(lmdHeader, uint32_t(lmdData.back().size()));
        lmdDataSize += lmdData.back().size();
    }
    if (!lmdHeader.empty() && !zipAppend(lmdHeader.data(), lmdHeader.size(), level, lmdHeaderZip)) {
        setError(zipError);
        return false;
    }

    PtexIO::Header header;
    std::memset(&header, 0, sizeof(header));
    header.magic = PtexIO::Magic;
    header.version = PtexFileMajorVersion;
    header.meshtype = uint32_t(_mt);
    header.datatype = uint32_t(_dt);
    header.alphachan = _alphachan;
    header.nchannels = uint16_t(_nchannels);
    header.nlevels = uint16_t(nlevels);
    header.nfaces = uint32_t(_nfaces);
    header.extheadersize = PtexIO::ExtHeaderSize;
    header.faceinfosize = uint32_t(faceinfoZip.size());
    header.constdatasize = uint32_t(constZip.size());
    header.levelinfosize = uint32_t(PtexIO::LevelInfoSize * nlevels);
    header.minorversion = PtexFileMinorVersion;
    header.leveldatasize = levelDataSize;
    header.metadatazipsize = uint32_t(metaZip.size());
    header.metadatamemsize = uint32_t(smallRecords.size());

    PtexIO::ExtHeader ext = _extheader;
    ext.pad = 0;
    ext.lmdheaderzipsize = uint32_t(lmdHeaderZip.size());
    ext.lmdheadermemsize = uint32_t(lmdHeader.size());
    ext.lmddatasize = lmdDataSize;
    ext.editdatasize = 0;
    // Like the common writer, a file without metadata ends after its level data, barrier
    // excluded; an incremental writer adds the barrier before its first edit.
    const bool hasMeta = !smallRecords.empty() || !lmdData.empty();
    const size_t barrierSize = hasMeta ? PtexIO::BarrierSize : 0;
    ext.editdatapos = uint64_t(PtexIO::HeaderSize) + PtexIO::ExtHeaderSize + faceinfoZip.size() +
                      constZip.size() + header.levelinfosize + levelDataSize + metaZip.size() +
                      barrierSize + lmdHeaderZip.size() + lmdDataSize;

    FilePtr fp(fopen(newpath.c_str(), "wb"));
    if (!fp) {
        setError(fileError("Can't write to ptex file: ", newpath));
        return false;
    }
    bool good = true;
    auto put = [&](const void* data, size_t size) {
        if (good && size && fwrite(data, size, 1, fp.get()) != 1) good = false;
    };
    put(&header, sizeof(header));
    put(&ext, sizeof(ext));
    put(faceinfoZip.data(), faceinfoZip.size());
    put(constZip.data(), constZip.size());
    put(levelInfo.data(), levelInfo.size() * sizeof(PtexIO::LevelInfo));
    ByteBuffer block;
    for (size_t i = 0; i < nlevels && good; i++) {
        put(levelHeaders[i].data(), levelHeaders[i].size());
        for (uint32_t f : levelFaces[i]) {
            if (i >= _blocks[f].size()) continue;
            const BlockRef& ref = _blocks[f][i];
            block.resize(ref.fdh.blocksize());
            if (!_tmp.readAt(ref.offset, block.data(), block.size())) {
                setError("PtexWriter error: temp file read failed");
                return false;
            }
            put(block.data(), block.size());
        }
    }
    put(metaZip.data(), metaZip.size());
    const uint8_t barrier[PtexIO::BarrierSize] = {};
    put(barrier, barrierSize);
    put(lmdHeaderZip.data(), lmdHeaderZip.size());
    for (const ByteBuffer& d : lmdData) put(d.data(), d.size());
    if (!good || fflush(fp.get()) != 0 || fclose(fp.release()) != 0) {
        setError("PtexWriter error: file write failed");
        return false;
    }
    return true;
}

}  // namespace PtexWriterInternal
