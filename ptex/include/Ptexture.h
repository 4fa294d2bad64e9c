#ifndef Ptexture_h
#define Ptexture_h
// Ptexture.h - the public interface of the Ptex per-face texture library.
//
// Ptex stores one texture image per mesh face. This header declares:
//  - struct Ptex: the shared types (mesh and data types, border and edge filter
//    modes, edge ids, metadata types, Res, FaceInfo) and static helpers (names,
//    data sizes, conversion to and from float). It is a struct, not a namespace,
//    so classes may derive from it to use the types unqualified.
//  - the interfaces PtexMetaData, PtexFaceData, PtexTexture, PtexInputHandler,
//    PtexErrorHandler, PtexCache, PtexWriter, PtexFilter and the owning pointer
//    PtexPtr<T>.
//
// Data layout (everywhere in this interface):
//  - Face data is row-major with u fastest: texel (ui, vi) of a face of res
//    (U x V) is at index vi * U + ui; rows run along v starting at v = 0.
//  - Channels are interleaved: all channels of one texel are next to each other;
//    a pixel is DataSize(dataType) * numChannels bytes.
//  - Tiled face data: tiles are indexed row-major with u fastest:
//    tile index = tv * ntilesu + tu, and each tile is itself row-major, u fastest.
//  - Integer data converts to float normalised to [0, 1] (divided by 255 / 65535).
//
// Ownership: no object has a public constructor or destructor. Objects come from
// static factories or from other objects and are handed back with release().
//
// Thread safety: PtexCache and PtexTexture may be used from many threads at
// once; a PtexFilter instance is used by one thread at a time; PtexWriter is
// single-threaded.
#include "PtexExports.h"
#include "PtexInt.h"
#include "PtexVersion.h"

#include <string>

struct PtexHalf;

struct PTEXAPI Ptex {
    /// Mesh type of a file: every face is a triangle, or every face is a quad.
    enum MeshType { mt_triangle = 0, mt_quad = 1 };

    /// Sample type of the texel data.
    enum DataType { dt_uint8 = 0, dt_uint16 = 1, dt_half = 2, dt_float = 3 };

    /// What filters do past the edge of the texture.
    enum BorderMode { m_clamp = 0, m_black = 1, m_periodic = 2 };

    /// How filters blend across edges of vector data.
    enum EdgeFilterMode { efm_none = 0, efm_tanvec = 1 };

    /// Edges of a face, counter-clockwise (triangles use 0..2).
    enum EdgeId { e_bottom = 0, e_right = 1, e_top = 2, e_left = 3 };

    /// Element type of a metadata entry.
    enum MetaDataType {
        mdt_string = 0,
        mdt_int8 = 1,
        mdt_int16 = 2,
        mdt_int32 = 3,
        mdt_float = 4,
        mdt_double = 5
    };

    typedef std::string String;

    /// Names of enum values; out-of-range values give "(invalid ...)".
    static const char* MeshTypeName(MeshType mt);
    static const char* DataTypeName(DataType dt);
    static const char* BorderModeName(BorderMode m);
    static const char* EdgeFilterModeName(EdgeFilterMode m);
    static const char* EdgeIdName(EdgeId eid);
    static const char* MetaDataTypeName(MetaDataType mdt);

    /// Bytes per sample: 1, 2, 2, 4.
    static int DataSize(DataType dt) {
        static const int sizes[] = {1, 2, 2, 4};
        return (unsigned(dt) < 4u) ? sizes[dt] : 0;
    }

    /// The sample value meaning 1.0: 255, 65535, 1, 1.
    static float OneValue(DataType dt) {
        static const float one[] = {255.0f, 65535.0f, 1.0f, 1.0f};
        return (unsigned(dt) < 4u) ? one[dt] : 1.0f;
    }

    /// 1 / OneValue(dt) as a float.
    static float OneValueInv(DataType dt) {
        static const float inv[] = {1.0f / 255.0f, 1.0f / 65535.0f, 1.0f, 1.0f};
        return (unsigned(dt) < 4u) ? inv[dt] : 1.0f;
    }

    /// Converts numChannels samples to float (integers normalised to [0, 1]).
    static void ConvertToFloat(float* dst, const void* src, DataType dt, int numChannels);

    /// Converts numChannels floats to samples (integers clamped to [0, 1], rounded
    /// half up; halves rounded ties away from zero).
    static void ConvertFromFloat(void* dst, const float* src, DataType dt, int numChannels);

    /// Resolution of a face or of face data as log2 sizes (2 bytes, ulog2 first).
    struct Res {
        int8_t ulog2;  ///< log2 of the texel count along u
        int8_t vlog2;  ///< log2 of the texel count along v

        Res() : ulog2(0), vlog2(0) {}
        Res(int8_t ulog2_, int8_t vlog2_) : ulog2(ulog2_), vlog2(vlog2_) {}
        /// ulog2 = low byte, vlog2 = high byte; lets callers write getData(faceid, 0).
        Res(uint16_t value) : ulog2(int8_t(value & 0xff)), vlog2(int8_t((value >> 8) & 0xff)) {}

        int u() const { return 1 << unsigned(ulog2); }
        int v() const { return 1 << unsigned(vlog2); }
        uint16_t val() const { return uint16_t(uint8_t(ulog2) | (uint16_t(uint8_t(vlog2)) << 8)); }
        int size() const { return u() * v(); }
        bool operator==(const Res& r) const { return ulog2 == r.ulog2 && vlog2 == r.vlog2; }
        bool operator!=(const Res& r) const { return !(*this == r); }
        bool operator>=(const Res& r) const { return ulog2 >= r.ulog2 && vlog2 >= r.vlog2; }
        Res swappeduv() const { return Res(vlog2, ulog2); }
        void swapuv() { *this = swappeduv(); }
        void clamp(const Res& r) {
            if (ulog2 > r.ulog2) ulog2 = r.ulog2;
            if (vlog2 > r.vlog2) vlog2 = r.vlog2;
        }
        int ntilesu(Res tileres) const { return 1 << unsigned(ulog2 - tileres.ulog2); }
        int ntilesv(Res tileres) const { return 1 << unsigned(vlog2 - tileres.vlog2); }
        int ntiles(Res tileres) const { return ntilesu(tileres) * ntilesv(tileres); }
    };

    /// Per-face information: resolution, adjacency and flags. The memory layout
    /// is the 20-byte file record (res, adjedges, flags, adjfaces[4]).
    struct FaceInfo {
        Res res;              ///< face resolution
        uint8_t adjedges;     ///< 2 bits per edge: the neighbour's edge id across edge e
        uint8_t flags;        ///< flag_* bits
        int32_t adjfaces[4];  ///< neighbour face across each edge, -1 for none

        enum {
            flag_constant = 1,    ///< one value for the whole face (no texel data)
            flag_hasedits = 2,    ///< replaced by an edit block (set by the reader)
            flag_nbconstant = 4,  ///< face and all faces around its vertices are constant and equal
            flag_subface = 8      ///< quad subface of a non-quad polygon
        };

        FaceInfo() : res(), adjedges(0), flags(0) {
            adjfaces[0] = adjfaces[1] = adjfaces[2] = adjfaces[3] = -1;
        }
        FaceInfo(Res res_) : res(res_), adjedges(0), flags(0) {
            adjfaces[0] = adjfaces[1] = adjfaces[2] = adjfaces[3] = -1;
        }
        FaceInfo(Res res_, int adjfaces_[4], int adjedges_[4], bool isSubface = false)
            : res(res_), adjedges(0), flags(isSubface ? uint8_t(flag_subface) : uint8_t(0)) {
            setadjfaces(adjfaces_[0], adjfaces_[1], adjfaces_[2], adjfaces_[3]);
            setadjedges(adjedges_[0], adjedges_[1], adjedges_[2], adjedges_[3]);
        }

        EdgeId adjedge(int eid) const { return EdgeId((adjedges >> (2 * eid)) & 3); }
        int adjface(int eid) const { return adjfaces[eid]; }
        bool isConstant() const { return (flags & flag_constant) != 0; }
        bool isNeighborhoodConstant() const { return (flags & flag_nbconstant) != 0; }
        bool hasEdits() const { return (flags & flag_hasedits) != 0; }
        bool isSubface() const { return (flags & flag_subface) != 0; }
        void setadjfaces(int f0, int f1, int f2, int f3) {
            adjfaces[0] = f0;
            adjfaces[1] = f1;
            adjfaces[2] = f2;
            adjfaces[3] = f3;
        }
        void setadjedges(int e0, int e1, int e2, int e3) {
            adjedges = uint8_t((e0 & 3) | ((e1 & 3) << 2) | ((e2 & 3) << 4) | ((e3 & 3) << 6));
        }
    };
};

/// Metadata of a texture: typed key/value entries. Owned by the texture.
class PTEXAPI PtexMetaData {
protected:
    virtual ~PtexMetaData() {}

public:
    virtual void release() = 0;  ///< does nothing (owned by the texture)
    virtual int numKeys() = 0;
    /// Name and type of entry index; an invalid index leaves the outputs unchanged.
    virtual void getKey(int index, const char*& key, Ptex::MetaDataType& type) = 0;
    /// True and the index/type if present; false and index -1 otherwise.
    virtual bool findKey(const char* key, int& index, Ptex::MetaDataType& type) = 0;

    // Values: null (and count 0) if absent or of another type. Large values are
    // read from the file on first access.
    virtual void getValue(const char* key, const char*& value) = 0;
    virtual void getValue(int index, const char*& value) = 0;
    virtual void getValue(const char* key, const int8_t*& value, int& count) = 0;
    virtual void getValue(int index, const int8_t*& value, int& count) = 0;
    virtual void getValue(const char* key, const int16_t*& value, int& count) = 0;
    virtual void getValue(int index, const int16_t*& value, int& count) = 0;
    virtual void getValue(const char* key, const int32_t*& value, int& count) = 0;
    virtual void getValue(int index, const int32_t*& value, int& count) = 0;
    virtual void getValue(const char* key, const float*& value, int& count) = 0;
    virtual void getValue(int index, const float*& value, int& count) = 0;
    virtual void getValue(const char* key, const double*& value, int& count) = 0;
    virtual void getValue(int index, const double*& value, int& count) = 0;
};

/// Texel data of one face at one resolution: constant (one pixel), packed
/// (row-major, u fastest, channels interleaved) or tiled (tiles row-major, u
/// fastest). Always release() it when done.
class PTEXAPI PtexFaceData {
protected:
    virtual ~PtexFaceData() {}

public:
    /// Texture-owned data: nothing; temporary handles (constant, error faces): destroyed.
    virtual void release() = 0;
    virtual bool isConstant() = 0;
    /// Resolution of the data held: (0,0) for constant data.
    virtual Ptex::Res res() = 0;
    /// Copies one raw pixel (all channels) into result; no bounds checking.
    virtual void getPixel(int u, int v, void* result) = 0;
    /// Constant: the pixel; packed: res().size() pixels; tiled: null.
    virtual void* getData() = 0;
    virtual bool isTiled() = 0;
    /// Tiled: tile res; packed: its res; constant: (0,0).
    virtual Ptex::Res tileRes() = 0;
    /// Tiled: tile number `tile` (row-major, u fastest); others: null.
    virtual PtexFaceData* getTile(int tile) = 0;
};

/// A Ptex texture file opened for reading.
class PTEXAPI PtexTexture {
protected:
    virtual ~PtexTexture() {}

public:
    /// Opens a file without a cache; null and an error text on failure.
    static PtexTexture* open(const char* path, Ptex::String& error, bool premultiply = 0);

    /// From open(): destroys it. From a cache: drops one reference.
    virtual void release() = 0;
    /// The path actually opened (after search-path resolution).
    virtual const char* path() = 0;

    struct Info {
        Ptex::MeshType meshType;
        Ptex::DataType dataType;
        Ptex::BorderMode uBorderMode;
        Ptex::BorderMode vBorderMode;
        Ptex::EdgeFilterMode edgeFilterMode;
        int alphaChannel;
        int numChannels;
        int numFaces;
    };
    virtual Info getInfo() = 0;

    virtual Ptex::MeshType meshType() = 0;
    virtual Ptex::DataType dataType() = 0;
    virtual Ptex::BorderMode uBorderMode() = 0;
    virtual Ptex::BorderMode vBorderMode() = 0;
    virtual Ptex::EdgeFilterMode edgeFilterMode() = 0;
    virtual int alphaChannel() = 0;  ///< as stored, -1 for none
    virtual int numChannels() = 0;
    virtual int numFaces() = 0;
    virtual bool hasEdits() = 0;
    virtual bool hasMipMaps() = 0;

    /// Metadata (read on first call; never null for an open texture).
    virtual PtexMetaData* getMetaData() = 0;

    /// Face info after edits; for an invalid id a default FaceInfo (res 0, no
    /// neighbours, no flags). Neighbour ids outside [0, numFaces) read as -1.
    virtual const Ptex::FaceInfo& getFaceInfo(int faceid) = 0;

    /// Copies the full-resolution data (stride = bytes per row, 0 = packed,
    /// negative allowed). Constant faces and tiles are expanded.
    virtual void getData(int faceid, void* buffer, int stride) = 0;
    /// Same at a resolution at or below the face's (reduced on demand). An
    /// invalid face or a texture in error fills the buffer with zero pixels.
    virtual void getData(int faceid, void* buffer, int stride, Ptex::Res res) = 0;
    /// Full-resolution data as stored (constant faces: a constant handle).
    virtual PtexFaceData* getData(int faceid) = 0;
    /// Data at res; never null (bad requests give an all-zero constant face).
    /// Res(0,0) gives the face's constant value (its average).
    virtual PtexFaceData* getData(int faceid, Ptex::Res res) = 0;

    /// Sets result[0..nchannels) to 0, then converts channels firstchan.. of
    /// texel (u, v) of the full-resolution data (clipped to the channel count).
    virtual void getPixel(int faceid, int u, int v, float* result, int firstchan,
                          int nchannels) = 0;
    /// The same at resolution res.
    virtual void getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels,
                          Ptex::Res res) = 0;
};

/// The only file access of the reader. One handler may serve many textures and
/// threads at once (each handle is used by one thread at a time).
class PTEXAPI PtexInputHandler {
protected:
    virtual ~PtexInputHandler() {}

public:
    typedef void* Handle;
    /// Opens for reading; null on failure (then lastError() says why).
    virtual Handle open(const char* path) = 0;
    /// Absolute byte position.
    virtual void seek(Handle handle, int64_t pos) = 0;
    /// Returns the bytes read; fewer than size is a failure.
    virtual size_t read(void* buffer, size_t size, Handle handle) = 0;
    /// False on error.
    virtual bool close(Handle handle) = 0;
    virtual const char* lastError() = 0;
    /// Size and last modification time (nanoseconds since the epoch) of the
    /// open file; false when the handler cannot tell. A cache that closed a
    /// held texture's file to stay within its file limit compares them on
    /// reopen, so a file changed meanwhile is an error, not other data.
    virtual bool fileStamp(Handle handle, uint64_t& size, int64_t& mtimeNs) {
        (void)handle, (void)size, (void)mtimeNs;
        return false;
    }
};

/// Receives errors met while reading after a successful open, as
/// "<message> PtexFile: <path>\n".
class PTEXAPI PtexErrorHandler {
protected:
    virtual ~PtexErrorHandler() {}

public:
    virtual void reportError(const char* error) = 0;
};

/// A shared, thread-safe cache of open textures with a memory limit and a
/// file-handle limit.
///
/// File limit: the cache's textures, held or released, keep at most maxFiles
/// files open (plus one per thread reading at that moment, when every other
/// open file is being read). Opening one more closes the least recently used
/// handle; a texture whose handle was closed keeps its header, face table and
/// loaded data and reopens its file when it needs more data, through the same
/// input handler. A reopened file must be the one first opened (header, and
/// size and modification time where the handler tells them); otherwise the
/// texture reports the error and answers zero data until purged.
/// Memory limit: released textures are pruned, least recently released first,
/// down to maxMem; held textures keep what they loaded.
class PTEXAPI PtexCache {
protected:
    virtual ~PtexCache() {}

public:
    /// maxFiles <= 0: 100 open files; maxMem 0: no memory limit; premultiply
    /// applies to every texture; the handlers are not owned.
    static PtexCache* create(int maxFiles, size_t maxMem, bool premultiply = false,
                             PtexInputHandler* inputHandler = 0,
                             PtexErrorHandler* errorHandler = 0);

    /// Destroys the cache and every texture in it at once.
    virtual void release() = 0;
    /// Colon-separated directories for relative paths (null clears it). Call
    /// before sharing the cache between threads.
    virtual void setSearchPath(const char* path) = 0;
    virtual const char* getSearchPath() = 0;
    /// The texture for path with one more reference, or null and an error text
    /// (a failure is remembered: later calls return null without an error text).
    virtual PtexTexture* get(const char* path, Ptex::String& error) = 0;
    /// Forgets the loaded state; reopened on next use.
    virtual void purge(PtexTexture* texture) = 0;
    virtual void purge(const char* path) = 0;
    virtual void purgeAll() = 0;

    /// Figures of the cache's whole life. filesOpen: handles open now;
    /// filesAccessed: paths asked for; fileOpens: handle opens, reopens of a
    /// closed handle included; bytesRead: bytes the input handler delivered.
    struct Stats {
        uint64_t memUsed;
        uint64_t peakMemUsed;
        uint64_t filesOpen;
        uint64_t peakFilesOpen;
        uint64_t filesAccessed;
        uint64_t fileReopens;
        uint64_t blockReads;
        uint64_t fileOpens;
        uint64_t bytesRead;
    };
    virtual void getStats(Stats& stats) = 0;
};

/// Writes a new Ptex file or edits an existing one. Single-threaded.
class PTEXAPI PtexWriter {
protected:
    virtual ~PtexWriter() {}

public:
    /// New file; null and an error text on invalid arguments.
    static PtexWriter* open(const char* path, Ptex::MeshType mt, Ptex::DataType dt, int nchannels,
                            int alphachan, int nfaces, Ptex::String& error, bool genmipmaps = true);
    /// Existing file: incremental appends edit blocks; otherwise the file is
    /// rewritten on close keeping every face not rewritten.
    static PtexWriter* edit(const char* path, bool incremental, Ptex::MeshType mt,
                            Ptex::DataType dt, int nchannels, int alphachan, int nfaces,
                            Ptex::String& error, bool genmipmaps = true);
    /// Rewrites a file that has edits without them.
    static bool applyEdits(const char* path, Ptex::String& error);

    /// Closes the file if close() was not called (errors to stderr), then destroys.
    virtual void release() = 0;
    virtual void setBorderModes(Ptex::BorderMode uBorderMode, Ptex::BorderMode vBorderMode) = 0;
    virtual void setEdgeFilterMode(Ptex::EdgeFilterMode edgeFilterMode) = 0;
    virtual void writeMeta(const char* key, const char* string) = 0;
    virtual void writeMeta(const char* key, const int8_t* value, int count) = 0;
    virtual void writeMeta(const char* key, const int16_t* value, int count) = 0;
    virtual void writeMeta(const char* key, const int32_t* value, int count) = 0;
    virtual void writeMeta(const char* key, const float* value, int count) = 0;
    virtual void writeMeta(const char* key, const double* value, int count) = 0;
    virtual void writeMeta(PtexMetaData* data) = 0;
    /// Full-resolution data, row-major u fastest, interleaved; stride in bytes
    /// (0 = packed). All-identical data is stored as a constant face.
    virtual bool writeFace(int faceid, const Ptex::FaceInfo& info, const void* data,
                           int stride = 0) = 0;
    /// One pixel; info.res is kept as the face's logical res.
    virtual bool writeConstantFace(int faceid, const Ptex::FaceInfo& info, const void* data) = 0;
    /// Generates reductions and writes the file; false and an error text on failure.
    virtual bool close(Ptex::String& error) = 0;
};

/// A texture filter: evaluates a filtered value over a footprint. One instance
/// per thread; evaluation never allocates, locks or throws.
class PTEXAPI PtexFilter {
protected:
    virtual ~PtexFilter() {}

public:
    /// Filter kinds. The underlying type is int so Options::filter may hold any
    /// int value: registered types (registerFilterType) and, for values the
    /// standard table does not know, the box filter.
    enum FilterType : int {
        f_point = 0,
        f_bilinear = 1,
        f_box = 2,
        f_gaussian = 3,
        f_bicubic = 4,
        f_bspline = 5,
        f_catmullrom = 6,
        f_mitchell = 7
    };

    struct Options {
        int __structSize;   ///< sizeof(Options), set by the constructor
        FilterType filter;  ///< filter kind
        bool lerp;          ///< blend towards the next coarser level
        float sharpness;    ///< bicubic sharpness (f_bicubic only)
        bool noedgeblend;   ///< never read neighbouring faces

        Options(FilterType filter_ = f_box, bool lerp_ = 0, float sharpness_ = 0,
                bool noedgeblend_ = 0)
            : __structSize(int(sizeof(Options))),
              filter(filter_),
              lerp(lerp_),
              sharpness(sharpness_),
              noedgeblend(noedgeblend_) {}
    };

    /// Creates a filter for the texture (the caller keeps the texture alive and
    /// gives the filter back with release()). The filter registered for
    /// opts.filter and the texture's mesh type answers when there is one
    /// (registerFilterType); otherwise the standard filter of getStandardFilter.
    /// Null for a null texture or a mesh type that is neither triangle nor quad.
    /// Thread-safe.
    static PtexFilter* getFilter(PtexTexture* tx, const Options& opts);

    /// The library's own filter table, without registered types: point,
    /// bilinear, box, gaussian, bicubic (opts.sharpness), B-spline,
    /// Catmull-Rom, Mitchell (bicubic 2/3) for quads, any other value the box
    /// filter; on triangle textures the point filter for f_point, else the
    /// triangle filter.
    static PtexFilter* getStandardFilter(PtexTexture* tx, const Options& opts);

    /// Makes a filter of a registered type; called by getFilter with its
    /// arguments (tx is never null). May return null (getFilter then does too).
    typedef PtexFilter* (*FilterMaker)(PtexTexture* tx, const Options& opts);

    /// The extension point of the factory: from now on getFilter answers
    /// filterType on textures of meshType with maker, ahead of the standard
    /// table. A program or library adds its own filter types once, when it
    /// starts or is loaded. Returns true when the pair is registered with
    /// maker (registering the same maker again is harmless); false, changing
    /// nothing, for a null maker, a pair another maker holds, or a full table
    /// (kMaxFilterTypes pairs). Registrations last as long as the library.
    /// Thread-safe, also against concurrent getFilter calls.
    static bool registerFilterType(int filterType, Ptex::MeshType meshType, FilterMaker maker);
    static constexpr int kMaxFilterTypes = 16;

    /// Destroys the filter.
    virtual void release() = 0;

    /// Writes min(nchannels, numChannels - firstchan) values to result.
    virtual void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v,
                      float uw1, float vw1, float uw2, float vw2, float width = 1,
                      float blur = 0) = 0;
};

/// Non-copyable owning pointer that calls release() on destruction.
template <class T>
class PtexPtr {
    T* _ptr;

public:
    PtexPtr(T* ptr = 0) : _ptr(ptr) {}
    ~PtexPtr() {
        if (_ptr) _ptr->release();
    }
    PtexPtr(const PtexPtr&) = delete;
    PtexPtr& operator=(const PtexPtr&) = delete;

    operator T*() const { return _ptr; }
    T* operator->() const { return _ptr; }
    T* get() const { return _ptr; }
    void swap(PtexPtr& p) {
        T* t = _ptr;
        _ptr = p._ptr;
        p._ptr = t;
    }
    /// Releases the old object and takes ptr.
    void reset(T* ptr = 0) {
        if (_ptr) _ptr->release();
        _ptr = ptr;
    }
};

#endif
