#pragma once

#include <QByteArray>
#include <QString>

namespace store {

// The Chinese ANSI code page (GBK) of the side files "条件.txt" and "tongji.txt".
// A character GBK cannot hold is written as "?".
QByteArray toGbk(const QString& text);
QString fromGbk(const QByteArray& bytes);

// Display width: the text's byte length in GBK (a Chinese character counts 2, ASCII 1).
int displayWidth(const QString& text);

} // namespace store
