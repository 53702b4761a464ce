#include "print/Printer.h"

#include "print/Pages.h"
#include "ui/Dialogs.h"

#include <QPainter>
#include <QPrinter>

namespace print {

bool startPrinting(QWidget* parent, QPrinter& device, QPainter& painter) {
    device.setFullPage(true);
    device.setPageLayout(a4Landscape());
    if (painter.begin(&device))
        return true;
    ui::inform(parent, QStringLiteral("打印机不能使用，没有打印。"), ui::kProgramTitle,
               ui::Icon::Exclamation);
    return false;
}

} // namespace print
