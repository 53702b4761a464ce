#include "ui/Widgets.h"

#include "ui/JobRunner.h"

#include <QAction>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QToolBar>

namespace ui {

namespace {
const QSize kToolIconSize(24, 24);
} // namespace

QAction* addToolButton(QToolBar& bar, const char* key, const char* caption, QStyle::StandardPixmap icon) {
    QAction* action = bar.addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(key));
    setToolIcon(bar, *action, icon);
    return action;
}

void setToolIcon(QToolBar& bar, QAction& action, QStyle::StandardPixmap icon) {
    bar.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar.setIconSize(kToolIconSize);
    // The style's icons come in different native sizes and an icon is never scaled up: each is
    // drawn once at the toolbar's size, so every button shows the same size.
    const qreal ratio = bar.devicePixelRatioF();
    QPixmap pixmap = bar.style()->standardIcon(icon).pixmap(kToolIconSize, ratio);
    if (pixmap.deviceIndependentSize().toSize() != kToolIconSize) {
        pixmap = pixmap.scaled(kToolIconSize * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    action.setIcon(QIcon(pixmap));
}

QAction* findAction(const QList<QAction*>& actions, const QString& key) {
    for (QAction* a : actions) {
        if (a->objectName() == key)
            return a;
    }
    return nullptr;
}

void maskWithStars(QLineEdit& box) {
    box.setEchoMode(QLineEdit::Password);
    box.setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

void setUpRecordGrid(QTableView& grid) {
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setDefaultSectionSize(22);
}

void fitHeaders(QTableView& grid) {
    QHeaderView* header = grid.horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        header->resizeSection(i, std::max(header->sectionSize(i), header->sectionSizeHint(i)));
}

void showProgress(QLabel& label, const QString& text) {
    Q_ASSERT(onWindowThread());
    if (label.text() == text)
        return;
    label.setText(text);
}

} // namespace ui
