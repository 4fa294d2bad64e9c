#include "JsonLines.h"

#include <vector>

int lineAtOffset(const std::string& text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') ++line;
    }
    return line;
}

namespace {

struct Frame {
    bool isArray = false;
    std::string path;  // path of the container
    std::string key;   // object: the member being read
    int index = -1;    // array: the element being read
    bool expectKey = true;
};

std::string childPath(const Frame& f) {
    if (f.isArray) return f.path + "[" + std::to_string(f.index) + "]";
    return f.path.empty() ? f.key : f.path + "." + f.key;
}

}  // namespace

JsonLines::JsonLines(const std::string& text) {
    std::vector<Frame> stack;
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();
    // Called at the first character of a value: records its path.
    auto valueStart = [&]() -> std::string {
        if (stack.empty()) {
            lines_.emplace("", line);
            return "";
        }
        Frame& top = stack.back();
        if (top.isArray) ++top.index;
        const std::string p = childPath(top);
        lines_.emplace(p, line);
        return p;
    };
    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == ',' || c == ':') {
            if (c == ',' && !stack.empty() && !stack.back().isArray) stack.back().expectKey = true;
            ++i;
        } else if (c == '"') {
            // A string: a key or a value.
            std::string s;
            ++i;
            while (i < n && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < n) {
                    s += text[i + 1];
                    i += 2;
                    continue;
                }
                if (text[i] == '\n') ++line;
                s += text[i++];
            }
            ++i;
            if (!stack.empty() && !stack.back().isArray && stack.back().expectKey) {
                stack.back().key = s;
                stack.back().expectKey = false;
                // The member's line is where its key stands.
                lines_.emplace(childPath(stack.back()), line);
            } else if (!stack.empty() && stack.back().isArray) {
                valueStart();
            }
        } else if (c == '{' || c == '[') {
            std::string p;
            if (stack.empty() || stack.back().isArray)
                p = valueStart();
            else
                p = childPath(stack.back());
            Frame f;
            f.isArray = c == '[';
            f.path = p;
            stack.push_back(f);
            ++i;
        } else if (c == '}' || c == ']') {
            if (stack.empty()) return;
            stack.pop_back();
            ++i;
        } else {
            // Number, true, false or null.
            if (!stack.empty() && stack.back().isArray) valueStart();
            while (i < n && text[i] != ',' && text[i] != '}' && text[i] != ']' && text[i] != '\n' &&
                   text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
                ++i;
            }
        }
    }
}

int JsonLines::lineOf(const std::string& path) const {
    auto it = lines_.find(path);
    return it == lines_.end() ? 0 : it->second;
}
