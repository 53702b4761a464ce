#pragma once

#include "exchange/Preview.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PreviewWindow;
}

namespace exchange {

inline const QString kMergePreviewTitle = QStringLiteral("合并预览");
inline const QString kImportPreviewTitle = QStringLiteral("导入预览");

enum class PreviewOf { Merge, Import };

// The counts line of the preview.
QString previewSummary(PreviewOf of, const ReplacementPreview& preview);
// The line above the list of persons whose filled-in fields would be emptied.
QString emptiedCaption(const ReplacementPreview& preview);

// "合并预览" / "导入预览": what a merge or an import is about to change, before it does.
// 继续 accepts, 取消 (the default button, also Escape) rejects.
class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    PreviewWindow(PreviewOf of, const ReplacementPreview& preview, QWidget* parent = nullptr);
    ~PreviewWindow() override;

private:
    std::unique_ptr<Ui::PreviewWindow> ui_;
};

// Shows the preview modally; true when the operator chose 继续.
bool confirmPreview(QWidget* parent, PreviewOf of, const ReplacementPreview& preview);

} // namespace exchange
