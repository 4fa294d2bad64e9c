// JsonLines: the line on which each value of a JSON text starts, by path.
//
// Paths name object members by key and array elements by index, joined as
// `objects[0].texture.filter_type`; the root is "". The scan expects text that
// a JSON parser has already accepted; on anything else it stops early and
// simply knows fewer paths. lineOf gives 0 for an unknown path.
#pragma once

#include <map>
#include <string>

class JsonLines {
public:
    explicit JsonLines(const std::string& text);
    int lineOf(const std::string& path) const;

private:
    std::map<std::string, int> lines_;
};

// The line of byte offset `offset` in `text` (1-based).
int lineAtOffset(const std::string& text, size_t offset);
