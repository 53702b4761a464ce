#pragma once

class QPainter;
class QPrinter;
class QWidget;

namespace print {

// Starts a document on `device` (the default printer) on an A4 landscape page without margins; when
// the printer refuses, tells the operator and returns false.
bool startPrinting(QWidget* parent, QPrinter& device, QPainter& painter);

} // namespace print
