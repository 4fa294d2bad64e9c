// Metadata entries collected by a writer (see WriterMetaStore.h).
#include "WriterMetaStore.h"

namespace PtexWriterInternal {

void MetaStore::set(const std::string& key, Ptex::MetaDataType type, const void* data,
                    size_t size) {
    auto it = _index.find(key);
    MetaEntry* e;
    if (it == _index.end()) {
        _index.emplace(key, _entries.size());
        _entries.push_back(MetaEntry{key, type, {}});
        e = &_entries.back();
    } else {
        e = &_entries[it->second];
        e->type = type;
    }
    e->data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
}

void MetaStore::putRecordHead(ByteBuffer& b, const MetaEntry& e) {
    putU8(b, uint8_t(e.key.size() + 1));
    putBytes(b, e.key.c_str(), e.key.size() + 1);
    putU8(b, uint8_t(e.type));
    putU32(b, uint32_t(e.data.size()));
}

ByteBuffer MetaStore::smallRecords(bool includeLarge) const {
    ByteBuffer b;
    for (const MetaEntry& e : _entries) {
        if (!includeLarge && e.data.size() > maxSmallSize) continue;
        putRecordHead(b, e);
        putBytes(b, e.data.data(), e.data.size());
    }
    return b;
}

std::vector<const MetaEntry*> MetaStore::largeEntries() const {
    std::vector<const MetaEntry*> list;
    for (const MetaEntry& e : _entries)
        if (e.data.size() > maxSmallSize) list.push_back(&e);
    return list;
}

}  // namespace PtexWriterInternal
