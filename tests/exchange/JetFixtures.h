#pragma once

#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

namespace testing_support {

// A Jet file of tests/fixtures/jet (used in place, never written).
inline QString jetFixture(const QString& name) {
    return QStringLiteral(TESSALY_FIXTURES "/jet/") + name;
}

// The counts legacy_lib_v4.expected.txt gives for one file ("basic" -> 3, "password" as text
// is left out) or for the merge line ("merge" -> updated, added, after).
inline QMap<QString, QString> legacyExpected(const QString& first) {
    QFile f(jetFixture(QStringLiteral("legacy_lib_v4.expected.txt")));
    QMap<QString, QString> values;
    if (!f.open(QIODevice::ReadOnly))
        return values;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(first + QLatin1Char(' ')))
            continue;
        for (const QString& part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qsizetype eq = part.indexOf(QLatin1Char('='));
            if (eq > 0)
                values[part.left(eq)] = part.mid(eq + 1);
        }
    }
    return values;
}

// The old persons table's columns in their stored order, as the expected file lists them.
inline QStringList legacyPersonsOrder() {
    QFile f(jetFixture(QStringLiteral("legacy_lib_v4.expected.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QStringLiteral("(62): "));
        if (colon >= 0)
            return line.mid(colon + 6).trimmed().split(QLatin1Char(','));
    }
    return {};
}

} // namespace testing_support
