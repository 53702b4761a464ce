#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace store {
class RecordSet;
class Session;
} // namespace store

namespace exchange {

inline const QString kExportDone = QStringLiteral("导出完毕！");
inline const QString kExportFailed = QStringLiteral("出错！请重新来。");

// OUTexcel: every person into a workbook chosen by the operator, the progress in `label`.
// The file work runs off the user-interface thread on its own read connection.
void exportAllPersons(QWidget* parent, store::Session& session, QLabel& label);

// Command1 of the query results: these persons into a workbook, the progress in `status`.
void exportQueryResult(QWidget* parent, store::Session& session, const store::RecordSet& result,
                       QLabel& status);

} // namespace exchange
