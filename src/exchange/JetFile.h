#pragma once

#include "exchange/SourceDatabase.h"

#include <QByteArray>

#include <optional>

namespace exchange {

// What the first page of a Jet file says about it.
struct JetHeader {
    int version = 4;  // 3 or 4
    QString password; // the database password; empty when none is set
};

// Reads a Jet 3 / Jet 4 header; nullopt for anything else (our own files, ACE files, text).
// The password sits in an RC4-encoded area; Jet 4 also masks it with the creation date.
std::optional<JetHeader> readJetHeader(const QByteArray& firstPage);

// Opens a Jet file through libmdb (read only). libmdb never checks the database password,
// so the header's password is compared here, exactly. Throws SourceError.
std::unique_ptr<SourceDatabase> openJetFile(const QString& path, const JetHeader& header,
                                            const QString& password);

} // namespace exchange
