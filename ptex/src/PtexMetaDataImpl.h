#ifndef PtexMetaDataImpl_h
#define PtexMetaDataImpl_h
// MetaData - the reader's PtexMetaData. Entries come from the small metadata
// block, then the large metadata header, then metadata edits; a repeated key
// replaces the earlier value and type but keeps its index. Large values are read
// from the file on first access (under the reader's lock) and published through
// an atomic pointer. Values are stored aligned and strings NUL-terminated.
#include "Ptexture.h"

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace PtexInternal {

class PtexReader;

class MetaData : public PtexMetaData {
public:
    explicit MetaData(PtexReader* reader) : _reader(reader) {}
    ~MetaData() override;

    /// Parses one block of small-metadata records; false if the block is malformed
    /// (the entries read before the fault are kept).
    bool addRecords(const uint8_t* data, size_t size, bool mainBlock = false);
    /// Parses the large metadata header; entry data starts at datapos and must end
    /// by dataend. False if malformed.
    bool addLargeRecords(const uint8_t* data, size_t size, uint64_t datapos, uint64_t dataend);
    size_t memUsed() const { return _memUsed; }

    void release() override {}
    int numKeys() override { return int(_entries.size()); }
    void getKey(int index, const char*& key, Ptex::MetaDataType& type) override;
    bool findKey(const char* key, int& index, Ptex::MetaDataType& type) override;
    void getValue(const char* key, const char*& value) override;
    void getValue(int index, const char*& value) override;
    void getValue(const char* key, const int8_t*& value, int& count) override;
    void getValue(int index, const int8_t*& value, int& count) override;
    void getValue(const char* key, const int16_t*& value, int& count) override;
    void getValue(int index, const int16_t*& value, int& count) override;
    void getValue(const char* key, const int32_t*& value, int& count) override;
    void getValue(int index, const int32_t*& value, int& count) override;
    void getValue(const char* key, const float*& value, int& count) override;
    void getValue(int index, const float*& value, int& count) override;
    void getValue(const char* key, const double*& value, int& count) override;
    void getValue(int index, const double*& value, int& count) override;

    /// True if the entry lives in the large-metadata area (for tools and tests).
    bool isLarge(int index) const;
    /// Keys of the main small block and of the large area, in file order.
    const std::vector<std::string>& smallKeys() const { return _smallKeys; }
    const std::vector<std::string>& largeKeys() const { return _largeKeys; }

private:
    struct Entry {
        std::string key;
        Ptex::MetaDataType type = Ptex::mdt_string;
        uint32_t datasize = 0;
        bool large = false;
        uint64_t pos = 0;                     // large: stream position
        uint32_t zipsize = 0;                 // large: stream size
        std::unique_ptr<uint64_t[]> storage;  // aligned, datasize + 1 bytes (NUL)
        std::atomic<const uint8_t*> data{nullptr};
    };

    Entry* entryFor(const std::string& key);
    static std::unique_ptr<uint64_t[]> allocValue(const uint8_t* src, uint32_t size);
    const uint8_t* value(int index, Ptex::MetaDataType type, int elemsize, int& count);
    int indexOf(const char* key) const;

    PtexReader* _reader;
    std::vector<std::unique_ptr<Entry>> _entries;
    std::unordered_map<std::string, int> _index;
    size_t _memUsed = 0;
    std::vector<std::string> _smallKeys, _largeKeys;
};

}  // namespace PtexInternal

#endif
