// Reader-side metadata: record parsing, lookup and lazy loading of large values.
#include "PtexMetaDataImpl.h"

#include "PtexIO.h"
#include "PtexInflate.h"
#include "PtexReader.h"

#include <cstring>

namespace PtexInternal {

namespace {
constexpr uint32_t MaxValueSize = 1u << 30;
}

MetaData::~MetaData() {}

std::unique_ptr<uint64_t[]> MetaData::allocValue(const uint8_t* src, uint32_t size) {
    size_t words = size_t(size) / 8 + 1;  // always room for a terminating NUL
    std::unique_ptr<uint64_t[]> buf(new uint64_t[words]);
    std::memset(buf.get(), 0, words * 8);
    if (src && size) std::memcpy(buf.get(), src, size);
    return buf;
}

MetaData::Entry* MetaData::entryFor(const std::string& key) {
    auto it = _index.find(key);
    if (it != _index.end()) return _entries[size_t(it->second)].get();
    _index.emplace(key, int(_entries.size()));
    _entries.push_back(std::make_unique<Entry>());
    _entries.back()->key = key;
    _memUsed += sizeof(Entry) + key.size() + 64;
    return _entries.back().get();
}

bool MetaData::addRecords(const uint8_t* data, size_t size, bool mainBlock) {
    size_t p = 0;
    while (p < size) {
        uint8_t keysize = data[p++];
        if (keysize == 0 || size - p < size_t(keysize) + 5) return false;
        std::string key(reinterpret_cast<const char*>(data + p),
                        keysize - 1);  // last byte is the NUL
        key.resize(std::strlen(key.c_str()));
        p += keysize;
        uint8_t type = data[p++];
        uint32_t datasize = PtexIO::readU32(data + p);
        p += 4;
        if (type > Ptex::mdt_double || datasize > size - p) return false;
        if (mainBlock) _smallKeys.push_back(key);
        Entry* e = entryFor(key);
        e->type = Ptex::MetaDataType(type);
        e->datasize = datasize;
        e->large = false;
        e->storage = allocValue(data + p, datasize);
        e->data.store(reinterpret_cast<const uint8_t*>(e->storage.get()),
                      std::memory_order_relaxed);
        _memUsed += datasize;
        p += datasize;
    }
    return true;
}

bool MetaData::addLargeRecords(const uint8_t* data, size_t size, uint64_t datapos,
                               uint64_t dataend) {
    size_t p = 0;
    uint64_t pos = datapos;
    while (p < size) {
        uint8_t keysize = data[p++];
        if (keysize == 0 || size - p < size_t(keysize) + 9) return false;
        std::string key(reinterpret_cast<const char*>(data + p), keysize - 1);
        key.resize(std::strlen(key.c_str()));
        p += keysize;
        uint8_t type = data[p++];
        uint32_t datasize = PtexIO::readU32(data + p);
        uint32_t zipsize = PtexIO::readU32(data + p + 4);
        p += 8;
        if (type > Ptex::mdt_double || datasize > MaxValueSize || pos + zipsize > dataend ||
            (datasize && !PtexInflate::plausible(zipsize, datasize)))
            return false;
        _largeKeys.push_back(key);
        Entry* e = entryFor(key);
        e->type = Ptex::MetaDataType(type);
        e->datasize = datasize;
        e->large = true;
        e->pos = pos;
        e->zipsize = zipsize;
        e->storage.reset();
        e->data.store(nullptr, std::memory_order_relaxed);
        pos += zipsize;
    }
    return true;
}

int MetaData::indexOf(const char* key) const {
    if (!key) return -1;
    auto it = _index.find(key);
    return it == _index.end() ? -1 : it->second;
}

bool MetaData::isLarge(int index) const {
    return index >= 0 && size_t(index) < _entries.size() && _entries[size_t(index)]->large;
}

void MetaData::getKey(int index, const char*& key, Ptex::MetaDataType& type) {
    if (index < 0 || size_t(index) >= _entries.size()) return;
    key = _entries[size_t(index)]->key.c_str();
    type = _entries[size_t(index)]->type;
}

bool MetaData::findKey(const char* key, int& index, Ptex::MetaDataType& type) {
    index = indexOf(key);
    if (index < 0) return false;
    type = _entries[size_t(index)]->type;
    return true;
}

const uint8_t* MetaData::value(int index, Ptex::MetaDataType type, int elemsize, int& count) {
    count = 0;
    if (index < 0 || size_t(index) >= _entries.size()) return nullptr;
    Entry* e = _entries[size_t(index)].get();
    if (e->type != type) return nullptr;
    const uint8_t* d = e->data.load(std::memory_order_acquire);
    if (!d && e->large) {
        std::lock_guard<std::mutex> lock(_reader->_readlock);
        d = e->data.load(std::memory_order_relaxed);
        if (!d) {
            std::unique_ptr<uint64_t[]> buf;
            bool got = e->datasize == 0 || _reader->readCompressed(e->pos, e->zipsize, e->datasize);
            if (got) buf = allocValue(nullptr, e->datasize);
            if (got && (e->datasize == 0 ||
                        _reader->inflateCompressed(e->zipsize, buf.get(), e->datasize))) {
                e->storage = std::move(buf);
                d = reinterpret_cast<const uint8_t*>(e->storage.get());
                _reader->addMem(int64_t(e->datasize));
                e->data.store(d, std::memory_order_release);
            }
        }
    }
    if (!d) return nullptr;
    count = int(e->datasize / uint32_t(elemsize));
    return d;
}

void MetaData::getValue(const char* key, const char*& v) {
    getValue(indexOf(key), v);
}
void MetaData::getValue(int index, const char*& v) {
    int count;
    v = reinterpret_cast<const char*>(value(index, Ptex::mdt_string, 1, count));
}

#define PTEX_META_GETTER(T, MDT)                                                  \
    void MetaData::getValue(const char* key, const T*& v, int& count) {           \
        getValue(indexOf(key), v, count);                                         \
    }                                                                             \
    void MetaData::getValue(int index, const T*& v, int& count) {                 \
        v = reinterpret_cast<const T*>(value(index, MDT, int(sizeof(T)), count)); \
        if (!v) count = 0;                                                        \
    }

PTEX_META_GETTER(int8_t, Ptex::mdt_int8)
PTEX_META_GETTER(int16_t, Ptex::mdt_int16)
PTEX_META_GETTER(int32_t, Ptex::mdt_int32)
PTEX_META_GETTER(float, Ptex::mdt_float)
PTEX_META_GETTER(double, Ptex::mdt_double)

#undef PTEX_META_GETTER

}  // namespace PtexInternal
