#ifndef PtexFaceDataImpl_h
#define PtexFaceDataImpl_h
// The reader's face data objects. All are owned by their texture (release() does
// nothing) and are immutable once published, so any thread may read them.
//  - ConstantFace: one pixel (res (0,0)) kept alive by the texture; nothing to
//    free, so the per-face arrays of them cost nothing to destroy.
//  - OwnedConstantFace: a ConstantFace holding its own copy of the pixel.
//  - PackedFace: res.size() pixels, row-major u fastest, interleaved.
//  - TiledFace: a face stored as tiles (row-major, u fastest), each loaded on
//    first use through its reader and published with release/acquire atomics.
// The base also keeps kind(), bytes() and dataRes() as plain fields, so filters
// read them without a virtual call per texel block.
#include "PtexIO.h"
#include "Ptexture.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

namespace PtexInternal {

class PtexReader;

class FaceData : public PtexFaceData {
public:
    ~FaceData() override {}
    void release() override {}
    void getPixel(int u, int v, void* result) override {
        std::memcpy(result, pixel(u, v), size_t(_pixelsize));
    }
    /// Pointer to the raw pixel (u, v); (u, v) must be inside res() (any for constant).
    virtual const void* pixel(int u, int v) = 0;
    /// Estimated bytes held by this object (for the cache's memory limit).
    virtual size_t memUsed() const = 0;
    int pixelSize() const { return _pixelsize; }

    enum Kind : uint8_t { kConstant, kPacked, kTiled };
    Kind kind() const { return _kind; }
    /// The pixel (constant) or the packed texels; null for a tiled face.
    const uint8_t* bytes() const { return _bytes; }
    /// res() without the virtual call.
    Ptex::Res dataRes() const { return _dataRes; }

protected:
    FaceData(int pixelsize, Kind kind, const uint8_t* bytes, Ptex::Res res)
        : _pixelsize(pixelsize), _kind(kind), _bytes(bytes), _dataRes(res) {}
    int _pixelsize;
    Kind _kind;
    const uint8_t* _bytes;
    Ptex::Res _dataRes;
};

class ConstantFace : public FaceData {
public:
    /// Refers to a pixel kept alive by the texture (none until set()).
    ConstantFace(int pixelsize = 0, const uint8_t* external = nullptr)
        : FaceData(pixelsize, kConstant, external, Ptex::Res(0, 0)),
          _data(const_cast<uint8_t*>(external)) {}
    void set(int pixelsize, const uint8_t* external) {
        _pixelsize = pixelsize;
        _data = const_cast<uint8_t*>(external);
        _bytes = external;
    }
    bool isConstant() override { return true; }
    Ptex::Res res() override { return Ptex::Res(0, 0); }
    void* getData() override { return _data; }
    bool isTiled() override { return false; }
    Ptex::Res tileRes() override { return Ptex::Res(0, 0); }
    PtexFaceData* getTile(int) override { return nullptr; }
    const void* pixel(int, int) override { return _data; }
    size_t memUsed() const override { return sizeof(*this); }

protected:
    uint8_t* _data;
};

class OwnedConstantFace final : public ConstantFace {
public:
    /// Copies the pixel.
    OwnedConstantFace(const void* pixel, int pixelsize);
    size_t memUsed() const override { return sizeof(*this) + size_t(_pixelsize); }

private:
    std::unique_ptr<uint8_t[]> _own;
};

class PackedFace : public FaceData {
public:
    /// Takes a buffer of res.size() * pixelsize bytes.
    PackedFace(Ptex::Res res, int pixelsize, std::unique_ptr<uint8_t[]> data)
        : FaceData(pixelsize, kPacked, data.get(), res), _res(res), _data(std::move(data)) {}
    bool isConstant() override { return false; }
    Ptex::Res res() override { return _res; }
    void* getData() override { return _data.get(); }
    bool isTiled() override { return false; }
    Ptex::Res tileRes() override { return _res; }
    PtexFaceData* getTile(int) override { return nullptr; }
    const void* pixel(int u, int v) override {
        // masked so that even a bad request stays inside the data
        size_t uu = size_t(u & (_res.u() - 1)), vv = size_t(v & (_res.v() - 1));
        return _data.get() + (vv * size_t(_res.u()) + uu) * size_t(_pixelsize);
    }
    size_t memUsed() const override {
        return sizeof(*this) + size_t(_res.size()) * size_t(_pixelsize);
    }

private:
    Ptex::Res _res;
    std::unique_ptr<uint8_t[]> _data;
};

class TiledFace : public FaceData {
public:
    /// Tile t's block is described by fdh[t] at file position offsets[t];
    /// premultiply says whether loaded tiles get alpha premultiplied (level 0).
    TiledFace(PtexReader* reader, Ptex::Res res, Ptex::Res tileres, int pixelsize, bool premultiply,
              std::vector<PtexIO::FaceDataHeader> fdh, std::vector<uint64_t> offsets);
    ~TiledFace() override;
    bool isConstant() override { return false; }
    Ptex::Res res() override { return _res; }
    void* getData() override { return nullptr; }
    bool isTiled() override { return true; }
    Ptex::Res tileRes() override { return _tileres; }
    PtexFaceData* getTile(int tile) override;
    const void* pixel(int u, int v) override;
    size_t memUsed() const override;

    int ntiles() const { return _ntiles; }
    int ntilesu() const { return _ntilesu; }
    Ptex::Res tileResolution() const { return _tileres; }
    PtexIO::FaceDataHeader tileHeader(int t) const { return _fdh[size_t(t)]; }
    /// The tile, loaded if needed (never null; an error face if the load failed).
    __attribute__((always_inline)) FaceData* tile(int t) {
        FaceData* p = _tiles[size_t(t)].load(std::memory_order_acquire);
        return p ? p : loadTile(t);
    }

private:
    friend class PtexReader;
    FaceData* loadTile(int t);
    PtexReader* _reader;
    Ptex::Res _res, _tileres;
    int _ntilesu, _ntiles;
    bool _premultiply;
    std::vector<PtexIO::FaceDataHeader> _fdh;
    std::vector<uint64_t> _offsets;
    std::unique_ptr<std::atomic<FaceData*>[]> _tiles;
};

}  // namespace PtexInternal

#endif
