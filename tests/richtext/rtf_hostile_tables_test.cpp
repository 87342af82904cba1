// Tables of every shape a hostile or broken document can give: none may crash the reader, none may
// grow past the document's cell limit, and their text always arrives.
#include "richtext/rtf_reader.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace tk;
using rtf::RtfError;

namespace {

constexpr int kCellLimit = rtf::kMaxTableCells;

struct Read {
    QTextDocument document;
    RtfError error = RtfError::None;
    QString text;
};

std::unique_ptr<Read> read(const QByteArray& rtf) {
    auto result = std::make_unique<Read>();
    QTextCursor cursor(&result->document);
    result->error = rtf::readRtf(rtf, cursor);
    result->text = result->document.toPlainText();
    return result;
}

QList<QTextTable*> tablesOf(const QTextDocument& document) {
    QList<QTextTable*> tables;
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            tables.append(table);
        }
    }
    return tables;
}

int cellsOf(const QTextDocument& document) {
    int cells = 0;
    for (const QTextTable* table : tablesOf(document)) {
        cells += table->rows() * table->columns();
    }
    return cells;
}

QByteArray rowDefinition(int cells) {
    QByteArray row = "\\trowd";
    for (int i = 1; i <= cells; ++i) {
        row += "\\cellx" + QByteArray::number(i * 100);
    }
    return row;
}

// Rows of 64 cells until the document's cells are all but used up.
QByteArray nearlyAllCells() {
    return rowDefinition(64) + QByteArray("\\cell\\row").repeated(kCellLimit / 64 - 1) + "\\pard\\par";
}

// A hostile document kept as a file (and as a seed of the reader's fuzzer).
QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(TK_TEST_DATA "/rtf/hostile/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// Every marker ("m0" ...) in the text, each exactly once.
void expectMarkers(const QString& text, int count, const QByteArray& rtf) {
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(text.count(QStringLiteral("<m%1>").arg(i)), 1) << "marker " << i << " in " << rtf.toStdString();
    }
}

}  // namespace

// This was a crash (SIGSEGV): the row a \cell opened found the document's cells used up, the
// table was closed, and the cell went on into the table that was gone.
TEST(RtfHostileTables, CellAfterCellLimit) {
    const auto r = read(fixture("cell_after_cell_limit.rtf"));
    EXPECT_EQ(r->error, RtfError::None);
    EXPECT_LE(cellsOf(r->document), kCellLimit);
    EXPECT_TRUE(r->text.endsWith(QStringLiteral("last\nafter"))) << r->text.right(40).toStdString();
}

// This was a crash (SIGSEGV) too: with no cells left to add a column, the content of a cell past a
// one-column table's width was sent to column 64, which the table did not have.
TEST(RtfHostileTables, ExtraCellAfterCellLimit) {
    const auto r = read(fixture("extra_cell_after_cell_limit.rtf"));
    EXPECT_EQ(r->error, RtfError::None);
    EXPECT_LE(cellsOf(r->document), kCellLimit);
    EXPECT_TRUE(r->text.endsWith(QStringLiteral("a\nb\nc\nafter"))) << r->text.right(40).toStdString();
    // At this reader's own limit: the cell's content goes on in the row's last cell, after a tab.
    QByteArray rtf = "{\\rtf1 " + nearlyAllCells() + rowDefinition(1);
    rtf += QByteArray("\\intbl y\\cell\\row").repeated(kCellLimit - kCellLimit / 64 * 64 + 63);
    rtf += "\\intbl a\\cell b\\cell c\\cell\\row\\pard after}";
    const auto atLimit = read(rtf);
    EXPECT_LE(cellsOf(atLimit->document), kCellLimit);
    EXPECT_TRUE(atLimit->text.contains(QStringLiteral("a\tb\tc"))) << atLimit->text.right(40).toStdString();
}

// This was a table of 320,064 cells: a row wider than a long table widened every row above it,
// past the document's cell limit (100,000 rows took minutes and a gigabyte).
TEST(RtfHostileTables, WiderRowDoesNotWidenALongTablePastTheLimit) {
    QByteArray rtf = "{\\rtf1 " + rowDefinition(1) + QByteArray("\\intbl a\\cell\\row").repeated(5000);
    rtf += rowDefinition(64) + "\\intbl wide\\cell second\\cell\\row}";
    const auto r = read(rtf);
    EXPECT_EQ(r->error, RtfError::None);
    EXPECT_LE(cellsOf(r->document), kCellLimit);
    EXPECT_TRUE(r->text.contains(QStringLiteral("wide")));
    EXPECT_TRUE(r->text.contains(QStringLiteral("second")));
    // Within the limit the table does widen.
    const auto small = read("{\\rtf1 " + rowDefinition(1) + "\\intbl a\\cell\\row" + rowDefinition(3) +
                            "\\intbl b\\cell c\\cell d\\cell\\row}");
    ASSERT_EQ(tablesOf(small->document).size(), 1);
    EXPECT_EQ(tablesOf(small->document)[0]->columns(), 3);
}

// This was "...6263646566...": the texts of the cells past the 64th ran together in the last cell.
TEST(RtfHostileTables, WideTableKeepsEveryCellsText) {
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int row = 0; row < 5; ++row) {
        rtf += rowDefinition(1000);
        for (int c = 0; c < 1000; ++c) {
            rtf += "\\intbl " + QByteArray::number(row * 1000 + c) + "\\cell ";
        }
        rtf += "\\row\n";
    }
    const auto r = read(rtf + "}");
    EXPECT_EQ(r->error, RtfError::None);
    const QList<QTextTable*> tables = tablesOf(r->document);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(tables[0]->rows(), 5);
    EXPECT_EQ(tables[0]->columns(), 64);
    QTextCursor last = tables[0]->cellAt(4, 63).firstCursorPosition();
    last.setPosition(tables[0]->cellAt(4, 63).lastPosition(), QTextCursor::KeepAnchor);
    EXPECT_TRUE(last.selectedText().startsWith(QStringLiteral("4063\t4064\t4065\t")));
    EXPECT_TRUE(last.selectedText().endsWith(QStringLiteral("\t4999")));
}

// Shapes word processors never write; each keeps its text and its order.
TEST(RtfHostileTables, BrokenShapesKeepTheirText) {
    const QList<QByteArray> bodies = {
        // \cell without \row, and text after the last \cell.
        "\\trowd\\cellx100\\intbl <m0>\\cell <m1>\\cell <m2>",
        // \row without any cell, rows without \trowd, \row outside a table.
        "\\row <m0>\\trowd\\row\\intbl <m1>\\row <m2>\\cell\\row\\row <m3>",
        // Cells without a row definition, an empty row, \intbl switched off inside a row.
        "\\intbl <m0>\\cell\\cell\\cell\\row\\intbl\\row\\intbl <m1>\\intbl0 <m2>\\cell <m3>",
        // Nested tables as word processors write them, and their words outside any table.
        "\\trowd\\cellx500\\intbl <m0>{\\*\\nesttableprops\\trowd\\cellx200\\nestrow}\\itap2 <m1>\\nestcell "
        "{\\nonesttables x}\\nestrow\\itap1\\cell\\row\\pard\\itap3 <m2>\\nestcell\\nestrow <m3>",
        // Merges that continue what never started, and merges past the last row.
        "\\trowd\\clvmrg\\cellx100\\clvmrg\\cellx200\\intbl <m0>\\cell <m1>\\cell\\row"
        "\\trowd\\clvmgf\\cellx100\\cellx200\\intbl <m2>\\cell\\row\\trowd\\clvmrg\\cellx100\\intbl\\cell\\row <m3>",
        // Tables inside groups, paragraph marks inside cells, a picture in a cell.
        "{\\intbl <m0>\\par <m1>\\cell}{\\row}<m2>\\par\\intbl{\\pict\\wmetafile8 01}\\cell <m3>",
        // Lists in cells.
        "{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec}\\intbl <m0>\\cell\\intbl <m1>\\par\\row <m2>",
    };
    for (const QByteArray& body : bodies) {
        const QByteArray rtf = "{\\rtf1 " + body + "}";
        const auto r = read(rtf);
        EXPECT_EQ(r->error, RtfError::None) << rtf.toStdString();
        const int count = int(body.count("<m"));
        expectMarkers(r->text, count, rtf);
        for (int i = 1; i < count; ++i) {
            EXPECT_LT(r->text.indexOf(QStringLiteral("<m%1>").arg(i - 1)),
                      r->text.indexOf(QStringLiteral("<m%1>").arg(i)))
                << rtf.toStdString();
        }
    }
}

// Random sequences of the table words, on a document that has cells left and on one that has all
// but used them up: no crash, every text once, the cell limit kept.
TEST(RtfHostileTables, RandomTableWordsNeverCrash) {
    const QList<QByteArray> words = {"\\trowd",    "\\cellx300", "\\cellx100", "\\intbl", "\\intbl0",   "\\pard",
                                     "\\cell",     "\\cell",     "\\row",      "\\par",   "\\nestcell", "\\nestrow",
                                     "\\itap2",    "\\clvmgf",   "\\clvmrg",   "{",       "}",          "\\page",
                                     "\\trleft50", "\\clcbpat1", "\\sect",     "\\line"};
    QRandomGenerator random(20261207);
    const QByteArray crowded = nearlyAllCells();
    for (int doc = 0; doc < 1000; ++doc) {
        QByteArray body;
        int markers = 0;
        int depth = 0;
        for (int i = 0; i < 60; ++i) {
            const QByteArray& word = words[random.bounded(int(words.size()))];
            if (word == "}" && depth == 0) {
                continue;
            }
            depth += word == "{" ? 1 : word == "}" ? -1 : 0;
            body += word + (word.startsWith('\\') ? " " : "");
            if (random.bounded(3) == 0) {
                body += "<m" + QByteArray::number(markers++) + ">";
            }
        }
        body += QByteArray(depth, '}');
        const QByteArray rtf =
            "{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}" + (doc % 25 == 0 ? crowded : QByteArray()) + body + "}";
        const auto r = read(rtf);
        ASSERT_EQ(r->error, RtfError::None) << rtf.right(1200).toStdString();
        expectMarkers(r->text, markers, rtf.right(1200));
        EXPECT_LE(cellsOf(r->document), kCellLimit);
    }
}
