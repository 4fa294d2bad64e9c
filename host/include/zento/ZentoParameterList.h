// ZUtils::ZentoParameterList: the parameter values of one plugin instance.
//
// Made by ZentoParameterListDesc::newParameterList: one ZentoPluginParameter
// per registered entry, in table order, holding the registered default.
//
// Binding: setParamCache(name, &member) records that the member receives the
// parameter's value at every cacheParams; the overload picks the member type
// (CharString, 32-bit int, 32-bit float, TextureInterface*). Binding writes
// nothing: members keep the values they had until the first cacheParams. Bool
// parameters are written to int members as 0 or 1; int members also take
// float parameters (rounded toward zero) and float members int ones.
// setOutputParamCache(name, iface) records the interface that answers an
// output parameter (the host reads it back with getOutputTexture). Each call
// returns 1 when the name is in the list, 0 otherwise (nothing recorded).
//
// cacheParams(time, point): every bound member takes its parameter's value at
// `time`, in binding order. Texture members take the connected texture or
// null. The point is recorded (getCachePoint) for parameters that could vary
// over space; none does yet.
//
// getParam(name): the list's own parameter (the host may change its values),
// or null. setParameter(p): copies p's keyframes into the list's parameter of
// the same name; 1 on success, 0 when no such name or the types do not match.
//
// Not thread-safe: binding, caching and setting happen outside shading.
#pragma once

#include "zento/CharString.h"
#include "zento/Export.h"
#include "zento/Vector.h"

namespace ZUtils {

class ZentoParameterListDesc;
class ZentoPluginParameter;
class TextureInterface;

class ZENTO_API ZentoParameterList {
public:
    explicit ZentoParameterList(const ZentoParameterListDesc* desc);
    ~ZentoParameterList();
    ZentoParameterList(const ZentoParameterList&) = delete;
    ZentoParameterList& operator=(const ZentoParameterList&) = delete;

    int setParamCache(const char* name, CharString* member);
    int setParamCache(const char* name, int* member);
    int setParamCache(const char* name, float* member);
    int setParamCache(const char* name, TextureInterface** member);
    int setOutputParamCache(const char* name, TextureInterface* iface);

    void cacheParams(double time, const TracePoint& point);

    ZentoPluginParameter* getParam(const char* name);
    int setParameter(ZentoPluginParameter* parameter);

    // Host-side inspection.
    int getNumParams() const;
    ZentoPluginParameter* getParamByIndex(int index);  // null when out of range
    int getNumBindings() const;
    const char* getBindingName(int index) const;  // binding order; null when out of range
    TextureInterface* getOutputTexture(const char* name) const;
    int getNumCaches() const;  // how many times cacheParams ran
    double getCacheTime() const;
    TracePoint getCachePoint() const;
    const ZentoParameterListDesc* getDesc() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace ZUtils
