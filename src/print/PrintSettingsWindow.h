#pragma once

#include "print/Surface.h"

#include <QWidget>

#include <array>
#include <memory>

class QLineEdit;

namespace Ui {
class PrintSettingsWindow;
}
namespace store {
class Session;
}

namespace print {

struct PrintFields;

// Form5 "打印设置": the roster layout and the shifts of both printed forms, saved into the third
// row of the Print table and into the session's print settings record.
class PrintSettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit PrintSettingsWindow(store::Session& session, QWidget* parent = nullptr);
    ~PrintSettingsWindow() override;

    int rowPosition() const { return rowPosition_; }

public slots:
    void saveClicked();
    void defaultsClicked();

private:
    // Loads row position rowPosition_ into the fields; false (with a message) when it failed.
    bool load();
    PrintFields fields() const;
    void showFields(const PrintFields& fields);

    store::Session& session_;
    std::unique_ptr<Ui::PrintSettingsWindow> ui_;
    std::array<QLineEdit*, 9> columns_{};
    int rowPosition_ = 0;
};

inline const QString kSaved = QStringLiteral("保存好了！");
inline const QStringList& kFontNames = kFormFaces;

} // namespace print
