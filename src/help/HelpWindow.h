#pragma once

#include <QDialog>
#include <QWidget>

#include <memory>

namespace Ui {
class AboutBox;
class HelpWindow;
} // namespace Ui
namespace store {
class Session;
}

namespace help {

// "运行日志：…" with what to do with it: the about box's note on the log file.
QString logFileNote(const QString& programFolder);

// "帮助主题": help.htm from the program folder, read-only.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& programFolder, QWidget* parent = nullptr);
    ~HelpWindow() override;

private:
    std::unique_ptr<Ui::HelpWindow> ui_;
};

// "关于": the program, its version, the libraries it stands on, and where its log file is.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(store::Session& session, QWidget* parent = nullptr);
    ~AboutBox() override;
    // The desktop's system-information tool, or empty when none is installed.
    static QString systemInformationTool();

private:
    std::unique_ptr<Ui::AboutBox> ui_;
};

} // namespace help
