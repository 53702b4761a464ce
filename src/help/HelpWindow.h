#pragma once

#include <QDialog>
#include <QWidget>

namespace store {
class Session;
}

namespace help {

// "帮助主题": help.htm from the program folder, read-only.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& programFolder, QWidget* parent = nullptr);
};

// "关于": the program, its version and the libraries it stands on.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(store::Session& session, QWidget* parent = nullptr);
    // The desktop's system-information tool, or empty when none is installed.
    static QString systemInformationTool();
};

} // namespace help
