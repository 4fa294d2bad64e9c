// The parameter members of a texture instance, one per bound parameter.
//
// Every member starts at its parameter's registered default, so an instance
// without a parameter list (or before the first caching) reads sound values.
// The caching at render begin overwrites them; nothing in the engine writes
// them (the channel choice of a frame goes to PtexBase's derived members).
// The four bool parameters are held as 32-bit ints: any non-zero value counts
// as true. The image list settings (ifl_*) are cached straight into the
// instance's ImageFileList and are not repeated here.
#pragma once

#include "zento/CharString.h"

namespace ZUtils {
class TextureInterface;
}

struct PtexParams {
    ZUtils::CharString ptexFile;  // no text until cached
    int useImageSequence = 0;
    int imageNumber = 0;
    int imageOffset = 0;
    int filterType = 0;
    float width = 1.0f;
    float blur = 0.0f;
    float sharpness = 0.0f;
    int lerp = 0;
    int reverseVertices = 0;
    int cacheSize = 50;  // MB
    int rChannel = 0;
    int gChannel = 1;
    int bChannel = 2;
    int aChannel = -1;
    int autoColor = 1;
    int autoAlpha = 1;
    int alphaType = -1;
    float gamma = 1.0f;
    int colorSpace = 1;
    ZUtils::TextureInterface* colorGain = nullptr;    // null: no texture connected
    ZUtils::TextureInterface* colorOffset = nullptr;  // null: no texture connected
};
