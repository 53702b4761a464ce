#include "records/PhotoButtons.h"

#include "records/EntryForm.h"
#include "records/EntryWindow.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "store/Session.h"
#include "ui/Dialogs.h"
#include "ui/Guard.h"
#include "ui/JobRunner.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
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
    ui::guard(&window_, ui::silently(),
              [&] { loadPhotoFile(window_.session().db(), rowid, file, authorOf(window_.session())); });
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
    ui::guard(&window_, ui::silently(),
              [&] { clearPhoto(window_.session().db(), rowid, authorOf(window_.session())); });
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

void PhotoButtons::walk(const QString& progressText, const WalkTexts& texts, bool writes,
                        const std::function<PhotoBatch(store::Database&, const std::vector<qint64>&,
                                                       const PhotoProgress&)>& run) {
    QLabel& label = progressLabel();
    store::RecordSet& list = window_.list();
    std::vector<qint64> rowids;
    rowids.reserve(std::size_t(list.count()));
    for (int i = 0; i < list.count(); ++i)
        rowids.push_back(list.rowid(i));
    const int rows = int(rowids.size());
    window_.moveTo(0);
    label.setText(QString());
    label.show();
    window_.setShowOnMove(false);
    ui::JobSetup setup;
    setup.connection = writes ? ui::JobSetup::Connection::ReadWrite : ui::JobSetup::Connection::ReadOnly;
    // What was written or stored before 取消 stays, and the operator is told how much.
    setup.cancellable = true;
    setup.show = [&label](const store::Progress& p) { label.setText(p.text); };
    PhotoBatch batch;
    bool cancelled = false;
    std::exception_ptr failure;
    if (!ui::guard(&window_, ui::silently(), [&] {
            try {
                ui::runJob(&window_, window_.session(), setup,
                           [&](store::Database* db, store::JobControl& control) {
                               batch = run(*db, rowids, [&](int count) {
                                   control.note(count, rows,
                                                progressText + photoProgressShare(count, rows) +
                                                    QStringLiteral("%"));
                                   return !control.stopRequested();
                               });
                               cancelled = control.stopRequested();
                           });
            } catch (...) {
                failure = std::current_exception(); // the job's connection could not be opened
                throw;
            }
        })) {
        batch.stopped = true;
        batch.cause = failure;
    }
    if (writes) {
        // The list's rows were read before the photos changed.
        for (int i = 0; i < list.count(); ++i)
            list.forget(list.rowid(i));
    }
    label.hide();
    QString text = (cancelled ? texts.cancelled : texts.done).arg(batch.count);
    if (batch.stopped)
        text += QStringLiteral("\n") + texts.stopped + causeText(batch.cause);
    else if (batch.failed > 0)
        text += QStringLiteral("\n") + texts.skipped.arg(batch.failed) + causeText(batch.cause);
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
    walk(QStringLiteral("正在导出..."),
         {QStringLiteral("导出完毕！共导出%1个文件图片。"),
          QStringLiteral("导出已取消，已导出的%1个文件图片保留在PHOTO文件夹中。"),
          QStringLiteral("导出没有完成："), QStringLiteral("%1个文件图片没有导出：")},
         false, [&](store::Database& db, const std::vector<qint64>& rowids, const PhotoProgress& progress) {
             return exportPhotos(db, rowids, folder, progress);
         });
}

void PhotoButtons::importAll() {
    if (!ui::confirm(&window_,
                     QStringLiteral(
                         "真的导入全部文件图片吗？\n从系统文件夹中的PHOTO文件夹导入，将覆盖库中图片数据。")))
        return;
    const QString folder = photoFolder(window_.session().programFolder());
    const Author author = authorOf(window_.session());
    walk(QStringLiteral("正在导入..."),
         {QStringLiteral("导入完毕！共导入%1个文件图片。"),
          QStringLiteral("导入已取消，已导入的%1个文件图片已存入库中，其余相片没有改变。"),
          QStringLiteral("导入没有完成："), QStringLiteral("%1个文件图片没有导入：")},
         true, [&](store::Database& db, const std::vector<qint64>& rowids, const PhotoProgress& progress) {
             return importPhotos(db, rowids, folder, progress, author);
         });
}

} // namespace records
