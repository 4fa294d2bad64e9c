// Encoding of one face image into its stored block (see WriterFaceBlock.h).
#include "WriterFaceBlock.h"

#include <cstring>

#include "PtexUtils.h"
#include "WriterZip.h"

namespace PtexWriterInternal {
namespace {

using PtexIO::FaceDataHeader;

constexpr uint64_t maxBlockSize = 0x3fffffffu;

// One untiled image (a face or a tile): planar, delta-coded for integers, zlib.
bool encodeImage(const uint8_t* pixels, int ures, int vres, Ptex::DataType dt, int nchannels,
                 int zipLevel, ByteBuffer& out, FaceDataHeader& fdh, std::string& error) {
    const int sampleSize = Ptex::DataSize(dt);
    const int pixelSize = sampleSize * nchannels;
    ByteBuffer planar(size_t(ures) * vres * pixelSize);
    PtexUtils::deinterleave(pixels, ures * pixelSize, ures, vres, planar.data(), ures * sampleSize,
                            dt, nchannels);
    const bool diff = dt == Ptex::dt_uint8 || dt == Ptex::dt_uint16;
    if (diff) PtexUtils::encodeDifference(planar.data(), planar.size(), dt);
    const size_t start = out.size();
    if (!zipAppend(planar.data(), planar.size(), zipLevel, out)) {
        error = "PtexWriter error: data compression internal error";
        return false;
    }
    const size_t size = out.size() - start;
    if (size > maxBlockSize) {
        out.resize(start);
        error = "PtexWriter error: face data too large";
        return false;
    }
    fdh.set(uint32_t(size), diff ? PtexIO::enc_diffzipped : PtexIO::enc_zipped);
    return true;
}

}  // namespace

Ptex::Res blockTileRes(Ptex::Res res, int pixelSize) {
    const uint64_t faceBytes = uint64_t(pixelSize) << (res.ulog2 + res.vlog2);
    const uint64_t quotient = faceBytes / 65536;
    int t = 0;
    for (uint64_t q = quotient; q > 1; q >>= 1) t++;  // floor(log2(quotient)), 0 for 0 or 1
    if (t == 0) return res;
    const int n = res.ulog2 + res.vlog2 - t;
    int tu = (n + 1) / 2;
    if (tu > res.ulog2) tu = res.ulog2;
    int tv = n - tu;
    if (tv > res.vlog2) tv = res.vlog2;
    return Ptex::Res(int8_t(tu), int8_t(tv));
}

bool encodeFaceBlock(const void* data, Ptex::Res res, Ptex::DataType dt, int nchannels,
                     int zipLevel, ByteBuffer& out, FaceDataHeader& fdh, std::string& error) {
    const int pixelSize = Ptex::DataSize(dt) * nchannels;
    const uint8_t* pixels = static_cast<const uint8_t*>(data);
    const Ptex::Res tileres = blockTileRes(res, pixelSize);
    if (tileres == res)
        return encodeImage(pixels, res.u(), res.v(), dt, nchannels, zipLevel, out, fdh, error);

    // Tiled: tile res (2 bytes), tile header size (4), zipped tile header words,
    // then one block per tile, row-major with u fastest.
    const int ntilesu = res.ntilesu(tileres), ntilesv = res.ntilesv(tileres);
    const int tileu = tileres.u(), tilev = tileres.v();
    const size_t rowBytes = size_t(res.u()) * pixelSize, tileRowBytes = size_t(tileu) * pixelSize;

    std::vector<FaceDataHeader> tileFdh(size_t(ntilesu) * ntilesv);
    ByteBuffer tileData, tile(tileRowBytes * tilev);
    for (int tv = 0; tv < ntilesv; tv++) {
        for (int tu = 0; tu < ntilesu; tu++) {
            const uint8_t* src = pixels + size_t(tv) * tilev * rowBytes + size_t(tu) * tileRowBytes;
            PtexUtils::copy(src, int(rowBytes), tile.data(), int(tileRowBytes), tilev,
                            int(tileRowBytes));
            FaceDataHeader& word = tileFdh[size_t(tv) * ntilesu + tu];
            if (PtexUtils::isConstant(tile.data(), int(tileRowBytes), tileu, tilev, pixelSize)) {
                putBytes(tileData, tile.data(), pixelSize);
                word.set(uint32_t(pixelSize), PtexIO::enc_constant);
            } else if (!encodeImage(tile.data(), tileu, tilev, dt, nchannels, zipLevel, tileData,
                                    word, error)) {
                return false;
            }
        }
    }
    ByteBuffer zippedHeader;
    if (!zipAppend(tileFdh.data(), tileFdh.size() * sizeof(FaceDataHeader), zipLevel,
                   zippedHeader)) {
        error = "PtexWriter error: data compression internal error";
        return false;
    }
    const uint64_t total =
        PtexIO::TiledPrefixSize + uint64_t(zippedHeader.size()) + tileData.size();
    if (total > maxBlockSize) {
        error = "PtexWriter error: face data too large";
        return false;
    }
    out.reserve(out.size() + total);
    putU8(out, uint8_t(tileres.ulog2));
    putU8(out, uint8_t(tileres.vlog2));
    putU32(out, uint32_t(zippedHeader.size()));
    putBytes(out, zippedHeader.data(), zippedHeader.size());
    putBytes(out, tileData.data(), tileData.size());
    fdh.set(uint32_t(total), PtexIO::enc_tiled);
    return true;
}

}  // namespace PtexWriterInternal
