#ifndef PtexWriterMetaStore_h
#define PtexWriterMetaStore_h
// Metadata entries collected by a writer, in the order of first appearance.
//
// Contract:
//  - set() stores a copy of the value; a key given again replaces the value and
//    type but keeps its place in the order.
//  - smallRecords() serialises the entries of at most 1024 bytes (or every entry
//    with includeLarge) as the records of the small metadata block: keysize
//    (uint8, with NUL), key + NUL, datatype (uint8), datasize (uint32), data.
//  - largeEntries() lists the entries above 1024 bytes, which the main writer
//    stores one zlib stream each in the large metadata area.
#include <string>
#include <unordered_map>
#include <vector>

#include "Ptexture.h"
#include "WriterBytes.h"

namespace PtexWriterInternal {

struct MetaEntry {
    std::string key;
    Ptex::MetaDataType type;
    ByteBuffer data;
};

class MetaStore {
public:
    static constexpr size_t maxSmallSize = 1024;

    void set(const std::string& key, Ptex::MetaDataType type, const void* data, size_t size);
    bool empty() const { return _entries.empty(); }
    const std::vector<MetaEntry>& entries() const { return _entries; }

    ByteBuffer smallRecords(bool includeLarge) const;
    std::vector<const MetaEntry*> largeEntries() const;

    static void putRecordHead(ByteBuffer& b, const MetaEntry& e);

private:
    std::vector<MetaEntry> _entries;
    std::unordered_map<std::string, size_t> _index;
};

}  // namespace PtexWriterInternal

#endif
