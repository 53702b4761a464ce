#include "query/SavedCondition.h"

#include "store/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace query {

bool saveCondition(const QString& path, const QString& readable, const QString& expression) {
    QString text = readable;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n#####") + expression + QStringLiteral("\r\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(store::toGbk(text));
    return file.commit();
}

QString conditionFileRefusal(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return kConditionNotAFile;
    return info.size() > kMaxConditionBytes ? kConditionTooLarge : QString();
}

std::optional<SavedCondition> loadCondition(const QString& path) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read no more than the limit whatever size the file claims.
    const QByteArray bytes = file.read(kMaxConditionBytes + 1);
    if (bytes.size() > kMaxConditionBytes)
        return std::nullopt;
    QString text = store::fromGbk(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast(); // the line break that ends the last line
    SavedCondition saved;
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.left(5) == QLatin1String("#####")) {
            saved.expression = trimmed.mid(5);
            saved.hasExpression = true;
        } else {
            saved.readable += QStringLiteral("\r\n") + line;
        }
    }
    return saved;
}

} // namespace query
