#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <mutex>

namespace store {

inline const QString kLogFileName = QStringLiteral("tessaly.log");

// The program's own log in the program folder, so an office that meets a failure has a file to
// send: one UTF-8 line per message (time, category, level, text). Past its cap the file becomes
// the one older copy ("tessaly.log.1") and a new one starts. A file that cannot be written costs
// the line and nothing else. Safe to call from any thread.
class LogFile {
public:
    static constexpr qint64 kDefaultCap = 1024 * 1024;

    explicit LogFile(QString path, qint64 cap = kDefaultCap);

    const QString& path() const { return path_; }
    QString olderPath() const { return path_ + QStringLiteral(".1"); }

    // Appends one line; false when it could not be written.
    bool append(QtMsgType type, const QString& category, const QString& text,
                const QDateTime& when = QDateTime::currentDateTime());

    // "2008-06-23 09:05:00.000 tessaly.window warning text", line breaks in the text kept visible
    // as "\n" so that every line starts with its time.
    static QString line(QtMsgType type, const QString& category, const QString& text, const QDateTime& when);

private:
    bool ensureOpen();
    void startNewFile();

    QString path_;
    qint64 cap_;
    QFile file_;
    std::mutex mutex_;
};

// Sends every Qt message to a LogFile as well as wherever messages went before, for as long as it
// lives; the previous handler is put back at the end.
class MessageLog {
public:
    explicit MessageLog(const QString& programFolder, qint64 cap = LogFile::kDefaultCap);
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    LogFile& file() { return file_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text);

    LogFile file_;
    QtMessageHandler previous_ = nullptr;
    MessageLog* outer_ = nullptr;
    std::atomic<bool> toldUnwritable_{false};
};

} // namespace store
