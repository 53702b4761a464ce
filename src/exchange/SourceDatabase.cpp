#include "exchange/SourceDatabase.h"

#include "exchange/JetFile.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QFile>
#include <QFileInfo>

namespace exchange {

SourceError::SourceError(SourceFailure kind, const QString& path, const QString& detail, QString table)
    : std::runtime_error((path + QStringLiteral(": ") + detail).toStdString()), kind_(kind), path_(path),
      table_(std::move(table)) {
    if (kind == SourceFailure::Missing)
        openFailure_ = store::OpenFailure::Missing;
    else if (kind == SourceFailure::NotADatabase)
        openFailure_ = store::OpenFailure::NotADatabase;
    else if (kind == SourceFailure::WrongPassword)
        openFailure_ = store::OpenFailure::WrongPassword;
}

int SourceTable::columnIndex(const QString& name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

namespace {

using SharedDb = std::shared_ptr<store::Database>;

// A table of a copy of our own file, read in rowid order.
class OwnTable : public SourceTable {
public:
    OwnTable(SharedDb db, const QString& table)
        : db_(std::move(db)), rows_(db_->prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                                     .arg(store::columnList(store::tableColumns(*db_, table)),
                                                          store::quoted(table)))) {
        name_ = table;
        for (const store::TableColumn& c : store::tableColumns(*db_, table)) {
            const auto open = c.declaredType.indexOf(QLatin1Char('('));
            const int size = c.type == store::JetType::Text && open > 0
                                 ? c.declaredType.mid(open + 1).chopped(1).toInt()
                                 : 0;
            columns_.push_back({c.name, c.type, size});
        }
    }

    qint64 rowCount() override {
        return db_->scalar(QStringLiteral("SELECT count(*) FROM %1").arg(store::quoted(name_))).toLongLong();
    }

    bool next(QVariantList& row) override {
        if (!rows_.step()) {
            rows_.reset(); // ends the read, so the file may be written (it may be our own)
            return false;
        }
        row.clear();
        for (int i = 0; i < rows_.columnCount(); ++i) {
            QVariant v = rows_.value(i);
            if (!v.isNull() && std::size_t(i) < columns_.size()) {
                if (columns_[std::size_t(i)].type == store::JetType::Boolean)
                    v = QVariant(v.toLongLong() != 0);
                else if (columns_[std::size_t(i)].type == store::JetType::Single)
                    v = QVariant(v.toDouble());
            }
            row << v;
        }
        return true;
    }

private:
    SharedDb db_;
    store::Statement rows_;
};

class OwnCopy : public SourceDatabase {
public:
    explicit OwnCopy(SharedDb db) : db_(std::move(db)) {}
    Kind kind() const override { return Kind::OwnCopy; }
    bool hasTable(const QString& name) override { return db_->hasTable(name); }
    std::unique_ptr<SourceTable> table(const QString& name) override {
        if (!db_->hasTable(name))
            throw SourceError(SourceFailure::MissingTable, db_->path(),
                              QStringLiteral("no table %1").arg(name), name);
        return std::make_unique<OwnTable>(db_, name);
    }

private:
    SharedDb db_;
};

SourceFailure failureOf(store::OpenFailure f) {
    switch (f) {
    case store::OpenFailure::Missing:
        return SourceFailure::Missing;
    case store::OpenFailure::WrongPassword:
        return SourceFailure::WrongPassword;
    case store::OpenFailure::MissingTables:
        return SourceFailure::MissingTable;
    case store::OpenFailure::NotAFile:
        return SourceFailure::Missing;
    case store::OpenFailure::Locked:
        return SourceFailure::Unreadable;
    case store::OpenFailure::NotADatabase:
        break;
    }
    return SourceFailure::NotADatabase;
}

} // namespace

SourceError::SourceError(store::OpenFailure failure, const QString& path, const QString& detail)
    : SourceError(failureOf(failure), path, detail) {
    openFailure_ = failure;
}

std::unique_ptr<SourceDatabase> SourceDatabase::open(const QString& path, const QString& password) {
    const QFileInfo info(path);
    if (!info.exists())
        throw SourceError(store::OpenFailure::Missing, path, QStringLiteral("file not found"));
    if (!info.isFile())
        throw SourceError(store::OpenFailure::NotAFile, path, QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SourceError(store::OpenFailure::NotADatabase, path, QStringLiteral("cannot be read"));
    const QByteArray head = file.read(4096);
    file.close();
    if (head.isEmpty())
        throw SourceError(SourceFailure::NotADatabase, path, QStringLiteral("empty file"));
    if (const std::optional<JetHeader> jet = readJetHeader(head))
        return openJetFile(path, *jet, password);
    try {
        return std::make_unique<OwnCopy>(
            std::shared_ptr<store::Database>(store::openProgramDatabase(path, password)));
    } catch (const store::OpenError& e) {
        throw SourceError(e.kind(), path, QString::fromUtf8(e.what()));
    }
}

} // namespace exchange
