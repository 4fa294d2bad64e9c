// ZUtils::ZentoPluginParameter: one named parameter value, possibly animated.
//
// A parameter has a name, a type code and a set of keyframes (time, value).
// Setting a value at a time adds a keyframe (or replaces the one at exactly
// that time). Reading at a time gives:
//  - no keyframe: the type's zero value (0, 0.0, false, unset text, null
//    texture, empty list);
//  - before the first / after the last keyframe: that keyframe's value;
//  - in between: linear interpolation for float, colour and vector values
//    (and vector lists of equal length) when the interpolation is Linear;
//    otherwise the value of the last keyframe at or before the time.
// Reads convert between int, float and bool (bool reads give 0 or 1; float to
// int rounds toward zero); string, texture and list values are read only as
// their own kind (other reads give the zero value).
//
// Lists: readVectorList and readIntList give a ListValue whose handle keeps
// the storage alive; readCount gives the element count at a time. A single
// vector or int value reads as a list of one element.
//
// Reading is const and thread-safe while nobody writes; writing is for the
// host while no render runs.
#pragma once

#include "zento/AColor.h"
#include "zento/CharString.h"
#include "zento/Export.h"
#include "zento/ListValue.h"
#include "zento/ParameterTypes.h"
#include "zento/Vector.h"

namespace ZUtils {

class TextureInterface;

class ZENTO_API ZentoPluginParameter {
public:
    ZentoPluginParameter(const char* name, ZentoParameterType type);
    ZentoPluginParameter(const ZentoPluginParameter& other);
    ZentoPluginParameter& operator=(const ZentoPluginParameter& other);
    ~ZentoPluginParameter();

    const char* getName() const;
    ZentoParameterType getType() const;

    void setInterpolation(Interpolation mode);
    Interpolation getInterpolation() const;

    // Keyframes (sorted by time).
    int numKeyframes() const;
    double getKeyframeTime(int index) const;  // 0.0 when out of range
    bool isAnimated() const { return numKeyframes() > 1; }
    void clearKeyframes();

    // Writing: adds or replaces the keyframe at `time`. False, nothing
    // changed, when the parameter's type cannot hold the value: int, float and
    // bool values go to int, float and bool parameters; colours to colour and
    // texture parameters; vectors and vector lists to vector parameters; int
    // lists to int parameters; text to string parameters; textures to texture
    // and output texture parameters. A negative list count counts as 0.
    bool setInt(int value, double time = 0.0);
    bool setFloat(float value, double time = 0.0);
    bool setBool(bool value, double time = 0.0);
    bool setColor(const AColor& value, double time = 0.0);
    bool setVector(const Vector3f& value, double time = 0.0);
    bool setString(const char* value, double time = 0.0);
    bool setTexture(TextureInterface* value, double time = 0.0);
    bool setVectorList(const Vector3f* values, int count, double time = 0.0);
    bool setIntList(const int* values, int count, double time = 0.0);

    // Reading at a time (see the conversions above).
    int readInt(double time) const;
    float readFloat(double time) const;
    bool readBool(double time) const;
    AColor readColor(double time) const;
    Vector3f readVector(double time) const;
    CharString readString(double time) const;
    TextureInterface* readTexture(double time) const;
    VectorListValue readVectorList(double time) const;
    IntListValue readIntList(double time) const;
    int readCount(double time) const;

    // Copies the other parameter's keyframes and interpolation (not its name).
    // False, nothing changed, when the types cannot hold each other's values.
    bool assignValueFrom(const ZentoPluginParameter& other);

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace ZUtils
