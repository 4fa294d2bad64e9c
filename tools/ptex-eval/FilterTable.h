#ifndef PtexEval_FilterTable_h
#define PtexEval_FilterTable_h
// Filter query tables: one header line, tab-separated columns
//   file filter lerp sharpness noedgeblend premultiply category
//   faceid u v uw1 vw1 uw2 vw2 width blur firstchan nchannels r0 .. r(N-1)
// where r<k> is element k of the result buffer after eval ("-" = not written).
//
// parseFilterTable reads such a table (floats parsed as 32-bit floats);
// writeFilterTable writes it back with the given result columns.
// TableEvaluator opens the textures of a table (relative names resolve against a
// directory) through two caches, plain and premultiplied, and evaluates rows with
// filters from PtexFilter::getFilter with the plugin's filter types registered
// (filter -1 on a quad texture is the Mitchell filter), the factory the plugin
// uses; each FilterSet holds one filter per file and option set, so each thread
// needs its own set while the caches are shared.
#include "Ptexture.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace PtexEval {

struct FilterQuery {
    std::string file;
    int filter = 0;
    bool lerp = false;
    float sharpness = 0;
    bool noedgeblend = false;
    bool premultiply = false;
    std::string category;
    int faceid = 0;
    float u = 0, v = 0, uw1 = 0, vw1 = 0, uw2 = 0, vw2 = 0, width = 1, blur = 0;
    int firstchan = 0, nchannels = 0;
    std::vector<float> ref;        ///< expected values, one per result column
    std::vector<bool> refWritten;  ///< false where the table says "-"
    int line = 0;                  ///< line number in the source
};

struct FilterTable {
    std::vector<std::string> header;
    int nresult = 0;  ///< number of r<k> columns
    std::vector<FilterQuery> rows;
};

/// Filter type from its table name (point .. mitchell) or a number (-1, 8, ...);
/// false for anything else.
bool filterFromName(const std::string& name, int& filter);
/// The table name of a filter type: its name for 0..7, else the number.
std::string filterName(int filter);

bool parseFilterTable(std::istream& in, FilterTable& table, std::string& error);

/// results[row][k], written[row][k] per result column.
void writeFilterTable(std::ostream& out, const FilterTable& table,
                      const std::vector<std::vector<float>>& results,
                      const std::vector<std::vector<bool>>& written);

class TableEvaluator {
public:
    explicit TableEvaluator(const FilterTable& table, std::string dir = std::string());
    ~TableEvaluator();
    TableEvaluator(const TableEvaluator&) = delete;
    TableEvaluator& operator=(const TableEvaluator&) = delete;

    /// Opens every texture the table names; false and a message on failure.
    bool load(std::string& error);

    struct FilterSet {
        std::vector<PtexFilter*> filters;  ///< one per distinct file and option set
        std::vector<int> rowFilter;        ///< filter index per row (-1: no texture)
        ~FilterSet();
    };
    /// Filters for one thread (created up front, so timing excludes them).
    std::unique_ptr<FilterSet> makeFilters() const;

    /// Size of the result buffer evalRow needs.
    int bufferSize() const { return _bufsize; }
    /// Evaluates row i into buf (bufferSize() floats, pre-filled with a marker);
    /// written[k] tells whether element k was written.
    void evalRow(const FilterSet& set, size_t i, float* buf,
                 std::vector<bool>* written = nullptr) const;

private:
    const FilterTable& _table;
    std::string _dir;
    PtexCache* _cache[2] = {nullptr, nullptr};
    std::vector<PtexTexture*> _rowTexture;
    std::vector<PtexTexture*> _held;
    int _bufsize = 0;
};

}  // namespace PtexEval

#endif
