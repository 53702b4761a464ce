#include "print/PrintSettings.h"

#include "store/Database.h"
#include "store/JetValues.h"
#include "store/Schema.h"

#include <QStringList>

#include <limits>

namespace print {

namespace {

// Ordinals of the four shift columns; the third is addressed by ordinal only.
constexpr int kFirstShift = 25;

struct StoredRow {
    qint64 rowid = 0;
    QStringList names;
    QVariantList values;

    const QVariant& byName(const QString& name) const {
        const qsizetype i = names.indexOf(name);
        if (i < 0)
            throw PrintTableError(QStringLiteral("打印设置表缺少“%1”列。").arg(name));
        return values.at(i);
    }
    const QVariant& byOrdinal(int ordinal) const {
        if (ordinal >= values.size())
            throw PrintTableError(QStringLiteral("打印设置表的列不全。"));
        return values.at(ordinal);
    }
};

StoredRow readRow(store::Database& db, int position) {
    // The columns by name: on the server a bare * also brings the hidden row identity and version.
    store::Statement st =
        db.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid LIMIT 1 OFFSET ?")
                       .arg(store::columnList(store::tableColumns(db, store::schema::kPrint)),
                            store::quoted(store::schema::kPrint)));
    st.bind(1, position);
    if (!st.step())
        throw PrintTableError(kPrintRowsMissing);
    StoredRow row;
    row.rowid = st.integer(0);
    for (int i = 1; i < st.columnCount(); ++i) {
        row.names << st.columnName(i);
        row.values << st.value(i);
    }
    return row;
}

QString numberText(const QVariant& v) {
    return v.isNull() ? QString() : QString::number(v.toDouble(), 'g', 15);
}

QString plainText(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

QString lie(int k) {
    return QStringLiteral("lie%1").arg(k);
}
QString bz(int k) {
    return QStringLiteral("bz%1").arg(k);
}

struct Labelled {
    const QString* text;
    QString label;
};

QList<Labelled> numberFields(const PrintFields& f) {
    QList<Labelled> all = {{&f.rowHeight, QStringLiteral("行高")},
                           {&f.left, QStringLiteral("左边距")},
                           {&f.top, QStringLiteral("上边距")}};
    for (int k = 0; k < 9; ++k)
        all.append({&f.columns[std::size_t(k)], QStringLiteral("%1列").arg(k + 1)});
    all.append({&f.titleSize, QStringLiteral("标题字号")});
    all.append({&f.bodySize, QStringLiteral("表体字号")});
    all.append({&f.shifts[0], QStringLiteral("基本信息表左边距")});
    all.append({&f.shifts[1], QStringLiteral("基本信息表上边距")});
    all.append({&f.shifts[2], QStringLiteral("花名册表左边距")});
    all.append({&f.shifts[3], QStringLiteral("花名册表上边距")});
    return all;
}

bool fits(double value) {
    const double rounded = double(store::roundHalfEven(value));
    return rounded >= std::numeric_limits<qint16>::min() && rounded <= std::numeric_limits<qint16>::max();
}

qint16 whole(double value) {
    return qint16(store::roundHalfEven(value));
}

qint16 wholeOf(const QString& text) {
    return whole(store::numericPrefix(text));
}

// A stored number into the record; a value that cannot be held is the table's fault, not the
// operator's, so it stops the load with its column named.
qint16 wholeStored(const QVariant& v, const QString& label) {
    double value = 0.0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong)
        value = v.toDouble();
    else if (!v.isNull())
        value = store::numericPrefix(v.toString());
    if (!fits(value))
        throw PrintTableError(
            QStringLiteral("打印设置中“%1”的值 %2 超出范围（-32768～32767）。").arg(label, numberText(v)));
    return whole(value);
}

} // namespace

PrintTableError::PrintTableError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

PrintFields loadFields(store::Database& db, int row) {
    const StoredRow r = readRow(db, row);
    PrintFields f;
    f.rowHeight = numberText(r.byName(QStringLiteral("hang1")));
    f.left = numberText(r.byName(QStringLiteral("left")));
    f.top = numberText(r.byName(QStringLiteral("ding")));
    for (int k = 1; k <= 9; ++k)
        f.columns[std::size_t(k - 1)] = numberText(r.byName(lie(k)));
    f.titleSize = numberText(r.byName(QStringLiteral("fontsize1")));
    f.bodySize = numberText(r.byName(QStringLiteral("fontsize2")));
    f.titleFont = plainText(r.byName(QStringLiteral("fonts1")));
    f.bodyFont = plainText(r.byName(QStringLiteral("fonts2")));
    const QVariant page = r.byName(QStringLiteral("biaopagesize"));
    f.pageChoice = page.isNull() ? 0 : int(store::numericPrefix(page.toString()));
    for (int k = 1; k <= 7; ++k)
        f.notes[std::size_t(k - 1)] = plainText(r.byName(bz(k)));
    for (int i = 0; i < 4; ++i)
        f.shifts[std::size_t(i)] = numberText(r.byOrdinal(kFirstShift + i));
    return f;
}

std::optional<QString> checkFields(const PrintFields& fields) {
    for (const Labelled& field : numberFields(fields)) {
        if (!fits(store::numericPrefix(*field.text)))
            return QStringLiteral("“%1”的值超出范围，只能在 -32768 到 32767 之间。打印设置没有保存。")
                .arg(field.label);
    }
    return std::nullopt;
}

void saveFields(store::Database& db, const PrintFields& f) {
    const StoredRow r = readRow(db, kCurrentRow);
    const auto number = [](const QString& text) { return QVariant(store::numericPrefix(text)); };
    QStringList names = {QStringLiteral("hang1"), QStringLiteral("left"), QStringLiteral("ding")};
    QVariantList values = {number(f.rowHeight), number(f.left), number(f.top)};
    for (int k = 1; k <= 9; ++k) {
        names << lie(k);
        values << number(f.columns[std::size_t(k - 1)]);
    }
    names << QStringLiteral("fontsize1") << QStringLiteral("fontsize2") << QStringLiteral("fonts1")
          << QStringLiteral("fonts2") << QStringLiteral("biaopagesize");
    values << number(f.titleSize) << number(f.bodySize) << f.titleFont.trimmed() << f.bodyFont.trimmed()
           << (f.pageChoice == 1 ? 1 : 2);
    for (int k = 1; k <= 7; ++k) {
        names << bz(k);
        values << f.notes[std::size_t(k - 1)].trimmed();
    }
    for (int i = 0; i < 4; ++i) {
        if (kFirstShift + i >= r.names.size())
            throw PrintTableError(QStringLiteral("打印设置表的列不全。"));
        names << r.names.at(kFirstShift + i);
        values << number(f.shifts[std::size_t(i)]);
    }
    QStringList sets;
    for (const QString& name : names)
        sets << store::quoted(name) + QStringLiteral(" = ?");
    values << r.rowid;
    db.exec(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                .arg(store::quoted(store::schema::kPrint), sets.join(QStringLiteral(", "))),
            values);
}

store::PrintRecord recordFromFields(const PrintFields& f) {
    store::PrintRecord p;
    p.title = f.notes[0].trimmed();
    p.unitName = f.notes[1].trimmed();
    p.location = f.notes[2].trimmed();
    p.dateText = f.notes[3].trimmed();
    p.note1 = f.notes[4].trimmed();
    p.note2 = f.notes[5].trimmed();
    p.note3 = f.notes[6].trimmed();
    for (std::size_t k = 0; k < 9; ++k)
        p.columns[k] = wholeOf(f.columns[k]);
    p.rowHeight = wholeOf(f.rowHeight);
    p.topMargin = wholeOf(f.top);
    p.leftMargin = wholeOf(f.left);
    p.titleSize = wholeOf(f.titleSize);
    p.bodySize = wholeOf(f.bodySize);
    p.titleFont = f.titleFont;
    p.bodyFont = f.bodyFont;
    p.sheetLeft = wholeOf(f.shifts[0]);
    p.sheetTop = wholeOf(f.shifts[1]);
    p.rosterLeft = wholeOf(f.shifts[2]);
    p.rosterTop = wholeOf(f.shifts[3]);
    return p;
}

store::PrintRecord loadRecord(store::Database& db) {
    const StoredRow r = readRow(db, kCurrentRow);
    store::PrintRecord p;
    p.title = plainText(r.byName(bz(1)));
    p.unitName = plainText(r.byName(bz(2)));
    p.location = plainText(r.byName(bz(3)));
    p.dateText = plainText(r.byName(bz(4)));
    p.note1 = plainText(r.byName(bz(5)));
    p.note2 = plainText(r.byName(bz(6)));
    p.note3 = plainText(r.byName(bz(7)));
    const auto number = [&](const char* name, const QString& label) {
        return wholeStored(r.byName(QString::fromLatin1(name)), label);
    };
    for (int k = 1; k <= 9; ++k)
        p.columns[std::size_t(k - 1)] = wholeStored(r.byName(lie(k)), QStringLiteral("%1列").arg(k));
    p.rowHeight = number("hang1", QStringLiteral("行高"));
    p.topMargin = number("ding", QStringLiteral("上边距"));
    p.leftMargin = number("left", QStringLiteral("左边距"));
    p.titleSize = number("fontsize1", QStringLiteral("标题字号"));
    p.bodySize = number("fontsize2", QStringLiteral("表体字号"));
    p.titleFont = plainText(r.byName(QStringLiteral("fonts1")));
    p.bodyFont = plainText(r.byName(QStringLiteral("fonts2")));
    p.sheetLeft = wholeStored(r.byOrdinal(kFirstShift), QStringLiteral("基本信息表左边距"));
    p.sheetTop = wholeStored(r.byOrdinal(kFirstShift + 1), QStringLiteral("基本信息表上边距"));
    p.rosterLeft = wholeStored(r.byOrdinal(kFirstShift + 2), QStringLiteral("花名册表左边距"));
    p.rosterTop = wholeStored(r.byOrdinal(kFirstShift + 3), QStringLiteral("花名册表上边距"));
    return p;
}

// A roster of nine columns and fifteen rows on A4 landscape (297 × 210 mm).
void writeShippedPrintRows(store::Database& db) {
    const QVariantList row = {10.0,
                              15.0,
                              30.0, // hang1, left, ding
                              20.0,
                              40.0,
                              52.0,
                              74.0,
                              134.0,
                              159.0,
                              181.0,
                              241.0,
                              267.0, // lie1 … lie9
                              0.0,   // lie10
                              18.0,
                              10.0,
                              QStringLiteral("黑体"),
                              QStringLiteral("宋体"),
                              1.0, // fonts, page choice
                              QStringLiteral("离退休人员花名册"),
                              QString(),
                              QString(),
                              QString(), // bz1 … bz4
                              QString(),
                              QString(),
                              QString(), // bz5 … bz7
                              0.0,
                              0.0,
                              0.0,
                              0.0}; // the four shifts
    QStringList marks;
    for (int i = 0; i < row.size(); ++i)
        marks << QStringLiteral("?");
    store::Statement insert =
        db.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                       .arg(store::quoted(store::schema::kPrint), marks.join(QLatin1Char(','))));
    for (int i = 0; i < 3; ++i) {
        insert.reset();
        insert.bindAll(row).run();
    }
}

} // namespace print
