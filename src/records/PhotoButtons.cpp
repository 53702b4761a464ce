#include "records/PhotoButtons.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace records {

PhotoButtons::PhotoButtons(EntryWindow& window) : QObject(&window), window_(window) {
    QLabel* frame = window_.form().photoFrame();
    QWidget* page = frame->parentWidget();
    // The frame keeps its place in the page; the buttons sit in a column at its right.
    auto* holder = new QWidget(page);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    if (QLayout* layout = page->layout())
        delete layout->replaceWidget(frame, holder);
    frame->setParent(holder);
    row->addWidget(frame, 0, Qt::AlignTop);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(makeButton(holder, "Image2", "重新选择相片", QStyle::SP_DialogOpenButton,
                                  &PhotoButtons::chooseAgain));
    buttons->addWidget(
        makeButton(holder, "Image4", "清除当前相片", QStyle::SP_DialogDiscardButton, &PhotoButtons::clear));
    buttons->addWidget(
        makeButton(holder, "Image3", "导出全部相片", QStyle::SP_ArrowUp, &PhotoButtons::exportAll));
    buttons->addWidget(
        makeButton(holder, "Image5", "导入全部相片", QStyle::SP_ArrowDown, &PhotoButtons::importAll));
    buttons->addStretch(1);
    row->addLayout(buttons);
    holder->show();
}

QToolButton* PhotoButtons::makeButton(QWidget* parent, const char* name, const char* tip,
                                      QStyle::StandardPixmap icon, void (PhotoButtons::*action)()) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromUtf8(tip));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, action);
    return b;
}

QLabel& PhotoButtons::progressLabel() const {
    return *qobject_cast<QLabel*>(window_.form().control(QStringLiteral("Label49")));
}

void PhotoButtons::showStored(qint64 rowid) {
    window_.photoChanged(rowid);
}

void PhotoButtons::chooseAgain() {
    const QString file = ui::dialogs().openFile(&window_, QString(), QString(), kPictureFilter);
    if (file.isEmpty())
        return;
    const qint64 rowid = window_.list().currentRowid();
    if (rowid < 0)
        return;
    ui::guard(&window_, ui::silently(), [&] { loadPhotoFile(window_.session().db(), rowid, file); });
    // The frame shows what is now stored: the chosen picture, or the old one when it could not be
    // taken.
    showStored(rowid);
}

void PhotoButtons::clear() {
    if (!ui::confirm(&window_, QStringLiteral("真的清除当前文件图片吗？")))
        return;
    const qint64 rowid = window_.list().currentRowid();
    if (rowid < 0)
        return;
    ui::guard(&window_, ui::silently(), [&] { clearPhoto(window_.session().db(), rowid); });
    showStored(rowid);
}

namespace {

// Why a photo was not stored or written, for the operator.
QString causeText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const PhotoFileError& e) {
        return e.cause();
    } catch (const store::SqlError& e) {
        if (e.isConstraint()) // a value the table's rules refuse, not the operator's typing
            return QStringLiteral("数据库拒绝存入相片。");
        return ui::causeOf(e);
    } catch (const std::exception& e) {
        return ui::causeOf(e);
    } catch (...) {
    }
    return QStringLiteral("程序内部出错。");
}

} // namespace

void PhotoButtons::walk(const QString& progressText, const QString& doneText, const WalkTexts& failures,
                        const std::function<PhotoBatch(const PhotoProgress&)>& run) {
    QLabel& label = progressLabel();
    const int rows = window_.list().count();
    window_.moveTo(0);
    label.setText(QString());
    label.show();
    window_.setShowOnMove(false);
    QPointer<QObject> alive(this);
    const PhotoProgress progress = [&](int count) {
        ui::showProgress(label, progressText + photoProgressShare(count, rows) + QStringLiteral("%"));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return !alive.isNull();
    };
    PhotoBatch batch;
    if (!ui::guard(&window_, ui::silently(), [&] { batch = run(progress); }))
        batch.stopped = true;
    if (!alive)
        return;
    label.hide();
    QString text = doneText.arg(batch.count);
    if (batch.stopped)
        text += QStringLiteral("\n") + failures.stopped + causeText(batch.cause);
    else if (batch.failed > 0)
        text += QStringLiteral("\n") + failures.skipped.arg(batch.failed) + causeText(batch.cause);
    ui::inform(&window_, text, ui::kProgramTitle,
               batch.stopped || batch.failed > 0 ? ui::Icon::Exclamation : ui::Icon::None);
    window_.setShowOnMove(true);
    window_.moveTo(0);
}

void PhotoButtons::exportAll() {
    if (!ui::confirm(&window_,
                     QStringLiteral("真的导出全部文件图片吗？\n文件图片将保存在系统文件夹的PHOTO文件夹中！")))
        return;
    const QString folder = photoFolder(window_.session().programFolder());
    // A missing folder is made, so that the export does not count files it could not write.
    if (!QDir().mkpath(folder))
        qCWarning(lcPhoto) << "cannot make the photo folder" << folder;
    walk(QStringLiteral("正在导出..."), QStringLiteral("导出完毕！共导出%1个文件图片。"),
         {QStringLiteral("导出没有完成："), QStringLiteral("%1个文件图片没有导出：")},
         [&](const PhotoProgress& progress) {
             return exportPhotos(window_.session().db(), window_.list(), folder, progress);
         });
}

void PhotoButtons::importAll() {
    if (!ui::confirm(&window_,
                     QStringLiteral(
                         "真的导入全部文件图片吗？\n从系统文件夹中的PHOTO文件夹导入，将覆盖库中图片数据。")))
        return;
    const QString folder = photoFolder(window_.session().programFolder());
    walk(QStringLiteral("正在导入..."), QStringLiteral("导入完毕！共导入%1个文件图片。"),
         {QStringLiteral("导入没有完成："), QStringLiteral("%1个文件图片没有导入：")},
         [&](const PhotoProgress& progress) {
             const PhotoBatch batch = importPhotos(window_.session().db(), window_.list(), folder, progress);
             for (int i = 0; i < window_.list().count(); ++i)
                 window_.list().forget(window_.list().rowid(i));
             return batch;
         });
}

} // namespace records
