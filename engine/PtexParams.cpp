#include "engine/PtexParams.h"

PtexParams::PtexParams() : colorGain(nullptr), colorOffset(nullptr) {
    for (const ParamRow& row : kTexFacetParams) {
        if (const auto* m = std::get_if<int PtexParams::*>(&row.member)) {
            this->*(*m) = row.kind == ZUtils::ParamKind::Bool ? (row.value != 0) : int(row.value);
        } else if (const auto* f = std::get_if<float PtexParams::*>(&row.member)) {
            this->*(*f) = row.value;
        }
    }
}
