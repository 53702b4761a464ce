#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class SystemSettingsWindow;
}
namespace store {
class Session;
}

namespace settings {

// The background pictures 1.jpg … 12.jpg by name, in list order.
QStringList pictureNames();
// The list position of a stored picture name ("6.jpg" gives 5); -1 when it names none.
int picturePosition(const QString& stored);

// frmOptions "系统设置": unit name and type, backup folder (super user only) and background.
class SystemSettingsWindow : public QWidget {
    Q_OBJECT
public:
    // `backgroundChanged` shows the new picture in the main window at once.
    SystemSettingsWindow(store::Session& session, std::function<void()> backgroundChanged,
                         QWidget* parent = nullptr);
    ~SystemSettingsWindow() override;

    void okClicked();
    void leaveClicked();

private:
    store::Session& session_;
    std::function<void()> backgroundChanged_;
    std::unique_ptr<Ui::SystemSettingsWindow> ui_;
};

} // namespace settings
