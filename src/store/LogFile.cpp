#include "store/LogFile.h"

#include <QDir>

#include <atomic>

namespace store {

namespace {

QString levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    case QtCriticalMsg:
        return QStringLiteral("critical");
    case QtFatalMsg:
        return QStringLiteral("fatal");
    }
    return QStringLiteral("message");
}

std::atomic<MessageLog*> active{nullptr};
// A message raised while a message is being written goes to the previous handler only.
thread_local bool writing = false;

} // namespace

LogFile::LogFile(QString path, qint64 cap) : path_(std::move(path)), cap_(cap), file_(path_) {}

QString LogFile::line(QtMsgType type, const QString& category, const QString& text, const QDateTime& when) {
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    flat.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    flat.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ') +
           (category.isEmpty() ? QStringLiteral("default") : category) + QLatin1Char(' ') + levelName(type) +
           QLatin1Char(' ') + flat + QLatin1Char('\n');
}

bool LogFile::ensureOpen() {
    return file_.isOpen() || file_.open(QIODevice::WriteOnly | QIODevice::Append);
}

// The current file becomes the older copy; when it cannot be moved it is started afresh, so the
// cap holds either way.
void LogFile::startNewFile() {
    file_.close();
    QFile::remove(olderPath());
    if (!QFile::rename(path_, olderPath()))
        file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool LogFile::append(QtMsgType type, const QString& category, const QString& text, const QDateTime& when) {
    const QByteArray bytes = line(type, category, text, when).toUtf8();
    const std::lock_guard lock(mutex_);
    if (!ensureOpen())
        return false;
    if (file_.size() > 0 && file_.size() + bytes.size() > cap_) {
        startNewFile();
        if (!ensureOpen())
            return false;
    }
    const bool written = file_.write(bytes) == bytes.size() && file_.flush();
    if (!written)
        file_.close(); // the next line tries afresh
    return written;
}

MessageLog::MessageLog(const QString& programFolder, qint64 cap)
    : file_(QDir(programFolder).filePath(kLogFileName), cap) {
    outer_ = active.exchange(this);
    previous_ = qInstallMessageHandler(&MessageLog::handle);
}

MessageLog::~MessageLog() {
    qInstallMessageHandler(previous_);
    active.store(outer_);
}

void MessageLog::handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    MessageLog* log = active.load();
    if (!log)
        return;
    if (log->previous_)
        log->previous_(type, context, text);
    if (writing)
        return;
    writing = true;
    const bool written = log->file_.append(type, QString::fromUtf8(context.category), text);
    writing = false;
    if (!written && log->previous_ && !log->toldUnwritable_.exchange(true)) {
        log->previous_(
            QtWarningMsg, context,
            QStringLiteral("the log file %1 cannot be written; messages go to the standard error only")
                .arg(QDir::toNativeSeparators(log->file_.path())));
    }
}

} // namespace store
