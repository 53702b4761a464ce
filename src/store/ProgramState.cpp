#include "store/ProgramState.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Schema.h"

namespace store {

bool ProgramState::isSuperUser() const {
    return currentUser.trimmed() == kSuperUser;
}

qint32 parseInputColour(const QString& stored) {
    return qint32(roundHalfEven(numericPrefix(stored)));
}

void readSettings(Database& db, ProgramState& state) {
    Statement st = db.prepare(QStringLiteral(
        "SELECT dwmc, dwxz, systempass, bakpath, backpicture FROM \"system\" ORDER BY rowid LIMIT 1"));
    if (!st.step())
        throw SqlError(0, QStringLiteral("the settings row is missing"));
    state.unitName = st.text(0);
    state.unitType = st.text(1);
    state.inputColour = parseInputColour(st.text(2));
    state.backupFolder = st.text(3).trimmed();
    state.backgroundPicture = st.text(4);
}

namespace {
const QString kFirstRow = QStringLiteral("rowid = (SELECT min(rowid) FROM \"system\")");
} // namespace

void writeInputColour(Database& db, qint32 colour) {
    db.exec(QStringLiteral("UPDATE \"system\" SET systempass = ? WHERE ") + kFirstRow,
            {QString::number(colour)});
}

void writeUnitSettings(Database& db, const QString& unitName, const QString& unitType,
                       const QString& backupFolder, const QString& backgroundPicture) {
    db.exec(QStringLiteral("UPDATE \"system\" SET dwmc = ?, dwxz = ?, bakpath = ?, backpicture = ? WHERE ") +
                kFirstRow,
            {unitName, unitType, backupFolder, backgroundPicture});
}

void writeShippedSettings(Database& db) {
    // Light yellow (255, 255, 204) as a Windows RGB value.
    db.exec(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?)").arg(quoted(schema::kSettings)),
            {QStringLiteral("示例市离退休人员服务中心"), QStringLiteral("事业单位"),
             QStringLiteral("13434879"), QString(), QStringLiteral("1.jpg")});
}

} // namespace store
