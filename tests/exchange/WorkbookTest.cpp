#include "exchange/Workbook.h"
#include "TestFolder.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "exchange/SheetReader.h"
#include "records/PersonsBulk.h"
#include "records/StagingTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <minizip/zip.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

using namespace exchange;

namespace {

// A workbook written part by part, for what our own writer never produces.
void writeZip(const QString& path, const std::vector<std::pair<const char*, QByteArray>>& parts) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), 0);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, bytes] : parts) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6),
                  ZIP_OK);
        zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

std::vector<SheetRow> readAll(const QString& path, int columns = 64) {
    std::unique_ptr<SheetReader> sheet = openSheet(path, columns);
    std::vector<SheetRow> rows;
    SheetRow row;
    while (sheet->next(row))
        rows.push_back(row);
    return rows;
}

QString cell(const SheetRow& row, int column) {
    return std::size_t(column) < row.cells.size() ? row.cells[std::size_t(column)] : QString();
}

WorkbookError::Kind openFailure(const QString& path) {
    try {
        readAll(path);
    } catch (const WorkbookError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "read without failure: " << path.toStdString();
    return WorkbookError::Kind::Damaged;
}

int openFiles() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return int(std::distance(begin(fds), end(fds)));
}

unsigned modeOf(const QString& path) {
    return unsigned(std::filesystem::status(path.toStdString()).permissions() & std::filesystem::perms::mask);
}

// Sets the umask for one scope.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

} // namespace

TEST(ExchangeWorkbook, ColumnLettersFollowTheUsualScheme) {
    const std::vector<std::pair<int, const char*>> letters = {
        {0, "A"},   {25, "Z"},  {26, "AA"}, {51, "AZ"},  {52, "BA"},
        {63, "BL"}, {77, "BZ"}, {78, "CA"}, {701, "ZZ"}, {702, "AAA"}};
    for (const auto& [column, text] : letters) {
        EXPECT_EQ(columnLetters(column), QString::fromLatin1(text)) << column;
        int c = -1, r = -1;
        ASSERT_TRUE(parseReference(QString::fromLatin1(text) + QStringLiteral("12"), c, r));
        EXPECT_EQ(c, column);
        EXPECT_EQ(r, 12);
    }
    EXPECT_EQ(cellReference(7, 5), QStringLiteral("H5"));
    int c = 0, r = 0;
    EXPECT_FALSE(parseReference(u"12", c, r));
    EXPECT_FALSE(parseReference(u"AB", c, r));
}

TEST(ExchangeWorkbook, ValuesAsTexts) {
    using store::JetType;
    EXPECT_EQ(plainNumber(2345.5), QStringLiteral("2345.5"));
    EXPECT_EQ(plainNumber(1e20), QStringLiteral("100000000000000000000"));
    EXPECT_EQ(plainNumber(0.0001), QStringLiteral("0.0001"));
    EXPECT_EQ(plainNumber(-12), QStringLiteral("-12"));
    EXPECT_EQ(plainNumber(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
    EXPECT_EQ(exchangeText(JetType::Single, 1234.56), QStringLiteral("1234.56"));
    EXPECT_EQ(exchangeText(JetType::Boolean, true), QStringLiteral("True"));
    EXPECT_EQ(exchangeText(JetType::Boolean, 0), QStringLiteral("False"));
    EXPECT_EQ(exchangeText(JetType::Date, QStringLiteral("1950-03-15")), QStringLiteral("1950-03-15"));
    EXPECT_EQ(exchangeText(JetType::Text, QVariant()), QString());
    EXPECT_EQ(exchangeText(JetType::Boolean, QVariant()), QString());
}

TEST(ExchangeWorkbook, NameGetsTheEndingOnlyWhenItLacksIt) {
    EXPECT_EQ(workbookFileName(QStringLiteral("/tmp/a")), QStringLiteral("/tmp/a.xlsx"));
    EXPECT_EQ(workbookFileName(QStringLiteral(" /tmp/a.xlsx ")), QStringLiteral("/tmp/a.xlsx"));
    EXPECT_EQ(workbookFileName(QStringLiteral("/tmp/a.XLSX")), QStringLiteral("/tmp/a.XLSX"));
    EXPECT_EQ(workbookFileName(QStringLiteral("/tmp/a.xls")), QStringLiteral("/tmp/a.xls.xlsx"));
    EXPECT_EQ(exportProgressText(1, 200), QStringLiteral("正在导出！.5%"));
    EXPECT_EQ(exportProgressText(200, 200), QStringLiteral("正在导出！100.0%"));
}

TEST(ExchangeWorkbook, TextsComeBackExactly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xlsx"));
    const QStringList texts = {QStringLiteral("第一行\r\n第二行\n第三行"),
                               QStringLiteral("_x0041_ 与 _x005F_"),
                               QStringLiteral("  前后空格  "),
                               QStringLiteral("010105194912310021"),
                               QStringLiteral("<&>\"'"),
                               QStringLiteral("制表\t符")};
    {
        WorkbookWriter book(path);
        book.setPlain(0, 0, QStringLiteral("单位"));
        for (int j = 0; j < texts.size(); ++j)
            book.setText(1, j, texts[j]);
        book.setText(2, 0, QString());
        book.setText(2, 1, QStringLiteral("x"));
        book.save();
    }
    const std::vector<SheetRow> rows = readAll(path);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(cell(rows[0], 0), QStringLiteral("单位"));
    for (int j = 0; j < texts.size(); ++j)
        EXPECT_EQ(cell(rows[1], j), texts[j]) << j;
    EXPECT_EQ(cell(rows[2], 0), QString());
    EXPECT_EQ(cell(rows[2], 1), QStringLiteral("x"));
    // Only the columns asked for are kept.
    EXPECT_EQ(readAll(path, 2)[1].cells.size(), 2u);
}

TEST(ExchangeWorkbook, AFailedWorkbookLeavesNoFile) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("taken"));
    QDir(dir.path()).mkdir(QStringLiteral("taken")); // a folder where the file should go
    {
        WorkbookWriter book(target);
        book.setText(0, 0, QStringLiteral("x"));
        EXPECT_THROW(book.save(), WorkbookError);
    }
    {
        WorkbookWriter abandoned(dir.filePath(QStringLiteral("never.xlsx")));
        abandoned.setText(0, 0, QStringLiteral("x"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_THROW(WorkbookWriter(dir.filePath(QStringLiteral("no/such/folder/a.xlsx"))), WorkbookError);
}

// Shared and rich texts, phonetic runs, booleans, numbers, dates by built-in and custom formats,
// the 1904 date system, cells without references and a prefixed namespace.
TEST(ExchangeWorkbook, ReadsWhatOtherProgramsWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.xlsx"));
    writeZip(
        path,
        {{"xl/workbook.xml",
          R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="r"><workbookPr date1904="0"/><sheets><sheet name="甲" sheetId="3" r:id="rId7"/><sheet name="乙" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
         {"xl/_rels/workbook.xml.rels",
          R"(<?xml version="1.0"?><Relationships xmlns="x"><Relationship Id="rId1" Type="t/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId7" Type="t/worksheet" Target="/xl/worksheets/first.xml"/><Relationship Id="rId9" Type="t/sharedStrings" Target="strings.xml"/><Relationship Id="rId8" Type="t/styles" Target="styles.xml"/></Relationships>)"},
         {"xl/strings.xml",
          R"(<?xml version="1.0"?><sst xmlns="m"><si><t>姓名</t></si><si><r><rPr><b/></rPr><t>张</t></r><r><t xml:space="preserve">三 </t></r><rPh><t>ちょう</t></rPh></si><si><t>a_x000D_b</t></si></sst>)"},
         {"xl/styles.xml",
          R"(<?xml version="1.0"?><styleSheet xmlns="m"><numFmts><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;"/><numFmt numFmtId="165" formatCode="&quot;d&quot;0.00"/></numFmts><cellStyleXfs><xf numFmtId="14"/></cellStyleXfs><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="49"/></cellXfs></styleSheet>)"},
         {"xl/worksheets/sheet1.xml",
          R"(<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>)"},
         {"xl/worksheets/first.xml",
          R"(<?xml version="1.0"?><x:worksheet xmlns:x="m"><x:sheetData>)"
          R"(<x:row r="2"><x:c r="A2" t="s"><x:v>0</x:v></x:c><x:c r="C2" t="s"><x:v>1</x:v></x:c><x:c t="s"><x:v>2</x:v></x:c></x:row>)"
          R"(<x:row r="3"><x:c r="A3" t="b"><x:v>1</x:v></x:c><x:c r="B3" t="b"><x:v>0</x:v></x:c><x:c r="C3"><x:v>2345.5</x:v></x:c><x:c r="D3"><x:v>1.2345678901E+17</x:v></x:c><x:c r="E3" s="1"><x:v>18337</x:v></x:c><x:c r="F3" s="2"><x:v>18337.5</x:v></x:c><x:c r="G3" s="3"><x:v>7</x:v></x:c><x:c r="H3" t="str"><x:f>A1</x:f><x:v>公式</x:v></x:c><x:c r="I3" s="4" t="s"><x:v>0</x:v></x:c><x:c r="J3" t="d"><x:v>1950-03-15T00:00:00</x:v></x:c><x:c r="K3" t="d"><x:v>1950-03-15T08:30:00.000</x:v></x:c><x:c r="L3"><x:f>SUM(C3:D3)</x:f></x:c><x:c r="M3" t="str"><x:f>A1</x:f></x:c><x:c r="BL3" t="inlineStr"><x:is><x:t>末列</x:t></x:is></x:c></x:row>)"
          R"(</x:sheetData></x:worksheet>)"}});
    const std::vector<SheetRow> rows = readAll(path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].number, 2);
    EXPECT_EQ(cell(rows[0], 0), QStringLiteral("姓名"));
    EXPECT_EQ(cell(rows[0], 1), QString());
    EXPECT_EQ(cell(rows[0], 2), QStringLiteral("张三 "));
    EXPECT_EQ(cell(rows[0], 3), QStringLiteral("a\rb"));
    EXPECT_EQ(cell(rows[1], 0), QStringLiteral("True"));
    EXPECT_EQ(cell(rows[1], 1), QStringLiteral("False"));
    EXPECT_EQ(cell(rows[1], 2), QStringLiteral("2345.5"));
    EXPECT_EQ(cell(rows[1], 3), QStringLiteral("123456789010000000"));
    EXPECT_EQ(cell(rows[1], 4), QStringLiteral("1950-03-15"));
    EXPECT_EQ(cell(rows[1], 5), QStringLiteral("1950-03-15 12:00:00"));
    EXPECT_EQ(cell(rows[1], 6), QStringLiteral("7")); // a quoted "d" is no date
    EXPECT_EQ(cell(rows[1], 7), QStringLiteral("公式"));
    EXPECT_EQ(cell(rows[1], 8), QStringLiteral("姓名"));
    EXPECT_EQ(cell(rows[1], 9), QStringLiteral("1950-03-15")); // a date cell is the date it names
    EXPECT_EQ(cell(rows[1], 10), QStringLiteral("1950-03-15 08:30:00"));
    EXPECT_EQ(cell(rows[1], 63), QStringLiteral("末列"));
    // Formulas saved without their results hold no value; the one with its result is fine.
    const std::vector<std::pair<int, CellProblem>> problems = {{11, CellProblem::FormulaWithoutValue},
                                                               {12, CellProblem::FormulaWithoutValue}};
    EXPECT_EQ(rows[1].problems, problems);
    EXPECT_TRUE(rows[0].problems.empty());
}

TEST(ExchangeWorkbook, DamagedOrForeignFilesAreRefused) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("a.xlsx"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("just text");
    f.close();
    EXPECT_EQ(openFailure(text), WorkbookError::Kind::NotAWorkbook);
    EXPECT_EQ(openFailure(dir.filePath(QStringLiteral("missing.xlsx"))), WorkbookError::Kind::CannotOpen);
    const QString otherZip = dir.filePath(QStringLiteral("d.xlsx"));
    writeZip(otherZip, {{"word/document.xml", "<document/>"}});
    EXPECT_EQ(openFailure(otherZip), WorkbookError::Kind::NotAWorkbook);

    // A cell pointing at a shared text that is not there is that cell's problem, not the file's.
    const QString broken = dir.filePath(QStringLiteral("b.xlsx"));
    writeZip(broken, {{"xl/workbook.xml", "<workbook><sheets><sheet r:id=\"rId1\"/></sheets></workbook>"},
                      {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c r=\"C1\" "
                                                   "t=\"s\"><v>5</v></c></row></sheetData></worksheet>"}});
    const std::vector<std::pair<int, CellProblem>> problems = {{2, CellProblem::NoSuchSharedText}};
    EXPECT_EQ(readAll(broken).at(0).problems, problems);
    const QString cut = dir.filePath(QStringLiteral("c.xlsx"));
    writeZip(cut, {{"xl/workbook.xml", "<workbook><sheets><sheet/></sheets></workbook>"},
                   {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c><v>1</v></c>"}});
    EXPECT_EQ(openFailure(cut), WorkbookError::Kind::Damaged);
    QFile zipHead(dir.filePath(QStringLiteral("e.xlsx")));
    ASSERT_TRUE(zipHead.open(QIODevice::WriteOnly));
    zipHead.write("PK\x03\x04 and then nothing of a zip");
    zipHead.close();
    EXPECT_EQ(openFailure(zipHead.fileName()), WorkbookError::Kind::Damaged);
}

// FreeXL opens this one (an XF record's length cleared) but finds no worksheet in it: the reader
// fails after the library holds the file open, and must still let go of it.
TEST(ExchangeWorkbook, AnXlsWithoutWorksheetsIsClosedAgain) {
    QFile fixture(QStringLiteral(TESSALY_FIXTURES "/persons.xls"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    QByteArray bytes = fixture.readAll();
    ASSERT_EQ(bytes.mid(1401, 4).toHex(), QByteArrayLiteral("e0001400"));
    bytes[1403] = 0;
    QTemporaryDir dir;
    QFile patched(dir.filePath(QStringLiteral("nosheet.xls")));
    ASSERT_TRUE(patched.open(QIODevice::WriteOnly));
    patched.write(bytes);
    patched.close();
    const int before = openFiles();
    for (int i = 0; i < 3; ++i)
        EXPECT_THROW(openSheet(patched.fileName(), 64), WorkbookError);
    EXPECT_EQ(openFiles(), before);
}

// A new workbook gets the mode the umask gives new files; one that replaces a file keeps its mode.
TEST(ExchangeWorkbook, ModesFollowTheUmaskOrTheReplacedFile) {
    QTemporaryDir dir;
    const auto write = [](const QString& path) {
        WorkbookWriter book(path);
        book.setText(0, 0, QStringLiteral("x"));
        book.save();
    };
    const QString shared = dir.filePath(QStringLiteral("shared.xlsx"));
    const QString group = dir.filePath(QStringLiteral("group.xlsx"));
    {
        Umask mask(022);
        write(shared);
    }
    {
        Umask mask(002);
        write(group);
    }
    EXPECT_EQ(modeOf(shared), 0644u);
    EXPECT_EQ(modeOf(group), 0664u);
    Umask mask(077);
    write(shared);
    EXPECT_EQ(modeOf(shared), 0644u);
    std::filesystem::permissions(group.toStdString(), std::filesystem::perms(0640));
    write(group);
    EXPECT_EQ(modeOf(group), 0640u);
    write(dir.filePath(QStringLiteral("private.xlsx")));
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("private.xlsx"))), 0600u);
}

// A cell without a readable value stops the reading at that cell, named by its own reference,
// also in column A, where an empty text would otherwise end the reading.
TEST(ExchangeWorkbook, CellsWithoutValuesAreNamedByTheirOwnReference) {
    testing_support::TestFolder folder;
    auto session = folder.session();
    const auto columns = records::stagingColumns(session->db());
    QByteArray titles = "<row r=\"2\">";
    for (std::size_t j = 0; j < columns.size(); ++j)
        titles += "<c r=\"" + columnLetters(int(j)).toLatin1() + "2\" t=\"inlineStr\"><is><t>" +
                  columns[j].name.toUtf8() + "</t></is></c>";
    titles += "</row>";
    const auto person = [](int row, const QByteArray& a, const QByteArray& c) {
        const QByteArray r = QByteArray::number(row);
        return "<row r=\"" + r + "\">" + a + "<c r=\"B" + r + "\" t=\"inlineStr\"><is><t>甲</t></is></c>" +
               c + "</row>";
    };
    const QByteArray good = "<c t=\"inlineStr\"><is><t>000001</t></is></c>";
    const std::vector<std::tuple<const char*, QByteArray, const char*, const char*>> cases = {
        {"formula in A4", person(4, "<c r=\"A4\"><f>A3</f></c>", ""), "A4",
         "该单元格是公式，文件中没有它的计算结果。"},
        {"missing text at C5", person(4, good, "") + person(5, good, "<c r=\"C5\" t=\"s\"><v>9</v></c>"),
         "C5", "该单元格所指的文字在文件中不存在，文件可能已损坏。"},
    };
    for (const auto& [what, rows, reference, detail] : cases) {
        const QString path = folder.file(QStringLiteral("cells.xlsx"));
        QFile::remove(path);
        writeZip(path, {{"xl/workbook.xml", "<workbook><sheets><sheet/></sheets></workbook>"},
                        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + titles + person(3, good, "") +
                                                         rows + "</sheetData></worksheet>"}});
        try {
            stageWorkbook(session->db(), path);
            ADD_FAILURE() << what << ": read without failure";
        } catch (const CellRejected& e) {
            EXPECT_EQ(e.reference(), QString::fromLatin1(reference)) << what;
            EXPECT_EQ(e.detail(), QString::fromUtf8(detail)) << what;
        }
    }
}

TEST(ExchangeWorkbook, ReadsAnOlderXlsWorkbook) {
    const std::vector<SheetRow> rows = readAll(QStringLiteral(TESSALY_FIXTURES "/persons.xls"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(cell(rows[0], 0), QStringLiteral("某某单位离退休办公室"));
    EXPECT_EQ(cell(rows[1], 0), QStringLiteral("个人编号"));
    EXPECT_EQ(cell(rows[1], 63), QStringLiteral("归侨"));
    EXPECT_EQ(rows[2].number, 3);
    EXPECT_EQ(cell(rows[2], 1), QStringLiteral("王小明"));
    EXPECT_EQ(cell(rows[2], 7), QStringLiteral("1950-03-15"));
    EXPECT_EQ(cell(rows[2], 8), QStringLiteral("010105195003150021"));
    EXPECT_EQ(cell(rows[2], 27), QStringLiteral("2345.5"));
    EXPECT_EQ(cell(rows[2], 58), QStringLiteral("家住北京\n朝阳区"));
    EXPECT_EQ(cell(rows[3], 8), QStringLiteral("11010519481102002X"));
}
