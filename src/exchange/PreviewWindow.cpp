#include "exchange/PreviewWindow.h"

#include "ui/Window.h"
#include "ui_PreviewWindow.h"

#include <QHeaderView>

namespace exchange {

QString previewSummary(PreviewOf of, const ReplacementPreview& p) {
    if (of == PreviewOf::Merge)
        return QStringLiteral("选择的库中有%1人：将更新本库%2人，增加%3人。")
            .arg(p.incoming)
            .arg(p.updated)
            .arg(p.added);
    return QStringLiteral("库中现有%1人将被替换为导入的%2人：更新%3人，增加%4人，删除%5人。")
        .arg(p.current)
        .arg(p.incoming)
        .arg(p.updated)
        .arg(p.added)
        .arg(p.removed);
}

QString emptiedCaption(const ReplacementPreview& p) {
    if (p.emptiedPersons == 0)
        return QStringLiteral("没有人员已填的项目会被清空。");
    QString text = QStringLiteral("以下%1人已填的项目将被清空：").arg(p.emptiedPersons);
    if (p.emptiedPersons > qint64(p.emptied.size()))
        text += QStringLiteral("（只列出前%1人）").arg(p.emptied.size());
    return text;
}

PreviewWindow::PreviewWindow(PreviewOf of, const ReplacementPreview& preview, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PreviewWindow>()) {
    ui_->setupUi(this);
    const bool merge = of == PreviewOf::Merge;
    setObjectName(merge ? QStringLiteral("MergePreview") : QStringLiteral("ImportPreview"));
    setWindowTitle(merge ? kMergePreviewTitle : kImportPreviewTitle);
    ui_->Summary->setText(previewSummary(of, preview));
    ui_->EmptiedCaption->setText(emptiedCaption(preview));
    ui_->Emptied->setVisible(!preview.emptied.empty());
    QList<QTreeWidgetItem*> items;
    for (const EmptiedPerson& person : preview.emptied)
        items << new QTreeWidgetItem({person.number, person.name, person.fields.join(QStringLiteral("、"))});
    ui_->Emptied->addTopLevelItems(items);
    ui_->Emptied->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui_->Continue, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->Cancel, &QPushButton::clicked, this, &QDialog::reject);
    ui_->Cancel->setFocus();
    ui::placeCentred(*this, size());
}

PreviewWindow::~PreviewWindow() = default;

bool confirmPreview(QWidget* parent, PreviewOf of, const ReplacementPreview& preview) {
    PreviewWindow window(of, preview, parent);
    return window.exec() == QDialog::Accepted;
}

} // namespace exchange
