// Reads every golden .ptx file and checks its JSON dump: header, layout, face
// infos, metadata and the texels of every stored and derived level.
#include "PtexMetaDataImpl.h"
#include "PtexReader.h"
#include "ptex_test_util.h"

#include <nlohmann/json.hpp>

#include <cmath>

using nlohmann::json;
using namespace PtexTest;

namespace {

const char* encName(int enc)
{
    static const char* names[] = {"constant", "zipped", "diffzipped", "tiled"};
    return names[enc & 3];
}

class GoldenFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        PTEX_REQUIRE_GOLDEN(GetParam());
        std::ifstream in(GetParam() + ".json");
        ASSERT_TRUE(in.good());
        doc = json::parse(in);
        Ptex::String err;
        tx.reset(PtexTexture::open(GetParam().c_str(), err));
        ASSERT_TRUE(tx) << err;
        r = dynamic_cast<PtexInternal::PtexReader*>(tx.get());
        ASSERT_TRUE(r);
        dt = tx->dataType();
        nchan = tx->numChannels();
        ps = Ptex::DataSize(dt) * nchan;
    }

    // One sample: integers compared in their own units, floats exactly.
    void expectSample(double expected, const uint8_t* raw, const std::string& where)
    {
        float ours;
        Ptex::ConvertToFloat(&ours, raw, dt, 1);
        if (dt == Ptex::dt_uint8 || dt == Ptex::dt_uint16) {
            const double one = Ptex::OneValue(dt);
            EXPECT_EQ(std::lround(expected * one), std::lround(double(ours) * one)) << where;
        } else {
            EXPECT_EQ(float(expected), ours) << where;
        }
    }

    // Sums, texels and samples of a level or derived entry; the face data
    // object and getPixel must agree with the buffer.
    void checkData(const json& entry, int faceid, Ptex::Res res, const std::string& where)
    {
        const size_t n = size_t(res.size()), ds = size_t(Ptex::DataSize(dt));
        Bytes buf(n * size_t(ps));
        tx->getData(faceid, buf.data(), 0, res);
        std::vector<double> sum(size_t(nchan), 0.0);
        std::vector<float> f(static_cast<size_t>(nchan));
        for (size_t i = 0; i < n; i++) {
            Ptex::ConvertToFloat(f.data(), buf.data() + i * size_t(ps), dt, nchan);
            for (int c = 0; c < nchan; c++) sum[size_t(c)] += f[size_t(c)];
        }
        const json& js = entry.at("sum");
        ASSERT_EQ(js.size(), size_t(nchan)) << where;
        for (int c = 0; c < nchan; c++) {
            const double e = js[size_t(c)].get<double>();
            EXPECT_NEAR(e, sum[size_t(c)], 1e-9 * std::max(1.0, std::fabs(e))) << where << " sum " << c;
        }
        if (entry.contains("texels")) {
            const json& t = entry["texels"];
            ASSERT_EQ(t.size(), n * size_t(nchan)) << where;
            for (size_t i = 0; i < t.size(); i++)
                expectSample(t[i].get<double>(), &buf[i * ds], where + " texel " + std::to_string(i));
        }
        if (!entry.contains("samples")) return;
        PtexFaceData* fd = tx->getData(faceid, res);
        for (const json& s : entry["samples"]) {
            const int u = s.at("u").get<int>(), v = s.at("v").get<int>();
            ASSERT_TRUE(u >= 0 && u < res.u() && v >= 0 && v < res.v()) << where;
            const uint8_t* px = &buf[(size_t(v) * size_t(res.u()) + size_t(u)) * size_t(ps)];
            const std::string at = where + " sample " + std::to_string(u) + "," + std::to_string(v);
            for (int c = 0; c < nchan; c++) expectSample(s.at("value")[size_t(c)].get<double>(), px + c * ds, at);
            Bytes pix(static_cast<size_t>(ps));
            if (fd->isConstant())
                std::memcpy(pix.data(), fd->getData(), size_t(ps));
            else
                fd->getPixel(u, v, pix.data());
            EXPECT_EQ(0, std::memcmp(pix.data(), px, size_t(ps))) << at;
            std::vector<float> fp(static_cast<size_t>(nchan)), fb(fp.size());
            tx->getPixel(faceid, u, v, fp.data(), 0, nchan, res);
            Ptex::ConvertToFloat(fb.data(), px, dt, nchan);
            EXPECT_EQ(fb, fp) << at;
        }
        fd->release();
    }

    json doc;
    PtexPtr<PtexTexture> tx;
    PtexInternal::PtexReader* r = nullptr;
    Ptex::DataType dt = Ptex::dt_uint8;
    int nchan = 0, ps = 0;
};

TEST_P(GoldenFile, HeaderAndLayout)
{
    const PtexIO::Header& hd = r->header();
    const PtexIO::ExtHeader& eh = r->extHeader();
    const std::pair<const char*, json> header[] = {
        {"mesh_type_id", int(tx->meshType())},
        {"data_type_id", int(dt)},
        {"alpha_channel", tx->alphaChannel()},
        {"num_channels", nchan},
        {"num_faces", tx->numFaces()},
        {"has_edits", tx->hasEdits()},
        {"has_mipmaps", tx->hasMipMaps()},
        {"edge_filter_mode_id", int(tx->edgeFilterMode())},
        {"border_mode_ids", {int(tx->uBorderMode()), int(tx->vBorderMode())}}};
    for (const auto& [key, value] : header) EXPECT_EQ(doc.at("header").at(key), value) << key;
    json levels = json::array(), edits = json::array();
    for (const auto& l : r->levelInfo()) levels.push_back({l.nfaces, l.leveldatasize, l.levelheadersize});
    for (const auto& e : r->editBlocks()) edits.push_back(e.size);
    const std::pair<const char*, json> layout[] = {{"version", hd.version},
                                                   {"minor_version", hd.minorversion},
                                                   {"num_levels", hd.nlevels},
                                                   {"extheader_size", hd.extheadersize},
                                                   {"faceinfo_zipsize", hd.faceinfosize},
                                                   {"constdata_zipsize", hd.constdatasize},
                                                   {"leveldata_size", hd.leveldatasize},
                                                   {"metadata_zipsize", hd.metadatazipsize},
                                                   {"metadata_memsize", hd.metadatamemsize},
                                                   {"lmd_header_zipsize", eh.lmdheaderzipsize},
                                                   {"lmd_header_memsize", eh.lmdheadermemsize},
                                                   {"lmd_data_size", eh.lmddatasize},
                                                   {"edit_data_pos", eh.editdatapos},
                                                   {"edit_data_size", eh.editdatasize},
                                                   {"levels", levels},
                                                   {"edit_blocks", edits}};
    json l = doc.at("layout");
    for (json& lv : l.at("levels")) lv = {lv.at("num_faces"), lv.at("leveldata_size"), lv.at("levelheader_zipsize")};
    for (json& e : l.at("edit_blocks")) e = e.at("size");
    for (const auto& [key, value] : layout) EXPECT_EQ(l.at(key), value) << key;
}

TEST_P(GoldenFile, FaceInfosAndConstantValues)
{
    const json& faces = doc.at("faces");
    ASSERT_EQ(faces.size(), size_t(tx->numFaces()));
    for (const json& jf : faces) {
        const int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        const std::string where = GetParam() + " face " + std::to_string(id);
        EXPECT_EQ(jf.at("ulog2").get<int>(), f.res.ulog2) << where;
        EXPECT_EQ(jf.at("vlog2").get<int>(), f.res.vlog2) << where;
        for (int e = 0; e < 4; e++) {
            EXPECT_EQ(jf.at("adjfaces")[size_t(e)].get<int>(), f.adjface(e)) << where;
            EXPECT_EQ(jf.at("adjedges")[size_t(e)].get<int>(), int(f.adjedge(e))) << where;
        }
        EXPECT_EQ(jf.at("flags").get<int>(), f.flags) << where;
        EXPECT_EQ(jf.at("reduction_index").get<uint32_t>(), r->rfaceid(id)) << where;
        PtexFaceData* c = tx->getData(id, Ptex::Res(0, 0));
        ASSERT_TRUE(c->isConstant());
        const json& cv = jf.at("const_value");
        ASSERT_EQ(cv.size(), size_t(nchan));
        for (int ch = 0; ch < nchan; ch++)
            expectSample(cv[size_t(ch)].get<double>(),
                         static_cast<const uint8_t*>(c->getData()) + ch * Ptex::DataSize(dt), where + " const");
        c->release();
    }
    EXPECT_EQ(-1, tx->getFaceInfo(tx->numFaces()).adjfaces[0]);  // invalid ids: the default info
    EXPECT_EQ(-1, tx->getFaceInfo(-1).adjfaces[3]);
}

TEST_P(GoldenFile, StoredAndDerivedTexels)
{
    for (const json& jf : doc.at("faces")) {
        const int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        for (const json& lv : jf.at("levels")) {
            const int level = lv.at("level").get<int>();
            const Ptex::Res res(int8_t(lv.at("ulog2").get<int>()), int8_t(lv.at("vlog2").get<int>()));
            const std::string where = GetParam() + " face " + std::to_string(id) + " level " + std::to_string(level);
            PtexIO::FaceDataHeader fdh;
            ASSERT_TRUE(r->levelEntry(level, level == 0 ? size_t(id) : r->rfaceid(id), fdh)) << where;
            // level 0 of an edited face reports the edit block's header
            EXPECT_EQ(lv.at("encoding").get<std::string>(), encName(fdh.encoding())) << where;
            EXPECT_EQ(lv.at("blocksize").get<uint32_t>(), fdh.blocksize()) << where;
            EXPECT_TRUE(!lv.contains("from_edit") || lv["from_edit"].get<bool>() == r->faceFromEdit(id)) << where;
            if (f.isConstant()) {  // the constant value at every texel of the full-res expansion
                Bytes full(size_t(f.res.size()) * size_t(ps));
                tx->getData(id, full.data(), 0);
                PtexFaceData* c = tx->getData(id, Ptex::Res(0, 0));
                for (int i = 0; i < f.res.size(); i++)
                    ASSERT_EQ(0, std::memcmp(&full[size_t(i) * size_t(ps)], c->getData(), size_t(ps))) << where;
                c->release();
                continue;
            }
            PtexFaceData* fd = tx->getData(id, res);
            EXPECT_EQ(lv.at("tiled").get<bool>(), fd->isTiled()) << where;
            if (auto* tf = dynamic_cast<PtexInternal::TiledFace*>(fd)) {
                EXPECT_EQ(lv.at("tile_ulog2").get<int>(), fd->tileRes().ulog2) << where;
                EXPECT_EQ(lv.at("tile_vlog2").get<int>(), fd->tileRes().vlog2) << where;
                const json& te = lv.at("tile_encodings");
                ASSERT_EQ(te.size(), size_t(tf->ntiles())) << where;
                for (int t = 0; t < tf->ntiles(); t++) {
                    EXPECT_EQ(te[size_t(t)].get<std::string>(), encName(tf->tileHeader(t).encoding())) << where;
                    PtexFaceData* tile = fd->getTile(t);
                    ASSERT_TRUE(tile);
                    EXPECT_EQ(tile->isConstant(), tf->tileHeader(t).encoding() == PtexIO::enc_constant);
                    EXPECT_EQ(tile->isConstant() ? Ptex::Res(0, 0) : fd->tileRes(), tile->res());
                    tile->release();
                }
                EXPECT_EQ(nullptr, fd->getTile(tf->ntiles()));
            }
            fd->release();
            checkData(lv, id, res, where);
        }
        if (!jf.contains("derived")) continue;
        for (const json& dv : jf["derived"]) {
            const Ptex::Res res(int8_t(dv.at("ulog2").get<int>()), int8_t(dv.at("vlog2").get<int>()));
            checkData(dv, id, res,
                      GetParam() + " face " + std::to_string(id) + " derived " + std::to_string(res.ulog2) + "x" +
                          std::to_string(res.vlog2));
        }
    }
}

template <typename T>
void expectValues(PtexMetaData* md, const char* key, const json& v)
{
    const T* p = nullptr;
    int n = 0;
    md->getValue(key, p, n);
    EXPECT_EQ(v.get<std::vector<T>>(), std::vector<T>(p, p + (p ? n : 0))) << key;
}

TEST_P(GoldenFile, Metadata)
{
    PtexMetaData* md = tx->getMetaData();
    auto* mdi = dynamic_cast<PtexInternal::MetaData*>(md);
    const json& entries = doc.at("metadata");
    ASSERT_EQ(entries.size(), size_t(md->numKeys()));
    for (size_t i = 0; i < entries.size(); i++) {
        const json& e = entries[i];
        const char* key = nullptr;
        Ptex::MetaDataType type = Ptex::mdt_string;
        md->getKey(int(i), key, type);
        ASSERT_TRUE(key);
        EXPECT_EQ(e.at("key").get<std::string>(), key);
        EXPECT_EQ(e.at("type_id").get<int>(), int(type)) << key;
        EXPECT_EQ(e.at("large").get<bool>(), mdi->isLarge(int(i))) << key;
        int index = -2;
        EXPECT_TRUE(md->findKey(key, index, type) && index == int(i)) << key;
        const char* s = nullptr;
        switch (type) {
        case Ptex::mdt_string:
            md->getValue(key, s);
            EXPECT_EQ(e.at("value").get<std::string>(), s ? s : "(null)") << key;
            break;
        case Ptex::mdt_int8: expectValues<int8_t>(md, key, e.at("value")); break;
        case Ptex::mdt_int16: expectValues<int16_t>(md, key, e.at("value")); break;
        case Ptex::mdt_int32: expectValues<int32_t>(md, key, e.at("value")); break;
        case Ptex::mdt_float: expectValues<float>(md, key, e.at("value")); break;
        case Ptex::mdt_double: expectValues<double>(md, key, e.at("value")); break;
        }
    }
    int index = 7;
    Ptex::MetaDataType t;
    EXPECT_FALSE(md->findKey("no such key", index, t));
    EXPECT_EQ(-1, index);
}

INSTANTIATE_TEST_SUITE_P(Ptex, GoldenFile, ::testing::ValuesIn(goldenParams()), paramName);

}  // namespace
