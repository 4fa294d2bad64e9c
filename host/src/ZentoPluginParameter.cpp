// Keyframed parameter values: sorted keyframes, step or linear reads.
#include "zento/ZentoPluginParameter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ZUtils {

namespace {

// One keyframe's value; which fields count depends on the parameter type.
struct Value {
    double number = 0.0;  // int, float and bool
    AColor color;
    Vector3f vector;
    CharString text;
    TextureInterface* texture = nullptr;
    ListHandle list;  // vector or int list
    int listCount = 0;
    bool isList = false;
};

struct Keyframe {
    double time;
    Value value;
};

bool isNumeric(ZentoParameterType t) {
    return t == TYPE_INT || t == TYPE_FLOAT || t == TYPE_BOOL;
}

float lerp(float a, float b, double alpha) {
    return static_cast<float>(a + (b - a) * alpha);
}

Vector3f lerp(const Vector3f& a, const Vector3f& b, double alpha) {
    return {lerp(a.x, b.x, alpha), lerp(a.y, b.y, alpha), lerp(a.z, b.z, alpha)};
}

template <class T>
ListValue<T> listOf(const ListHandle& handle, int count) {
    ListValue<T> v;
    v.handle = handle;
    v.count = count;
    v.data = count > 0 ? static_cast<const T*>(handle.data()) : nullptr;
    return v;
}

template <class T>
ListHandle copyList(const T* values, int count) {
    ListHandle handle = ListHandle::allocate(sizeof(T) * static_cast<size_t>(count));
    if (count > 0 && values)
        std::memcpy(handle.data(), values, sizeof(T) * static_cast<size_t>(count));
    return handle;
}

}  // namespace

struct ZentoPluginParameter::Impl {
    std::string name;
    ZentoParameterType type;
    Interpolation interpolation = Interpolation::Linear;
    std::vector<Keyframe> keys;  // sorted by time

    void put(double time, Value&& value) {
        auto it = std::lower_bound(keys.begin(), keys.end(), time,
                                   [](const Keyframe& k, double t) { return k.time < t; });
        if (it != keys.end() && it->time == time) {
            it->value = std::move(value);
        } else {
            keys.insert(it, Keyframe{time, std::move(value)});
        }
    }

    // The keyframes around `time`: a == b when no interpolation is needed;
    // null when there are none. alpha is the weight of b.
    bool bracket(double time, const Keyframe*& a, const Keyframe*& b, double& alpha) const {
        if (keys.empty()) return false;
        alpha = 0.0;
        if (!(time > keys.front().time)) {
            a = b = &keys.front();
            return true;
        }
        if (!(time < keys.back().time)) {
            a = b = &keys.back();
            return true;
        }
        auto it = std::upper_bound(keys.begin(), keys.end(), time,
                                   [](double t, const Keyframe& k) { return t < k.time; });
        b = &*it;
        a = &*(it - 1);
        alpha = (time - a->time) / (b->time - a->time);
        return true;
    }

    // The value to use when the type steps: the last keyframe at or before.
    const Value* stepped(double time) const {
        const Keyframe *a, *b;
        double alpha;
        if (!bracket(time, a, b, alpha)) return nullptr;
        return &a->value;
    }

    bool linear() const { return interpolation == Interpolation::Linear; }
};

ZentoPluginParameter::ZentoPluginParameter(const char* name, ZentoParameterType type)
    : impl_(new Impl) {
    impl_->name = name ? name : "";
    impl_->type = type;
}

ZentoPluginParameter::ZentoPluginParameter(const ZentoPluginParameter& other)
    : impl_(new Impl(*other.impl_)) {}

ZentoPluginParameter& ZentoPluginParameter::operator=(const ZentoPluginParameter& other) {
    if (this != &other) *impl_ = *other.impl_;
    return *this;
}

ZentoPluginParameter::~ZentoPluginParameter() {
    delete impl_;
}

const char* ZentoPluginParameter::getName() const {
    return impl_->name.c_str();
}
ZentoParameterType ZentoPluginParameter::getType() const {
    return impl_->type;
}
void ZentoPluginParameter::setInterpolation(Interpolation mode) {
    impl_->interpolation = mode;
}
Interpolation ZentoPluginParameter::getInterpolation() const {
    return impl_->interpolation;
}
int ZentoPluginParameter::numKeyframes() const {
    return static_cast<int>(impl_->keys.size());
}

double ZentoPluginParameter::getKeyframeTime(int index) const {
    if (index < 0 || index >= numKeyframes()) return 0.0;
    return impl_->keys[static_cast<size_t>(index)].time;
}

void ZentoPluginParameter::clearKeyframes() {
    impl_->keys.clear();
}

bool ZentoPluginParameter::setInt(int value, double time) {
    if (!isNumeric(impl_->type)) return false;
    Value v;
    v.number = impl_->type == TYPE_BOOL ? (value != 0 ? 1.0 : 0.0) : value;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setFloat(float value, double time) {
    if (!isNumeric(impl_->type)) return false;
    Value v;
    v.number = impl_->type == TYPE_BOOL ? (value != 0.0f ? 1.0 : 0.0) : value;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setBool(bool value, double time) {
    return setInt(value ? 1 : 0, time);
}

bool ZentoPluginParameter::setColor(const AColor& value, double time) {
    if (impl_->type != TYPE_COLOR && impl_->type != TYPE_TEXTURE) return false;
    // A texture parameter keeps its connected texture when its colour changes.
    Value v;
    if (impl_->type == TYPE_TEXTURE) {
        if (const Value* old = impl_->stepped(time)) v.texture = old->texture;
    }
    v.color = value;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setVector(const Vector3f& value, double time) {
    if (impl_->type != TYPE_VECTOR) return false;
    Value v;
    v.vector = value;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setString(const char* value, double time) {
    if (impl_->type != TYPE_STRING) return false;
    Value v;
    v.text = CharString(value);
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setTexture(TextureInterface* value, double time) {
    if (impl_->type != TYPE_TEXTURE && impl_->type != TYPE_OUTPUT_TEXTURE) return false;
    Value v;
    if (const Value* old = impl_->stepped(time)) v.color = old->color;
    v.texture = value;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setVectorList(const Vector3f* values, int count, double time) {
    if (impl_->type != TYPE_VECTOR) return false;
    if (count < 0 || !values) count = 0;
    Value v;
    v.list = copyList(values, count);
    v.listCount = count;
    v.isList = true;
    impl_->put(time, std::move(v));
    return true;
}

bool ZentoPluginParameter::setIntList(const int* values, int count, double time) {
    if (impl_->type != TYPE_INT) return false;
    if (count < 0 || !values) count = 0;
    Value v;
    v.list = copyList(values, count);
    v.listCount = count;
    v.isList = true;
    impl_->put(time, std::move(v));
    return true;
}

float ZentoPluginParameter::readFloat(double time) const {
    if (!isNumeric(impl_->type)) return 0.0f;
    const Keyframe *a, *b;
    double alpha;
    if (!impl_->bracket(time, a, b, alpha)) return 0.0f;
    if (impl_->type == TYPE_BOOL) return a->value.number != 0.0 ? 1.0f : 0.0f;
    if (impl_->type == TYPE_FLOAT && impl_->linear() && a != b) {
        return static_cast<float>(a->value.number + (b->value.number - a->value.number) * alpha);
    }
    return static_cast<float>(a->value.number);
}

int ZentoPluginParameter::readInt(double time) const {
    if (impl_->type == TYPE_BOOL) return readBool(time) ? 1 : 0;
    if (!isNumeric(impl_->type)) return 0;
    const Keyframe *a, *b;
    double alpha;
    if (!impl_->bracket(time, a, b, alpha)) return 0;
    double n = a->value.number;
    if (impl_->type == TYPE_FLOAT && impl_->linear() && a != b) n += (b->value.number - n) * alpha;
    // Toward zero, clamped to the int range (a float may hold more).
    if (!(n > -2147483648.0)) return n != n ? 0 : INT32_MIN;
    if (!(n < 2147483647.0)) return INT32_MAX;
    return static_cast<int>(n);
}

bool ZentoPluginParameter::readBool(double time) const {
    if (!isNumeric(impl_->type)) return false;
    const Value* v = impl_->stepped(time);
    return v && v->number != 0.0;
}

AColor ZentoPluginParameter::readColor(double time) const {
    if (impl_->type != TYPE_COLOR && impl_->type != TYPE_TEXTURE) return AColor();
    const Keyframe *a, *b;
    double alpha;
    if (!impl_->bracket(time, a, b, alpha)) return AColor();
    if (!impl_->linear() || a == b) return a->value.color;
    const AColor &x = a->value.color, &y = b->value.color;
    return AColor(lerp(x.r, y.r, alpha), lerp(x.g, y.g, alpha), lerp(x.b, y.b, alpha),
                  lerp(x.a, y.a, alpha));
}

Vector3f ZentoPluginParameter::readVector(double time) const {
    if (impl_->type != TYPE_VECTOR) return Vector3f();
    const Keyframe *a, *b;
    double alpha;
    if (!impl_->bracket(time, a, b, alpha)) return Vector3f();
    auto single = [](const Value& v) {
        if (!v.isList) return v.vector;
        return v.listCount > 0 ? static_cast<const Vector3f*>(v.list.data())[0] : Vector3f();
    };
    if (!impl_->linear() || a == b) return single(a->value);
    return lerp(single(a->value), single(b->value), alpha);
}

CharString ZentoPluginParameter::readString(double time) const {
    if (impl_->type != TYPE_STRING) return CharString();
    const Value* v = impl_->stepped(time);
    return v ? v->text : CharString();
}

TextureInterface* ZentoPluginParameter::readTexture(double time) const {
    if (impl_->type != TYPE_TEXTURE && impl_->type != TYPE_OUTPUT_TEXTURE) return nullptr;
    const Value* v = impl_->stepped(time);
    return v ? v->texture : nullptr;
}

VectorListValue ZentoPluginParameter::readVectorList(double time) const {
    if (impl_->type != TYPE_VECTOR) return VectorListValue();
    const Keyframe *a, *b;
    double alpha;
    if (!impl_->bracket(time, a, b, alpha)) return VectorListValue();
    const Value& va = a->value;
    if (!va.isList) {
        const Vector3f one = readVector(time);
        return listOf<Vector3f>(copyList(&one, 1), 1);
    }
    const Value& vb = b->value;
    if (!impl_->linear() || a == b || !vb.isList || vb.listCount != va.listCount) {
        return listOf<Vector3f>(va.list, va.listCount);
    }
    // Interpolated positions need their own block.
    ListHandle handle = ListHandle::allocate(sizeof(Vector3f) * static_cast<size_t>(va.listCount));
    const auto* pa = static_cast<const Vector3f*>(va.list.data());
    const auto* pb = static_cast<const Vector3f*>(vb.list.data());
    auto* out = static_cast<Vector3f*>(handle.data());
    for (int i = 0; i < va.listCount; ++i) out[i] = lerp(pa[i], pb[i], alpha);
    return listOf<Vector3f>(handle, va.listCount);
}

IntListValue ZentoPluginParameter::readIntList(double time) const {
    if (impl_->type != TYPE_INT) return IntListValue();
    const Value* v = impl_->stepped(time);
    if (!v) return IntListValue();
    if (!v->isList) {
        const int one = static_cast<int>(v->number);
        return listOf<int>(copyList(&one, 1), 1);
    }
    return listOf<int>(v->list, v->listCount);
}

int ZentoPluginParameter::readCount(double time) const {
    const Value* v = impl_->stepped(time);
    if (!v) return 0;
    return v->isList ? v->listCount : 1;
}

bool ZentoPluginParameter::assignValueFrom(const ZentoPluginParameter& other) {
    const ZentoParameterType mine = impl_->type, theirs = other.impl_->type;
    if (!(mine == theirs || (isNumeric(mine) && isNumeric(theirs)))) return false;
    if (this == &other) return true;
    impl_->keys = other.impl_->keys;
    impl_->interpolation = other.impl_->interpolation;
    if (mine == TYPE_BOOL && theirs != TYPE_BOOL) {
        for (Keyframe& k : impl_->keys) k.value.number = k.value.number != 0.0 ? 1.0 : 0.0;
    }
    return true;
}

}  // namespace ZUtils
