#pragma once
// The hostile corpus in tests/data/hostile and what loading each of its files must give, as listed
// in its EXPECTED.tsv.

#include "core/error.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hostile {

enum class Outcome { Ok, Either, Error };

struct Row {
    std::string file;
    Outcome outcome = Outcome::Error;
    int width = 0, height = 0;  // the upright size, for Ok and Either
    std::optional<core::Cause> error{};  // for Error: the cause; none for any of the loader's refusals
    bool upright = false;       // the picture is the upright marker
};

// The corpus folder.
std::filesystem::path Folder();
// The rows of EXPECTED.tsv, in its order.
std::vector<Row> ReadExpected();

}  // namespace hostile
