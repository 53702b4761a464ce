#pragma once

#include "store/Session.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

class QWidget;

// Failed comparisons print texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testing_support {

// A fixed clock that tests may move.
struct FixedClock {
    std::shared_ptr<QDateTime> now = std::make_shared<QDateTime>(QDate(2008, 6, 23), QTime(9, 5));
    store::Clock clock() const {
        return [n = now] { return *n; };
    }
};

// A temporary program folder holding its own copy of the shipped lib.mdb.
class TestFolder {
public:
    explicit TestFolder(bool withDatabase = true);
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    // An open session on the folder's database, logged in as `user`.
    std::unique_ptr<store::Session> session(const QString& user = QStringLiteral("超级用户"));
    // The same on either engine: on the server, a fresh database of the test cluster with the
    // rows the program ships with, the folder still the program folder.
    std::unique_ptr<store::Session> session(const QString& user, store::Dialect dialect);
    FixedClock clock;

private:
    QTemporaryDir dir_;
};

// The action text of the newest operator-log row.
QString lastAction(store::Database& db);

// Every row of these tables as text, to see that nothing changed.
QStringList everyRow(store::Database& db, const QStringList& tables);

// Row count of a table in the folder's database.
qint64 countRows(store::Database& db, const QString& table, const QString& where = QString());

// One column of the person with this personal number; Null when there is none.
QVariant personValue(store::Database& db, const QString& number, const char* column);

// Triggers the window's menu item or toolbar button named `key`, as a click does; a test
// failure when the window has none.
void trigger(QWidget& window, const QString& key);

// Points SANE at a configuration with only its test device, scanning in colour at 25 dpi over
// 40 × 30 mm (39 × 29 pixels). SANE reads the folder once per process, so call this before
// anything starts SANE; every later call is a no-op. False when the folder cannot be written.
bool useSaneTestDevice();

} // namespace testing_support
