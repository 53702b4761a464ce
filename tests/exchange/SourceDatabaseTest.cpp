#include "TestFolder.h"
#include "exchange/JetFixtures.h"

#include "exchange/JetFile.h"
#include "exchange/SourceDatabase.h"
#include "store/Database.h"
#include "store/JetValues.h"
#include "login/ShippedDatabase.h"
#include "records/PersonsTable.h"
#include "store/Schema.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace exchange;
using testing_support::jetFixture;
using testing_support::TestFolder;

namespace {

const QString kPassword = QString::fromLatin1(store::Database::kPassword);

QByteArray firstPage(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4096) : QByteArray();
}

QList<QVariantList> allRows(SourceTable& table) {
    QList<QVariantList> rows;
    QVariantList row;
    while (table.next(row))
        rows << row;
    return rows;
}

SourceFailure failureOpening(const QString& path, const QString& password = kPassword) {
    try {
        SourceDatabase::open(path, password);
    } catch (const SourceError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "opened " << path.toStdString();
    return SourceFailure::Unreadable;
}

QString writeFile(TestFolder& folder, const QString& name, const QByteArray& bytes) {
    QFile f(folder.file(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

} // namespace

TEST(JetHeader, PasswordAndVersionFromTheFirstPage) {
    const struct {
        const char* file;
        int version;
        const char* password;
    } cases[] = {
        {"legacy_lib_v4.mdb", 4, "Tkvmqrwplzne"},
        {"legacy_lib_v4_other_office.mdb", 4, "Tkvmqrwplzne"},
        {"legacy_lib_v4_wrongpw.mdb", 4, "Wrongpassw0rd"},
        {"jet4_empty.mdb", 4, ""},
        {"jet4_memo_ole.mdb", 4, ""},
        {"jet3_password_SYNTHETIC.mdb", 3, "secret97"},
        {"jet3_types.mdb", 3, ""},
        {"jet3_gbk.mdb", 3, ""},
    };
    for (const auto& c : cases) {
        const std::optional<JetHeader> h = readJetHeader(firstPage(jetFixture(QString::fromLatin1(c.file))));
        ASSERT_TRUE(h.has_value()) << c.file;
        EXPECT_EQ(h->version, c.version) << c.file;
        EXPECT_EQ(h->password, QString::fromLatin1(c.password)) << c.file;
    }
    TestFolder folder;
    EXPECT_FALSE(readJetHeader(firstPage(folder.file(QStringLiteral("lib.mdb")))))
        << "our own file is no Jet file";
    EXPECT_FALSE(readJetHeader(QByteArray("Standard Jet DB")));
    EXPECT_FALSE(readJetHeader(QByteArray()));
}

TEST(SourceDatabase, KindComesFromTheFileNotItsName) {
    TestFolder folder;
    const QString jet = folder.file(QStringLiteral("copy.bak"));
    ASSERT_TRUE(QFile::copy(jetFixture(QStringLiteral("legacy_lib_v4.mdb")), jet));
    EXPECT_EQ(SourceDatabase::open(jet, kPassword)->kind(), SourceDatabase::Kind::Jet4);

    const QString own = folder.file(QStringLiteral("other.dat"));
    ASSERT_TRUE(QFile::copy(folder.file(QStringLiteral("lib.mdb")), own));
    EXPECT_EQ(SourceDatabase::open(own, kPassword)->kind(), SourceDatabase::Kind::OwnCopy);

    EXPECT_EQ(SourceDatabase::open(jetFixture(QStringLiteral("jet3_types.mdb")), QString())->kind(),
              SourceDatabase::Kind::Jet3);
}

TEST(SourceDatabase, RefusesAnotherPasswordAndWhatIsNoDatabase) {
    TestFolder folder;
    EXPECT_EQ(failureOpening(jetFixture(QStringLiteral("legacy_lib_v4_wrongpw.mdb"))),
              SourceFailure::WrongPassword);
    EXPECT_EQ(failureOpening(jetFixture(QStringLiteral("jet3_password_SYNTHETIC.mdb"))),
              SourceFailure::WrongPassword);
    EXPECT_EQ(failureOpening(jetFixture(QStringLiteral("jet4_memo_ole.mdb"))), SourceFailure::WrongPassword)
        << "a Jet file without a password is not one of ours either";
    EXPECT_NO_THROW(SourceDatabase::open(jetFixture(QStringLiteral("jet3_password_SYNTHETIC.mdb")),
                                         QStringLiteral("secret97")));
    EXPECT_EQ(failureOpening(jetFixture(QStringLiteral("legacy_lib_v4.mdb")), QStringLiteral("tkvmqrwplzne")),
              SourceFailure::WrongPassword)
        << "the password compares exactly";

    {
        const std::unique_ptr<store::Database> other =
            store::Database::create(folder.file(QStringLiteral("other.mdb")), QStringLiteral("another"));
        records::createTables(*other);
    }
    EXPECT_EQ(failureOpening(folder.file(QStringLiteral("other.mdb"))), SourceFailure::WrongPassword);
    EXPECT_EQ(failureOpening(writeFile(folder, QStringLiteral("notes.mdb"), QByteArray(5000, 'x'))),
              SourceFailure::NotADatabase);
    EXPECT_EQ(failureOpening(writeFile(folder, QStringLiteral("empty.mdb"), QByteArray())),
              SourceFailure::NotADatabase);
    EXPECT_EQ(failureOpening(folder.file(QStringLiteral("missing.mdb"))), SourceFailure::Missing);
}

TEST(JetReader, LegacyFilesHoldTheExpectedRows) {
    for (const char* file :
         {"legacy_lib_v4.mdb", "legacy_lib_v4_other_office.mdb", "legacy_lib_v4_wrongpw.mdb"}) {
        const auto expected = testing_support::legacyExpected(QString::fromLatin1(file));
        ASSERT_FALSE(expected.isEmpty()) << file;
        const auto db = SourceDatabase::open(jetFixture(QString::fromLatin1(file)),
                                             expected.value(QStringLiteral("password")));
        for (const QString& table : store::schema::tableNames()) {
            ASSERT_TRUE(db->hasTable(table.toUpper())) << file << " " << table.toStdString();
            const std::unique_ptr<SourceTable> t = db->table(table);
            const QList<QVariantList> rows = allRows(*t);
            EXPECT_EQ(rows.size(), expected.value(table).toLongLong()) << file << " " << table.toStdString();
            EXPECT_EQ(t->rowCount(), rows.size());
            if (table != store::schema::kPersons)
                continue;
            const int photo = t->columnIndex(QStringLiteral("相片"));
            qint64 photos = 0;
            for (const QVariantList& r : rows)
                photos += !r.at(photo).isNull();
            EXPECT_EQ(photos, expected.value(QStringLiteral("wslib_photos")).toLongLong()) << file;
        }
        EXPECT_FALSE(db->hasTable(QStringLiteral("MSysObjects"))) << "system tables are not offered";
        EXPECT_THROW(db->table(QStringLiteral("nothing")), SourceError);
    }
}

TEST(JetReader, PersonsColumnsInTheOldOrderWithTheirKinds) {
    const auto db = SourceDatabase::open(jetFixture(QStringLiteral("legacy_lib_v4.mdb")), kPassword);
    const std::unique_ptr<SourceTable> t = db->table(QStringLiteral("WSLIB"));
    QStringList names;
    for (const SourceColumn& c : t->columns())
        names << c.name;
    EXPECT_EQ(names, testing_support::legacyPersonsOrder());
    const auto column = [&](const char* name) {
        return t->columns().at(std::size_t(t->columnIndex(QString::fromUtf8(name))));
    };
    EXPECT_EQ(column("身份证号码").type, store::JetType::Text);
    EXPECT_EQ(column("身份证号码").size, 18);
    EXPECT_EQ(column("姓名").size, 8);
    EXPECT_EQ(column("基本养老金").type, store::JetType::Single);
    EXPECT_EQ(column("出生年月").type, store::JetType::Date);
    EXPECT_EQ(column("劳模").type, store::JetType::Boolean);
    EXPECT_EQ(column("备注").type, store::JetType::Memo);
    EXPECT_EQ(column("相片").type, store::JetType::LongBinary);
    EXPECT_EQ(t->columnIndex(QStringLiteral("no")), t->columnIndex(QStringLiteral("NO")));
    EXPECT_EQ(t->columnIndex(QStringLiteral("工作时间")), -1);
}

TEST(JetReader, ValuesComeInThisProgramsKinds) {
    const auto db = SourceDatabase::open(jetFixture(QStringLiteral("legacy_lib_v4.mdb")), kPassword);
    const std::unique_ptr<SourceTable> t = db->table(QStringLiteral("wslib"));
    const QList<QVariantList> rows = allRows(*t);
    ASSERT_EQ(rows.size(), 300);
    const auto at = [&](int row, const char* name) {
        return rows[row].at(t->columnIndex(QString::fromUtf8(name)));
    };

    EXPECT_EQ(at(10, "个人编号"), QVariant(QStringLiteral("000011")));
    EXPECT_EQ(at(10, "姓名"), QVariant(QStringLiteral("阿依古丽·买买提")));
    EXPECT_EQ(at(40, "姓名"), QVariant(QStringLiteral("欧阳建国")));
    EXPECT_EQ(at(20, "备注").toString().size(), 3104) << "a memo over several pages, not cut";
    EXPECT_TRUE(at(30, "备注").toString().contains(QStringLiteral("\r\n")));

    for (const int row : {12, 86, 168, 272}) {
        const QByteArray photo = at(row, "相片").toByteArray();
        EXPECT_GE(photo.size(), 12800) << row;
        EXPECT_LE(photo.size(), 14300) << row;
        EXPECT_TRUE(photo.startsWith("\xFF\xD8") && photo.endsWith("\xFF\xD9"))
            << "whole JPEG bytes, row " << row;
    }

    int nullTexts = 0;
    int emptyTexts = 0;
    int nullPensions = 0;
    bool gbkOnly = false;
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    for (const QVariantList& r : rows) {
        const QVariant phone = r.at(t->columnIndex(QStringLiteral("特长技能")));
        nullTexts += phone.isNull();
        emptyTexts += !phone.isNull() && phone.toString().isEmpty();
        const QVariant pension = r.at(t->columnIndex(QStringLiteral("基本养老金")));
        if (pension.isNull()) {
            ++nullPensions;
        } else {
            EXPECT_EQ(pension.typeId(), QMetaType::Double);
            // A Single shows the decimal it was typed as: 1734.3, not 1734.300048828125.
            const QString shown = QString::number(pension.toDouble(), 'f', QLocale::FloatingPointShortest);
            EXPECT_LE(shown.section(QLatin1Char('.'), 1).size(), 2) << shown.toStdString();
        }
        const QVariant born = r.at(t->columnIndex(QStringLiteral("出生年月")));
        if (!born.isNull()) {
            EXPECT_TRUE(isoDate.match(born.toString()).hasMatch()) << born.toString().toStdString();
            EXPECT_TRUE(store::parseDate(born.toString()).has_value());
        }
        const QVariant model = r.at(t->columnIndex(QStringLiteral("劳模")));
        EXPECT_EQ(model.typeId(), QMetaType::Bool);
        for (const QVariant& v : r)
            gbkOnly = gbkOnly || v.toString().contains(QStringLiteral("硚口区")) ||
                      v.toString().contains(QStringLiteral("喆"));
    }
    EXPECT_EQ(nullTexts, 38) << "Null stays Null";
    EXPECT_EQ(emptyTexts, 205) << "an empty text stays empty, not Null";
    EXPECT_EQ(nullPensions, 12);
    EXPECT_TRUE(gbkOnly);
}

TEST(JetReader, OldJetFilesOfOtherKinds) {
    // Jet 3 text is in the Chinese code page although the header names another.
    {
        const auto db = SourceDatabase::open(jetFixture(QStringLiteral("jet3_gbk.mdb")), QString());
        EXPECT_EQ(db->kind(), SourceDatabase::Kind::Jet3);
        const std::unique_ptr<SourceTable> t = db->table(QStringLiteral("TABLE1"));
        const QList<QVariantList> rows = allRows(*t);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0], QVariantList({qint64(2), QStringLiteral("GBK编码")}));
        EXPECT_EQ(t->columns().at(1).size, 10);
    }
    // Jet 3 kinds, numbers and dates from the raw values.
    {
        const auto db = SourceDatabase::open(jetFixture(QStringLiteral("jet3_types.mdb")), QString());
        const std::unique_ptr<SourceTable> t = db->table(QStringLiteral("Table1"));
        const QList<QVariantList> rows = allRows(*t);
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[1], QVariantList({QStringLiteral("abcdefg"), QStringLiteral("hijklmnop"), qint64(2),
                                         qint64(222), qint64(333333333), 444.555,
                                         QStringLiteral("1974-09-21"), 3.5, true}));
        EXPECT_EQ(rows[0].at(8), QVariant(false));
        EXPECT_EQ(t->columns().at(6).type, store::JetType::Date);
        EXPECT_EQ(t->columns().at(8).type, store::JetType::Boolean);
        EXPECT_EQ(t->columns().at(2).type, store::JetType::Long);
    }
    // A long binary value spread over several pages comes whole.
    {
        const auto db = SourceDatabase::open(jetFixture(QStringLiteral("jet4_memo_ole.mdb")), QString());
        const std::unique_ptr<SourceTable> t = db->table(QStringLiteral("MSP_PROJECTS"));
        qsizetype largest = 0;
        for (const QVariantList& r : allRows(*t)) {
            for (const QVariant& v : r) {
                if (v.typeId() == QMetaType::QByteArray)
                    largest = std::max(largest, v.toByteArray().size());
            }
        }
        EXPECT_EQ(largest, 22970);
    }
}
