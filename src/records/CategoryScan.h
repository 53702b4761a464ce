#pragma once

#include "categories/CategoryTable.h"
#include "store/Job.h"

namespace store {
class Database;
}

namespace records {

// The category settings window's scan: reads one persons column over the whole table in stored
// order and lists each distinct non-empty value once (Yes/No as 是/否), reporting "完成12.3%" after
// each person. Incomplete past the scan's room for values, or when there are no persons.
categories::ScanResult scanDistinct(store::Database& db, int column,
                                    store::JobControl& control = store::untracked());

} // namespace records
