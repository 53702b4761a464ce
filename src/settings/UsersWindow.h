#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class UsersWindow;
}
namespace store {
class Session;
}

namespace settings {

// frmOptions1 "用户设置": the super user adds and deletes users; everyone changes their own
// password.
class UsersWindow : public QWidget {
    Q_OBJECT
public:
    enum class Mode { None, Add, Change };

    explicit UsersWindow(store::Session& session, QWidget* parent = nullptr);
    ~UsersWindow() override;

    void pickName(int row);
    void addClicked();
    void changeClicked();
    void deleteClicked();
    void confirmClicked();
    void leaveClicked();

    Mode mode() const { return mode_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadNames();
    void setTextsEnabled(bool enabled);
    void clearTexts();

    store::Session& session_;
    std::unique_ptr<Ui::UsersWindow> ui_;
    Mode mode_ = Mode::None;
};

} // namespace settings
