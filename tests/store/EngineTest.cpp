// The store's seam, run alike on the embedded file and on a PostgreSQL server.

#include "PgCluster.h"
#include "TestFolder.h"

#include "store/Database.h"
#include "store/JetLike.h"
#include "store/Schema.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace store;

namespace {

class Engine : public testing::TestWithParam<Dialect> {
protected:
    void SetUp() override {
        if (GetParam() == Dialect::Server)
            db_ = Database::connect(testing_support::PgCluster::instance().createDatabase());
        else
            db_ = Database::create(folder_.file(QStringLiteral("engine.mdb")));
        schema::createTable(*db_, QStringLiteral("kinds"),
                            {{QStringLiteral("名称"), QStringLiteral("TEXT(8)"), 8},
                             {QStringLiteral("n"), QStringLiteral("LONG")},
                             {QStringLiteral("金额"), QStringLiteral("SINGLE")},
                             {QStringLiteral("日期"), QStringLiteral("DATETIME")},
                             {QStringLiteral("yes"), QStringLiteral("BOOLEAN")},
                             {QStringLiteral("memo"), QStringLiteral("LONGTEXT")},
                             {QStringLiteral("pic"), QStringLiteral("LONGBINARY")}});
    }
    Database& db() { return *db_; }
    qint64 count(const QString& where = QStringLiteral("1 = 1")) {
        return db().scalar(QStringLiteral("SELECT count(*) FROM kinds WHERE ") + where).toLongLong();
    }

    testing_support::TestFolder folder_{false};
    std::unique_ptr<Database> db_;
};

TEST_P(Engine, ValuesComeBackAsTheEmbeddedFileGivesThem) {
    const QByteArray blob("\x00\x01\xff\x7f picture", 12);
    db().exec(QStringLiteral("INSERT INTO kinds(\"名称\", n, \"金额\", \"日期\", yes, memo, pic) VALUES (?, "
                             "?, ?, ?, ?, ?, ?)"),
              {QStringLiteral("张三"), 42, 1234.5, QStringLiteral("1950-03-01"), true, QStringLiteral("007"),
               blob});
    db().exec(QStringLiteral("INSERT INTO kinds(\"名称\", n, \"金额\", \"日期\", yes, memo, pic) VALUES (?, "
                             "?, ?, ?, ?, ?, ?)"),
              {QString(""), QVariant(), 0.1, QVariant(), false, QVariant(), QVariant()});
    Statement st = db().prepare(
        QStringLiteral("SELECT \"名称\", n, \"金额\", \"日期\", yes, memo, pic FROM kinds ORDER BY rowid"));
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.value(0), QVariant(QStringLiteral("张三")));
    EXPECT_EQ(st.value(1), QVariant(qint64(42)));
    EXPECT_EQ(st.value(2), QVariant(1234.5));
    EXPECT_EQ(st.value(3), QVariant(QStringLiteral("1950-03-01")));
    EXPECT_EQ(st.value(4), QVariant(qint64(1)));
    EXPECT_EQ(st.value(5), QVariant(QStringLiteral("007"))) << "memo text keeps leading zeros";
    EXPECT_EQ(st.value(6), QVariant(blob));
    EXPECT_EQ(st.utf8(0), std::string_view("张三"));
    EXPECT_TRUE(st.holdsNumber(1));
    EXPECT_FALSE(st.holdsNumber(0));
    EXPECT_EQ(st.integer(1), 42);
    EXPECT_EQ(st.real(2), 1234.5);
    ASSERT_TRUE(st.step());
    EXPECT_FALSE(st.isNull(0)) << "empty text is not Null";
    EXPECT_EQ(st.value(0), QVariant(QString("")));
    EXPECT_TRUE(st.isNull(1));
    EXPECT_FALSE(st.value(1).isValid());
    EXPECT_EQ(st.value(2).toDouble(), 0.1);
    EXPECT_TRUE(st.isNull(3));
    EXPECT_EQ(st.value(4), QVariant(qint64(0)));
    EXPECT_TRUE(st.isNull(6));
    EXPECT_FALSE(st.step());

    // Parameters compare with the column they meet: a date, a number, case-blind text.
    EXPECT_EQ(count(QStringLiteral("\"日期\" = '1950-03-01'")), 1);
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT n FROM kinds WHERE \"名称\" = ? AND \"日期\" < ?"),
                          {QStringLiteral("张三"), QStringLiteral("1960-01-01")}),
              QVariant(qint64(42)));
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT count(*) FROM kinds WHERE \"金额\" = ? AND n = ?"), {1234.5, 42}),
        QVariant(qint64(1)));
}

TEST_P(Engine, ColumnsRefuseValuesTheyCannotTake) {
    auto refused = [&](const QString& column, const QVariant& value) {
        try {
            db().exec(QStringLiteral("INSERT INTO kinds(%1) VALUES (?)").arg(quoted(column)), {value});
            return false;
        } catch (const SqlError& e) {
            return e.isConstraint() && e.failure() == SqlFailure::Constraint;
        }
    };
    EXPECT_TRUE(refused(QStringLiteral("名称"), QStringLiteral("一二三四五六七八九")));
    EXPECT_FALSE(refused(QStringLiteral("名称"), QStringLiteral("一二三四五六七八")));
    EXPECT_TRUE(refused(QStringLiteral("日期"), QStringLiteral("1950-13-01")));
    EXPECT_TRUE(refused(QStringLiteral("日期"), QStringLiteral("abc")));
    EXPECT_FALSE(refused(QStringLiteral("日期"), QStringLiteral("1950-03-01")));
    EXPECT_FALSE(refused(QStringLiteral("日期"), QVariant()));
    EXPECT_TRUE(refused(QStringLiteral("yes"), 2));
}

TEST_P(Engine, TransactionsAndSavepointsRollBack) {
    db().exec(QStringLiteral("INSERT INTO kinds(n) VALUES (1)"));
    {
        Transaction tx(db());
        db().exec(QStringLiteral("INSERT INTO kinds(n) VALUES (2)"));
    }
    EXPECT_EQ(count(), 1) << "a transaction not committed rolls back";
    {
        Transaction tx(db());
        db().exec(QStringLiteral("INSERT INTO kinds(n) VALUES (2)"));
        {
            Savepoint inner(db());
            db().exec(QStringLiteral("INSERT INTO kinds(n) VALUES (3)"));
            {
                Savepoint innermost(db());
                db().exec(QStringLiteral("INSERT INTO kinds(n) VALUES (4)"));
                innermost.release();
            }
            EXPECT_EQ(count(), 4);
        }
        EXPECT_EQ(count(), 2) << "the savepoint undid its own rows and those of the one it held";
        tx.commit();
    }
    EXPECT_EQ(count(), 2);
    {
        Savepoint alone(db()); // a transaction of its own
        db().exec(QStringLiteral("DELETE FROM kinds"));
        alone.rollback();
    }
    EXPECT_EQ(count(), 2);
    {
        Savepoint alone(db());
        db().exec(QStringLiteral("DELETE FROM kinds WHERE n = 2"));
        EXPECT_EQ(db().changes(), 1);
        alone.release();
    }
    EXPECT_EQ(count(), 1);
}

TEST_P(Engine, ReflectionShowsTheTableColumnsInOrderAndRowsKeepTheirIdentity) {
    const QStringList expected{QStringLiteral("名称"), QStringLiteral("n"),   QStringLiteral("金额"),
                               QStringLiteral("日期"), QStringLiteral("yes"), QStringLiteral("memo"),
                               QStringLiteral("pic")};
    EXPECT_EQ(db().columnNames(QStringLiteral("kinds")), expected) << "no hidden column shows";
    EXPECT_EQ(db().columnNames(QStringLiteral("KINDS")), expected);
    std::vector<JetType> types;
    for (const TableColumn& c : tableColumns(db(), QStringLiteral("kinds")))
        types.push_back(c.type);
    EXPECT_EQ(types, (std::vector<JetType>{JetType::Text, JetType::Long, JetType::Single, JetType::Date,
                                           JetType::Boolean, JetType::Memo, JetType::LongBinary}));
    EXPECT_EQ(textSize(tableColumns(db(), QStringLiteral("kinds")).front().declaredType), 8);
    EXPECT_TRUE(db().hasTable(QStringLiteral("Kinds")));
    EXPECT_FALSE(db().hasTable(QStringLiteral("kind")));

    std::vector<qint64> ids;
    for (const char* name : {"甲", "乙", "丙"}) {
        db().exec(QStringLiteral("INSERT INTO kinds(\"名称\") VALUES (?)"), {QString::fromUtf8(name)});
        ids.push_back(db().lastInsertRowId());
    }
    EXPECT_EQ(db().changes(), 1);
    db().exec(QStringLiteral("UPDATE kinds SET n = 5 WHERE \"名称\" <> ?"), {QStringLiteral("甲")});
    EXPECT_EQ(db().changes(), 2);
    Statement st = db().prepare(QStringLiteral("SELECT rowid, \"名称\" FROM kinds ORDER BY rowid"));
    std::vector<qint64> read;
    while (st.step())
        read.push_back(st.integer(0));
    EXPECT_EQ(read, ids);
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT \"名称\" FROM kinds WHERE rowid = ?"), {ids[1]}).toString(),
              QStringLiteral("乙"));
}

// Text compares and sorts as NOCASE does: ASCII letters folded, everything else by its bytes.
TEST_P(Engine, TextComparesAndSortsAsNocase) {
    const QStringList values{QStringLiteral("b"),  QStringLiteral("A"),  QStringLiteral("a_"),
                             QStringLiteral("É"),  QStringLiteral("é"),  QStringLiteral("Z"),
                             QStringLiteral("ａ"), QStringLiteral("[x"), QStringLiteral("张"),
                             QStringLiteral("1")};
    for (const QString& v : values)
        db().exec(QStringLiteral("INSERT INTO kinds(\"名称\") VALUES (?)"), {v});
    QStringList sorted;
    Statement st = db().prepare(QStringLiteral("SELECT \"名称\" FROM kinds ORDER BY \"名称\", rowid"));
    while (st.step())
        sorted << st.text(0);
    QStringList expected = values;
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        QByteArray x = a.toUtf8(), y = b.toUtf8();
        for (QByteArray* s : {&x, &y})
            for (char& c : *s)
                if (c >= 'A' && c <= 'Z')
                    c = char(c + 32);
        return x < y;
    });
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(count(QStringLiteral("\"名称\" = 'B'")), 1);
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT count(*) FROM kinds WHERE \"名称\" = ?"), {QStringLiteral("A_")}),
        QVariant(qint64(1)));
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT count(*) FROM kinds WHERE \"名称\" = ?"), {QStringLiteral("é")}),
        QVariant(qint64(1)))
        << "only ASCII letters fold";
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT count(DISTINCT \"名称\") FROM kinds")),
              QVariant(qint64(10)));
}

// The Jet like answers exactly as the embedded function does, case-blind beyond ASCII too.
TEST_P(Engine, JetLikeMatchesAsTheEmbeddedLike) {
    const QStringList values{QStringLiteral("Élan"),   QStringLiteral("élan"), QStringLiteral("ＡＢ１"),
                             QStringLiteral("ａｂ１"), QStringLiteral("kilo"), QStringLiteral("\u212Aelvin"),
                             QStringLiteral("a1b"),    QStringLiteral("A9B"),  QStringLiteral("a.b"),
                             QStringLiteral("张三"),   QStringLiteral("x*y"),  QString("")};
    for (const QString& v : values)
        db().exec(QStringLiteral("INSERT INTO kinds(memo) VALUES (?)"), {v});
    const QStringList patterns{QStringLiteral("é*"),    QStringLiteral("É?AN"),  QStringLiteral("ａ*"),
                               QStringLiteral("K*"),    QStringLiteral("a#b"),   QStringLiteral("[a-c]?b"),
                               QStringLiteral("[!a]*"), QStringLiteral("a[.]b"), QStringLiteral("张*"),
                               QStringLiteral("*[*]*"), QStringLiteral("*"),     QStringLiteral("[é]lan"),
                               QStringLiteral("?"),     QStringLiteral("[k]*"),  QStringLiteral("ＡＢ#")};
    for (const QString& pattern : patterns) {
        QStringList expected;
        for (const QString& v : values)
            if (jetLike(v, pattern))
                expected << v;
        const LikeCondition like = jetLikeCondition(db(), QStringLiteral("memo"), pattern);
        QStringList got;
        Statement st =
            db().prepare(QStringLiteral("SELECT memo FROM kinds WHERE %1 ORDER BY rowid").arg(like.sql));
        st.bind(1, like.parameter);
        while (st.step())
            got << st.text(0);
        EXPECT_EQ(got, expected) << pattern.toStdString();
    }
    EXPECT_TRUE(jetLike(QStringLiteral("élan"), QStringLiteral("É*"))) << "the reference itself folds é";
}

INSTANTIATE_TEST_SUITE_P(Store, Engine, testing::Values(Dialect::Embedded, Dialect::Server),
                         [](const testing::TestParamInfo<Dialect>& info) {
                             return info.param == Dialect::Server ? "PostgreSQL" : "SQLCipher";
                         });

} // namespace
