// Filter query tables: parsing, writing and evaluation (see FilterTable.h).
#include "FilterTable.h"

#include "filters/PtexFilterFactory.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <map>
#include <ostream>
#include <sstream>
#include <tuple>

namespace PtexEval {

namespace {
const char* const kNames[] = {"point",   "bilinear", "box",        "gaussian",
                              "bicubic", "bspline",  "catmullrom", "mitchell"};
const char* const kColumns[] = {"file",        "filter",    "lerp",     "sharpness", "noedgeblend",
                                "premultiply", "category",  "faceid",   "u",         "v",
                                "uw1",         "vw1",       "uw2",      "vw2",       "width",
                                "blur",        "firstchan", "nchannels"};
const int kFixed = 18;
// Marks result elements the filter did not write.
const uint32_t kMarkBits = 0x7fc0dead;

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t t = line.find('\t', start);
        out.push_back(line.substr(start, t == std::string::npos ? std::string::npos : t - start));
        if (t == std::string::npos) break;
        start = t + 1;
    }
    if (!out.empty() && !out.back().empty() && out.back().back() == '\r') out.back().pop_back();
    return out;
}

bool toFloat(const std::string& s, float& f) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    f = std::strtof(s.c_str(), &end);  // strtof: parsed as a 32-bit float directly
    return end && *end == 0;
}

bool toInt(const std::string& s, int& i) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (!end || *end != 0 || v < -2147483647L || v > 2147483647L) return false;
    i = int(v);
    return true;
}

std::string fmt(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", double(f));
    return buf;
}
}  // namespace

bool filterFromName(const std::string& name, int& filter) {
    for (int i = 0; i < 8; i++) {
        if (name == kNames[i]) {
            filter = i;
            return true;
        }
    }
    return toInt(name, filter);
}

std::string filterName(int filter) {
    return (filter >= 0 && filter < 8) ? kNames[filter] : std::to_string(filter);
}

bool parseFilterTable(std::istream& in, FilterTable& table, std::string& error) {
    table = FilterTable();
    std::string line;
    if (!std::getline(in, line)) {
        error = "empty table";
        return false;
    }
    table.header = splitTabs(line);
    if (int(table.header.size()) < kFixed) {
        error = "header has too few columns";
        return false;
    }
    for (int i = 0; i < kFixed; i++) {
        if (table.header[size_t(i)] != kColumns[i]) {
            error = std::string("unexpected column '") + table.header[size_t(i)] + "', expected '" +
                    kColumns[i] + "'";
            return false;
        }
    }
    table.nresult = int(table.header.size()) - kFixed;
    int lineno = 1;
    while (std::getline(in, line)) {
        lineno++;
        if (line.empty() || line == "\r") continue;
        std::vector<std::string> f = splitTabs(line);
        if (f.size() != table.header.size()) {
            error = "line " + std::to_string(lineno) + ": " + std::to_string(f.size()) +
                    " columns, expected " + std::to_string(table.header.size());
            return false;
        }
        FilterQuery q;
        q.line = lineno;
        q.file = f[0];
        q.category = f[6];
        int lerp = 0, neb = 0, pm = 0;
        bool ok = filterFromName(f[1], q.filter) && toInt(f[2], lerp) &&
                  toFloat(f[3], q.sharpness) && toInt(f[4], neb) && toInt(f[5], pm) &&
                  toInt(f[7], q.faceid) && toFloat(f[8], q.u) && toFloat(f[9], q.v) &&
                  toFloat(f[10], q.uw1) && toFloat(f[11], q.vw1) && toFloat(f[12], q.uw2) &&
                  toFloat(f[13], q.vw2) && toFloat(f[14], q.width) && toFloat(f[15], q.blur) &&
                  toInt(f[16], q.firstchan) && toInt(f[17], q.nchannels);
        if (!ok || q.nchannels > 65536) {
            error = "line " + std::to_string(lineno) + ": bad value";
            return false;
        }
        q.lerp = lerp != 0;
        q.noedgeblend = neb != 0;
        q.premultiply = pm != 0;
        for (int k = 0; k < table.nresult; k++) {
            const std::string& s = f[size_t(kFixed + k)];
            float val = 0;
            bool written = s != "-";
            if (written && !toFloat(s, val)) {
                error = "line " + std::to_string(lineno) + ": bad result value '" + s + "'";
                return false;
            }
            q.ref.push_back(val);
            q.refWritten.push_back(written);
        }
        table.rows.push_back(std::move(q));
    }
    return true;
}

void writeFilterTable(std::ostream& out, const FilterTable& table,
                      const std::vector<std::vector<float>>& results,
                      const std::vector<std::vector<bool>>& written) {
    for (size_t i = 0; i < table.header.size(); i++) out << (i ? "\t" : "") << table.header[i];
    out << '\n';
    for (size_t r = 0; r < table.rows.size(); r++) {
        const FilterQuery& q = table.rows[r];
        out << q.file << '\t' << filterName(q.filter) << '\t' << int(q.lerp) << '\t'
            << fmt(q.sharpness) << '\t' << int(q.noedgeblend) << '\t' << int(q.premultiply) << '\t'
            << q.category << '\t' << q.faceid << '\t' << fmt(q.u) << '\t' << fmt(q.v) << '\t'
            << fmt(q.uw1) << '\t' << fmt(q.vw1) << '\t' << fmt(q.uw2) << '\t' << fmt(q.vw2) << '\t'
            << fmt(q.width) << '\t' << fmt(q.blur) << '\t' << q.firstchan << '\t' << q.nchannels;
        for (int k = 0; k < table.nresult; k++) {
            bool w = r < written.size() && size_t(k) < written[r].size() && written[r][size_t(k)];
            out << '\t' << (w ? fmt(results[r][size_t(k)]) : std::string("-"));
        }
        out << '\n';
    }
}

TableEvaluator::TableEvaluator(const FilterTable& table, std::string dir)
    : _table(table), _dir(std::move(dir)) {
    registerPluginFilterTypes();
}

TableEvaluator::~TableEvaluator() {
    for (PtexTexture* t : _held) t->release();
    for (PtexCache* c : _cache)
        if (c) c->release();
}

bool TableEvaluator::load(std::string& error) {
    _cache[0] = PtexCache::create(0, 0, false);
    _cache[1] = PtexCache::create(0, 0, true);
    std::map<std::pair<std::string, int>, PtexTexture*> opened;
    _rowTexture.assign(_table.rows.size(), nullptr);
    _bufsize = _table.nresult;
    for (size_t i = 0; i < _table.rows.size(); i++) {
        const FilterQuery& q = _table.rows[i];
        if (q.nchannels > _bufsize) _bufsize = q.nchannels;
        const int pm = q.premultiply ? 1 : 0;
        auto key = std::make_pair(q.file, pm);
        auto it = opened.find(key);
        if (it == opened.end()) {
            std::string path = q.file;
            if (!_dir.empty() && !path.empty() && path[0] != '/') path = _dir + "/" + path;
            Ptex::String err;
            PtexTexture* t = _cache[pm]->get(path.c_str(), err);
            if (!t) {
                error = "cannot open " + path + ": " + err;
                return false;
            }
            _held.push_back(t);
            it = opened.emplace(key, t).first;
        }
        _rowTexture[i] = it->second;
    }
    return true;
}

TableEvaluator::FilterSet::~FilterSet() {
    for (PtexFilter* f : filters)
        if (f) f->release();
}

std::unique_ptr<TableEvaluator::FilterSet> TableEvaluator::makeFilters() const {
    auto set = std::make_unique<FilterSet>();
    std::map<std::tuple<PtexTexture*, int, bool, uint32_t, bool>, int> index;
    set->rowFilter.assign(_table.rows.size(), -1);
    for (size_t i = 0; i < _table.rows.size(); i++) {
        PtexTexture* t = i < _rowTexture.size() ? _rowTexture[i] : nullptr;
        if (!t) continue;
        const FilterQuery& q = _table.rows[i];
        auto key = std::make_tuple(t, q.filter, q.lerp, std::bit_cast<uint32_t>(q.sharpness),
                                   q.noedgeblend);
        auto it = index.find(key);
        if (it == index.end()) {
            PtexFilter::Options opts(PtexFilter::FilterType(q.filter), q.lerp, q.sharpness,
                                     q.noedgeblend);
            set->filters.push_back(PtexFilter::getFilter(t, opts));
            it = index.emplace(key, int(set->filters.size()) - 1).first;
        }
        set->rowFilter[i] = it->second;
    }
    return set;
}

void TableEvaluator::evalRow(const FilterSet& set, size_t i, float* buf,
                             std::vector<bool>* written) const {
    const float mark = std::bit_cast<float>(kMarkBits);
    for (int k = 0; k < _bufsize; k++) buf[k] = mark;
    int fi = i < set.rowFilter.size() ? set.rowFilter[i] : -1;
    PtexFilter* f = fi >= 0 ? set.filters[size_t(fi)] : nullptr;
    const FilterQuery& q = _table.rows[i];
    if (f)
        f->eval(buf, q.firstchan, q.nchannels, q.faceid, q.u, q.v, q.uw1, q.vw1, q.uw2, q.vw2,
                q.width, q.blur);
    if (written) {
        written->assign(size_t(_table.nresult), false);
        for (int k = 0; k < _table.nresult; k++)
            (*written)[size_t(k)] = std::bit_cast<uint32_t>(buf[k]) != kMarkBits;
    }
}

}  // namespace PtexEval
