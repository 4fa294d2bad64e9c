#ifndef PtexReader_h
#define PtexReader_h
// PtexReader - the PtexTexture behind PtexTexture::open and PtexCache::get.
//
// Contract:
//  - open() reads the header, extended header, face infos, constant data, level
//    info and the edit directory, validating every size, count and offset; on
//    failure it returns false with the error text and the reader stays closed.
//    (The face infos are inflated here, not on first use, because a damaged
//    face info block or resolution must fail the open.) Tables derived from
//    them (reduction order, constant-data handles, reduction slots) are made
//    on first use, lock-free, and published release/acquire.
//  - Everything else (level headers, face data, tiles, metadata, reductions) is
//    loaded on first use. File access is serialised by one lock per reader;
//    loaded objects are published through atomics (release/acquire), so readers
//    of loaded data take no lock. Dynamic reductions are published once with a
//    compare-exchange; a thread that loses the race discards its copy.
//  - prune() frees the loadable state and purge() everything; both may only be
//    called while no other thread uses the reader (the cache guarantees this).
//  - A read failure after open is reported through the error handler and puts
//    the reader in error: from then on every request returns error faces.
//  - In a cache, the file handle is one of the cache's HandlePool: it may be
//    closed whenever no read runs (closeIdleHandle), and the next read reopens
//    the file, checking that it is still the one first opened (header bytes;
//    size and modification time where the input handler tells them). A
//    vanished or changed file is a read failure as above.
#include "PtexFaceDataImpl.h"
#include "PtexHandlePool.h"
#include "PtexIO.h"
#include "PtexOnceArray.h"
#include "Ptexture.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace PtexInternal {

class MetaData;
class ReaderCache;

/// Counters shared by all readers of one cache (or private to one reader).
struct ReaderCounters {
    std::atomic<uint64_t> memUsed{0}, peakMemUsed{0};
    std::atomic<uint64_t> filesOpen{0}, peakFilesOpen{0};
    std::atomic<uint64_t> fileOpens{0}, fileReopens{0}, blockReads{0}, bytesRead{0};

    void addMem(int64_t n);
    void fileOpened();
    void fileClosed() { filesOpen.fetch_sub(1, std::memory_order_relaxed); }
};

class PtexReader : public PtexTexture {
public:
    PtexReader(PtexInputHandler* io, PtexErrorHandler* err, bool premultiply,
               ReaderCounters* counters, ReaderCache* cache);
    ~PtexReader() override;

    /// Opens and reads the always-kept state; false and error text on failure.
    bool open(const char* path, Ptex::String& error);
    bool isOpen() const { return _open; }
    bool ok() const { return _ok.load(std::memory_order_acquire); }
    /// Frees metadata, levels, tiles and reductions (reloaded on demand).
    void prune();
    /// Frees everything and closes the file; open() must be called again.
    void purge();
    /// Closes the file handle (it is reopened, with a header check, on next read).
    void closeFile();
    /// For the handle pool, with its mutex held: closes the handle unless a read
    /// runs (then false). Never waits.
    bool closeIdleHandle();
    HandlePool::Slot& handleSlot() { return _handleSlot; }
    /// Bytes of memory held by this reader (estimate).
    size_t memUsed() const { return size_t(_memUsed.load(std::memory_order_relaxed)); }

    // PtexTexture
    void release() override;
    const char* path() override { return _path.c_str(); }
    Info getInfo() override;
    Ptex::MeshType meshType() override { return Ptex::MeshType(_header.meshtype); }
    Ptex::DataType dataType() override { return Ptex::DataType(_header.datatype); }
    // Modes the library does not know (a damaged file) read as the defaults: an
    // enum may not hold them, and every filter switches on them.
    Ptex::BorderMode uBorderMode() override { return borderMode(_extheader.ubordermode); }
    Ptex::BorderMode vBorderMode() override { return borderMode(_extheader.vbordermode); }
    Ptex::EdgeFilterMode edgeFilterMode() override {
        return _extheader.edgefiltermode <= Ptex::efm_tanvec
                   ? Ptex::EdgeFilterMode(_extheader.edgefiltermode)
                   : Ptex::efm_none;
    }
    int alphaChannel() override { return _header.hasAlpha() ? _header.alphachan : -1; }
    int numChannels() override { return _header.nchannels; }
    int numFaces() override { return int(_header.nfaces); }
    bool hasEdits() override { return _hasEdits; }
    bool hasMipMaps() override { return _header.nlevels > 1; }
    PtexMetaData* getMetaData() override;
    const Ptex::FaceInfo& getFaceInfo(int faceid) override;
    void getData(int faceid, void* buffer, int stride) override;
    void getData(int faceid, void* buffer, int stride, Ptex::Res res) override;
    PtexFaceData* getData(int faceid) override;
    PtexFaceData* getData(int faceid, Ptex::Res res) override;
    void getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels) override;
    void getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels,
                  Ptex::Res res) override;

    /// getData(faceid, res) for the filters: a face level or reduction already
    /// loaded is found inline, without a virtual call or a lock; anything else goes
    /// through getData. faceid must be a valid face id.
    FaceData* filterData(int faceid, Ptex::Res res) {
        const Ptex::FaceInfo& f = _faceinfo[size_t(faceid)];
        const int redu = f.res.ulog2 - res.ulog2, redv = f.res.vlog2 - res.vlog2;
        if (!f.isConstant() && (res.ulog2 | res.vlog2) > 0 && (redu | redv) >= 0 &&
            res.ulog2 >= 0 && res.vlog2 >= 0 && ok()) {
            if (redu == redv && (redu == 0 || !f.hasEdits()) && redu < int(_header.nlevels)) {
                Level* l = _levels[size_t(redu)].load(std::memory_order_acquire);
                const uint32_t* rf = _rfaceids.get();
                if (l && (redu == 0 || rf)) {
                    const size_t entry = redu == 0 ? size_t(faceid) : size_t(rf[faceid]);
                    if (entry < l->nfaces)
                        if (FaceData* fd = l->faces[entry].load(std::memory_order_acquire))
                            return fd;
                }
            } else if (std::atomic<ReductionTable*>* slots = _reductions.get()) {
                if (ReductionTable* t = slots[faceid].load(std::memory_order_acquire))
                    if (FaceData* fd =
                            t->entries[size_t(res.ulog2) * size_t(t->nv) + size_t(res.vlog2)].load(
                                std::memory_order_acquire))
                        return fd;
            }
        }
        return static_cast<FaceData*>(getData(faceid, res));
    }
    /// getFaceInfo without the virtual call; faceid must be valid.
    const Ptex::FaceInfo& faceInfo(int faceid) const { return _faceinfo[size_t(faceid)]; }

    // Internal services for face data and metadata objects.
    /// Loads tile t of a tiled face (readlock taken inside).
    FaceData* loadTile(TiledFace* face, int t);
    /// Reads and inflates a zlib stream at pos (readlock taken inside).
    bool readZipBlockLocked(uint64_t pos, uint32_t zipsize, void* dst, size_t memsize);
    /// Reports an error through the handler (or stderr) and enters the error state.
    void setError(const char* message, bool fatal = true);
    FaceData* errorFace() { return _errorFace.get(); }
    int pixelSize() const { return _pixelsize; }
    const PtexIO::Header& header() const { return _header; }
    const PtexIO::ExtHeader& extHeader() const { return _extheader; }
    /// File positions of the sections (for tools and tests).
    uint64_t levelDataPos() const { return _leveldatapos; }
    /// Index of the face in the reduction order (entry in levels 1 and up).
    uint32_t rfaceid(int faceid) { return rfaceids()[size_t(faceid)]; }

    // Introspection of the stored layout (for tools and tests).
    struct EditBlockInfo {
        int type;             // PtexIO::EditType
        int faceid;           // face edits: the face id as stored
        Ptex::FaceInfo info;  // face edits: the face info as stored
        int encoding;         // face edits: encoding of the data block
        uint32_t size;        // payload size
    };
    const std::vector<EditBlockInfo>& editBlocks() const { return _editBlocks; }
    const std::vector<PtexIO::LevelInfo>& levelInfo() const { return _levelinfo; }
    /// Header word of entry `entry` of level `level` (loads the level header).
    bool levelEntry(int level, size_t entry, PtexIO::FaceDataHeader& fdh);
    /// True if the face's level-0 data comes from an edit block.
    bool faceFromEdit(int faceid) const {
        return faceid >= 0 && size_t(faceid) < _faceEdits.size() &&
               _faceEdits[size_t(faceid)].edited;
    }

private:
    struct Level {
        std::vector<PtexIO::FaceDataHeader> fdh;
        std::vector<uint64_t> offsets;
        std::unique_ptr<std::atomic<FaceData*>[]> faces;
        size_t nfaces = 0;
        ~Level();
    };
    struct ReductionTable {
        int nv = 0;  // vlog2 + 1 of the face
        std::unique_ptr<std::atomic<FaceData*>[]> entries;
        size_t count = 0;
        ~ReductionTable();
    };
    struct FaceEdit {
        bool edited = false;
        uint64_t pos = 0;  // data block position (constant edits: no block is read)
        PtexIO::FaceDataHeader fdh;
    };
    struct MetaEdit {
        uint64_t pos;  // zlib stream position
        uint32_t zipsize, memsize;
    };

    static Ptex::BorderMode borderMode(uint16_t stored) {
        return stored <= Ptex::m_periodic ? Ptex::BorderMode(stored) : Ptex::m_clamp;
    }
    bool readHeaderBlocks();  // false: the open failed, the reason in _openError
    bool failOpen(std::string reason) {
        _openError = std::move(reason);
        return false;
    }
    void closeFailedOpen();  // requires _readlock
    bool readEditData();
    /// Bytes of the always-kept state (counted at open, left after prune).
    int64_t keptBytes() const;
    // Per-face tables made on first use (an open does not pay for them):
    /// reduction order, from the face infos as stored (the edit scan makes it
    /// before it applies the first face edit)
    const uint32_t* rfaceids();
    /// constant-data handles, one per face
    ConstantFace* constFaces();
    /// dynamic reduction tables, one slot per face
    std::atomic<ReductionTable*>* reductionSlots();

    // all below require _readlock
    bool openHandle();  // through the handle pool (in a cache)
    void closeHandle();
    void dropHandle();  // closes _fp, already out of the handle pool
    bool sameFileOnReopen();
    bool ensureFile();
    /// The input handler's read at the current position, counted in bytesRead.
    size_t readFile(void* buf, size_t size);
    bool readBytes(uint64_t pos, void* buf, size_t size);
    bool readBytesGrow(uint64_t pos, size_t size, std::vector<uint8_t>& buf);
    bool readZipBlock(uint64_t pos, uint32_t zipsize, void* dst, size_t memsize);
    // Two phases, so the output is allocated only once the compressed bytes
    // exist and the claimed size is plausible for them.
    bool readCompressed(uint64_t pos, uint32_t zipsize, size_t memsize);
    bool inflateCompressed(uint32_t zipsize, void* dst, size_t memsize);
    FaceData* readFaceBlock(uint64_t pos, PtexIO::FaceDataHeader fdh, Ptex::Res res,
                            bool premultiply, bool allowTiled);
    bool readLevelLocked(int i);

    Level* getLevel(int i);
    FaceData* getLevelFace(int level, size_t entry, Ptex::Res res, bool premultiply);
    FaceData* getFullFace(int faceid);
    FaceData* getReduced(int faceid, Ptex::Res res);
    FaceData* computeReduction(int faceid, Ptex::Res res);
    FaceData* publishReduction(int faceid, Ptex::Res res, FaceData* fd);
    void copyOut(FaceData* fd, void* buffer, int stride, Ptex::Res res);
    void addMem(int64_t n);
    void freeLoaded();

    PtexInputHandler* _io;
    PtexErrorHandler* _err;
    bool _premultiply;
    ReaderCounters* _counters;
    std::unique_ptr<ReaderCounters> _ownCounters;
    ReaderCache* _cache;
    HandlePool* _handles;  // null outside a cache
    HandlePool::Slot _handleSlot;

    std::mutex _readlock;
    PtexInputHandler::Handle _fp = nullptr;
    int64_t _pos = -1;
    std::string _path;
    // size and modification time at the first open (where the handler tells them)
    bool _haveStamp = false;
    uint64_t _stampSize = 0;
    int64_t _stampTime = 0;
    bool _open = false;
    bool _everOpened = false;
    bool _opening = false;  // errors go to _openError instead of the handler
    std::string _openError;
    std::atomic<bool> _ok{true};
    std::atomic<int64_t> _memUsed{0};

    PtexIO::Header _header{};
    PtexIO::ExtHeader _extheader{};
    uint8_t _rawHeader[PtexIO::HeaderSize + PtexIO::ExtHeaderSize]{};
    size_t _rawHeaderSize = 0;
    int _pixelsize = 0;
    bool _hasEdits = false;
    uint64_t _faceinfopos = 0, _constdatapos = 0, _levelinfopos = 0, _leveldatapos = 0;
    uint64_t _metadatapos = 0, _lmdheaderpos = 0, _lmddatapos = 0, _editdatapos = 0;

    std::vector<Ptex::FaceInfo> _faceinfo;
    OnceArray<uint32_t> _rfaceids;
    std::vector<uint8_t> _constdata;
    OnceArray<ConstantFace> _constFaces;
    std::vector<PtexIO::LevelInfo> _levelinfo;
    std::vector<uint64_t> _levelpos;
    std::vector<FaceEdit> _faceEdits;  // per face, the last edit
    std::vector<MetaEdit> _metaEdits;
    std::vector<EditBlockInfo> _editBlocks;
    std::unique_ptr<ConstantFace> _errorFace;
    std::vector<uint8_t> _zeroPixel;

    std::unique_ptr<std::atomic<Level*>[]> _levels;
    OnceArray<std::atomic<ReductionTable*>> _reductions;
    std::atomic<MetaData*> _metadata{nullptr};

    friend class MetaData;
};

}  // namespace PtexInternal

#endif
