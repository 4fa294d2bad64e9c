// The static helpers of struct Ptex: enum names and sample conversions.
#include "PtexHalf.h"
#include "Ptexture.h"

const char* Ptex::MeshTypeName(MeshType mt) {
    static const char* names[] = {"triangle", "quad"};
    return unsigned(mt) < 2u ? names[mt] : "(invalid mesh type)";
}

const char* Ptex::DataTypeName(DataType dt) {
    static const char* names[] = {"uint8", "uint16", "float16", "float32"};
    return unsigned(dt) < 4u ? names[dt] : "(invalid data type)";
}

const char* Ptex::BorderModeName(BorderMode m) {
    static const char* names[] = {"clamp", "black", "periodic"};
    return unsigned(m) < 3u ? names[m] : "(invalid border mode)";
}

const char* Ptex::EdgeFilterModeName(EdgeFilterMode m) {
    static const char* names[] = {"none", "tanvec"};
    return unsigned(m) < 2u ? names[m] : "(invalid edge filter mode)";
}

const char* Ptex::EdgeIdName(EdgeId eid) {
    static const char* names[] = {"bottom", "right", "top", "left"};
    return unsigned(eid) < 4u ? names[eid] : "(invalid edge id)";
}

const char* Ptex::MetaDataTypeName(MetaDataType mdt) {
    static const char* names[] = {"string", "int8", "int16", "int32", "float", "double"};
    return unsigned(mdt) < 6u ? names[mdt] : "(invalid meta data type)";
}

void Ptex::ConvertToFloat(float* dst, const void* src, DataType dt, int numChannels) {
    switch (dt) {
        case dt_uint8: {
            const uint8_t* s = static_cast<const uint8_t*>(src);
            for (int i = 0; i < numChannels; i++) dst[i] = float(s[i]) * (1.0f / 255.0f);
            break;
        }
        case dt_uint16: {
            const uint16_t* s = static_cast<const uint16_t*>(src);
            for (int i = 0; i < numChannels; i++) dst[i] = float(s[i]) * (1.0f / 65535.0f);
            break;
        }
        case dt_half: {
            const uint16_t* s = static_cast<const uint16_t*>(src);
            for (int i = 0; i < numChannels; i++) dst[i] = PtexHalf::toFloat(s[i]);
            break;
        }
        case dt_float: {
            const float* s = static_cast<const float*>(src);
            for (int i = 0; i < numChannels; i++) dst[i] = s[i];
            break;
        }
    }
}

void Ptex::ConvertFromFloat(void* dst, const float* src, DataType dt, int numChannels) {
    switch (dt) {
        case dt_uint8: {
            uint8_t* d = static_cast<uint8_t*>(dst);
            for (int i = 0; i < numChannels; i++) {
                float x = src[i];
                x = x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
                if (!(x == x)) x = 0.0f;  // NaN
                d[i] = uint8_t(x * 255.0f + 0.5f);
            }
            break;
        }
        case dt_uint16: {
            uint16_t* d = static_cast<uint16_t*>(dst);
            for (int i = 0; i < numChannels; i++) {
                float x = src[i];
                x = x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
                if (!(x == x)) x = 0.0f;
                d[i] = uint16_t(x * 65535.0f + 0.5f);
            }
            break;
        }
        case dt_half: {
            uint16_t* d = static_cast<uint16_t*>(dst);
            for (int i = 0; i < numChannels; i++) d[i] = PtexHalf::fromFloat(src[i]);
            break;
        }
        case dt_float: {
            float* d = static_cast<float*>(dst);
            for (int i = 0; i < numChannels; i++) d[i] = src[i];
            break;
        }
    }
}
