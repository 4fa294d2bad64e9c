#ifndef PtexFilterSource_h
#define PtexFilterSource_h
// Face infos and face data for the kernel filters, looked up once per piece of a
// kernel. When the texture is our reader (the usual case), faces, levels,
// reductions and tiles already loaded are reached inline: no virtual call and no
// reference count per lookup. Any other texture goes through its PtexTexture
// interface, with the data released when the view goes out of scope.
//
// readerOf(tx): our reader behind tx, or null; asked once per filter.
// FilterSource(tx, reader): the two, as a filter keeps them.
// FaceView(source, faceid, res): the data of a valid face at res; kind() none
//   (no data), constant (data() is the pixel), packed (data() the texels, res()
//   their resolution) or tiled (tileRes(), ntilesu() and tile(t)).
// TileView(face, t): tile t of a tiled view, constant or packed (res() the
//   tile's), or none.
#include "PtexReader.h"
#include "Ptexture.h"

namespace PtexFilterImpl {

inline PtexInternal::PtexReader* readerOf(PtexTexture* tx) {
    return dynamic_cast<PtexInternal::PtexReader*>(tx);
}

class FilterSource {
public:
    FilterSource(PtexTexture* tx, PtexInternal::PtexReader* reader) : _tx(tx), _reader(reader) {}
    PtexTexture* texture() const { return _tx; }
    PtexInternal::PtexReader* reader() const { return _reader; }
    const Ptex::FaceInfo& faceInfo(int faceid) const {
        return _reader ? _reader->faceInfo(faceid) : _tx->getFaceInfo(faceid);
    }

private:
    PtexTexture* _tx;
    PtexInternal::PtexReader* _reader;
};

enum class DataKind : uint8_t { none, constant, packed, tiled };

// What a face or tile view shows, and the data it holds from a texture other
// than our reader (released with the view).
class DataView {
public:
    DataView() = default;
    ~DataView() {
        if (_generic) _generic->release();
    }
    DataView(const DataView&) = delete;
    DataView& operator=(const DataView&) = delete;

    DataKind kind() const { return _kind; }
    const char* data() const { return _data; }
    Ptex::Res res() const { return _res; }

protected:
    DataKind _kind = DataKind::none;
    const char* _data = nullptr;
    Ptex::Res _res{0, 0};
    PtexFaceData* _generic = nullptr;
};

class FaceView : public DataView {
public:
    FaceView(const FilterSource& src, int faceid, Ptex::Res res) {
        if (PtexInternal::PtexReader* r = src.reader()) {
            PtexInternal::FaceData* fd = r->filterData(faceid, res);
            if (!fd) return;
            _data = reinterpret_cast<const char*>(fd->bytes());
            _res = fd->dataRes();
            switch (fd->kind()) {
                case PtexInternal::FaceData::kConstant:
                    _kind = _data ? DataKind::constant : DataKind::none;
                    break;
                case PtexInternal::FaceData::kPacked:
                    _kind = _data ? DataKind::packed : DataKind::none;
                    break;
                case PtexInternal::FaceData::kTiled: {
                    _tiled = static_cast<PtexInternal::TiledFace*>(fd);
                    _kind = DataKind::tiled;
                    _tileRes = _tiled->tileResolution();
                    break;
                }
            }
            return;
        }
        _generic = src.texture()->getData(faceid, res);
        if (!_generic) return;
        _data = static_cast<const char*>(_generic->getData());
        if (_generic->isConstant()) {
            _kind = _data ? DataKind::constant : DataKind::none;
        } else if (_generic->isTiled()) {
            _kind = DataKind::tiled;
            _res = _generic->res();
            _tileRes = _generic->tileRes();
        } else {
            _kind = _data ? DataKind::packed : DataKind::none;
            _res = _generic->res();
        }
    }
    Ptex::Res tileRes() const { return _tileRes; }

private:
    friend class TileView;
    Ptex::Res _tileRes{0, 0};
    PtexInternal::TiledFace* _tiled = nullptr;
};

class TileView : public DataView {
public:
    TileView(const FaceView& face, int t) {
        if (face._tiled) {
            if (t < 0 || t >= face._tiled->ntiles()) return;
            PtexInternal::FaceData* fd = face._tiled->tile(t);
            _data = reinterpret_cast<const char*>(fd->bytes());
            _res = fd->dataRes();
            const bool constant = fd->kind() == PtexInternal::FaceData::kConstant;
            if (_data) _kind = constant ? DataKind::constant : DataKind::packed;
            return;
        }
        if (!face._generic) return;
        _generic = face._generic->getTile(t);
        if (!_generic) return;
        _data = static_cast<const char*>(_generic->getData());
        if (!_data) return;
        _kind = _generic->isConstant() ? DataKind::constant : DataKind::packed;
        _res = _generic->res();
    }
};

}  // namespace PtexFilterImpl

#endif
