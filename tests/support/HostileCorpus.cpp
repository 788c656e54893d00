#include "tests/support/HostileCorpus.h"

#include <fstream>
#include <sstream>

namespace hostile {

std::filesystem::path Folder() {
    // Not from __FILE__: the build may name sources relative to its own folder, and CTest runs elsewhere.
    return std::filesystem::path(TORV_TEST_DATA) / "hostile";
}

std::vector<Row> ReadExpected() {
    std::vector<Row> rows;
    std::ifstream in(Folder() / "EXPECTED.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Row row;
        const auto tab = line.find('\t');
        row.file = line.substr(0, tab);
        std::istringstream words(line.substr(tab + 1));
        std::string kind, flag;
        words >> kind;
        if (kind == "error") {
            std::string cause;
            if (words >> cause)
                for (core::Cause c : core::kAllCauses)
                    if (cause == core::CauseName(c)) row.error = c;
        } else {
            row.outcome = kind == "ok" ? Outcome::Ok : Outcome::Either;
            words >> row.width >> row.height >> flag;
            row.upright = flag == "upright";
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace hostile
