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

const char* encName(int enc) {
    static const char* names[] = {"constant", "zipped", "diffzipped", "tiled"};
    return names[enc & 3];
}

class GoldenFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
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

    // Integer samples compared in their own units, floats exactly.
    bool same(double expected, float ours) const {
        const double one = Ptex::OneValue(dt);
        const bool integer = dt == Ptex::dt_uint8 || dt == Ptex::dt_uint16;
        return integer ? std::lround(expected * one) == std::lround(ours * one)
                       : float(expected) == ours;
    }

    // Sums, texels and samples of a level or derived entry; the face data
    // object and getPixel must agree with the buffer.
    void checkData(const json& entry, int faceid, Ptex::Res res, const std::string& where) {
        const size_t n = size_t(res.size()) * nchan;
        Bytes buf(n * Ptex::DataSize(dt));
        std::vector<float> all(n), px(nchan);
        tx->getData(faceid, buf.data(), 0, res);
        Ptex::ConvertToFloat(all.data(), buf.data(), dt, int(n));
        for (int c = 0; c < nchan; c++) {
            double sum = 0, e = entry.at("sum").at(c).get<double>();
            for (size_t i = c; i < n; i += nchan) sum += all[i];
            EXPECT_NEAR(e, sum, 1e-9 * std::max(1.0, std::fabs(e))) << where << " sum " << c;
        }
        const json& t = entry.contains("texels") ? entry["texels"] : json::array();
        ASSERT_TRUE(t.empty() || t.size() == n) << where;
        for (size_t i = 0; i < t.size(); i++)
            EXPECT_TRUE(same(t[i].get<double>(), all[i])) << where << " texel " << i;
        PtexFaceData* fd = tx->getData(faceid, res);
        for (const json& s : entry.contains("samples") ? entry["samples"] : json::array()) {
            const int u = s.at("u").get<int>(), v = s.at("v").get<int>();
            ASSERT_TRUE(u >= 0 && u < res.u() && v >= 0 && v < res.v()) << where;
            const size_t at = (size_t(v) * res.u() + u) * nchan;
            Bytes pix(ps);
            fd->isConstant() ? void(std::memcpy(pix.data(), fd->getData(), ps))
                             : fd->getPixel(u, v, pix.data());
            tx->getPixel(faceid, u, v, px.data(), 0, nchan, res);
            for (int c = 0; c < nchan; c++) {
                EXPECT_TRUE(same(s.at("value").at(c).get<double>(), all[at + c]))
                    << where << " " << u << "," << v;
                EXPECT_EQ(px[c], all[at + c]) << where << " getPixel " << u << "," << v;
            }
            EXPECT_EQ(0, std::memcmp(pix.data(), &buf[at * Ptex::DataSize(dt)], ps))
                << where << " " << u << "," << v;
        }
        fd->release();
    }

    json doc;
    PtexPtr<PtexTexture> tx;
    PtexInternal::PtexReader* r = nullptr;
    Ptex::DataType dt = Ptex::dt_uint8;
    int nchan = 0, ps = 0;
};

TEST_P(GoldenFile, HeaderAndLayout) {
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
    // the sections the reader found
    const json& l = doc.at("layout");
    EXPECT_EQ(l.at("num_levels"), hd.nlevels);
    EXPECT_EQ(l.at("leveldata_size"), hd.leveldatasize);
    EXPECT_EQ(l.at("metadata_memsize"), hd.metadatamemsize);
    EXPECT_EQ(l.at("lmd_data_size"), eh.lmddatasize);
    EXPECT_EQ(l.at("edit_data_pos"), eh.editdatapos);
    ASSERT_EQ(l.at("levels").size(), r->levelInfo().size());
    for (size_t i = 0; i < r->levelInfo().size(); i++)
        EXPECT_EQ(l.at("levels")[i].at("num_faces"), r->levelInfo()[i].nfaces) << "level " << i;
    EXPECT_EQ(l.at("edit_blocks").size(), r->editBlocks().size());
}

TEST_P(GoldenFile, FaceInfosAndConstantValues) {
    const json& faces = doc.at("faces");
    ASSERT_EQ(faces.size(), size_t(tx->numFaces()));
    for (const json& jf : faces) {
        const int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        const std::string where = GetParam() + " face " + std::to_string(id);
        json adj = json::array(), edges = json::array();
        for (int e = 0; e < 4; e++) adj.push_back(f.adjface(e)), edges.push_back(int(f.adjedge(e)));
        const std::pair<const char*, json> fields[] = {
            {"ulog2", f.res.ulog2}, {"vlog2", f.res.vlog2}, {"adjfaces", adj},
            {"adjedges", edges},    {"flags", f.flags},     {"reduction_index", r->rfaceid(id)}};
        for (const auto& [key, value] : fields) EXPECT_EQ(jf.at(key), value) << where << " " << key;
        std::vector<float> cv(nchan);
        tx->getPixel(id, 0, 0, cv.data(), 0, nchan, Ptex::Res(0, 0));
        ASSERT_EQ(jf.at("const_value").size(), size_t(nchan));
        for (int c = 0; c < nchan; c++)
            EXPECT_TRUE(same(jf.at("const_value").at(c).get<double>(), cv[c])) << where;
        PtexFaceData* d = tx->getData(id, Ptex::Res(0, 0));
        EXPECT_TRUE(d->isConstant()) << where;
        d->release();
    }
    EXPECT_EQ(-1, tx->getFaceInfo(tx->numFaces()).adjfaces[0]);  // invalid ids: the default info
    EXPECT_EQ(-1, tx->getFaceInfo(-1).adjfaces[3]);
}

TEST_P(GoldenFile, StoredAndDerivedTexels) {
    for (const json& jf : doc.at("faces")) {
        const int id = jf.at("id").get<int>();
        const Ptex::FaceInfo& f = tx->getFaceInfo(id);
        for (const json& lv : jf.at("levels")) {
            const int level = lv.at("level").get<int>();
            const Ptex::Res res(int8_t(lv.at("ulog2").get<int>()),
                                int8_t(lv.at("vlog2").get<int>()));
            const std::string where =
                GetParam() + " face " + std::to_string(id) + " level " + std::to_string(level);
            PtexIO::FaceDataHeader fdh;
            ASSERT_TRUE(r->levelEntry(level, level == 0 ? size_t(id) : r->rfaceid(id), fdh))
                << where;
            // level 0 of an edited face reports the edit block's header
            EXPECT_EQ(lv.at("encoding").get<std::string>(), encName(fdh.encoding())) << where;
            EXPECT_EQ(lv.at("blocksize").get<uint32_t>(), fdh.blocksize()) << where;
            EXPECT_TRUE(!lv.contains("from_edit") ||
                        lv["from_edit"].get<bool>() == r->faceFromEdit(id))
                << where;
            if (f.isConstant()) {  // the constant value at every texel of the full-res expansion
                Bytes full(size_t(f.res.size()) * size_t(ps));
                tx->getData(id, full.data(), 0);
                PtexFaceData* c = tx->getData(id, Ptex::Res(0, 0));
                for (int i = 0; i < f.res.size(); i++)
                    ASSERT_EQ(0,
                              std::memcmp(&full[size_t(i) * size_t(ps)], c->getData(), size_t(ps)))
                        << where;
                c->release();
                continue;
            }
            PtexFaceData* fd = tx->getData(id, res);
            EXPECT_EQ(lv.at("tiled").get<bool>(), fd->isTiled()) << where;
            if (fd->isTiled()) {  // the tile layout; tile contents are in the texels
                EXPECT_EQ(lv.at("tile_ulog2").get<int>(), fd->tileRes().ulog2) << where;
                EXPECT_EQ(lv.at("tile_vlog2").get<int>(), fd->tileRes().vlog2) << where;
                EXPECT_EQ(nullptr, fd->getTile(res.ntiles(fd->tileRes()))) << where;
            }
            fd->release();
            checkData(lv, id, res, where);
        }
        if (!jf.contains("derived")) continue;
        for (const json& dv : jf["derived"]) {
            const Ptex::Res res(int8_t(dv.at("ulog2").get<int>()),
                                int8_t(dv.at("vlog2").get<int>()));
            checkData(dv, id, res,
                      GetParam() + " face " + std::to_string(id) + " derived " +
                          std::to_string(res.ulog2) + "x" + std::to_string(res.vlog2));
        }
    }
}

template <typename T>
void expectValues(PtexMetaData* md, const char* key, const json& v) {
    const T* p = nullptr;
    int n = 0;
    md->getValue(key, p, n);
    EXPECT_EQ(v.get<std::vector<T>>(), std::vector<T>(p, p + (p ? n : 0))) << key;
}

TEST_P(GoldenFile, Metadata) {
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
            case Ptex::mdt_int8:
                expectValues<int8_t>(md, key, e.at("value"));
                break;
            case Ptex::mdt_int16:
                expectValues<int16_t>(md, key, e.at("value"));
                break;
            case Ptex::mdt_int32:
                expectValues<int32_t>(md, key, e.at("value"));
                break;
            case Ptex::mdt_float:
                expectValues<float>(md, key, e.at("value"));
                break;
            case Ptex::mdt_double:
                expectValues<double>(md, key, e.at("value"));
                break;
        }
    }
    int index = 7;
    Ptex::MetaDataType t;
    EXPECT_FALSE(md->findKey("no such key", index, t));
    EXPECT_EQ(-1, index);
}

INSTANTIATE_TEST_SUITE_P(Ptex, GoldenFile, ::testing::ValuesIn(goldenParams()), paramName);

}  // namespace
