// ZUtils::ZentoParameterListDesc: the parameter table of a plugin type.
//
// A plugin fills one description (usually a static object) with one
// registration call per parameter; the order of the calls is the table order.
// Text arguments are copied; a null description or hints argument is kept as
// "none" (distinct from an empty text). Every call returns the index of the
// new entry; registering a name twice keeps both entries but lookups by name
// find the first.
//
// registerParameters(host, desc) hands the table to the host for that plugin
// descriptor. newParameterList() makes a parameter list with one parameter per
// entry, each holding its registered default at time 0; deleteParameterList
// destroys a list made here (null is ignored).
//
// The table can be listed by index (getNumParams, getParamDef) for programs
// that print or check it.
#pragma once

#include "zento/AColor.h"
#include "zento/Export.h"
#include "zento/ParameterTypes.h"

namespace ZUtils {

class ZentoPluginHost;
class ZentoPluginDesc;
class ZentoParameterList;

// One registered parameter, as stored. Text pointers stay valid while the
// description lives; description and hints are null when registered as none.
struct ZentoParamDef {
    const char* name = nullptr;
    ParamKind kind = ParamKind::Int;
    ZentoParameterType type = TYPE_INT;
    int count = PARAM_COUNT_SINGLE;
    const char* description = nullptr;
    const char* hints = nullptr;
    // The default, in the field of the kind (Texture: defaultColor).
    const char* defaultString = nullptr;
    int defaultInt = 0;
    float defaultFloat = 0.0f;
    bool defaultBool = false;
    AColor defaultColor;
};

class ZENTO_API ZentoParameterListDesc {
public:
    ZentoParameterListDesc();
    ~ZentoParameterListDesc();
    ZentoParameterListDesc(const ZentoParameterListDesc&) = delete;
    ZentoParameterListDesc& operator=(const ZentoParameterListDesc&) = delete;

    int addParamString(const char* name, const char* defaultValue, int count,
                       const char* description, const char* hints);
    int addParamInt(const char* name, int defaultValue, int count, const char* description,
                    const char* hints);
    int addParamFloat(const char* name, float defaultValue, int count, const char* description,
                      const char* hints);
    int addParamBool(const char* name, bool defaultValue, int count, const char* description,
                     const char* hints);
    int addParamTexture(const char* name, const AColor& defaultValue, int count,
                        const char* description, const char* hints);
    int addParam(const char* name, ZentoParameterType type, int count, const char* description,
                 const char* hints);
    int addOutputParamTexture(const char* name, const char* description, const char* hints);

    int registerParameters(ZentoPluginHost* host, ZentoPluginDesc* desc);

    ZentoParameterList* newParameterList();
    void deleteParameterList(ZentoParameterList* list);

    int getNumParams() const;
    const ZentoParamDef* getParamDef(int index) const;  // null when out of range
    const ZentoParamDef* findParamDef(const char* name) const;
    int findParamIndex(const char* name) const;  // -1 when absent

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace ZUtils
