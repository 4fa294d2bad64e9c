// The kernel filters read a texture that is not our reader through its PtexTexture
// interface: every row of the golden tables with a
// tiled face, a triangle mesh and sub-faces gives the same bits through a texture
// that only forwards to the reader as through the reader itself; and a blur of -0 gives
// what a blur of 0 gives.
#include "FilterTable.h"
#include "Ptexture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

const std::string kData = ZENTO_TESTDATA_DIR;

// Forwards every call to a reader, so the filters cannot reach it inline.
class ForwardingTexture : public PtexTexture {
public:
    explicit ForwardingTexture(PtexTexture* tx) : _tx(tx) {}
    void release() override {}
    const char* path() override { return _tx->path(); }
    Info getInfo() override { return _tx->getInfo(); }
    Ptex::MeshType meshType() override { return _tx->meshType(); }
    Ptex::DataType dataType() override { return _tx->dataType(); }
    Ptex::BorderMode uBorderMode() override { return _tx->uBorderMode(); }
    Ptex::BorderMode vBorderMode() override { return _tx->vBorderMode(); }
    Ptex::EdgeFilterMode edgeFilterMode() override { return _tx->edgeFilterMode(); }
    int alphaChannel() override { return _tx->alphaChannel(); }
    int numChannels() override { return _tx->numChannels(); }
    int numFaces() override { return _tx->numFaces(); }
    bool hasEdits() override { return _tx->hasEdits(); }
    bool hasMipMaps() override { return _tx->hasMipMaps(); }
    PtexMetaData* getMetaData() override { return _tx->getMetaData(); }
    const Ptex::FaceInfo& getFaceInfo(int faceid) override { return _tx->getFaceInfo(faceid); }
    void getData(int faceid, void* buffer, int stride) override {
        _tx->getData(faceid, buffer, stride);
    }
    void getData(int faceid, void* buffer, int stride, Ptex::Res res) override {
        _tx->getData(faceid, buffer, stride, res);
    }
    PtexFaceData* getData(int faceid) override { return _tx->getData(faceid); }
    PtexFaceData* getData(int faceid, Ptex::Res res) override { return _tx->getData(faceid, res); }
    void getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels) override {
        _tx->getPixel(faceid, u, v, result, firstchan, nchannels);
    }
    void getPixel(int faceid, int u, int v, float* result, int firstchan, int nchannels,
                  Ptex::Res res) override {
        _tx->getPixel(faceid, u, v, result, firstchan, nchannels, res);
    }

private:
    PtexTexture* _tx;
};

TEST(FilterSourceTest, ForeignTextureGivesTheReadersResults) {
    for (const char* name : {"tiled_rgba8", "ico_rgb8", "mixed_rgb8", "cube_tanvec_f32",
                             "cube_half", "val5_u16", "grid_f32"}) {
        SCOPED_TRACE(name);
        const std::string path = kData + "/filters/" + name + ".tsv";
        if (!std::filesystem::exists(path)) GTEST_SKIP() << "filter tables not found";
        std::ifstream in(path);
        PtexEval::FilterTable table;
        std::string error;
        ASSERT_TRUE(PtexEval::parseFilterTable(in, table, error)) << error;
        Ptex::String err;
        PtexTexture* tx = PtexTexture::open((kData + "/ptex/" + name + ".ptx").c_str(), err);
        ASSERT_TRUE(tx) << err.c_str();
        ForwardingTexture fwd(tx);
        int differ = 0, negativeZeroDiffers = 0;
        for (const PtexEval::FilterQuery& q : table.rows) {
            if (q.premultiply) continue;
            PtexFilter::Options opts(PtexFilter::FilterType(q.filter), q.lerp, q.sharpness,
                                     q.noedgeblend);
            PtexFilter* direct = PtexFilter::getStandardFilter(tx, opts);
            PtexFilter* foreign = PtexFilter::getStandardFilter(&fwd, opts);
            float a[16], b[16];
            std::memset(a, 0x5a, sizeof a);
            std::memset(b, 0x5a, sizeof b);
            direct->eval(a, q.firstchan, q.nchannels, q.faceid, q.u, q.v, q.uw1, q.vw1, q.uw2,
                         q.vw2, q.width, q.blur);
            foreign->eval(b, q.firstchan, q.nchannels, q.faceid, q.u, q.v, q.uw1, q.vw1, q.uw2,
                          q.vw2, q.width, q.blur);
            differ += std::memcmp(a, b, sizeof a) != 0;
            if (q.blur == 0) {  // a blur of -0 takes the general width path: the same bits
                std::memset(b, 0x5a, sizeof b);
                direct->eval(b, q.firstchan, q.nchannels, q.faceid, q.u, q.v, q.uw1, q.vw1, q.uw2,
                             q.vw2, q.width, -0.0f);
                negativeZeroDiffers += std::memcmp(a, b, sizeof a) != 0;
            }
            direct->release();
            foreign->release();
        }
        EXPECT_EQ(differ, 0) << "rows differ of " << table.rows.size();
        EXPECT_EQ(negativeZeroDiffers, 0);
        tx->release();
    }
}

}  // namespace
