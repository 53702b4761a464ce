#include "PersonGenerator.h"

#include "categories/CategoryTable.h"
#include "records/PersonColumns.h"
#include "store/Database.h"

#include <QBuffer>
#include <QDate>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <unordered_set>

namespace bench {

namespace {

const QString kSurnames = QStringLiteral(
    "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈");
const QString kGiven =
    QStringLiteral("国建华明丽英秀兰玉芳军平伟红志强文杰敏静春梅海林金凤桂珍德荣福庆云霞淑琴永胜振东学武");
const QStringList kUnits = {QStringLiteral("第一机床厂"), QStringLiteral("市纺织公司"),
                            QStringLiteral("市第二中学"), QStringLiteral("市人民医院"),
                            QStringLiteral("市供电局"),   QStringLiteral("化肥厂"),
                            QStringLiteral("市百货公司"), QStringLiteral("市粮食局"),
                            QStringLiteral("钢铁公司"),   QStringLiteral("市建筑公司")};
const QStringList kStreets = {QStringLiteral("解放路"), QStringLiteral("人民路"), QStringLiteral("中山路"),
                              QStringLiteral("建设路"), QStringLiteral("胜利街"), QStringLiteral("和平里")};

QByteArray photo(int seed) {
    QImage image(90, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed % 360, 40, 230));
    QPainter p(&image);
    p.setBrush(QColor::fromHsv((seed * 7) % 360, 90, 160));
    p.drawEllipse(25, 20, 40, 50);
    p.drawRect(15, 75, 60, 45);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

} // namespace

QChar PersonGenerator::idCheckCharacter(const QString& first17) {
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += first17.at(i).digitValue() * weights[i];
    return QStringLiteral("10X98765432").at(sum % 11);
}

QString PersonGenerator::name() {
    QString n = kSurnames.at(uniform(0, int(kSurnames.size()) - 1));
    const int given = uniform(1, 4) == 1 ? 1 : 2;
    for (int i = 0; i < given; ++i)
        n += kGiven.at(uniform(0, int(kGiven.size()) - 1));
    return n;
}

void PersonGenerator::fill(store::Database& db, int count) {
    using records::Kind;
    std::map<int, QStringList> values;
    for (const records::PersonColumn& c : records::personColumns()) {
        if (c.kind == Kind::Coded)
            values[c.ordinal] = categories::Loadkmmx(db, c.columnName());
    }
    QStringList marks;
    for (int i = 0; i < records::kColumnCount; ++i)
        marks << QStringLiteral("?");
    std::unordered_set<quint64> ids;
    store::Transaction tx(db);
    store::Statement insert =
        db.prepare(QStringLiteral("INSERT INTO wslib VALUES (%1)").arg(marks.join(QLatin1Char(','))));
    const auto date = [](const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); };
    for (int n = 1; n <= count; ++n) {
        const QDate birth(uniform(1920, 1965), uniform(1, 12), uniform(1, 28));
        const bool male = uniform(0, 1) == 1;
        const int region = uniform(110101, 659004);
        int sequence = uniform(0, 99);
        const int sexDigit = male ? uniform(0, 4) * 2 + 1 : uniform(0, 4) * 2;
        // Two persons drawing the same number would be a real duplicate, which the data check
        // rightly reports (at a million persons it happens); the next free sequence is taken
        // instead, without drawing again, so every other person stays as generated.
        QString id;
        do {
            id = QStringLiteral("%1%2%3%4")
                     .arg(region)
                     .arg(birth.toString(QStringLiteral("yyyyMMdd")))
                     .arg(sequence, 2, 10, QLatin1Char('0'))
                     .arg(sexDigit);
            sequence = (sequence + 1) % 100;
        } while (!ids.insert(id.toULongLong()).second);
        id += idCheckCharacter(id);
        QVariantList row;
        for (const records::PersonColumn& c : records::personColumns()) {
            switch (c.kind) {
            case Kind::Coded: {
                const QStringList& list = values[c.ordinal];
                row << (list.isEmpty() ? QString() : list.at(uniform(0, int(list.size()) - 1)));
                break;
            }
            case Kind::YesNo:
                row << (uniform(0, 9) == 0 ? 1 : 0);
                break;
            case Kind::Date:
                row << (c.ordinal == 43 && uniform(0, 4) == 0
                            ? QVariant()
                            : QVariant(date(birth.addYears(uniform(0, 60)))));
                break;
            case Kind::Number:
                row << double(uniform(800, 6000)) + uniform(0, 9) / 10.0;
                break;
            case Kind::Memo:
                row << (uniform(0, 5) == 0 ? QStringLiteral("曾获市级先进工作者称号。") : QString());
                break;
            case Kind::Photo:
                row << (n % 50 == 0 ? QVariant(photo(n)) : QVariant());
                break;
            case Kind::Text:
                switch (c.ordinal) {
                case 0:
                    row << QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
                    break;
                case 1:
                case 42:
                case 50:
                    row << name();
                    break;
                case 8:
                    row << id;
                    break;
                case 11:
                case 45:
                case 52:
                    row << kUnits.at(uniform(0, int(kUnits.size()) - 1));
                    break;
                case 40:
                case 54:
                    row << QStringLiteral("%1%2号")
                               .arg(kStreets.at(uniform(0, int(kStreets.size()) - 1)))
                               .arg(uniform(1, 300));
                    break;
                default:
                    if (c.size >= 11)
                        row << QStringLiteral("1%1").arg(uniform(300000000, 899999999)).left(c.size);
                    else
                        row << QString::number(uniform(1, 999));
                }
                break;
            }
        }
        // Sex follows the ID number.
        row[5] = male ? QStringLiteral("男") : QStringLiteral("女");
        row[7] = date(birth);
        row[13] = date(birth.addYears(male ? 60 : 55));
        insert.reset();
        insert.bindAll(row).run();
    }
    tx.commit();
}

} // namespace bench
