#pragma once

#include <QString>
#include <QStringList>

namespace ui {

// Starts a companion program from the program folder without waiting for it; when it is not
// there, the first of `stand-ins` found on the system. Returns false when nothing was started.
bool startCompanion(const QString& programFolder, const QString& name, const QStringList& standIns = {});

// A calculator: jsq.exe from the program folder, or the desktop's own calculator.
bool startCalculator(const QString& programFolder);

} // namespace ui
