// Writes an exchange workbook of sample persons to the path given, for the independent reader.
#include "TestFolder.h"
#include "exchange/Export.h"
#include "exchange/SamplePersons.h"
#include "exchange/Workbook.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: exchange_sample OUT.xlsx\n");
        return 2;
    }
    testing_support::TestFolder folder;
    auto session = folder.session();
    testing_support::addSamplePersons(session->db(), 50);
    exchange::WorkbookWriter book(QString::fromLocal8Bit(argv[1]));
    exchange::writePersons(book, session->db(), QStringLiteral("样本单位"));
    book.save();
    return 0;
}
