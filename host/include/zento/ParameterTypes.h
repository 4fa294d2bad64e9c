// Parameter type codes, registration kinds and keyframe interpolation.
//
// ZentoParameterType is the host's value type of a parameter. Two codes are
// fixed by the plugin contract: 0 is the integer type and 4 the three-float
// vector type. A count of -1 registers a single value, 0 a list of any length.
#pragma once

namespace ZUtils {

enum ZentoParameterType : int {
    TYPE_INT = 0,
    TYPE_FLOAT = 1,
    TYPE_BOOL = 2,
    TYPE_COLOR = 3,
    TYPE_VECTOR = 4,
    TYPE_STRING = 5,
    TYPE_TEXTURE = 6,
    TYPE_OUTPUT_TEXTURE = 7,
};

// Which registration call made a parameter (one per call of
// ZentoParameterListDesc).
enum class ParamKind : int {
    String,         // addParamString
    Int,            // addParamInt
    Float,          // addParamFloat
    Bool,           // addParamBool
    Texture,        // addParamTexture
    Generic,        // addParam (type code and count given)
    OutputTexture,  // addOutputParamTexture
};

// How values between two keyframes are found. Linear applies to float,
// colour and vector values (and vector lists of equal length); every other
// type always steps (the value of the last keyframe at or before the time).
enum class Interpolation : int { Linear, Step };

inline constexpr int PARAM_COUNT_SINGLE = -1;
inline constexpr int PARAM_COUNT_LIST = 0;

// Short names for listings ("int", "float", "vector", ...).
inline const char* parameterTypeName(ZentoParameterType type) {
    switch (type) {
        case TYPE_INT:
            return "int";
        case TYPE_FLOAT:
            return "float";
        case TYPE_BOOL:
            return "bool";
        case TYPE_COLOR:
            return "color";
        case TYPE_VECTOR:
            return "vector";
        case TYPE_STRING:
            return "string";
        case TYPE_TEXTURE:
            return "texture";
        case TYPE_OUTPUT_TEXTURE:
            return "output texture";
    }
    return "unknown";
}

inline const char* paramKindName(ParamKind kind) {
    switch (kind) {
        case ParamKind::String:
            return "string";
        case ParamKind::Int:
            return "int";
        case ParamKind::Float:
            return "float";
        case ParamKind::Bool:
            return "bool";
        case ParamKind::Texture:
            return "texture";
        case ParamKind::Generic:
            return "generic";
        case ParamKind::OutputTexture:
            return "output texture";
    }
    return "unknown";
}

}  // namespace ZUtils
