// ptex-eval: evaluates a filter query table with our filters.
//
//   ptex-eval [TABLE|-] [--dir DIR] [--repeat N] [--threads T]
//
// Reads the table (standard input for "-" or no argument), writes it back to
// standard output with our results in the r<k> columns ("-" where the filter did
// not write). With --repeat N the whole table is evaluated N more times after
// loading (filters made before timing) and the last line gives evaluations per
// second; --threads T spreads those repeats over T threads sharing the caches.
#include "FilterTable.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

int main(int argc, char** argv) {
    CLI::App app{"Evaluate a Ptex filter query table"};
    std::string tablePath = "-";
    std::string dir;
    long repeat = 0;
    int threads = 1;
    app.add_option("table", tablePath, "query table (- for standard input)");
    app.add_option("--dir", dir, "directory that relative texture names resolve against");
    app.add_option("--repeat", repeat,
                   "evaluate the table N times and report evaluations per second")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--threads", threads, "threads sharing the repeats")->check(CLI::Range(1, 256));
    CLI11_PARSE(app, argc, argv);

    PtexEval::FilterTable table;
    std::string error;
    bool ok;
    if (tablePath == "-") {
        ok = PtexEval::parseFilterTable(std::cin, table, error);
    } else {
        std::ifstream in(tablePath);
        if (!in) {
            std::cerr << "ptex-eval: cannot open " << tablePath << "\n";
            return 1;
        }
        ok = PtexEval::parseFilterTable(in, table, error);
    }
    if (!ok) {
        std::cerr << "ptex-eval: " << tablePath << ": " << error << "\n";
        return 1;
    }

    PtexEval::TableEvaluator evaluator(table, dir);
    if (!evaluator.load(error)) {
        std::cerr << "ptex-eval: " << error << "\n";
        return 1;
    }

    // one pass for the output table
    {
        auto set = evaluator.makeFilters();
        std::vector<float> buf(size_t(evaluator.bufferSize()) + 1);
        std::vector<std::vector<float>> results(table.rows.size());
        std::vector<std::vector<bool>> written(table.rows.size());
        for (size_t i = 0; i < table.rows.size(); i++) {
            evaluator.evalRow(*set, i, buf.data(), &written[i]);
            results[i].assign(buf.begin(), buf.begin() + table.nresult);
        }
        PtexEval::writeFilterTable(std::cout, table, results, written);
    }

    if (repeat > 0 && !table.rows.empty()) {
        std::vector<std::unique_ptr<PtexEval::TableEvaluator::FilterSet>> sets;
        for (int t = 0; t < threads; t++) sets.push_back(evaluator.makeFilters());
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        auto work = [&](int t) {
            std::vector<float> buf(size_t(evaluator.bufferSize()) + 1);
            const long n = repeat / threads + (t < repeat % threads ? 1 : 0);
            ready++;
            while (!go.load()) std::this_thread::yield();
            for (long r = 0; r < n; r++)
                for (size_t i = 0; i < table.rows.size(); i++)
                    evaluator.evalRow(*sets[size_t(t)], i, buf.data());
        };
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; t++) pool.emplace_back(work, t);
        while (ready.load() < threads) std::this_thread::yield();
        auto start = std::chrono::steady_clock::now();
        go = true;
        for (auto& th : pool) th.join();
        double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double evals = double(repeat) * double(table.rows.size());
        std::printf("%.0f evaluations per second (%.0f evaluations, %d thread%s, %.3f s)\n",
                    secs > 0 ? evals / secs : 0.0, evals, threads, threads == 1 ? "" : "s", secs);
    }
    return 0;
}
