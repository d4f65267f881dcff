// What the fuzz targets share: a check that stops the run where it fails, and the tables built
// once, with messages kept off the screen.
#pragma once

#include <cstdlib>

#include "tables/modMessages.h"
#include "tables/modTables.h"

namespace litvorot::fuzz {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

inline void BuildTablesOnce() {
    static const bool ready = [] {
        BuildTables();
        SetMessageHook(nullptr);
        return true;
    }();
    (void)ready;
}

}  // namespace litvorot::fuzz
