#include "ui/Programs.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace ui {

bool startCompanion(const QString& programFolder, const QString& name, const QStringList& standIns) {
    const QString own = QDir(programFolder).filePath(name);
    if (QFileInfo(own).isExecutable())
        return QProcess::startDetached(own, {}, programFolder);
    for (const QString& candidate : standIns) {
        const QString found = QStandardPaths::findExecutable(candidate);
        if (!found.isEmpty())
            return QProcess::startDetached(found, {});
    }
    return false;
}

bool startCalculator(const QString& programFolder) {
    return startCompanion(programFolder, QStringLiteral("jsq.exe"),
                          {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
                           QStringLiteral("galculator"), QStringLiteral("mate-calc"),
                           QStringLiteral("xcalc")});
}

} // namespace ui
