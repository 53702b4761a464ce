#pragma once

#include <QString>

namespace store {

class Database;

// Values read at start-up that every window shares for the run.
struct ProgramState {
    QString currentUser;
    QString unitName;
    QString unitType;
    qint32 inputColour = 0; // a Windows RGB value: red in the low byte
    QString backupFolder;
    QString backgroundPicture;

    bool isSuperUser() const; // the trimmed name decides
};

inline const QString kSuperUser = QStringLiteral("超级用户");

// Reads the one settings row into the state (user left as it is).
void readSettings(Database& db, ProgramState& state);

// The settings row `system` is written here and nowhere else; the state is updated by the
// caller once the row took the values. Both throw SqlError.
void writeInputColour(Database& db, qint32 colour);
void writeUnitSettings(Database& db, const QString& unitName, const QString& unitType,
                       const QString& backupFolder, const QString& backgroundPicture);

// Writes the settings row the program is installed with (the backup folder left empty).
void writeShippedSettings(Database& db);

// The stored colour text as a number: empty or non-numeric gives 0.
qint32 parseInputColour(const QString& stored);

} // namespace store
