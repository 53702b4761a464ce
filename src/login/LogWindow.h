#pragma once

#include "login/LogModel.h"

#include <QWidget>

#include <memory>

namespace Ui {
class LogWindow;
}
namespace store {
class Session;
}

namespace login {

// Form11 "上机记录": the operator log, which the super user may clear.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(store::Session& session, QWidget* parent = nullptr);
    ~LogWindow() override;
    LogModel& model() { return *model_; }

public slots:
    void clearClicked();
    void leaveClicked();

private:
    store::Session& session_;
    std::unique_ptr<Ui::LogWindow> ui_;
    LogModel* model_;
};

} // namespace login
