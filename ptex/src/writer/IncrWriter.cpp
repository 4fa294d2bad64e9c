// Incremental writer (see IncrWriter.h).
#include "IncrWriter.h"

#include <cerrno>
#include <cstring>

#include "PtexUtils.h"
#include "WriterFaceBlock.h"
#include "WriterZip.h"

namespace PtexWriterInternal {
namespace {

// Edit blocks are stored uncompressed (zlib level 0): appending stays cheap.
constexpr int editZipLevel = 0;

}  // namespace

PtexIncrWriter::PtexIncrWriter(const char* path, FILE* fp, Ptex::MeshType mt, Ptex::DataType dt,
                               int nchannels, int alphachan, int nfaces)
    : PtexWriterBase(path, mt, dt, nchannels, alphachan, nfaces), _fp(fp) {
    PtexIO::Header header;
    if (fseeko(_fp, 0, SEEK_SET) != 0 || fread(&header, sizeof(header), 1, _fp) != 1 ||
        header.magic != PtexIO::Magic) {
        setError("Not a ptex file: " + _path);
        return;
    }
    if (header.version != PtexFileMajorVersion) {
        setError("Unsupported ptex file version (" + std::to_string(header.version) +
                 "): " + _path);
        return;
    }
    if (header.meshtype != uint32_t(mt) || header.datatype != uint32_t(dt) ||
        header.nchannels != nchannels || header.alphachan != alphachan ||
        header.nfaces != uint32_t(nfaces)) {
        setError(
            "PtexWriter::edit error: header doesn't match existing file, conversions not currently "
            "supported");
        return;
    }
    _extheadersize = header.extheadersize;
    const size_t extsize =
        _extheadersize < sizeof(_extheader) ? _extheadersize : sizeof(_extheader);
    if (extsize && fread(&_extheader, extsize, 1, _fp) != 1) {
        setError("PtexReader error: read failed (EOF)");
        return;
    }
    _sectionsEnd = uint64_t(PtexIO::HeaderSize) + header.extheadersize + header.faceinfosize +
                   header.constdatasize + header.levelinfosize + header.leveldatasize +
                   header.metadatazipsize + PtexIO::BarrierSize + _extheader.lmdheaderzipsize +
                   _extheader.lmddatasize;
}

PtexIncrWriter::~PtexIncrWriter() {
    if (_fp) fclose(_fp);
}

bool PtexIncrWriter::appendEdit(uint8_t edittype, const ByteBuffer& payload) {
    if (fseeko(_fp, 0, SEEK_END) != 0) {
        setError("PtexWriter error: file write failed");
        return false;
    }
    // A file that ends where its edits would start, minus the barrier, lacks the
    // barrier: write it so the edits sit where the section sizes place them.
    const uint64_t end = uint64_t(ftello(_fp));
    if (_extheader.editdatapos > 0 && end == _extheader.editdatapos && end < _sectionsEnd &&
        _sectionsEnd - end <= uint64_t(PtexIO::BarrierSize)) {
        const uint8_t barrier[PtexIO::BarrierSize] = {};
        if (fwrite(barrier, size_t(_sectionsEnd - end), 1, _fp) != 1) {
            setError("PtexWriter error: file write failed");
            return false;
        }
        _extheader.editdatapos = _sectionsEnd;
    }
    ByteBuffer head;
    putU8(head, edittype);
    putU32(head, uint32_t(payload.size()));
    if (fwrite(head.data(), head.size(), 1, _fp) != 1 ||
        (payload.size() && fwrite(payload.data(), payload.size(), 1, _fp) != 1)) {
        setError("PtexWriter error: file write failed");
        return false;
    }
    return true;
}

bool PtexIncrWriter::writeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* data) {
    if (!checkFace(faceid, info)) return false;
    if (!data) {
        setError("PtexWriter error: null face data");
        return false;
    }
    PtexIO::EditFaceDataHeader edit;
    edit.faceid = uint32_t(faceid);
    edit.faceinfo = storedInfo(info, true);
    edit.fdh = PtexIO::FaceDataHeader();
    ByteBuffer payload;
    putBytes(payload, &edit, sizeof(edit));
    putBytes(payload, data, _pixelSize);
    if (!appendEdit(PtexIO::et_editfacedata, payload)) return false;
    _hasNewData = true;
    return true;
}

bool PtexIncrWriter::writeFace(int faceid, const Ptex::FaceInfo& info, const void* data,
                               int stride) {
    if (!checkFace(faceid, info)) return false;
    if (!data) {
        setError("PtexWriter error: null face data");
        return false;
    }
    const Ptex::Res res = info.res;
    if (stride == 0) stride = res.u() * _pixelSize;
    if (PtexUtils::isConstant(data, stride, res.u(), res.v(), _pixelSize))
        return writeConstantFace(faceid, info, data);

    ByteBuffer packedStorage, premultStorage;
    const uint8_t* pixels = packed(data, stride, res, packedStorage);
    ByteBuffer constPixel(_pixelSize);
    averagePixel(premultiplied(pixels, size_t(res.size()), premultStorage), res, constPixel.data());

    PtexIO::EditFaceDataHeader edit;
    edit.faceid = uint32_t(faceid);
    edit.faceinfo = storedInfo(info, false);
    ByteBuffer block;
    std::string error;
    if (!encodeFaceBlock(pixels, res, _dt, _nchannels, editZipLevel, block, edit.fdh, error)) {
        setError(error);
        return false;
    }
    ByteBuffer payload;
    payload.reserve(sizeof(edit) + _pixelSize + block.size());
    putBytes(payload, &edit, sizeof(edit));
    putBytes(payload, constPixel.data(), constPixel.size());
    putBytes(payload, block.data(), block.size());
    if (!appendEdit(PtexIO::et_editfacedata, payload)) return false;
    _hasNewData = true;
    return true;
}

void PtexIncrWriter::finish() {
    if (!_meta.empty()) {
        const ByteBuffer records = _meta.smallRecords(true);
        ByteBuffer payload;
        putU32(payload, 0);  // zip size, patched below
        putU32(payload, uint32_t(records.size()));
        if (!zipAppend(records.data(), records.size(), editZipLevel, payload)) {
            setError("PtexWriter error: data compression internal error");
            return;
        }
        patchU32(payload, 0, uint32_t(payload.size() - PtexIO::EditMetaDataHeaderSize));
        if (!appendEdit(PtexIO::et_editmetadata, payload)) return;
    }
    if (fseeko(_fp, 0, SEEK_END) != 0) {
        setError("PtexWriter error: file write failed");
        return;
    }
    const uint64_t end = uint64_t(ftello(_fp));
    if (_extheader.editdatapos > 0 && end >= _extheader.editdatapos)
        _extheader.editdatasize = end - _extheader.editdatapos;
    const size_t extsize =
        _extheadersize < sizeof(_extheader) ? _extheadersize : sizeof(_extheader);
    if (fseeko(_fp, PtexIO::HeaderSize, SEEK_SET) != 0 ||
        (extsize && fwrite(&_extheader, extsize, 1, _fp) != 1)) {
        setError("PtexWriter error: file write failed");
        return;
    }
    FILE* fp = _fp;
    _fp = nullptr;
    if (fclose(fp) != 0) setError("PtexWriter error: file write failed");
}

}  // namespace PtexWriterInternal
