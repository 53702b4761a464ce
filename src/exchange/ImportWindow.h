#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class Form13;
}
namespace store {
class Session;
struct Progress;
} // namespace store

namespace exchange {

class StagingModel;

inline const QString kImportQuestion =
    QStringLiteral("数据导入将会覆盖原有的数据（建议备份数据后才操作），\r\n"
                   "如果记录含有相片数据，请进入录入界面中导出全部相片后才操作此步。\r\n"
                   "您真的要操作吗？");
inline const QString kImportFailed = QStringLiteral("出错了。");
// The line below the import question: persons now in the table and rows that replace them.
inline QString replacementText(qint64 persons, qint64 staged) {
    return QStringLiteral("库中现有%1人，将被替换为%2人。").arg(persons).arg(staged);
}

// Form13 "导入EXCEL文件": reads a workbook into the staging table for review, then replaces the
// persons table with it.
class ImportWindow : public QWidget {
    Q_OBJECT
public:
    ImportWindow(store::Session& session, QWidget* parent = nullptr);
    ~ImportWindow() override;

    // The buttons' handlers.
    void openWorkbook();  // Command1 "打开文件"
    void reviewAgain();   // Command4 "最后的检查数据"
    void importStaging(); // Command2 "导入到库中"

private:
    void showProgress(const store::Progress& progress);

    store::Session& session_;
    std::unique_ptr<Ui::Form13> ui_;
    StagingModel* model_;
};

} // namespace exchange
