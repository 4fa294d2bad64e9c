#include "ShadingReport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

using ZUtils::ShadingStats;

struct Column {
    const char* title;
    uint64_t ShadingStats::*field;
};

constexpr Column kColumns[] = {
    {"lookups", &ShadingStats::lookups},
    {"cache hits", &ShadingStats::cacheHits},
    {"filtered", &ShadingStats::filterEvaluations},
    {"faces", &ShadingStats::facesTouched},
    {"no texture", &ShadingStats::fallbackNoTexture},
    {"no mesh", &ShadingStats::fallbackNoMeshSource},
    {"unmappable", &ShadingStats::fallbackUnmappable},
    {"bad thread", &ShadingStats::fallbackBadThread},
    {"refused", &ShadingStats::fallbackAllocationRefused},
};
constexpr size_t kCounts = std::size(kColumns);
constexpr size_t kFirstFallback = 4;  // the columns from here on are fallbacks

std::string bytesText(uint64_t bytes) {
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024ull * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", double(bytes) / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / (1024.0 * 1024.0));
    }
    return text;
}

std::string padLeft(const std::string& s, size_t width) {
    return std::string(width > s.size() ? width - s.size() : 0, ' ') + s;
}

std::string padRight(const std::string& s, size_t width) {
    return s + std::string(width > s.size() ? width - s.size() : 0, ' ');
}

}  // namespace

std::string shadingReport(int frame, const std::vector<TextureStats>& textures, bool perTexture) {
    struct Row {
        std::string label;
        std::vector<std::string> cells;  // empty: the texture did not answer
    };
    std::vector<Row> rows;
    ShadingStats total;
    const ShadingStats* cache = nullptr;
    for (const TextureStats& t : textures) {
        if (!t.answered) continue;
        for (const Column& c : kColumns) total.*c.field += t.stats.*c.field;
        if (!cache) cache = &t.stats;
    }
    auto cellsOf = [](const ShadingStats& s) {
        std::vector<std::string> cells;
        for (const Column& c : kColumns) cells.push_back(std::to_string(s.*c.field));
        return cells;
    };
    rows.push_back({"total", cellsOf(total)});
    if (perTexture) {
        for (const TextureStats& t : textures)
            rows.push_back({t.name, t.answered ? cellsOf(t.stats) : std::vector<std::string>()});
    }

    size_t labelWidth = 0;
    size_t widths[kCounts];
    for (size_t k = 0; k < kCounts; ++k) widths[k] = std::string(kColumns[k].title).size();
    for (const Row& r : rows) {
        labelWidth = std::max(labelWidth, r.label.size());
        for (size_t k = 0; k < r.cells.size(); ++k)
            widths[k] = std::max(widths[k], r.cells[k].size());
    }

    const size_t n = textures.size();
    std::string out = "stats, frame " + std::to_string(frame) + " (" + std::to_string(n) +
                      (n == 1 ? " texture" : " textures") + "):\n";
    // The fallback columns under one heading.
    std::string group = "  " + std::string(labelWidth, ' ');
    for (size_t k = 0; k < kFirstFallback; ++k) group += std::string(widths[k] + 2, ' ');
    out += group + "  fallbacks:\n";
    std::string header = "  " + std::string(labelWidth, ' ');
    for (size_t k = 0; k < kCounts; ++k) header += "  " + padLeft(kColumns[k].title, widths[k]);
    out += header + "\n";
    for (const Row& r : rows) {
        std::string line = "  " + padRight(r.label, labelWidth);
        if (r.cells.empty()) line += "  (no statistics)";
        for (size_t k = 0; k < r.cells.size(); ++k) line += "  " + padLeft(r.cells[k], widths[k]);
        out += line + "\n";
    }
    if (cache) {
        const uint64_t files = cache->cacheFilesOpened;
        out += "  Ptex cache: " + std::to_string(files) + (files == 1 ? " file" : " files") +
               " opened, " + bytesText(cache->cacheBytesRead) + " read, " +
               bytesText(cache->cachePeakMemory) + " peak memory\n";
    }
    return out;
}
