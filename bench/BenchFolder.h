#pragma once

#include "store/Session.h"

namespace bench {

// How many persons the benchmarks generate: 100,000 unless TESSALY_BENCH_PERSONS says otherwise.
int benchPersons();

// Writes a shipped database holding `persons` generated persons to `path`. Generating a million
// persons takes minutes, so with TESSALY_BENCH_CACHE naming a folder the first file made is kept
// there and copied on later runs.
void writeGeneratedDatabase(const QString& path, int persons);

// TESSALY_BENCH_ENGINE=postgresql: the benchmarks work on a server database instead of lib.mdb
// (TESSALY_BENCH_SERVER's connection string, else a throw-away cluster of this process).
bool onServer();
// An empty server database as a libpq connection string.
QString emptyServerDatabase();

// One program folder per benchmark run holding the generated persons, opened as the super user.
store::Session& sharedSession();
double residentMegabytes();

} // namespace bench
