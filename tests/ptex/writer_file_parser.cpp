// Test-side decoder of a Ptex file (see writer_file_parser.h).
#include "writer_file_parser.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <zlib.h>

namespace PtexTestFile {
namespace {

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint64_t u64(const uint8_t* p) { return uint64_t(u32(p)) | uint64_t(u32(p + 4)) << 32; }

int sampleSize(uint32_t dt) { return dt == 0 ? 1 : dt == 3 ? 4 : 2; }

bool parseRecords(const Bytes& b, bool large, std::vector<MetaRecord>& out, std::vector<uint32_t>* zipsizes)
{
    size_t p = 0;
    while (p < b.size()) {
        MetaRecord r;
        const uint8_t keysize = b[p++];
        if (keysize == 0 || p + keysize + 5 > b.size()) return false;
        if (b[p + keysize - 1] != 0) return false;
        r.key.assign(reinterpret_cast<const char*>(&b[p]), keysize - 1);
        p += keysize;
        r.type = b[p++];
        const uint32_t datasize = u32(&b[p]);
        p += 4;
        r.large = large;
        if (large) {
            if (p + 4 > b.size()) return false;
            zipsizes->push_back(u32(&b[p]));
            p += 4;
            r.data.resize(datasize);
        } else {
            if (p + datasize > b.size()) return false;
            r.data.assign(b.begin() + long(p), b.begin() + long(p + datasize));
            p += datasize;
        }
        out.push_back(std::move(r));
    }
    return true;
}

}  // namespace

int ParsedFile::pixelSize() const { return sampleSize(datatype) * nchannels; }

bool inflateExact(const uint8_t* data, size_t zipsize, size_t expected, Bytes& out)
{
    out.assign(expected + 1, 0);
    z_stream zs;
    std::memset(&zs, 0, sizeof(zs));
    if (inflateInit(&zs) != Z_OK) return false;
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = uInt(zipsize);
    zs.next_out = out.data();
    zs.avail_out = uInt(out.size());
    const int ret = inflate(&zs, Z_FINISH);
    const size_t produced = out.size() - zs.avail_out;
    const bool consumedAll = zs.avail_in == 0;
    inflateEnd(&zs);
    out.resize(expected);
    return ret == Z_STREAM_END && produced == expected && consumedAll;
}

std::vector<uint32_t> reductionOrder(const std::vector<FaceRecord>& faces)
{
    std::vector<uint32_t> order(faces.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = uint32_t(i);
    auto key = [&](uint32_t f) {
        const FaceRecord& r = faces[f];
        return (r.flags & 1) ? 1 : std::min<int>(r.ulog2, r.vlog2);
    };
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) > key(b); });
    return order;
}

bool parsePtexFile(const std::string& path, ParsedFile& pf, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    pf.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const Bytes& f = pf.file;
    auto fail = [&](const std::string& m) {
        error = m;
        return false;
    };
    if (f.size() < 104) return fail("file shorter than the headers");
    const uint8_t* h = f.data();
    pf.magic = u32(h);
    pf.version = u32(h + 4);
    pf.meshtype = u32(h + 8);
    pf.datatype = u32(h + 12);
    pf.alphachan = int32_t(u32(h + 16));
    pf.nchannels = u16(h + 20);
    pf.nlevels = u16(h + 22);
    pf.nfaces = u32(h + 24);
    pf.extheadersize = u32(h + 28);
    pf.faceinfosize = u32(h + 32);
    pf.constdatasize = u32(h + 36);
    pf.levelinfosize = u32(h + 40);
    pf.minorversion = u32(h + 44);
    pf.leveldatasize = u64(h + 48);
    pf.metadatazipsize = u32(h + 56);
    pf.metadatamemsize = u32(h + 60);
    if (pf.magic != 0x78657450u) return fail("bad magic");
    if (pf.extheadersize != 40) return fail("extheadersize is not 40");
    const uint8_t* e = h + 64;
    pf.ubordermode = u16(e);
    pf.pad = u16(e + 2);
    pf.vbordermode = u16(e + 4);
    pf.edgefiltermode = u16(e + 6);
    pf.lmdheaderzipsize = u32(e + 8);
    pf.lmdheadermemsize = u32(e + 12);
    pf.lmddatasize = u64(e + 16);
    pf.editdatasize = u64(e + 24);
    pf.editdatapos = u64(e + 32);

    uint64_t p = 104;
    auto need = [&](uint64_t size) { return p + size <= f.size(); };
    Bytes b;
    if (!need(pf.faceinfosize) || !inflateExact(&f[p], pf.faceinfosize, size_t(pf.nfaces) * 20, b))
        return fail("face info block does not inflate to 20 x nfaces");
    pf.faces.resize(pf.nfaces);
    for (uint32_t i = 0; i < pf.nfaces; i++) {
        const uint8_t* r = &b[size_t(i) * 20];
        FaceRecord& fr = pf.faces[i];
        fr.ulog2 = int8_t(r[0]);
        fr.vlog2 = int8_t(r[1]);
        fr.adjedges = r[2];
        fr.flags = r[3];
        for (int k = 0; k < 4; k++) fr.adjfaces[k] = int32_t(u32(r + 4 + 4 * k));
    }
    p += pf.faceinfosize;
    if (!need(pf.constdatasize) ||
        !inflateExact(&f[p], pf.constdatasize, size_t(pf.nfaces) * pf.pixelSize(), pf.constdata))
        return fail("constant data block does not inflate to pixelsize x nfaces");
    p += pf.constdatasize;
    if (pf.levelinfosize != 16u * pf.nlevels || !need(pf.levelinfosize)) return fail("bad level info size");
    pf.levels.resize(pf.nlevels);
    for (int i = 0; i < pf.nlevels; i++) {
        const uint8_t* r = &f[p + 16 * i];
        pf.levels[i].dataSize = u64(r);
        pf.levels[i].headerSize = u32(r + 8);
        pf.levels[i].nfaces = u32(r + 12);
    }
    p += pf.levelinfosize;
    uint64_t levelTotal = 0;
    for (int i = 0; i < pf.nlevels; i++) {
        Level& L = pf.levels[i];
        if (!need(L.dataSize) || L.headerSize > L.dataSize) return fail("level data past the end");
        if (!inflateExact(&f[p], L.headerSize, size_t(L.nfaces) * 4, b)) return fail("level header does not inflate");
        uint64_t q = p + L.headerSize;
        for (uint32_t k = 0; k < L.nfaces; k++) {
            const uint32_t w = u32(&b[4 * k]);
            Block blk;
            blk.size = w & 0x3fffffffu;
            blk.encoding = w >> 30;
            blk.offset = q;
            q += blk.size;
            L.blocks.push_back(blk);
        }
        if (q != p + L.dataSize) return fail("level data size is not header + blocks");
        p += L.dataSize;
        levelTotal += L.dataSize;
    }
    if (levelTotal != pf.leveldatasize) return fail("header leveldatasize is not the sum of the levels");
    if (pf.nlevels < 1 || pf.levels[0].nfaces != pf.nfaces) return fail("level 0 does not hold every face");

    if (pf.metadatazipsize) {
        if (!need(pf.metadatazipsize) || !inflateExact(&f[p], pf.metadatazipsize, pf.metadatamemsize, b))
            return fail("metadata block does not inflate");
        if (!parseRecords(b, false, pf.meta, nullptr)) return fail("bad metadata records");
    } else if (pf.metadatamemsize) {
        return fail("metadata memsize without data");
    }
    p += pf.metadatazipsize;
    pf.barrierFound = need(8) && std::all_of(&f[p], &f[p] + 8, [](uint8_t c) { return c == 0; });
    p += 8;
    if (pf.lmdheaderzipsize) {
        if (!need(pf.lmdheaderzipsize) || !inflateExact(&f[p], pf.lmdheaderzipsize, pf.lmdheadermemsize, b))
            return fail("large metadata header does not inflate");
        std::vector<MetaRecord> large;
        std::vector<uint32_t> zipsizes;
        if (!parseRecords(b, true, large, &zipsizes)) return fail("bad large metadata records");
        p += pf.lmdheaderzipsize;
        uint64_t total = 0;
        for (size_t k = 0; k < large.size(); k++) {
            if (!need(zipsizes[k]) || !inflateExact(&f[p], zipsizes[k], large[k].data.size(), large[k].data))
                return fail("large metadata entry does not inflate");
            p += zipsizes[k];
            total += zipsizes[k];
            pf.meta.push_back(std::move(large[k]));
        }
        if (total != pf.lmddatasize) return fail("lmddatasize is not the sum of the entries");
    } else if (pf.lmddatasize || pf.lmdheadermemsize) {
        return fail("large metadata sizes without a header");
    }
    pf.sectionsEnd = p;
    if (pf.editdatapos < p) return fail("editdatapos before the end of the sections");

    // Edit blocks.
    uint64_t q = pf.editdatapos;
    const uint64_t end = pf.editdatasize ? pf.editdatapos + pf.editdatasize : f.size();
    while (q + 5 <= f.size() && q < end) {
        EditBlock eb;
        eb.type = f[q];
        eb.size = u32(&f[q + 1]);
        if (eb.size == 0) break;
        eb.payload = q + 5;
        if (eb.payload + eb.size > f.size()) return fail("edit block past the end");
        pf.edits.push_back(eb);
        q = eb.payload + eb.size;
    }
    return true;
}

bool decodeBlock(const ParsedFile& pf, const Block& blk, int ulog2, int vlog2, Bytes& pixels)
{
    const int ps = pf.pixelSize(), ss = sampleSize(pf.datatype), nch = pf.nchannels;
    const size_t u = size_t(1) << ulog2, v = size_t(1) << vlog2, n = u * v;
    if (blk.offset + blk.size > pf.file.size()) return false;
    const uint8_t* d = &pf.file[blk.offset];
    pixels.assign(n * ps, 0);
    if (blk.encoding == 0) {
        if (blk.size != uint32_t(ps)) return false;
        for (size_t i = 0; i < n; i++) std::memcpy(&pixels[i * ps], d, ps);
        return true;
    }
    if (blk.encoding == 1 || blk.encoding == 2) {
        Bytes planar;
        if (!inflateExact(d, blk.size, n * ps, planar)) return false;
        if (blk.encoding == 2) {
            if (ss == 1) {
                for (size_t i = 1; i < planar.size(); i++) planar[i] = uint8_t(planar[i] + planar[i - 1]);
            } else if (pf.datatype == 1) {
                uint16_t prev = 0;
                for (size_t i = 0; i < planar.size() / 2; i++) {
                    uint16_t x;
                    std::memcpy(&x, &planar[2 * i], 2);
                    prev = uint16_t(prev + x);
                    std::memcpy(&planar[2 * i], &prev, 2);
                }
            }
        }
        for (int c = 0; c < nch; c++)
            for (size_t i = 0; i < n; i++) std::memcpy(&pixels[i * ps + c * ss], &planar[(c * n + i) * ss], ss);
        return true;
    }
    // Tiled.
    if (blk.size < 6) return false;
    const int tul = int8_t(d[0]), tvl = int8_t(d[1]);
    const uint32_t ths = u32(d + 2);
    if (tul < 0 || tvl < 0 || tul > ulog2 || tvl > vlog2 || 6 + uint64_t(ths) > blk.size) return false;
    const size_t ntu = size_t(1) << (ulog2 - tul), ntv = size_t(1) << (vlog2 - tvl);
    Bytes th;
    if (!inflateExact(d + 6, ths, ntu * ntv * 4, th)) return false;
    uint64_t q = blk.offset + 6 + ths;
    const size_t tu = size_t(1) << tul, tv = size_t(1) << tvl;
    for (size_t t = 0; t < ntu * ntv; t++) {
        Block tb;
        const uint32_t w = u32(&th[4 * t]);
        tb.size = w & 0x3fffffffu;
        tb.encoding = w >> 30;
        tb.offset = q;
        q += tb.size;
        if (tb.encoding == 3) return false;  // tiles are never tiled again
        Bytes tile;
        if (!decodeBlock(pf, tb, tul, tvl, tile)) return false;
        const size_t x0 = (t % ntu) * tu, y0 = (t / ntu) * tv;
        for (size_t y = 0; y < tv; y++)
            std::memcpy(&pixels[((y0 + y) * u + x0) * ps], &tile[y * tu * ps], tu * ps);
    }
    return q == blk.offset + blk.size;
}

bool decodeFaceLevel(const ParsedFile& pf, int faceid, int level, Bytes& pixels, int& ulog2, int& vlog2)
{
    if (faceid < 0 || faceid >= int(pf.faces.size()) || level < 0 || level >= int(pf.levels.size())) return false;
    const FaceRecord& fr = pf.faces[faceid];
    ulog2 = fr.ulog2 - level;
    vlog2 = fr.vlog2 - level;
    if (ulog2 < 0 || vlog2 < 0) return false;
    size_t entry = size_t(faceid);
    if (level > 0) {
        const std::vector<uint32_t> order = reductionOrder(pf.faces);
        entry = size_t(std::find(order.begin(), order.end(), uint32_t(faceid)) - order.begin());
    }
    if (entry >= pf.levels[level].blocks.size()) return false;
    return decodeBlock(pf, pf.levels[level].blocks[entry], ulog2, vlog2, pixels);
}

}  // namespace PtexTestFile
