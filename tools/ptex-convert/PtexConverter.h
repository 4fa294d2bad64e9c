#ifndef PtexConverter_h
#define PtexConverter_h
// Rewrites an open Ptex texture into a new file (the ptex-convert tool).
//
// Contract: convertTexture writes every face of `in` (face info with adjacency
// and sub-face flag, texels at full resolution; constant faces as constant
// faces with their logical res), every metadata entry, the border modes and
// the edge filter mode to `outPath`, converting the samples to `dataType`
// through float (ConvertToFloat / ConvertFromFloat) when it differs, with
// reductions regenerated when `mipmaps` is on. Edits of the input are applied
// (the output has none). Returns false with an error text on any writer error;
// read errors are the caller's error handler's business.
#include <functional>
#include <string>

#include "Ptexture.h"

namespace PtexConvert {

// `progress`, when given, is called after each face with the faces done and their total.
bool convertTexture(PtexTexture* in, const std::string& outPath, Ptex::DataType dataType,
                    bool mipmaps, std::string& error,
                    const std::function<void(int, int)>& progress = {});

// Parses "uint8", "uint16", "half" (or "float16"), "float" (or "float32").
bool parseDataType(const std::string& name, Ptex::DataType& dt);

}  // namespace PtexConvert

#endif
