// PtexReader: opening and validating a file, lazy loading of levels, faces,
// tiles and metadata, dynamic reductions and the PtexTexture queries.
#include "PtexReader.h"

#include "PtexCacheImpl.h"
#include "PtexDefaultIO.h"
#include "PtexHalf.h"
#include "PtexInflate.h"
#include "PtexMetaDataImpl.h"
#include "PtexPlatform.h"
#include "PtexUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace PtexInternal {

namespace {

// Sanity limits on values read from a file (checked before any allocation).
constexpr int MaxResLog2 = 15;  // per side
constexpr uint32_t MaxFaces = 1u << 26;
constexpr int MaxLevels = 32;
constexpr size_t MaxBlockBytes = size_t(1) << 28;  // one inflated face, tile, header or value
constexpr size_t MaxTiles = size_t(1) << 20;
constexpr uint64_t MaxFilePos = uint64_t(1) << 62;

const char* const ErrReadFailed = "PtexReader error: read failed (EOF)";
const char* const ErrUnzipFailed = "PtexReader error: unzip failed, file corrupt";
const char* const ErrCorrupt = "PtexReader error: invalid data, file corrupt";

// Scratch buffers of the calling thread (compressed bytes and planar images).
std::vector<uint8_t>& scratchZip() {
    thread_local std::vector<uint8_t> buf;
    return buf;
}
std::vector<uint8_t>& scratchPlanar() {
    thread_local std::vector<uint8_t> buf;
    return buf;
}

bool addPos(uint64_t& p, uint64_t n) {
    if (n > MaxFilePos || p > MaxFilePos - n) return false;
    p += n;
    return true;
}

inline bool validFaceInfo(const Ptex::FaceInfo& f) {
    return f.res.ulog2 >= 0 && f.res.ulog2 <= MaxResLog2 && f.res.vlog2 >= 0 &&
           f.res.vlog2 <= MaxResLog2;
}

// Neighbours outside [-1, nfaces) become none; branch-free (nfaces < 2^26).
inline void clampNeighbours(Ptex::FaceInfo& f, uint32_t nfaces) {
    for (int e = 0; e < 4; e++)
        f.adjfaces[e] = uint32_t(f.adjfaces[e]) + 1u <= nfaces ? f.adjfaces[e] : -1;
}

const Ptex::FaceInfo& defaultFaceInfo() {
    static const Ptex::FaceInfo info;
    return info;
}

}  // namespace

// ---------------------------------------------------------------------------
// counters

void ReaderCounters::addMem(int64_t n) {
    uint64_t now = memUsed.fetch_add(uint64_t(n), std::memory_order_relaxed) + uint64_t(n);
    if (n > 0) {
        uint64_t peak = peakMemUsed.load(std::memory_order_relaxed);
        while (now > peak &&
               !peakMemUsed.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
        }
    }
}

void ReaderCounters::fileOpened() {
    uint64_t now = filesOpen.fetch_add(1, std::memory_order_relaxed) + 1;
    fileOpens.fetch_add(1, std::memory_order_relaxed);
    uint64_t peak = peakFilesOpen.load(std::memory_order_relaxed);
    while (now > peak &&
           !peakFilesOpen.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

// ---------------------------------------------------------------------------
// face data objects

OwnedConstantFace::OwnedConstantFace(const void* pixel, int pixelsize)
    : ConstantFace(pixelsize), _own(new uint8_t[size_t(pixelsize)]) {
    std::memcpy(_own.get(), pixel, size_t(pixelsize));
    _data = _own.get();
    _bytes = _data;
}

TiledFace::TiledFace(PtexReader* reader, Ptex::Res res, Ptex::Res tileres, int pixelsize,
                     bool premultiply, std::vector<PtexIO::FaceDataHeader> fdh,
                     std::vector<uint64_t> offsets)
    : FaceData(pixelsize, kTiled, nullptr, res),
      _reader(reader),
      _res(res),
      _tileres(tileres),
      _ntilesu(res.ntilesu(tileres)),
      _ntiles(res.ntiles(tileres)),
      _premultiply(premultiply),
      _fdh(std::move(fdh)),
      _offsets(std::move(offsets)),
      _tiles(new std::atomic<FaceData*>[size_t(_ntiles)]) {
    for (int i = 0; i < _ntiles; i++) _tiles[size_t(i)].store(nullptr, std::memory_order_relaxed);
}

TiledFace::~TiledFace() {
    for (int i = 0; i < _ntiles; i++) delete _tiles[size_t(i)].load(std::memory_order_relaxed);
}

size_t TiledFace::memUsed() const {
    return sizeof(*this) + size_t(_ntiles) * (8 + 8 + 4);
}

FaceData* TiledFace::loadTile(int t) {
    return _reader->loadTile(this, t);
}

PtexFaceData* TiledFace::getTile(int t) {
    if (t < 0 || t >= _ntiles) return nullptr;
    return tile(t);
}

const void* TiledFace::pixel(int u, int v) {
    u &= _res.u() - 1;  // keep any request inside the face
    v &= _res.v() - 1;
    int tu = u >> _tileres.ulog2, tv = v >> _tileres.vlog2;
    FaceData* t = tile(tv * _ntilesu + tu);
    return t->pixel(u & (_tileres.u() - 1), v & (_tileres.v() - 1));
}

PtexReader::Level::~Level() {
    if (faces)
        for (size_t i = 0; i < nfaces; i++) delete faces[i].load(std::memory_order_relaxed);
}

PtexReader::ReductionTable::~ReductionTable() {
    for (size_t i = 0; i < count; i++) delete entries[i].load(std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// construction, open, prune, purge

PtexReader::PtexReader(PtexInputHandler* io, PtexErrorHandler* err, bool premultiply,
                       ReaderCounters* counters, ReaderCache* cache)
    : _io(io ? io : &DefaultInputHandler::instance()),
      _err(err),
      _premultiply(premultiply),
      _counters(counters),
      _cache(cache),
      _handles(cache ? &cache->handlePool() : nullptr) {
    if (!_counters) {
        _ownCounters = std::make_unique<ReaderCounters>();
        _counters = _ownCounters.get();
    }
}

PtexReader::~PtexReader() {
    purge();
}

void PtexReader::release() {
    if (_cache)
        _cache->releaseReader(this);
    else
        delete this;
}

void PtexReader::addMem(int64_t n) {
    _memUsed.fetch_add(n, std::memory_order_relaxed);
    _counters->addMem(n);
}

int64_t PtexReader::keptBytes() const {
    // the per-face tables made on first use are counted as if always there
    return int64_t(
        sizeof(*this) + _faceinfo.size() * (sizeof(Ptex::FaceInfo) + 4 + sizeof(ConstantFace) + 8) +
        _faceEdits.size() * sizeof(FaceEdit) + _constdata.size() + _levelinfo.size() * 24);
}

const uint32_t* PtexReader::rfaceids() {
    const size_t n = _faceinfo.size();
    return _rfaceids.make(
        n, [&](uint32_t* r) { PtexUtils::genRfaceids(_faceinfo.data(), int(n), r, nullptr); });
}

ConstantFace* PtexReader::constFaces() {
    const size_t n = _faceinfo.size();
    return _constFaces.make(n, [&](ConstantFace* c) {
        for (size_t i = 0; i < n; i++)
            c[i].set(_pixelsize, _constdata.data() + i * size_t(_pixelsize));
    });
}

std::atomic<PtexReader::ReductionTable*>* PtexReader::reductionSlots() {
    return _reductions.make(_faceinfo.size(),
                            [](std::atomic<ReductionTable*>*) {});  // null from the start
}

bool PtexReader::open(const char* path, Ptex::String& error) {
    std::lock_guard<std::mutex> lock(_readlock);
    if (_open) return true;
    _path = path ? path : "";
    _opening = true;
    _openError.clear();
    _ok.store(true, std::memory_order_release);

    bool ok = false;
    try {
        ok = readHeaderBlocks();
    } catch (...) {
        // a refused allocation: close the file as after any failed open
        _opening = false;
        closeFailedOpen();
        throw;
    }
    _opening = false;
    if (!ok) {
        error = _openError;
        closeFailedOpen();
        return false;
    }
    _open = true;
    return true;
}

void PtexReader::closeFailedOpen() {
    closeHandle();
    _faceinfo.clear();
    _constdata.clear();
    _rfaceids.reset();
    _constFaces.reset();
}

// One protocol throughout: a failed step returns false with the reason in
// _openError, either given here (failOpen) or recorded by the read helpers
// (setError while _opening).
bool PtexReader::readHeaderBlocks() {
    using namespace PtexIO;
    if (!PtexPlatform::littleEndian)
        return failOpen("Ptex library doesn't currently support big-endian cpu's");
    _hasEdits = false;
    _metaEdits.clear();
    _editBlocks.clear();
    if (_everOpened) _counters->fileReopens.fetch_add(1, std::memory_order_relaxed);
    if (!openHandle()) {
        const char* why = _io->lastError();
        return failOpen("Can't open ptex file: " + _path + "\n" + (why ? why : ""));
    }
    _everOpened = true;
    _haveStamp = _io->fileStamp(_fp, _stampSize, _stampTime);

    if (readFile(&_header, HeaderSize) != size_t(HeaderSize) || _header.magic != Magic) {
        _pos = -1;
        return failOpen("Not a ptex file: " + _path);
    }
    _pos = HeaderSize;
    if (_header.version != 1) {
        return failOpen("Unsupported ptex file version (" + std::to_string(_header.version) +
                        "): " + _path);
    }
    if (_header.meshtype > 1) {
        return failOpen("Invalid mesh type (" + std::to_string(_header.meshtype) + "): " + _path);
    }
    if (_header.datatype > 3) {
        return failOpen("Invalid data type (" + std::to_string(_header.datatype) + "): " + _path);
    }
    if (_header.nchannels == 0) {
        return failOpen("Invalid number of channels (0): " + _path);
    }
    if (_header.nfaces > MaxFaces) {
        return failOpen("Invalid number of faces (" + std::to_string(_header.nfaces) +
                        "): " + _path);
    }
    if (_header.nlevels == 0 || _header.nlevels > MaxLevels) {
        return failOpen("Invalid number of levels (" + std::to_string(_header.nlevels) +
                        "): " + _path);
    }
    _pixelsize = _header.pixelSize();
    std::memcpy(_rawHeader, &_header, HeaderSize);

    // extended header: min(40, size) bytes into a zeroed record
    std::memset(&_extheader, 0, sizeof(_extheader));
    size_t extsize = std::min<size_t>(_header.extheadersize, ExtHeaderSize);
    if (extsize && !readBytes(HeaderSize, &_extheader, extsize))
        return false;  // recorded by readBytes
    std::memcpy(_rawHeader + HeaderSize, &_extheader, extsize);
    _rawHeaderSize = HeaderSize + extsize;

    // section positions
    uint64_t p = HeaderSize;
    bool posOk = addPos(p, _header.extheadersize);
    _faceinfopos = p;
    posOk = posOk && addPos(p, _header.faceinfosize);
    _constdatapos = p;
    posOk = posOk && addPos(p, _header.constdatasize);
    _levelinfopos = p;
    posOk = posOk && addPos(p, _header.levelinfosize);
    _leveldatapos = p;
    posOk = posOk && addPos(p, _header.leveldatasize);
    _metadatapos = p;
    posOk = posOk && addPos(p, _header.metadatazipsize) && addPos(p, BarrierSize);
    _lmdheaderpos = p;
    posOk = posOk && addPos(p, _extheader.lmdheaderzipsize);
    _lmddatapos = p;
    posOk = posOk && addPos(p, _extheader.lmddatasize);
    if (!posOk || _extheader.editdatapos > MaxFilePos || _extheader.editdatasize > MaxFilePos) {
        setError(ErrCorrupt);
        return false;
    }
    _editdatapos = _extheader.editdatapos ? _extheader.editdatapos : p;

    // face infos
    size_t nfaces = _header.nfaces;
    size_t constsize = nfaces * size_t(_pixelsize);
    // refuse counts the compressed blocks cannot hold before allocating for them
    if ((nfaces && !PtexInflate::plausible(_header.faceinfosize, nfaces * FaceInfoSize)) ||
        (constsize && !PtexInflate::plausible(_header.constdatasize, constsize))) {
        setError(ErrUnzipFailed);
        return false;
    }
    if (nfaces && !readCompressed(_faceinfopos, _header.faceinfosize, nfaces * FaceInfoSize))
        return false;
    _faceinfo.assign(nfaces, Ptex::FaceInfo());
    if (nfaces && !inflateCompressed(_header.faceinfosize, _faceinfo.data(), nfaces * FaceInfoSize))
        return false;
    for (size_t i = 0; i < nfaces; i++) {
        Ptex::FaceInfo& f = _faceinfo[i];
        if (!validFaceInfo(f)) {
            setError(("PtexReader error: invalid face resolution (face " + std::to_string(i) + ")")
                         .c_str());
            return false;
        }
        f.flags &= uint8_t(~Ptex::FaceInfo::flag_hasedits);
        clampNeighbours(f, uint32_t(nfaces));
    }
    // (the reduction order, from these face infos as stored, is made on first use)

    // constant data
    if (constsize && !readCompressed(_constdatapos, _header.constdatasize, constsize)) return false;
    _constdata.assign(constsize, 0);
    if (constsize) {
        if (!inflateCompressed(_header.constdatasize, _constdata.data(), constsize)) return false;
        if (_premultiply && _header.hasAlpha())
            PtexUtils::multalpha(_constdata.data(), int(nfaces), dataType(), _header.nchannels,
                                 _header.alphachan);
    }

    // level info
    _levelinfo.assign(_header.nlevels, LevelInfo{});
    if (!readBytes(_levelinfopos, _levelinfo.data(), size_t(_header.nlevels) * LevelInfoSize))
        return false;
    _levelpos.assign(_header.nlevels, 0);
    uint64_t lp = _leveldatapos, lend = _leveldatapos + _header.leveldatasize;
    for (int i = 0; i < _header.nlevels; i++) {
        const LevelInfo& li = _levelinfo[size_t(i)];
        _levelpos[size_t(i)] = lp;
        bool bad = (i == 0 ? li.nfaces != nfaces : li.nfaces > nfaces) ||
                   li.levelheadersize > li.leveldatasize || !addPos(lp, li.leveldatasize) ||
                   lp > lend;
        if (bad) {
            setError(ErrCorrupt);
            return false;
        }
    }

    // edits (the per-face edit table exists only once a face edit is found)
    _faceEdits.clear();
    if (!readEditData()) return false;

    // always-kept helpers
    _zeroPixel.assign(size_t(_pixelsize), 0);
    _errorFace = std::make_unique<ConstantFace>(_pixelsize, _zeroPixel.data());
    // (atomics start out null: value-initialised since C++20)
    _levels.reset(new std::atomic<Level*>[_header.nlevels]);

    addMem(keptBytes());
    return _openError.empty();  // a helper may record an error and carry on
}

bool PtexReader::readEditData() {
    using namespace PtexIO;
    uint64_t pos = _editdatapos;
    uint64_t end = _extheader.editdatapos ? pos + _extheader.editdatasize : MaxFilePos;
    std::vector<uint8_t> pixel(static_cast<size_t>(_pixelsize));
    while (pos < end) {
        uint8_t hdr[EditBlockHeaderSize];
        // a short read at the end of the edit data just ends the scan
        if (!ensureFile()) return false;
        if (_pos != int64_t(pos)) {
            _io->seek(_fp, int64_t(pos));
            _pos = int64_t(pos);
        }
        _counters->blockReads.fetch_add(1, std::memory_order_relaxed);
        if (readFile(hdr, EditBlockHeaderSize) != size_t(EditBlockHeaderSize)) {
            _pos = -1;
            break;
        }
        _pos += EditBlockHeaderSize;
        uint8_t type = hdr[0];
        uint32_t size = readU32(hdr + 1);
        if (size == 0) break;
        _hasEdits = true;
        uint64_t payload = pos + EditBlockHeaderSize;
        if (type == et_editfacedata && size >= uint32_t(EditFaceDataHeaderSize + _pixelsize)) {
            EditFaceDataHeader efdh;
            if (!readBytes(payload, &efdh, EditFaceDataHeaderSize)) return false;
            if (!readBytes(payload + EditFaceDataHeaderSize, pixel.data(), pixel.size()))
                return false;
            uint32_t room = size - uint32_t(EditFaceDataHeaderSize + _pixelsize);
            _editBlocks.push_back(EditBlockInfo{type, int(efdh.faceid), efdh.faceinfo,
                                                int(efdh.fdh.encoding()), size});
            Ptex::FaceInfo f = efdh.faceinfo;
            bool isConst = f.isConstant();
            if (efdh.faceid < _header.nfaces && validFaceInfo(f) &&
                (isConst || efdh.fdh.blocksize() <= room)) {
                clampNeighbours(f, _header.nfaces);
                f.flags |= Ptex::FaceInfo::flag_hasedits;
                if (_faceEdits.empty()) {
                    rfaceids();  // the order of the face infos as stored, before the first edit
                                 // replaces one
                    _faceEdits.assign(_header.nfaces, FaceEdit{});
                }
                _faceinfo[efdh.faceid] = f;
                uint8_t* cd = _constdata.data() + size_t(efdh.faceid) * size_t(_pixelsize);
                std::memcpy(cd, pixel.data(), pixel.size());
                if (_premultiply && _header.hasAlpha())
                    PtexUtils::multalpha(cd, 1, dataType(), _header.nchannels, _header.alphachan);
                FaceEdit& fe = _faceEdits[efdh.faceid];
                fe.edited = true;
                fe.pos = payload + EditFaceDataHeaderSize + uint64_t(_pixelsize);
                fe.fdh = isConst ? FaceDataHeader() : efdh.fdh;
            }
        } else if (type == et_editfacedata) {
            _editBlocks.push_back(EditBlockInfo{type, -1, Ptex::FaceInfo(), 0, size});
        } else if (type == et_editmetadata && size >= uint32_t(EditMetaDataHeaderSize)) {
            EditMetaDataHeader emdh;
            if (!readBytes(payload, &emdh, EditMetaDataHeaderSize)) return false;
            _editBlocks.push_back(EditBlockInfo{type, -1, Ptex::FaceInfo(), 0, size});
            if (emdh.metadatazipsize <= size - EditMetaDataHeaderSize)
                _metaEdits.push_back(MetaEdit{payload + EditMetaDataHeaderSize,
                                              emdh.metadatazipsize, emdh.metadatamemsize});
        }
        pos = payload + size;
    }
    return true;
}

void PtexReader::freeLoaded() {
    // only called while no other thread uses the reader: relaxed access suffices
    auto take = [](auto& slot) {
        auto* p = slot.load(std::memory_order_relaxed);
        if (p) slot.store(nullptr, std::memory_order_relaxed);
        return p;
    };
    if (_levels)
        for (int i = 0; i < _header.nlevels; i++) delete take(_levels[size_t(i)]);
    if (std::atomic<ReductionTable*>* slots = _reductions.get())
        for (size_t i = 0; i < _faceinfo.size(); i++) delete take(slots[i]);
    _reductions.reset();
    delete take(_metadata);
}

void PtexReader::prune() {
    freeLoaded();
    // what remains is the always-kept state counted at open
    int64_t kept = _open ? keptBytes() : 0;
    int64_t now = _memUsed.load(std::memory_order_relaxed);
    if (now != kept) addMem(kept - now);
}

void PtexReader::purge() {
    freeLoaded();
    closeFile();
    std::lock_guard<std::mutex> lock(_readlock);
    _open = false;
    _hasEdits = false;
    _faceinfo.clear();
    _rfaceids.reset();
    _constdata.clear();
    _constFaces.reset();
    _levelinfo.clear();
    _levelpos.clear();
    _faceEdits.clear();
    _metaEdits.clear();
    _levels.reset();
    _errorFace.reset();
    int64_t now = _memUsed.load(std::memory_order_relaxed);
    if (now) addMem(-now);
    _ok.store(true, std::memory_order_release);
}

void PtexReader::closeFile() {
    std::lock_guard<std::mutex> lock(_readlock);
    closeHandle();
}

bool PtexReader::closeIdleHandle() {
    std::unique_lock<std::mutex> lock(_readlock, std::try_to_lock);
    if (!lock || !_fp) return false;
    dropHandle();
    return true;
}

// ---------------------------------------------------------------------------
// file access (all with _readlock held)

void PtexReader::setError(const char* message, bool fatal) {
    std::string full = std::string(message) + " PtexFile: " + _path + "\n";
    if (_opening) {
        _openError += full;
    } else if (_err) {
        _err->reportError(full.c_str());
    } else {
        std::fputs(full.c_str(), stderr);
    }
    if (fatal) _ok.store(false, std::memory_order_release);
}

bool PtexReader::openHandle() {
    if (_handles) _handles->reserve();
    _fp = _io->open(_path.c_str());
    if (_handles) _handles->opened(this, _fp != nullptr);
    if (!_fp) return false;
    _counters->fileOpened();
    _pos = 0;
    return true;
}

void PtexReader::closeHandle() {
    if (!_fp) return;
    if (_handles) _handles->closed(this);
    dropHandle();
}

void PtexReader::dropHandle() {
    _io->close(_fp);
    _fp = nullptr;
    _pos = -1;
    _counters->fileClosed();
}

bool PtexReader::ensureFile() {
    if (_fp) {
        if (_handles) _handles->used(this);
        return true;
    }
    if (!ok()) return false;
    _counters->fileReopens.fetch_add(1, std::memory_order_relaxed);
    if (!openHandle()) {
        setError("Can't reopen");
        return false;
    }
    return sameFileOnReopen();
}

bool PtexReader::sameFileOnReopen() {
    uint8_t raw[sizeof(_rawHeader)];
    const char* why = nullptr;
    if (readFile(raw, _rawHeaderSize) != _rawHeaderSize ||
        std::memcmp(raw, _rawHeader, _rawHeaderSize) != 0) {
        why = "Header mismatch on reopen of";
    } else {
        uint64_t size = 0;
        int64_t time = 0;
        if (_haveStamp &&
            (!_io->fileStamp(_fp, size, time) || size != _stampSize || time != _stampTime))
            why = "File changed since it was opened, on reopen of";
    }
    if (!why) {
        _pos = int64_t(_rawHeaderSize);
        return true;
    }
    closeHandle();
    setError(why);
    return false;
}

size_t PtexReader::readFile(void* buf, size_t size) {
    const size_t n = _io->read(buf, size, _fp);
    _counters->bytesRead.fetch_add(n, std::memory_order_relaxed);
    return n;
}

bool PtexReader::readBytes(uint64_t pos, void* buf, size_t size) {
    if (!ensureFile()) return false;
    if (_pos != int64_t(pos)) {
        _io->seek(_fp, int64_t(pos));
        _pos = int64_t(pos);
    }
    _counters->blockReads.fetch_add(1, std::memory_order_relaxed);
    if (size && readFile(buf, size) != size) {
        _pos = -1;
        setError(ErrReadFailed);
        return false;
    }
    _pos += int64_t(size);
    return true;
}

bool PtexReader::readBytesGrow(uint64_t pos, size_t size, std::vector<uint8_t>& buf) {
    // read in pieces so a hostile size only costs memory for bytes really present
    if (!ensureFile()) return false;
    if (_pos != int64_t(pos)) {
        _io->seek(_fp, int64_t(pos));
        _pos = int64_t(pos);
    }
    _counters->blockReads.fetch_add(1, std::memory_order_relaxed);
    if (buf.size() < std::min<size_t>(size, size_t(1) << 18))
        buf.resize(std::min<size_t>(size, size_t(1) << 18));
    size_t done = 0;
    while (done < size) {
        size_t n = std::min<size_t>(size - done, PtexIO::BlockSize);
        if (buf.size() < done + n) buf.resize(std::max(done + n, buf.size() * 2));
        if (readFile(buf.data() + done, n) != n) {
            _pos = -1;
            setError(ErrReadFailed);
            return false;
        }
        done += n;
        _pos += int64_t(n);
    }
    return true;
}

bool PtexReader::readCompressed(uint64_t pos, uint32_t zipsize, size_t memsize) {
    if (!PtexInflate::plausible(zipsize, memsize) || memsize > MaxBlockBytes) {
        setError(ErrUnzipFailed);
        return false;
    }
    return readBytesGrow(pos, zipsize, scratchZip());
}

bool PtexReader::inflateCompressed(uint32_t zipsize, void* dst, size_t memsize) {
    if (!PtexInflate::inflate(scratchZip().data(), zipsize, dst, memsize)) {
        setError(ErrUnzipFailed);
        return false;
    }
    return true;
}

bool PtexReader::readZipBlock(uint64_t pos, uint32_t zipsize, void* dst, size_t memsize) {
    return readCompressed(pos, zipsize, memsize) && inflateCompressed(zipsize, dst, memsize);
}

bool PtexReader::readZipBlockLocked(uint64_t pos, uint32_t zipsize, void* dst, size_t memsize) {
    std::lock_guard<std::mutex> lock(_readlock);
    return readZipBlock(pos, zipsize, dst, memsize);
}

FaceData* PtexReader::readFaceBlock(uint64_t pos, PtexIO::FaceDataHeader fdh, Ptex::Res res,
                                    bool premultiply, bool allowTiled) {
    using namespace PtexIO;
    bool premult = premultiply && _header.hasAlpha();
    if (res.ulog2 < 0 || res.vlog2 < 0 || res.ulog2 > MaxResLog2 || res.vlog2 > MaxResLog2) {
        setError(ErrCorrupt);
        return nullptr;
    }
    switch (fdh.encoding()) {
        case enc_constant: {
            std::unique_ptr<uint8_t[]> px(new uint8_t[size_t(_pixelsize)]);
            if (!readBytes(pos, px.get(), size_t(_pixelsize))) return nullptr;
            if (premult)
                PtexUtils::multalpha(px.get(), 1, dataType(), _header.nchannels, _header.alphachan);
            return new OwnedConstantFace(px.get(), _pixelsize);
        }
        case enc_zipped:
        case enc_diffzipped: {
            size_t npix = size_t(res.size());
            size_t memsize = npix * size_t(_pixelsize);
            if (memsize > MaxBlockBytes || !PtexInflate::plausible(fdh.blocksize(), memsize)) {
                setError(ErrUnzipFailed);
                return nullptr;
            }
            if (!readCompressed(pos, fdh.blocksize(), memsize)) return nullptr;
            std::unique_ptr<uint8_t[]> data(new uint8_t[memsize]);
            int nchan = _header.nchannels;
            Ptex::DataType dt = dataType();
            if (nchan == 1) {
                if (!inflateCompressed(fdh.blocksize(), data.get(), memsize)) return nullptr;
                if (fdh.encoding() == enc_diffzipped)
                    PtexUtils::decodeDifference(data.get(), memsize, dt);
            } else {
                std::vector<uint8_t>& planar = scratchPlanar();
                if (planar.size() < memsize) planar.resize(memsize);
                if (!inflateCompressed(fdh.blocksize(), planar.data(), memsize)) return nullptr;
                if (fdh.encoding() == enc_diffzipped)
                    PtexUtils::decodeDifference(planar.data(), memsize, dt);
                int u = res.u();
                PtexUtils::interleave(planar.data(), u * Ptex::DataSize(dt), u, res.v(), data.get(),
                                      u * _pixelsize, dt, nchan);
            }
            if (premult) PtexUtils::multalpha(data.get(), int(npix), dt, nchan, _header.alphachan);
            return new PackedFace(res, _pixelsize, std::move(data));
        }
        case enc_tiled: {
            if (!allowTiled || fdh.blocksize() < uint32_t(TiledPrefixSize)) {
                setError(ErrCorrupt);
                return nullptr;
            }
            uint8_t prefix[TiledPrefixSize];
            if (!readBytes(pos, prefix, TiledPrefixSize)) return nullptr;
            Ptex::Res tileres(static_cast<int8_t>(prefix[0]), static_cast<int8_t>(prefix[1]));
            uint32_t tileheadersize = readU32(prefix + 2);
            if (tileres.ulog2 < 0 || tileres.vlog2 < 0 || tileres.ulog2 > res.ulog2 ||
                tileres.vlog2 > res.vlog2 || tileheadersize > fdh.blocksize() - TiledPrefixSize) {
                setError(ErrCorrupt);
                return nullptr;
            }
            size_t ntiles = size_t(res.ntiles(tileres));
            std::vector<FaceDataHeader> tfdh;
            if (ntiles > MaxTiles) {
                setError(ErrCorrupt);
                return nullptr;
            }
            if (!readCompressed(pos + TiledPrefixSize, tileheadersize, ntiles * 4)) return nullptr;
            tfdh.resize(ntiles);
            if (!inflateCompressed(tileheadersize, tfdh.data(), ntiles * 4)) return nullptr;
            std::vector<uint64_t> offsets(ntiles);
            uint64_t o = pos + TiledPrefixSize + tileheadersize, end = pos + fdh.blocksize();
            for (size_t t = 0; t < ntiles; t++) {
                offsets[t] = o;
                o += tfdh[t].blocksize();
                if (tfdh[t].encoding() == enc_tiled) o = end + 1;  // tiles are never tiled again
            }
            if (o > end) {
                setError(ErrCorrupt);
                return nullptr;
            }
            return new TiledFace(this, res, tileres, _pixelsize, premultiply, std::move(tfdh),
                                 std::move(offsets));
        }
    }
    return nullptr;
}

bool PtexReader::readLevelLocked(int i) {
    using namespace PtexIO;
    const LevelInfo& li = _levelinfo[size_t(i)];
    auto lvl = std::make_unique<Level>();
    size_t n = li.nfaces;
    lvl->nfaces = n;
    if (n && !readCompressed(_levelpos[size_t(i)], li.levelheadersize, n * 4)) return false;
    lvl->fdh.resize(n);
    lvl->offsets.resize(n);
    if (n && !inflateCompressed(li.levelheadersize, lvl->fdh.data(), n * 4)) return false;
    uint64_t o = _levelpos[size_t(i)] + li.levelheadersize,
             end = _levelpos[size_t(i)] + li.leveldatasize;
    for (size_t k = 0; k < n; k++) {
        lvl->offsets[k] = o;
        o += lvl->fdh[k].blocksize();
    }
    if (o > end) {
        setError(ErrCorrupt);
        return false;
    }
    if (i == 0) {
        for (size_t f = 0; f < n && f < _faceEdits.size(); f++)
            if (_faceEdits[f].edited) {
                lvl->fdh[f] = _faceEdits[f].fdh;
                lvl->offsets[f] = _faceEdits[f].pos;
            }
    }
    lvl->faces.reset(new std::atomic<FaceData*>[n ? n : 1]);
    for (size_t k = 0; k < n; k++) lvl->faces[k].store(nullptr, std::memory_order_relaxed);
    addMem(int64_t(sizeof(Level) + n * 20));
    _levels[size_t(i)].store(lvl.release(), std::memory_order_release);
    return true;
}

bool PtexReader::levelEntry(int level, size_t entry, PtexIO::FaceDataHeader& fdh) {
    if (!_open || level < 0 || level >= int(_header.nlevels)) return false;
    Level* l = getLevel(level);
    if (!l || entry >= l->nfaces) return false;
    fdh = l->fdh[entry];
    return true;
}

PtexReader::Level* PtexReader::getLevel(int i) {
    Level* l = _levels[size_t(i)].load(std::memory_order_acquire);
    if (l) return l;
    std::lock_guard<std::mutex> lock(_readlock);
    l = _levels[size_t(i)].load(std::memory_order_relaxed);
    if (l) return l;
    if (!ok() || !readLevelLocked(i)) return nullptr;
    return _levels[size_t(i)].load(std::memory_order_relaxed);
}

FaceData* PtexReader::getLevelFace(int level, size_t entry, Ptex::Res res, bool premultiply) {
    Level* l = getLevel(level);
    if (!l || entry >= l->nfaces) return _errorFace.get();
    FaceData* fd = l->faces[entry].load(std::memory_order_acquire);
    if (fd) return fd;
    std::lock_guard<std::mutex> lock(_readlock);
    fd = l->faces[entry].load(std::memory_order_relaxed);
    if (fd) return fd;
    if (!ok()) return _errorFace.get();
    fd = readFaceBlock(l->offsets[entry], l->fdh[entry], res, premultiply, true);
    if (!fd) return _errorFace.get();
    addMem(int64_t(fd->memUsed()));
    l->faces[entry].store(fd, std::memory_order_release);
    return fd;
}

FaceData* PtexReader::loadTile(TiledFace* face, int t) {
    std::lock_guard<std::mutex> lock(_readlock);
    FaceData* fd = face->_tiles[size_t(t)].load(std::memory_order_relaxed);
    if (fd) return fd;
    if (!ok()) return _errorFace.get();
    fd = readFaceBlock(face->_offsets[size_t(t)], face->_fdh[size_t(t)], face->_tileres,
                       face->_premultiply, false);
    if (!fd) return _errorFace.get();
    addMem(int64_t(fd->memUsed()));
    face->_tiles[size_t(t)].store(fd, std::memory_order_release);
    return fd;
}

FaceData* PtexReader::getFullFace(int faceid) {
    return getLevelFace(0, size_t(faceid), _faceinfo[size_t(faceid)].res, _premultiply);
}

// ---------------------------------------------------------------------------
// queries

PtexTexture::Info PtexReader::getInfo() {
    Info info;
    info.meshType = meshType();
    info.dataType = dataType();
    info.uBorderMode = uBorderMode();
    info.vBorderMode = vBorderMode();
    info.edgeFilterMode = edgeFilterMode();
    info.alphaChannel = alphaChannel();
    info.numChannels = numChannels();
    info.numFaces = numFaces();
    return info;
}

PtexMetaData* PtexReader::getMetaData() {
    MetaData* m = _metadata.load(std::memory_order_acquire);
    if (m) return m;
    std::lock_guard<std::mutex> lock(_readlock);
    m = _metadata.load(std::memory_order_relaxed);
    if (m) return m;
    auto md = std::make_unique<MetaData>(this);
    if (_open) {
        std::vector<uint8_t> buf;
        bool good = true;
        auto load = [&](uint64_t pos, uint32_t zipsize, uint32_t memsize) {
            if (!readCompressed(pos, zipsize, memsize)) return false;
            buf.resize(memsize);
            return inflateCompressed(zipsize, buf.data(), memsize);
        };
        if (_header.metadatamemsize)
            good = load(_metadatapos, _header.metadatazipsize, _header.metadatamemsize) &&
                   md->addRecords(buf.data(), buf.size(), true);
        if (good && _extheader.lmdheadermemsize)
            good = load(_lmdheaderpos, _extheader.lmdheaderzipsize, _extheader.lmdheadermemsize) &&
                   md->addLargeRecords(buf.data(), buf.size(), _lmddatapos,
                                       _lmddatapos + _extheader.lmddatasize);
        for (const MetaEdit& me : _metaEdits) {
            if (!good) break;
            if (me.memsize)
                good =
                    load(me.pos, me.zipsize, me.memsize) && md->addRecords(buf.data(), buf.size());
        }
        if (!good && ok()) setError(ErrCorrupt);
    }
    addMem(int64_t(sizeof(MetaData) + md->memUsed()));
    m = md.release();
    _metadata.store(m, std::memory_order_release);
    return m;
}

const Ptex::FaceInfo& PtexReader::getFaceInfo(int faceid) {
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size()) return defaultFaceInfo();
    return _faceinfo[size_t(faceid)];
}

PtexFaceData* PtexReader::getData(int faceid) {
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size() || !_open)
        return _errorFace ? _errorFace.get() : nullptr;
    if (!ok()) return _errorFace.get();
    if (_faceinfo[size_t(faceid)].isConstant()) return &constFaces()[size_t(faceid)];
    return getFullFace(faceid);
}

PtexFaceData* PtexReader::getData(int faceid, Ptex::Res res) {
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size() || !_open)
        return _errorFace ? _errorFace.get() : nullptr;
    if (!ok()) return _errorFace.get();
    const Ptex::FaceInfo& f = _faceinfo[size_t(faceid)];
    if (f.isConstant() || (res.ulog2 == 0 && res.vlog2 == 0)) return &constFaces()[size_t(faceid)];
    int redu = f.res.ulog2 - res.ulog2, redv = f.res.vlog2 - res.vlog2;
    if (redu == 0 && redv == 0) return getFullFace(faceid);
    if (res.ulog2 < 0 || res.vlog2 < 0) {
        setError("PtexReader::getData - reductions below 1 pixel not supported", false);
        return _errorFace.get();
    }
    if (redu < 0 || redv < 0) {
        setError("PtexReader::getData - enlargements not supported", false);
        return _errorFace.get();
    }
    if (redu == redv && !f.hasEdits() && redu < int(_header.nlevels)) {
        const uint32_t entry = rfaceids()[size_t(faceid)];
        if (entry < _levelinfo[size_t(redu)].nfaces) return getLevelFace(redu, entry, res, false);
    }
    return getReduced(faceid, res);
}

FaceData* PtexReader::getReduced(int faceid, Ptex::Res res) {
    const Ptex::FaceInfo& f = _faceinfo[size_t(faceid)];
    std::atomic<ReductionTable*>& tableSlot = reductionSlots()[size_t(faceid)];
    ReductionTable* table = tableSlot.load(std::memory_order_acquire);
    if (!table) {
        auto t = std::make_unique<ReductionTable>();
        t->nv = f.res.vlog2 + 1;
        t->count = size_t(f.res.ulog2 + 1) * size_t(t->nv);
        t->entries.reset(new std::atomic<FaceData*>[t->count]);
        for (size_t i = 0; i < t->count; i++)
            t->entries[i].store(nullptr, std::memory_order_relaxed);
        ReductionTable* expected = nullptr;
        if (tableSlot.compare_exchange_strong(expected, t.get(), std::memory_order_acq_rel)) {
            table = t.release();
            addMem(int64_t(sizeof(ReductionTable) + table->count * 8));
        } else {
            table = expected;
        }
    }
    std::atomic<FaceData*>& slot =
        table->entries[size_t(res.ulog2) * size_t(table->nv) + size_t(res.vlog2)];
    FaceData* fd = slot.load(std::memory_order_acquire);
    if (fd) return fd;
    fd = computeReduction(faceid, res);
    if (!fd) return _errorFace.get();
    FaceData* expected = nullptr;
    if (slot.compare_exchange_strong(expected, fd, std::memory_order_acq_rel)) {
        addMem(int64_t(fd->memUsed()));
        return fd;
    }
    delete fd;  // another thread published the same reduction first
    return expected;
}

FaceData* PtexReader::computeReduction(int faceid, Ptex::Res res) {
    const Ptex::FaceInfo& f = _faceinfo[size_t(faceid)];
    int redu = f.res.ulog2 - res.ulog2, redv = f.res.vlog2 - res.vlog2;
    Ptex::Res srcres;
    enum { RedU, RedV, RedTri } kind;
    if (meshType() == Ptex::mt_triangle) {
        if (redu != redv) {
            setError("PtexReader::getData - anisotropic reductions not supported for triangle mesh",
                     false);
            return nullptr;
        }
        kind = RedTri;
        srcres = Ptex::Res(int8_t(res.ulog2 + 1), int8_t(res.vlog2 + 1));
    } else {
        bool inU = (redu == redv) ? (res.ulog2 & 1) != 0 : redu > redv;
        kind = inU ? RedU : RedV;
        srcres = inU ? Ptex::Res(int8_t(res.ulog2 + 1), res.vlog2)
                     : Ptex::Res(res.ulog2, int8_t(res.vlog2 + 1));
    }
    FaceData* src = static_cast<FaceData*>(getData(faceid, srcres));
    if (src == _errorFace.get() || !ok()) return nullptr;
    if (src->isConstant()) return new OwnedConstantFace(src->pixel(0, 0), _pixelsize);
    if (src->res() != srcres || (kind == RedTri && srcres.ulog2 != srcres.vlog2)) {
        setError(ErrCorrupt);
        return nullptr;
    }
    int su = srcres.u(), sv = srcres.v();
    size_t srcrow = size_t(su) * size_t(_pixelsize);
    if (srcrow * size_t(sv) > MaxBlockBytes) {  // only a hostile tiled face gets here
        setError(ErrCorrupt);
        return nullptr;
    }
    const void* pixels = src->getData();
    std::vector<uint8_t> assembled;
    if (!pixels) {  // tiled: reduce the assembled image (same values as per tile)
        assembled.resize(srcrow * size_t(sv));
        copyOut(src, assembled.data(), int(srcrow), srcres);
        pixels = assembled.data();
    }
    size_t dstrow = size_t(res.u()) * size_t(_pixelsize);
    std::unique_ptr<uint8_t[]> dst(new uint8_t[dstrow * size_t(res.v())]);
    Ptex::DataType dt = dataType();
    int nchan = _header.nchannels;
    switch (kind) {
        case RedU:
            PtexUtils::reduceu(pixels, int(srcrow), su, sv, dst.get(), int(dstrow), dt, nchan);
            break;
        case RedV:
            PtexUtils::reducev(pixels, int(srcrow), su, sv, dst.get(), int(dstrow), dt, nchan);
            break;
        case RedTri:
            PtexUtils::reduceTri(pixels, int(srcrow), su, sv, dst.get(), int(dstrow), dt, nchan);
            break;
    }
    return new PackedFace(res, _pixelsize, std::move(dst));
}

void PtexReader::copyOut(FaceData* fd, void* buffer, int stride, Ptex::Res res) {
    int rowlen = res.u() * _pixelsize;
    if (stride == 0) stride = rowlen;
    if (fd->isConstant()) {
        PtexUtils::fill(fd->pixel(0, 0), buffer, stride, res.u(), res.v(), _pixelsize);
        return;
    }
    if (fd->res() != res) {  // cannot happen for valid data; never copy out of bounds
        PtexUtils::fill(_zeroPixel.data(), buffer, stride, res.u(), res.v(), _pixelsize);
        return;
    }
    if (fd->isTiled()) {
        TiledFace* tf = static_cast<TiledFace*>(fd);
        Ptex::Res tres = tf->tileRes();
        int ntu = res.ntilesu(tres), ntv = res.ntilesv(tres);
        int tu = tres.u(), tv = tres.v();
        int trow = tu * _pixelsize;
        for (int j = 0; j < ntv; j++)
            for (int i = 0; i < ntu; i++) {
                FaceData* t = tf->tile(j * ntu + i);
                char* dst =
                    static_cast<char*>(buffer) + ptrdiff_t(j) * tv * stride + ptrdiff_t(i) * trow;
                if (t->isConstant())
                    PtexUtils::fill(t->pixel(0, 0), dst, stride, tu, tv, _pixelsize);
                else if (t->res() == tres)
                    PtexUtils::copy(t->getData(), trow, dst, stride, tv, trow);
                else
                    PtexUtils::fill(_zeroPixel.data(), dst, stride, tu, tv, _pixelsize);
            }
        return;
    }
    PtexUtils::copy(fd->getData(), rowlen, buffer, stride, res.v(), rowlen);
}

void PtexReader::getData(int faceid, void* buffer, int stride) {
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size() || !_open) return;
    Ptex::Res res = _faceinfo[size_t(faceid)].res;
    copyOut(static_cast<FaceData*>(getData(faceid)), buffer, stride, res);
}

void PtexReader::getData(int faceid, void* buffer, int stride, Ptex::Res res) {
    if (res.ulog2 < 0 || res.vlog2 < 0 || res.ulog2 > MaxResLog2 || res.vlog2 > MaxResLog2 ||
        !_open)
        return;
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size()) {
        copyOut(_errorFace.get(), buffer, stride, res);
        return;
    }
    copyOut(static_cast<FaceData*>(getData(faceid, res)), buffer, stride, res);
}

void PtexReader::getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels) {
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size()) {
        if (nchannels > 0) std::memset(result, 0, sizeof(float) * size_t(nchannels));
        return;
    }
    getPixel(faceid, u, v, result, firstchan, nchannels, _faceinfo[size_t(faceid)].res);
}

void PtexReader::getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels,
                          Ptex::Res res) {
    if (nchannels <= 0) return;
    std::memset(result, 0, sizeof(float) * size_t(nchannels));
    int n = std::min(nchannels, int(_header.nchannels) - firstchan);
    if (n <= 0 || firstchan < 0 || !_open) return;
    if (faceid < 0 || size_t(faceid) >= _faceinfo.size()) return;
    FaceData* fd;
    if (res == _faceinfo[size_t(faceid)].res)
        fd = static_cast<FaceData*>(getData(faceid));
    else
        fd = static_cast<FaceData*>(getData(faceid, res));
    const void* p;
    if (fd->isConstant()) {
        p = fd->pixel(0, 0);
    } else {
        Ptex::Res r = fd->res();
        u = std::clamp(u, 0, r.u() - 1);
        v = std::clamp(v, 0, r.v() - 1);
        p = fd->pixel(u, v);
    }
    Ptex::ConvertToFloat(result,
                         static_cast<const char*>(p) + firstchan * Ptex::DataSize(dataType()),
                         dataType(), n);
}

}  // namespace PtexInternal

// ---------------------------------------------------------------------------

PtexTexture* PtexTexture::open(const char* path, Ptex::String& error, bool premultiply) {
    auto* r = new PtexInternal::PtexReader(nullptr, nullptr, premultiply, nullptr, nullptr);
    if (!path) {
        error = "Can't open ptex file: \nno path given";
        delete r;
        return nullptr;
    }
    if (!r->open(path, error)) {
        delete r;
        return nullptr;
    }
    return r;
}
