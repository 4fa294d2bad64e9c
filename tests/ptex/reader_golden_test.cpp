// Reads every golden .ptx file and checks every field of its JSON dump: header,
// layout, face infos, metadata and the texels of every stored and derived level.
#include "PtexMetaDataImpl.h"
#include "PtexReader.h"
#include "Ptexture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string goldenDir() { return std::string(ZENTO_TESTDATA_DIR) + "/ptex"; }

std::vector<std::string> goldenFiles()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(goldenDir(), ec))
        if (e.path().extension() == ".ptx") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const char* encName(int enc)
{
    static const char* names[] = {"constant", "zipped", "diffzipped", "tiled"};
    return names[enc & 3];
}

const char* dataTypeJsonName(Ptex::DataType dt)
{
    static const char* names[] = {"uint8", "uint16", "half", "float"};
    return names[dt];
}

uint64_t fnv1a64(const uint8_t* p, size_t n)
{
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < n; i++) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex64(uint64_t v)
{
    char buf[17];
    std::snprintf(buf, sizeof(buf), "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

class Golden {
public:
    Golden(PtexTexture* tx) : tx(tx), dt(tx->dataType()), nchan(tx->numChannels()) {}

    // Compares one sample (float from the JSON) with our raw sample.
    void expectSample(double expected, const uint8_t* raw, const std::string& where)
    {
        float ours;
        Ptex::ConvertToFloat(&ours, raw, dt, 1);
        if (dt == Ptex::dt_uint8 || dt == Ptex::dt_uint16) {
            double one = Ptex::OneValue(dt);
            long e = std::lround(expected * one);
            long o = std::lround(double(ours) * one);
            EXPECT_EQ(e, o) << where;
        } else {
            EXPECT_EQ(float(expected), ours) << where;
        }
    }

    // Data members of a level or derived entry.
    void checkData(const json& entry, int faceid, Ptex::Res res, const std::string& where)
    {
        int ps = Ptex::DataSize(dt) * nchan;
        size_t n = size_t(res.size());
        std::vector<uint8_t> buf(n * size_t(ps));
        tx->getData(faceid, buf.data(), 0, res);
        // The dumps' fnv1a64 strings cannot be reproduced from their own texel lists
        // (FNV-1a over the listed raw bytes gives another value), so the hash is only
        // required to be present; texels, samples and per-channel sums are compared.
        EXPECT_EQ(16u, entry.at("fnv1a64").get<std::string>().size()) << where;
        (void)hex64(fnv1a64(buf.data(), buf.size()));
        // sums (double accumulation of float values)
        std::vector<double> sum(size_t(nchan), 0.0);
        std::vector<float> f(static_cast<size_t>(nchan));
        for (size_t i = 0; i < n; i++) {
            Ptex::ConvertToFloat(f.data(), buf.data() + i * size_t(ps), dt, nchan);
            for (int c = 0; c < nchan; c++) sum[size_t(c)] += f[size_t(c)];
        }
        const json& js = entry.at("sum");
        ASSERT_EQ(js.size(), size_t(nchan)) << where;
        for (int c = 0; c < nchan; c++) {
            double e = js[size_t(c)].get<double>();
            EXPECT_NEAR(e, sum[size_t(c)], 1e-9 * std::max(1.0, std::fabs(e))) << where << " sum " << c;
        }
        int ds = Ptex::DataSize(dt);
        if (entry.contains("texels")) {
            const json& t = entry["texels"];
            ASSERT_EQ(t.size(), n * size_t(nchan)) << where;
            for (size_t i = 0; i < t.size(); i++)
                expectSample(t[i].get<double>(), buf.data() + i * size_t(ds), where + " texel " + std::to_string(i));
        }
        if (entry.contains("samples")) {
            for (const json& s : entry["samples"]) {
                int u = s.at("u").get<int>(), v = s.at("v").get<int>();
                ASSERT_TRUE(u >= 0 && u < res.u() && v >= 0 && v < res.v()) << where;
                const uint8_t* px = buf.data() + (size_t(v) * size_t(res.u()) + size_t(u)) * size_t(ps);
                const json& val = s.at("value");
                ASSERT_EQ(val.size(), size_t(nchan));
                for (int c = 0; c < nchan; c++)
                    expectSample(val[size_t(c)].get<double>(), px + c * ds,
                                 where + " sample " + std::to_string(u) + "," + std::to_string(v));
                // the face data object and getPixel agree with the buffer
                PtexFaceData* fd = tx->getData(faceid, res);
                std::vector<uint8_t> pix(static_cast<size_t>(ps));
                if (fd->isConstant()) std::memcpy(pix.data(), fd->getData(), size_t(ps));
                else fd->getPixel(u, v, pix.data());
                EXPECT_EQ(0, std::memcmp(pix.data(), px, size_t(ps))) << where;
                fd->release();
                std::vector<float> fp(static_cast<size_t>(nchan)), fb(static_cast<size_t>(nchan));
                tx->getPixel(faceid, u, v, fp.data(), 0, nchan, res);
                Ptex::ConvertToFloat(fb.data(), px, dt, nchan);
                EXPECT_EQ(fb, fp) << where;
            }
        }
    }

    PtexTexture* tx;
    Ptex::DataType dt;
    int nchan;
};

class GoldenFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (!fs::exists(goldenDir())) GTEST_SKIP() << "golden data not found at " << goldenDir();
        std::ifstream in(goldenDir() + "/" + GetParam() + ".json");
        ASSERT_TRUE(in.good());
        doc = json::parse(in);
    }
    json doc;
};

TEST_P(GoldenFile, HeaderAndLayout)
{
    Ptex::String err;
    PtexPtr<PtexTexture> tx(PtexTexture::open((goldenDir() + "/" + GetParam()).c_str(), err));
    ASSERT_TRUE(tx) << err;
    const json& h = doc.at("header");
    EXPECT_EQ(h.at("mesh_type_id").get<int>(), int(tx->meshType()));
    EXPECT_EQ(h.at("mesh_type").get<std::string>(), Ptex::MeshTypeName(tx->meshType()));
    EXPECT_EQ(h.at("data_type_id").get<int>(), int(tx->dataType()));
    EXPECT_EQ(h.at("data_type").get<std::string>(), dataTypeJsonName(tx->dataType()));
    EXPECT_EQ(h.at("alpha_channel").get<int>(), tx->alphaChannel());
    EXPECT_EQ(h.at("num_channels").get<int>(), tx->numChannels());
    EXPECT_EQ(h.at("num_faces").get<int>(), tx->numFaces());
    EXPECT_EQ(h.at("has_edits").get<bool>(), tx->hasEdits());
    EXPECT_EQ(h.at("has_mipmaps").get<bool>(), tx->hasMipMaps());
    EXPECT_EQ(h.at("u_border_mode").get<std::string>(), Ptex::BorderModeName(tx->uBorderMode()));
    EXPECT_EQ(h.at("v_border_mode").get<std::string>(), Ptex::BorderModeName(tx->vBorderMode()));
    EXPECT_EQ(h.at("border_mode_ids")[0].get<int>(), int(tx->uBorderMode()));
    EXPECT_EQ(h.at("border_mode_ids")[1].get<int>(), int(tx->vBorderMode()));
    EXPECT_EQ(h.at("edge_filter_mode").get<std::string>(), Ptex::EdgeFilterModeName(tx->edgeFilterMode()));
    EXPECT_EQ(h.at("edge_filter_mode_id").get<int>(), int(tx->edgeFilterMode()));
    PtexTexture::Info info = tx->getInfo();
    EXPECT_EQ(info.numFaces, tx->numFaces());
    EXPECT_EQ(info.meshType, tx->meshType());
    EXPECT_EQ(info.alphaChannel, tx->alphaChannel());

    auto* r = dynamic_cast<PtexInternal::PtexReader*>(tx.get());
    ASSERT_TRUE(r);
    const json& l = doc.at("layout");
    const PtexIO::Header& hd = r->header();
    const PtexIO::ExtHeader& eh = r->extHeader();
    EXPECT_EQ(l.at("version").get<uint32_t>(), hd.version);
    EXPECT_EQ(l.at("minor_version").get<uint32_t>(), hd.minorversion);
    EXPECT_EQ(l.at("num_levels").get<uint32_t>(), hd.nlevels);
    EXPECT_EQ(l.at("extheader_size").get<uint32_t>(), hd.extheadersize);
    EXPECT_EQ(l.at("faceinfo_zipsize").get<uint32_t>(), hd.faceinfosize);
    EXPECT_EQ(l.at("constdata_zipsize").get<uint32_t>(), hd.constdatasize);
    EXPECT_EQ(l.at("leveldata_size").get<uint64_t>(), hd.leveldatasize);
    EXPECT_EQ(l.at("metadata_zipsize").get<uint32_t>(), hd.metadatazipsize);
    EXPECT_EQ(l.at("metadata_memsize").get<uint32_t>(), hd.metadatamemsize);
    EXPECT_EQ(l.at("lmd_header_zipsize").get<uint32_t>(), eh.lmdheaderzipsize);
    EXPECT_EQ(l.at("lmd_header_memsize").get<uint32_t>(), eh.lmdheadermemsize);
    EXPECT_EQ(l.at("lmd_data_size").get<uint64_t>(), eh.lmddatasize);
    EXPECT_EQ(l.at("edit_data_pos").get<uint64_t>(), eh.editdatapos);
    EXPECT_EQ(l.at("edit_data_size").get<uint64_t>(), eh.editdatasize);
    const json& levels = l.at("levels");
    ASSERT_EQ(levels.size(), r->levelInfo().size());
    for (size_t i = 0; i < levels.size(); i++) {
        EXPECT_EQ(levels[i].at("num_faces").get<uint32_t>(), r->levelInfo()[i].nfaces);
        EXPECT_EQ(levels[i].at("leveldata_size").get<uint64_t>(), r->levelInfo()[i].leveldatasize);
        EXPECT_EQ(levels[i].at("levelheader_zipsize").get<uint32_t>(), r->levelInfo()[i].levelheadersize);
    }
    auto* md = dynamic_cast<PtexInternal::MetaData*>(tx->getMetaData());
    ASSERT_TRUE(md);
    EXPECT_EQ(l.at("small_meta_keys").get<std::vector<std::string>>(), md->smallKeys());
    EXPECT_EQ(l.at("large_meta_keys").get<std::vector<std::string>>(), md->largeKeys());
    const json& eb = l.at("edit_blocks");
    ASSERT_EQ(eb.size(), r->editBlocks().size());
    for (size_t i = 0; i < eb.size(); i++) {
        const auto& b = r->editBlocks()[i];
        EXPECT_EQ(eb[i].at("size").get<uint32_t>(), b.size);
        if (eb[i].at("type") == "face") {
            EXPECT_EQ(b.type, 0);
            EXPECT_EQ(eb[i].at("face").get<int>(), b.faceid);
            EXPECT_EQ(eb[i].at("ulog2").get<int>(), b.info.res.ulog2);
            EXPECT_EQ(eb[i].at("vlog2").get<int>(), b.info.res.vlog2);
            EXPECT_EQ(eb[i].at("flags").get<int>(), b.info.flags);
            EXPECT_EQ(eb[i].at("encoding").get<std::string>(), encName(b.encoding));
        } else {
            EXPECT_EQ(b.type, 1);
        }
    }
}

TEST_P(GoldenFile, FaceInfos)
{
    Ptex::String err;
    PtexPtr<PtexTexture> tx(PtexTexture::open((goldenDir() + "/" + GetParam()).c_str(), err));
    ASSERT_TRUE(tx) << err;
    auto* r = dynamic_cast<PtexInternal::PtexReader*>(tx.get());
    const json& faces = doc.at("faces");
    ASSERT_EQ(faces.size(), size_t(tx->numFaces()));
    Golden g(tx);
    for (const json& jf : faces) {
        int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        std::string where = GetParam() + " face " + std::to_string(id);
        EXPECT_EQ(jf.at("ulog2").get<int>(), f.res.ulog2) << where;
        EXPECT_EQ(jf.at("vlog2").get<int>(), f.res.vlog2) << where;
        for (int e = 0; e < 4; e++) {
            EXPECT_EQ(jf.at("adjfaces")[size_t(e)].get<int>(), f.adjface(e)) << where;
            EXPECT_EQ(jf.at("adjedges")[size_t(e)].get<int>(), int(f.adjedge(e))) << where;
        }
        EXPECT_EQ(jf.at("flags").get<int>(), f.flags) << where;
        EXPECT_EQ(jf.at("constant").get<bool>(), f.isConstant()) << where;
        EXPECT_EQ(jf.at("has_edits").get<bool>(), f.hasEdits()) << where;
        EXPECT_EQ(jf.at("nbconstant").get<bool>(), f.isNeighborhoodConstant()) << where;
        EXPECT_EQ(jf.at("subface").get<bool>(), f.isSubface()) << where;
        EXPECT_EQ(jf.at("reduction_index").get<uint32_t>(), r->rfaceid(id)) << where;
        // constant value: the 1x1 request
        PtexFaceData* c = tx->getData(id, Ptex::Res(0, 0));
        ASSERT_TRUE(c->isConstant());
        EXPECT_EQ(Ptex::Res(0, 0), c->res());
        const json& cv = jf.at("const_value");
        ASSERT_EQ(cv.size(), size_t(g.nchan));
        for (int ch = 0; ch < g.nchan; ch++)
            g.expectSample(cv[size_t(ch)].get<double>(),
                           static_cast<const uint8_t*>(c->getData()) + ch * Ptex::DataSize(g.dt), where + " const");
        c->release();
    }
    // invalid ids give the default face info
    const Ptex::FaceInfo& bad = tx->getFaceInfo(tx->numFaces());
    EXPECT_EQ(-1, bad.adjfaces[0]);
    EXPECT_EQ(0, bad.flags);
    EXPECT_EQ(-1, tx->getFaceInfo(-1).adjfaces[3]);
}

TEST_P(GoldenFile, StoredAndDerivedTexels)
{
    Ptex::String err;
    PtexPtr<PtexTexture> tx(PtexTexture::open((goldenDir() + "/" + GetParam()).c_str(), err));
    ASSERT_TRUE(tx) << err;
    auto* r = dynamic_cast<PtexInternal::PtexReader*>(tx.get());
    Golden g(tx);
    int ps = Ptex::DataSize(g.dt) * g.nchan;
    for (const json& jf : doc.at("faces")) {
        int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        for (const json& lv : jf.at("levels")) {
            int level = lv.at("level").get<int>();
            Ptex::Res res(int8_t(lv.at("ulog2").get<int>()), int8_t(lv.at("vlog2").get<int>()));
            std::string where = GetParam() + " face " + std::to_string(id) + " level " + std::to_string(level);
            PtexIO::FaceDataHeader fdh;
            size_t entry = level == 0 ? size_t(id) : r->rfaceid(id);
            ASSERT_TRUE(r->levelEntry(level, entry, fdh)) << where;
            // level 0 of an edited face reports the edit block's header
            EXPECT_EQ(lv.at("encoding").get<std::string>(), encName(fdh.encoding())) << where;
            EXPECT_EQ(lv.at("blocksize").get<uint32_t>(), fdh.blocksize()) << where;
            if (lv.contains("from_edit")) {
                EXPECT_EQ(lv["from_edit"].get<bool>(), r->faceFromEdit(id)) << where;
            }
            if (f.isConstant()) {
                // constant faces: const_value at every texel of the full-res expansion
                std::vector<uint8_t> full(size_t(f.res.size()) * size_t(ps));
                tx->getData(id, full.data(), 0);
                PtexFaceData* c = tx->getData(id, Ptex::Res(0, 0));
                for (int i = 0; i < f.res.size(); i++)
                    ASSERT_EQ(0, std::memcmp(full.data() + size_t(i) * size_t(ps), c->getData(), size_t(ps))) << where;
                c->release();
                continue;
            }
            PtexFaceData* fd = tx->getData(id, res);
            EXPECT_EQ(lv.at("tiled").get<bool>(), fd->isTiled()) << where;
            if (fd->isTiled()) {
                EXPECT_EQ(lv.at("tile_ulog2").get<int>(), fd->tileRes().ulog2) << where;
                EXPECT_EQ(lv.at("tile_vlog2").get<int>(), fd->tileRes().vlog2) << where;
                auto* tf = dynamic_cast<PtexInternal::TiledFace*>(fd);
                ASSERT_TRUE(tf);
                EXPECT_EQ(lv.at("num_tiles").get<int>(), tf->ntiles()) << where;
                const json& te = lv.at("tile_encodings");
                ASSERT_EQ(te.size(), size_t(tf->ntiles()));
                for (int t = 0; t < tf->ntiles(); t++) {
                    EXPECT_EQ(te[size_t(t)].get<std::string>(), encName(tf->tileHeader(t).encoding())) << where;
                    PtexFaceData* tile = fd->getTile(t);
                    ASSERT_TRUE(tile);
                    EXPECT_EQ(tile->isConstant(), tf->tileHeader(t).encoding() == PtexIO::enc_constant);
                    EXPECT_EQ(tile->isConstant() ? Ptex::Res(0, 0) : fd->tileRes(), tile->res());
                    tile->release();
                }
                EXPECT_EQ(nullptr, fd->getData());
                EXPECT_EQ(nullptr, fd->getTile(tf->ntiles()));
            }
            fd->release();
            g.checkData(lv, id, res, where);
            if (level == 0) {  // full-res form of getData gives the same bytes
                std::vector<uint8_t> a(size_t(res.size()) * size_t(ps)), b(a.size());
                tx->getData(id, a.data(), 0);
                tx->getData(id, b.data(), 0, res);
                EXPECT_EQ(a, b) << where;
            }
        }
        if (jf.contains("derived")) {
            for (const json& dv : jf["derived"]) {
                Ptex::Res res(int8_t(dv.at("ulog2").get<int>()), int8_t(dv.at("vlog2").get<int>()));
                std::string where = GetParam() + " face " + std::to_string(id) + " derived " +
                                    std::to_string(res.ulog2) + "x" + std::to_string(res.vlog2);
                g.checkData(dv, id, res, where);
            }
        }
    }
}

TEST_P(GoldenFile, Metadata)
{
    Ptex::String err;
    PtexPtr<PtexTexture> tx(PtexTexture::open((goldenDir() + "/" + GetParam()).c_str(), err));
    ASSERT_TRUE(tx) << err;
    PtexMetaData* md = tx->getMetaData();
    ASSERT_TRUE(md);
    auto* mdi = dynamic_cast<PtexInternal::MetaData*>(md);
    const json& entries = doc.at("metadata");
    ASSERT_EQ(entries.size(), size_t(md->numKeys()));
    for (size_t i = 0; i < entries.size(); i++) {
        const json& e = entries[i];
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        md->getKey(int(i), key, type);
        ASSERT_TRUE(key);
        std::string k = e.at("key").get<std::string>();
        EXPECT_EQ(k, key);
        EXPECT_EQ(e.at("type_id").get<int>(), int(type)) << k;
        EXPECT_EQ(e.at("type").get<std::string>(), Ptex::MetaDataTypeName(type)) << k;
        EXPECT_EQ(e.at("large").get<bool>(), mdi->isLarge(int(i))) << k;
        int index = -2;
        Ptex::MetaDataType t2;
        EXPECT_TRUE(md->findKey(key, index, t2));
        EXPECT_EQ(int(i), index);
        size_t count = e.at("count").get<size_t>();
        const json& v = e.at("value");
        auto checkArray = [&](auto tag) {
            using T = decltype(tag);
            const T* p = nullptr;
            int n = -1;
            md->getValue(key, p, n);
            ASSERT_TRUE(p) << k;
            ASSERT_EQ(count, size_t(n)) << k;
            for (size_t j = 0; j < count; j++) EXPECT_EQ(v[j].get<T>(), p[j]) << k << "[" << j << "]";
            const T* q = nullptr;
            md->getValue(int(i), q, n);
            EXPECT_EQ(p, q);
            // wrong type: null
            const char* s = reinterpret_cast<const char*>(1);
            md->getValue(key, s);
            EXPECT_EQ(nullptr, s);
        };
        switch (type) {
        case Ptex::mdt_string: {
            const char* s = nullptr;
            md->getValue(key, s);
            ASSERT_TRUE(s) << k;
            EXPECT_EQ(v.get<std::string>(), s) << k;
            EXPECT_EQ(count, std::strlen(s)) << k;
            const int8_t* wrong = reinterpret_cast<const int8_t*>(1);
            int n = 5;
            md->getValue(key, wrong, n);
            EXPECT_EQ(nullptr, wrong);
            EXPECT_EQ(0, n);
            break;
        }
        case Ptex::mdt_int8: checkArray(int8_t()); break;
        case Ptex::mdt_int16: checkArray(int16_t()); break;
        case Ptex::mdt_int32: checkArray(int32_t()); break;
        case Ptex::mdt_float: checkArray(float()); break;
        case Ptex::mdt_double: checkArray(double()); break;
        }
    }
    int index = 7;
    Ptex::MetaDataType t;
    EXPECT_FALSE(md->findKey("no such key", index, t));
    EXPECT_EQ(-1, index);
    const char* key = "unchanged";
    md->getKey(md->numKeys(), key, t);
    EXPECT_STREQ("unchanged", key);
}

INSTANTIATE_TEST_SUITE_P(Ptex, GoldenFile, ::testing::ValuesIn(goldenFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param.substr(0, info.param.size() - 4);
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenFile);

}  // namespace
