// Rewrites an open Ptex texture into a new file (see PtexConverter.h).
#include "PtexConverter.h"

#include <cstring>
#include <vector>

namespace PtexConvert {
namespace {

// Converts npixels pixels of nch channels between sample types.
void convertPixels(const void* src, Ptex::DataType srcType, void* dst, Ptex::DataType dstType,
                   size_t npixels, int nch) {
    if (srcType == dstType) {
        std::memcpy(dst, src, npixels * nch * Ptex::DataSize(srcType));
        return;
    }
    std::vector<float> pixel(static_cast<size_t>(nch));
    const uint8_t* s = static_cast<const uint8_t*>(src);
    uint8_t* d = static_cast<uint8_t*>(dst);
    const size_t sp = size_t(nch) * Ptex::DataSize(srcType),
                 dp = size_t(nch) * Ptex::DataSize(dstType);
    for (size_t i = 0; i < npixels; i++) {
        Ptex::ConvertToFloat(pixel.data(), s + i * sp, srcType, nch);
        Ptex::ConvertFromFloat(d + i * dp, pixel.data(), dstType, nch);
    }
}

}  // namespace

bool parseDataType(const std::string& name, Ptex::DataType& dt) {
    if (name == "uint8")
        dt = Ptex::dt_uint8;
    else if (name == "uint16")
        dt = Ptex::dt_uint16;
    else if (name == "half" || name == "float16")
        dt = Ptex::dt_half;
    else if (name == "float" || name == "float32")
        dt = Ptex::dt_float;
    else
        return false;
    return true;
}

bool convertTexture(PtexTexture* in, const std::string& outPath, Ptex::DataType dataType,
                    bool mipmaps, std::string& error,
                    const std::function<void(int, int)>& progress) {
    const Ptex::DataType srcType = in->dataType();
    const int nch = in->numChannels(), nfaces = in->numFaces();
    PtexWriter* w = PtexWriter::open(outPath.c_str(), in->meshType(), dataType, nch,
                                     in->alphaChannel(), nfaces, error, mipmaps);
    if (!w) return false;
    w->setBorderModes(in->uBorderMode(), in->vBorderMode());
    w->setEdgeFilterMode(in->edgeFilterMode());
    PtexMetaData* meta = in->getMetaData();
    if (meta) {
        w->writeMeta(meta);
        meta->release();
    }

    const size_t srcPixel = size_t(nch) * Ptex::DataSize(srcType),
                 dstPixel = size_t(nch) * Ptex::DataSize(dataType);
    std::vector<uint8_t> src, dst;
    bool ok = true;
    for (int f = 0; f < nfaces && ok; f++) {
        const Ptex::FaceInfo& info = in->getFaceInfo(f);
        if (info.isConstant()) {
            PtexFaceData* data = in->getData(f);
            src.assign(srcPixel, 0);
            if (data) {
                if (data->getData()) std::memcpy(src.data(), data->getData(), srcPixel);
                data->release();
            }
            dst.resize(dstPixel);
            convertPixels(src.data(), srcType, dst.data(), dataType, 1, nch);
            ok = w->writeConstantFace(f, info, dst.data());
        } else {
            const size_t npixels = size_t(info.res.size());
            src.resize(npixels * srcPixel);
            dst.resize(npixels * dstPixel);
            in->getData(f, src.data(), 0);
            convertPixels(src.data(), srcType, dst.data(), dataType, npixels, nch);
            ok = w->writeFace(f, info, dst.data(), 0);
        }
        if (progress) progress(f + 1, nfaces);
    }
    ok = w->close(error) && ok;
    w->release();
    return ok;
}

}  // namespace PtexConvert
